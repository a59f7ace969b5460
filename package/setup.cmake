# zorvane_setup(<setup.exe> VERSION <a.b.c.d> DLL <Zorvane.dll> DLL64 <64-bit Zorvane.dll>
#               [LISTING <file>] [SIGN <command words> UNINSTALLER_COPY <file>] [DEPENDS ...]):
# the setup program for one build of both DLLs, made by makensis from Zorvane-Setup.nsi.
# LISTING keeps makensis's account of what it packed (each file with its size) and of the
# size of what it wrote. SIGN (from zorvane_signing_command) signs the uninstaller, a copy of
# which lands in UNINSTALLER_COPY, and the setup.
find_program(MAKENSIS makensis REQUIRED)
set(ZORVANE_SETUP_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/Zorvane-Setup.nsi)
set(ZORVANE_MAKENSIS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/makensis.cmake)
set(ZORVANE_SETUP_EXE ${CMAKE_BINARY_DIR}/dist/Zorvane-Setup-${PROJECT_VERSION}.exe)
# Where the release is staged, and the DLLs as it carries them (signed when the build signs).
set(ZORVANE_RELEASE_WORK_DIR ${CMAKE_BINARY_DIR}/package)
set(ZORVANE_RELEASE_DLL ${ZORVANE_RELEASE_WORK_DIR}/stage/Zorvane.dll)
set(ZORVANE_RELEASE_DLL64 ${ZORVANE_RELEASE_WORK_DIR}/stage/x64/Zorvane.dll)
# A second release, signed with a throwaway certificate, to show that signing works and that
# signed files still install, register and load.
set(ZORVANE_SIGNED_CHECK_DIR ${CMAKE_BINARY_DIR}/signed-check)
set(ZORVANE_SIGNED_CHECK_CERT ${ZORVANE_SIGNED_CHECK_DIR}/certificate.pem)
set(ZORVANE_SIGNED_CHECK_SETUP ${ZORVANE_SIGNED_CHECK_DIR}/dist/Zorvane-Setup-${PROJECT_VERSION}.exe)
set(ZORVANE_SIGNED_CHECK_DLL ${ZORVANE_SIGNED_CHECK_DIR}/stage/Zorvane.dll)
set(ZORVANE_SIGNED_CHECK_DLL64 ${ZORVANE_SIGNED_CHECK_DIR}/stage/x64/Zorvane.dll)
include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)

function(zorvane_setup output)
  cmake_parse_arguments(arg "" "VERSION;DLL;DLL64;LISTING;UNINSTALLER_COPY" "SIGN;DEPENDS" ${ARGN})
  get_filename_component(output_dir ${output} DIRECTORY)
  get_filename_component(output_name ${output} NAME)
  if(NOT arg_LISTING)
    set(arg_LISTING ${output}.listing.txt)
  endif()
  set(signing "")
  set(signed_outputs "")
  if(arg_SIGN)
    set(signing "-DSIGN_FILE=${ZORVANE_SIGN_FILE};-DUNINSTALLER_COPY=${arg_UNINSTALLER_COPY};")
    set(signed_outputs ${arg_UNINSTALLER_COPY})
  endif()
  add_custom_command(
    OUTPUT ${output} ${arg_LISTING} ${signed_outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${arg_SIGN} ${CMAKE_COMMAND} -DMAKENSIS=${MAKENSIS} -DLISTING=${arg_LISTING}
            "-DARGS=-WX;-INPUTCHARSET;UTF8;-DVERSION=${arg_VERSION};-DDLL=${arg_DLL};-DDLL64=${arg_DLL64};-DOUTFILE=${output};${signing}${ZORVANE_SETUP_SCRIPT}"
            -P ${ZORVANE_MAKENSIS_SCRIPT}
    DEPENDS ${ZORVANE_SETUP_SCRIPT} ${ZORVANE_MAKENSIS_SCRIPT} ${ZORVANE_SIGN_FILE} ${arg_DEPENDS}
    COMMENT "makensis ${output_name}"
    VERBATIM)
endfunction()
