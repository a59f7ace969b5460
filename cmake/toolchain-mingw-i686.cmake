# 32-bit Windows: the product's tree.
set(ZORVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
