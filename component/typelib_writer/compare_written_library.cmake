# cmake -DWINE_RUN=<tree>/wine-run -DPREFIX=<prefix> -DWRITER=<writer.exe> -DKIND=win32|win64
#       -DOUTPUT=<scratch .tlb> -DEXPECTED=<the build's .tlb> -P compare_written_library.cmake
# Runs a type-library writer (in the working directory the test gives, where VELTTypeLib.dll
# is) into a scratch file and requires the very bytes of the library the build wrote, and
# the prefix's type-library registrations as they were: the writer reads libraries, it
# registers none (the prefix's test programs compare the paths registered there with their
# own). Where wine-run cannot run a program (a 32-bit one on a machine that runs no 32-bit
# code) it passes wine-run's skip line on, which the test takes as skipped.
foreach(name WINE_RUN PREFIX WRITER KIND OUTPUT EXPECTED)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "compare_written_library: ${name} is not given")
  endif()
endforeach()
if(NOT EXISTS ${EXPECTED})
  message(FATAL_ERROR "compare_written_library: ${EXPECTED} is missing: build first")
endif()

# A file left by an earlier run must not stand in for one this run failed to write.
get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(REMOVE ${OUTPUT})
file(MAKE_DIRECTORY ${output_dir})

# run_in_prefix(<program and arguments>...): sets output, or skipped when wine-run cannot
# run the program here; a program that fails fails the test.
function(run_in_prefix)
  execute_process(
    COMMAND ${WINE_RUN} ${PREFIX} ${ARGN}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
  set(skipped FALSE PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
  if(output MATCHES "wine-run: skipped: [^\r\n]*")
    message(NOTICE "${CMAKE_MATCH_0}")
    set(skipped TRUE PARENT_SCOPE)
  elseif(NOT result EQUAL 0)
    string(JOIN " " command ${ARGN})
    message(FATAL_ERROR "${command} failed (${result}):\n${output}${errors}")
  endif()
endfunction()

# registrations(<variable>): the prefix's type-library registrations, one line a value,
# each with its key.
function(registrations variable)
  run_in_prefix(reg query "HKCR\\TypeLib" /s)
  set(skipped ${skipped} PARENT_SCOPE)
  string(REGEX MATCHALL "[^\r\n]+" lines "${output}")
  set(values "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^HKEY_")
      set(key "${line}")
    else()
      list(APPEND values "${key}: ${line}")
    endif()
  endforeach()
  set(${variable} "${values}" PARENT_SCOPE)
endfunction()

registrations(registered_before)
if(skipped)
  return()
endif()
run_in_prefix(${WRITER} ${KIND} ${OUTPUT})
if(skipped)
  return()
endif()
if(NOT EXISTS ${OUTPUT})
  message(FATAL_ERROR "${WRITER} ${KIND} wrote nothing:\n${output}")
endif()
registrations(registered_after)
if(NOT registered_after STREQUAL registered_before)
  set(gone ${registered_before})
  set(came ${registered_after})
  list(REMOVE_ITEM gone ${registered_after})
  list(REMOVE_ITEM came ${registered_before})
  list(JOIN gone "\n  " gone)
  list(JOIN came "\n  " came)
  message(FATAL_ERROR "${WRITER} ${KIND} changed the prefix's type-library registrations.\n"
                      "Before:\n  ${gone}\nAfter:\n  ${came}")
endif()

file(READ ${OUTPUT} written HEX)
file(READ ${EXPECTED} expected HEX)
if(NOT written STREQUAL expected)
  string(LENGTH "${written}" written_length)
  string(LENGTH "${expected}" expected_length)
  math(EXPR written_bytes "${written_length} / 2")
  math(EXPR expected_bytes "${expected_length} / 2")
  # The first byte that differs, for whoever looks into it.
  set(at 0)
  while(at LESS written_length AND at LESS expected_length)
    string(SUBSTRING "${written}" ${at} 2 a)
    string(SUBSTRING "${expected}" ${at} 2 b)
    if(NOT a STREQUAL b)
      break()
    endif()
    math(EXPR at "${at} + 2")
  endwhile()
  math(EXPR offset "${at} / 2" OUTPUT_FORMAT HEXADECIMAL)
  message(FATAL_ERROR "${WRITER} ${KIND} wrote ${written_bytes} bytes, the build's library has "
                      "${expected_bytes}; they differ from offset ${offset} on.\n"
                      "written: ${OUTPUT}\nthe build's: ${EXPECTED}")
endif()
message(STATUS "${WRITER} ${KIND} wrote the same ${KIND} library as the build's ${EXPECTED}")
