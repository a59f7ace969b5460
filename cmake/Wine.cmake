# Programs of the Windows tree run under 32-bit Wine in a prefix of this build tree.
set(ZORVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(ZORVANE_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVANE_WINE_RUN} ${ZORVANE_WINEPREFIX})

# Programs and DLLs side by side, as they are installed.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

find_program(WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)
set(ZORVANE_WIDL_INCLUDE /usr/include/wine/wine/windows)
set(ZORVANE_WIDL_LIBDIR /usr/lib/i386-linux-gnu/wine/i386-windows)

# zorvane_widl(<name> <idl>): the type library, the C++ header and the identifiers
# of an IDL file, in ${CMAKE_CURRENT_BINARY_DIR}; sets <name>_TLB, <name>_HEADER, <name>_IID.
function(zorvane_widl name idl)
  get_filename_component(base ${idl} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${out}/${base}.tlb ${out}/${base}.h ${out}/${base}_i.c
    COMMAND ${WIDL} -m32 -I${ZORVANE_WIDL_INCLUDE} -L${ZORVANE_WIDL_LIBDIR}
            -t -o ${out}/${base}.tlb ${idl}
    COMMAND ${WIDL} -m32 -I${ZORVANE_WIDL_INCLUDE} -h -o ${out}/${base}.h ${idl}
    COMMAND ${WIDL} -m32 -I${ZORVANE_WIDL_INCLUDE} -u -o ${out}/${base}_i.c ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${base}.idl"
    VERBATIM)
  set(${name}_TLB ${out}/${base}.tlb PARENT_SCOPE)
  set(${name}_HEADER ${out}/${base}.h PARENT_SCOPE)
  set(${name}_IID ${out}/${base}_i.c PARENT_SCOPE)
endfunction()

# zorvane_wine_test(<target>): runs a test program under Wine, after the components
# are registered in the prefix.
function(zorvane_wine_test target)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES
    FIXTURES_REQUIRED wine_registered
    TIMEOUT 600)
endfunction()
