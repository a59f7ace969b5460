cmake_minimum_required(VERSION 3.25)
# Unpacks the release zip and compares it with what went in.
# Usage: cmake -DZIP=<zip> -DDLL=<Zorvane.dll as released> -DDLL64=<64-bit Zorvane.dll as released>
#              -DNOTES=<package dir> -DSETUP=<setup file name> -P this file.
include(${CMAKE_CURRENT_LIST_DIR}/pe.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)

get_filename_component(unpacked ${ZIP} NAME_WE)
set(unpacked ${CMAKE_CURRENT_BINARY_DIR}/${unpacked}-unpacked)
file(REMOVE_RECURSE ${unpacked})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${unpacked})
file(GLOB_RECURSE contents RELATIVE ${unpacked} ${unpacked}/*)
list(SORT contents)

set(problems "")
if(NOT contents STREQUAL "LIESMICH.txt;README.txt;Zorvane.dll;x64/Zorvane.dll")
  string(APPEND problems "  contents: ${contents}\n")
endif()

# Each file as it was built or written, byte for byte.
foreach(row IN ITEMS "Zorvane.dll|${DLL}" "x64/Zorvane.dll|${DLL64}" "LIESMICH.txt|${NOTES}/LIESMICH.txt" "README.txt|${NOTES}/README.txt")
  zorvane_split_row("${row}" name source)
  if(NOT EXISTS ${unpacked}/${name})
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${unpacked}/${name} ${source} RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    string(APPEND problems "  ${name} differs from ${source}\n")
  endif()
endforeach()

# Each DLL for its kind of process, read from its header: a 32-bit host loads only the
# i386 one, a 64-bit host only the AMD64 one.
foreach(row IN ITEMS "Zorvane.dll|i386|267" "x64/Zorvane.dll|AMD64|523")
  zorvane_split_row("${row}" name machine magic)
  if(NOT EXISTS ${unpacked}/${name})
    continue()
  endif()
  zorvane_read_pe(${unpacked}/${name} dll)
  if(dll_ERROR)
    string(APPEND problems "  ${name}: ${dll_ERROR}\n")
  elseif(NOT dll_MACHINE_NAME STREQUAL machine OR NOT dll_MAGIC EQUAL magic OR NOT dll_DLL)
    string(APPEND problems "  ${name}: machine ${dll_MACHINE_NAME}, optional header ${dll_MAGIC}, DLL ${dll_DLL}; expected ${machine}, ${magic}, 1\n")
  endif()
endforeach()

# The notes: every line ends in CRLF, and each tells how to register and unregister each
# DLL with the regsvr32 of its kind, for all users and for one, names the setup of this
# version and the oldest Windows.
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
  zorvane_require_texts(problems "${text}" "${note} does not mention"
                        "regsvr32 \"" "regsvr32 /u \"" "%SystemRoot%\\SysWOW64\\regsvr32.exe"
                        "%SystemRoot%\\System32\\regsvr32.exe" "x64\\Zorvane.dll"
                        "C:\\Program Files\\Zorvane\\" "${SETUP}" "Windows 7"
                        "regsvr32.exe /n /i:user \"" "regsvr32.exe /u /n /i:user \"")
endforeach()

# Each DLL as small as the static runtime allows: unused sections dropped, no symbols.
foreach(row IN ITEMS "Zorvane.dll|${DLL}|524288" "x64/Zorvane.dll|${DLL64}|524288")
  zorvane_split_row("${row}" name dll size_limit)
  file(SIZE ${dll} dll_size)
  math(EXPR dll_kib "(${dll_size} + 1023) / 1024")
  math(EXPR limit_kib "${size_limit} / 1024")
  message(STATUS "${name}: ${dll_size} bytes (${dll_kib} KiB, at most ${limit_kib} KiB)")
  if(dll_size GREATER size_limit)
    string(APPEND problems "  ${name} has ${dll_size} bytes, more than ${size_limit}\n")
  endif()
endforeach()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "${ZIP}:\n${problems}")
endif()
message(STATUS "${ZIP}: Zorvane.dll (i386), x64/Zorvane.dll (AMD64) and both notes, CRLF")
