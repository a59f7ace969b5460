# zorvane_setup(<setup.exe> VERSION <a.b.c.d> DLL <Zorvane.dll> [DEPENDS ...]): the setup
# program for one build of the DLL, made by makensis from Zorvane-Setup.nsi.
find_program(MAKENSIS makensis REQUIRED)
set(ZORVANE_SETUP_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/Zorvane-Setup.nsi)
set(ZORVANE_SETUP_EXE ${CMAKE_BINARY_DIR}/dist/Zorvane-Setup-${PROJECT_VERSION}.exe)

function(zorvane_setup output)
  cmake_parse_arguments(arg "" "VERSION;DLL" "DEPENDS" ${ARGN})
  get_filename_component(output_dir ${output} DIRECTORY)
  get_filename_component(output_name ${output} NAME)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${MAKENSIS} -V2 -WX -INPUTCHARSET UTF8 -DVERSION=${arg_VERSION} -DDLL=${arg_DLL}
            -DOUTFILE=${output} ${ZORVANE_SETUP_SCRIPT}
    DEPENDS ${ZORVANE_SETUP_SCRIPT} ${arg_DEPENDS}
    COMMENT "makensis ${output_name}"
    VERBATIM)
endfunction()
