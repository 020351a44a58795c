# The payload of setup.exe: the uninstaller and the about-box library, both built here, and the
# files below resources/payload, numbered by resources/payload/payload.rc.

# unbrm.exe, the uninstaller (its entry and dialog live in unbrm/).
file(GLOB VK_UNBRM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/unbrm/*.cpp)
add_executable(unbrm WIN32 ${VK_UNBRM_SOURCES} resources/unbrm.rc)
target_link_libraries(unbrm PRIVATE vkcore)
vk_safe_program(unbrm)

# vkabout.dll, the library's about box.
add_library(vkabout SHARED
  resources/payload/aboutbox/VkAbout.cpp
  resources/payload/aboutbox/VkAbout.rc
  resources/payload/aboutbox/VkAbout.def)
target_link_libraries(vkabout PRIVATE vk_settings)
set_target_properties(vkabout PROPERTIES PREFIX "" OUTPUT_NAME vkabout)

# Both land at fixed paths in the build directory, which the resource script's dependencies
# name (a generator expression is not allowed there) and this header hands to the script.
set(VK_UNBRM_EXE ${CMAKE_BINARY_DIR}/unbrm.exe)
set(VK_ABOUT_DLL ${CMAKE_BINARY_DIR}/vkabout.dll)
set_target_properties(unbrm vkabout PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/payload_paths.h CONTENT
"#define VK_PAYLOAD_UNBRM \"${VK_UNBRM_EXE}\"
#define VK_PAYLOAD_ABOUT \"${VK_ABOUT_DLL}\"
")

# setup.rc is compiled again whenever a payload file or a built payload program changes.
file(GLOB_RECURSE VK_PAYLOAD_FILES CONFIGURE_DEPENDS
  LIST_DIRECTORIES false ${CMAKE_SOURCE_DIR}/resources/payload/*)
list(FILTER VK_PAYLOAD_FILES EXCLUDE REGEX "/resources/payload/(aboutbox/|generate\\.py$)")
set(VK_PAYLOAD_DEPENDS ${VK_PAYLOAD_FILES} ${VK_UNBRM_EXE} ${VK_ABOUT_DLL}
  ${CMAKE_BINARY_DIR}/generated/payload_paths.h)
