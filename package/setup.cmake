# zorvane_setup(<setup.exe> VERSION <a.b.c.d> DLL <Zorvane.dll> DLL64 <64-bit Zorvane.dll>
#               [LISTING <file>] [DEPENDS ...]): the setup program for one build of both DLLs,
# made by makensis from Zorvane-Setup.nsi. LISTING keeps makensis's account of what it
# packed (each file with its size) and of the size of what it wrote.
find_program(MAKENSIS makensis REQUIRED)
set(ZORVANE_SETUP_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/Zorvane-Setup.nsi)
set(ZORVANE_MAKENSIS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/makensis.cmake)
set(ZORVANE_SETUP_EXE ${CMAKE_BINARY_DIR}/dist/Zorvane-Setup-${PROJECT_VERSION}.exe)

function(zorvane_setup output)
  cmake_parse_arguments(arg "" "VERSION;DLL;DLL64;LISTING" "DEPENDS" ${ARGN})
  get_filename_component(output_dir ${output} DIRECTORY)
  get_filename_component(output_name ${output} NAME)
  if(NOT arg_LISTING)
    set(arg_LISTING ${output}.listing.txt)
  endif()
  add_custom_command(
    OUTPUT ${output} ${arg_LISTING}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${CMAKE_COMMAND} -DMAKENSIS=${MAKENSIS} -DLISTING=${arg_LISTING}
            "-DARGS=-WX;-INPUTCHARSET;UTF8;-DVERSION=${arg_VERSION};-DDLL=${arg_DLL};-DDLL64=${arg_DLL64};-DOUTFILE=${output};${ZORVANE_SETUP_SCRIPT}"
            -P ${ZORVANE_MAKENSIS_SCRIPT}
    DEPENDS ${ZORVANE_SETUP_SCRIPT} ${ZORVANE_MAKENSIS_SCRIPT} ${arg_DEPENDS}
    COMMENT "makensis ${output_name}"
    VERBATIM)
endfunction()
