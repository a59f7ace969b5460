# 64-bit Windows: the tree of the plug-in for 64-bit clients.
set(ZORVANE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
