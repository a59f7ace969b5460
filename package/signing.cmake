# Signing the release with Authenticode (package/sign-file), when the build is given a
# certificate: ZORVANE_SIGN_CERT, ZORVANE_SIGN_KEY, ZORVANE_SIGN_PASSWORD_FILE and
# ZORVANE_SIGN_TIMESTAMP_URL, as -D options or in the environment when CMake configures.
# The files they name live outside the repository.
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
set(ZORVANE_SIGN_FILE ${CMAKE_CURRENT_LIST_DIR}/sign-file)
set(ZORVANE_SIGN_SETTINGS CERT KEY PASSWORD_FILE TIMESTAMP_URL)
foreach(setting IN LISTS ZORVANE_SIGN_SETTINGS)
  if(NOT DEFINED ZORVANE_SIGN_${setting})
    set(ZORVANE_SIGN_${setting} "$ENV{ZORVANE_SIGN_${setting}}")
  endif()
endforeach()

# zorvane_signing_command(<out> [CERT <file>] [KEY <file>] [PASSWORD_FILE <file>]
#                         [TIMESTAMP_URL <url>]): the words that start a command with exactly
# this identity in its environment (whatever the caller's environment holds), for sign-file and
# for makensis, which calls it.
function(zorvane_signing_command out)
  cmake_parse_arguments(arg "" "CERT;KEY;PASSWORD_FILE;TIMESTAMP_URL" "" ${ARGN})
  set(words ${CMAKE_COMMAND} -E env)
  foreach(setting IN LISTS ZORVANE_SIGN_SETTINGS)
    list(APPEND words "ZORVANE_SIGN_${setting}=${arg_${setting}}")
  endforeach()
  set(${out} ${words} PARENT_SCOPE)
endfunction()
