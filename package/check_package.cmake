cmake_minimum_required(VERSION 3.25)
# Unpacks the release zip and compares it with what went in.
# Usage: cmake -DZIP=<zip> -DDLL=<built Zorvane.dll> -DNOTES=<package dir>
#              -DSETUP=<setup file name> -P this file.

get_filename_component(unpacked ${ZIP} NAME_WE)
set(unpacked ${CMAKE_CURRENT_BINARY_DIR}/${unpacked}-unpacked)
file(REMOVE_RECURSE ${unpacked})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${unpacked})
file(GLOB contents RELATIVE ${unpacked} ${unpacked}/*)
list(SORT contents)

set(problems "")
if(NOT contents STREQUAL "LIESMICH.txt;README.txt;Zorvane.dll")
  string(APPEND problems "  contents: ${contents}\n")
endif()

# Each file as it was built or written, byte for byte.
foreach(pair IN ITEMS "Zorvane.dll|${DLL}" "LIESMICH.txt|${NOTES}/LIESMICH.txt" "README.txt|${NOTES}/README.txt")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  if(NOT EXISTS ${unpacked}/${name})
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${unpacked}/${name} ${source} RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    string(APPEND problems "  ${name} differs from ${source}\n")
  endif()
endforeach()

# The notes: every line ends in CRLF, and each tells how to register, unregister and
# which regsvr32 a 64-bit Windows needs, and names the setup of this version.
foreach(note IN ITEMS LIESMICH.txt README.txt)
  if(NOT EXISTS ${unpacked}/${note})
    continue()
  endif()
  # file(READ) as text drops CR; the bytes, spaced, show every line end as it is.
  file(READ ${unpacked}/${note} hex HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
  string(REPLACE "0d 0a " "" without_crlf "${bytes}")
  if(without_crlf MATCHES "(^| )0[ad] " OR bytes STREQUAL without_crlf)
    string(APPEND problems "  ${note}: not every line ends in CRLF\n")
  endif()
  file(READ ${unpacked}/${note} text)
  foreach(needed IN ITEMS "regsvr32 \"" "regsvr32 /u \"" "%SystemRoot%\\SysWOW64\\regsvr32.exe" "${SETUP}")
    string(FIND "${text}" "${needed}" found)
    if(found LESS 0)
      string(APPEND problems "  ${note} does not mention ${needed}\n")
    endif()
  endforeach()
endforeach()

# The DLL as small as the static runtime allows: unused sections dropped, no symbols.
set(size_limit 524288)
file(SIZE ${DLL} dll_size)
math(EXPR dll_kib "(${dll_size} + 1023) / 1024")
message(STATUS "Zorvane.dll: ${dll_size} bytes (${dll_kib} KiB, at most 512 KiB)")
if(dll_size GREATER size_limit)
  string(APPEND problems "  Zorvane.dll has ${dll_size} bytes, more than ${size_limit}\n")
endif()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "${ZIP}:\n${problems}")
endif()
message(STATUS "${ZIP}: Zorvane.dll and both notes, CRLF")
