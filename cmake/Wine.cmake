# Programs of a Windows tree run under Wine in a prefix of this build tree: a 32-bit
# prefix for the 32-bit tree, a 64-bit one for the 64-bit tree.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZORVANE_WINEARCH win64)
  set(ZORVANE_WIDL_BITS -m64)
  set(ZORVANE_WIDL_LIBDIRS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
  set(ZORVANE_WINEARCH win32)
  set(ZORVANE_WIDL_BITS -m32)
  # stdole2.tlb for importlib: 32-bit Wine's where it is installed, else 64-bit Wine's,
  # which describes the same types (the library written is the same either way).
  set(ZORVANE_WIDL_LIBDIRS /usr/lib/i386-linux-gnu/wine/i386-windows
                           /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
endif()
set(ZORVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# wine-run with this tree's kind of prefix: every program of the tree, every test and every
# script the tree configures runs through it.
set(ZORVANE_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
file(CONFIGURE OUTPUT ${ZORVANE_WINE_RUN} @ONLY CONTENT [=[
#!/bin/sh
# wine-run for this tree: the prefixes it creates are @ZORVANE_WINEARCH@ prefixes unless the
# caller asks for another kind with --arch.
exec '@PROJECT_SOURCE_DIR@/scripts/wine-run' --arch @ZORVANE_WINEARCH@ "$@"
]=])
file(CHMOD ${ZORVANE_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVANE_WINE_RUN} ${ZORVANE_WINEPREFIX})

# Programs and DLLs side by side, as they are installed.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

find_program(WIDL NAMES ${ZORVANE_MINGW_ARCH}-w64-mingw32-widl widl REQUIRED)
set(ZORVANE_WIDL_INCLUDE /usr/include/wine/wine/windows)
find_file(ZORVANE_STDOLE2_TLB stdole2.tlb PATHS ${ZORVANE_WIDL_LIBDIRS} NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(ZORVANE_WIDL_LIBDIR ${ZORVANE_STDOLE2_TLB} DIRECTORY)

# zorvane_widl(<name> <idl>): the type library, the C++ header and the identifiers
# of an IDL file, in ${CMAKE_CURRENT_BINARY_DIR}; sets <name>_TLB, <name>_HEADER, <name>_IID.
function(zorvane_widl name idl)
  get_filename_component(base ${idl} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${out}/${base}.tlb ${out}/${base}.h ${out}/${base}_i.c
    COMMAND ${WIDL} ${ZORVANE_WIDL_BITS} -I${ZORVANE_WIDL_INCLUDE} -L${ZORVANE_WIDL_LIBDIR}
            -t -o ${out}/${base}.tlb ${idl}
    COMMAND ${WIDL} ${ZORVANE_WIDL_BITS} -I${ZORVANE_WIDL_INCLUDE} -h -o ${out}/${base}.h ${idl}
    COMMAND ${WIDL} ${ZORVANE_WIDL_BITS} -I${ZORVANE_WIDL_INCLUDE} -u -o ${out}/${base}_i.c ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${base}.idl"
    VERBATIM)
  set(${name}_TLB ${out}/${base}.tlb PARENT_SCOPE)
  set(${name}_HEADER ${out}/${base}.h PARENT_SCOPE)
  set(${name}_IID ${out}/${base}_i.c PARENT_SCOPE)
endfunction()

# zorvane_skipped_without_32bit_code(<test>...): a test that runs a program through
# wine-run counts as skipped, not failed, where wine-run finds that this machine runs no
# 32-bit code.
function(zorvane_skipped_without_32bit_code)
  set_tests_properties(${ARGN} PROPERTIES SKIP_REGULAR_EXPRESSION "wine-run: skipped: ")
endfunction()

# zorvane_own_prefix(<target> TESTS <test>...): the tests of a test program run each in a
# copy of the template prefix (components registered) and on an X display of their own, so
# that they can run beside others: a Wine process changes the user locale of every process
# of its wineserver, and windows of another program on the same display take the activation.
set(ZORVANE_TEMPLATE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix-template)
function(zorvane_own_prefix target)
  cmake_parse_arguments(arg "" "" "TESTS" ${ARGN})
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
    "${PROJECT_SOURCE_DIR}/tests/wine/scripts/own_prefix_run.sh;${ZORVANE_WINE_RUN};${ZORVANE_TEMPLATE_PREFIX};${CMAKE_BINARY_DIR}/own-prefixes")
  set_tests_properties(${arg_TESTS} PROPERTIES FIXTURES_REQUIRED wine_template)
  zorvane_skipped_without_32bit_code(${arg_TESTS})
endfunction()

# zorvane_wine_test(<target>): runs a test program under Wine, after the components
# are registered in the prefix.
function(zorvane_wine_test target)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES
    FIXTURES_REQUIRED wine_registered
    TIMEOUT 600)
  zorvane_skipped_without_32bit_code(${target})
endfunction()
