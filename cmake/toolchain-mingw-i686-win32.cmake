# The toolchain of the 32-bit Zorvane.dll: MinGW-w64 with the win32 thread model. Its C++
# runtime synchronises with the system's own primitives, so the statically linked DLL
# needs no threads library (winpthreads keeps a thread handle and an event per load).
set(ZORVANE_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)
