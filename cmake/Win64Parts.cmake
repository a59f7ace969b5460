# What the 32-bit tree takes from the 64-bit tree (build/win64 beside it), built on every
# build of this one: the type-library writer, a 64-bit program that runs on every machine
# we build on (many run no 32-bit code), and the 64-bit Zorvane.dll that the release
# carries beside the 32-bit one; the 64-bit component tests, which check the 32-bit DLL as
# a file where no 32-bit program runs; and the host's library and a host of the 64-bit
# kind for the test with both kinds registered.
set(ZORVANE_WIN64_TREE ${CMAKE_BINARY_DIR}/../win64 CACHE PATH "the 64-bit Windows tree")
get_filename_component(ZORVANE_WIN64_TREE ${ZORVANE_WIN64_TREE} ABSOLUTE)
set(ZORVANE_WIN64_WINE_RUN ${ZORVANE_WIN64_TREE}/wine-run)
set(ZORVANE_WIN64_TYPELIB_WRITER ${ZORVANE_WIN64_TREE}/bin/zorvane_typelib_writer.exe)
set(ZORVANE_WIN64_DLL ${ZORVANE_WIN64_TREE}/bin/Zorvane.dll)

include(ExternalProject)
ExternalProject_Add(zorvane_win64_parts
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${ZORVANE_WIN64_TREE}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-mingw-x86_64.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${ZORVANE_WIN64_TREE}
                --target zorvane_typelib_writer zorvane_dll_tree zorvane_component_test
                        zorvane_apartment_test VELTTypeLib
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${ZORVANE_WIN64_TYPELIB_WRITER} ${ZORVANE_WIN64_DLL})
