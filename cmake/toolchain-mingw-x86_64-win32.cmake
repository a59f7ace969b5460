# The toolchain of the 64-bit Zorvane.dll: the win32 thread model, as for the 32-bit one.
set(ZORVANE_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-x86_64.cmake)
