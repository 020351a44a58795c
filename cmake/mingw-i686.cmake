# Cross toolchain: 32-bit Windows with the posix-thread mingw-w64 compilers, Wine as the
# emulator that CTest and CMake use to run the produced programs. mingw-x86_64.cmake reuses it
# for the 64-bit test build (VK_TARGET_ARCH).
if(NOT VK_TARGET_ARCH)
  set(VK_TARGET_ARCH i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VK_TARGET_ARCH})

set(MINGW_PREFIX ${VK_TARGET_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
set(CMAKE_AR ${MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(VK_TARGET_ARCH STREQUAL "x86_64")
  # Debian's wine launcher takes the 32-bit loader whenever it is installed, even where the
  # kernel cannot run it.
  set(WINE_EXECUTABLE ${CMAKE_CURRENT_LIST_DIR}/../tools/wine64/wine)
else()
  find_program(WINE_EXECUTABLE NAMES wine REQUIRED)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
