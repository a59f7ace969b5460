# Windows, cross-built with MinGW-w64, for the processor in ZORVANE_MINGW_ARCH (i686 or
# x86_64); included by the toolchain file of each tree.
# The posix thread model by default: GoogleTest needs std::mutex, which the win32 model
# lacks. Zorvane.dll is built with the win32 model (toolchain-mingw-<arch>-win32.cmake), so
# that it carries no threads library; the two models are never mixed in one binary.
if(NOT DEFINED ZORVANE_MINGW_THREADS)
  set(ZORVANE_MINGW_THREADS posix)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZORVANE_MINGW_ARCH})
set(triple ${ZORVANE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-${ZORVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${triple}-g++-${ZORVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
