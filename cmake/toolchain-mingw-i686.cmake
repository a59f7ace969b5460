# 32-bit Windows, cross-built with MinGW-w64; programs run under 32-bit Wine.
# The posix thread model here: GoogleTest needs std::mutex, which the win32 model lacks.
# Zorvane.dll is built with the win32 model (toolchain-mingw-i686-win32.cmake), so that it
# carries no threads library; the two models are never mixed in one binary.
if(NOT DEFINED ZORVANE_MINGW_THREADS)
  set(ZORVANE_MINGW_THREADS posix)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-${ZORVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${triple}-g++-${ZORVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
