# The same sources for 64-bit Windows. The shipped programs are 32-bit; this build exists so that
# the test suite can run under 64-bit Wine on machines whose kernel cannot execute 32-bit
# programs (tools/wine-env.sh chooses it).
set(VK_TARGET_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
