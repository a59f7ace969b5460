cmake_minimum_required(VERSION 3.25)
# Runs makensis at its most talkative into a listing file, quietly; on failure shows the
# listing's end, where makensis says what went wrong.
# Usage: cmake -DMAKENSIS=<makensis> -DLISTING=<file> -DARGS=<arguments;...> -P this file.
execute_process(COMMAND ${MAKENSIS} -V4 ${ARGS}
                OUTPUT_FILE ${LISTING} ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(STRINGS ${LISTING} lines)
  list(LENGTH lines count)
  math(EXPR first "${count} - 20")
  if(first LESS 0)
    set(first 0)
  endif()
  list(SUBLIST lines ${first} -1 tail)
  list(JOIN tail "\n" tail)
  message(FATAL_ERROR "makensis failed (${result}):\n${tail}\n${errors}")
endif()
