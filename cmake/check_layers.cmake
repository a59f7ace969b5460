cmake_minimum_required(VERSION 3.25)
# Fails when a folder of the plug-in includes one above it. The layers, lowest first:
#   common -> win -> contract -> clamp -> ui -> plugin -> component
# and the portable parts (common/, clamp/ and ui/ outside their win32/ folders) include
# nothing of Windows at all.
# Usage: cmake -DROOT=<source tree> -P check_layers.cmake

set(layers common win contract clamp ui plugin component)
set(windows_headers windows.h oleauto.h oaidl.h objbase.h unknwn.h ocidl.h olectl.h commctrl.h
    shlwapi.h wrl/client.h VELTTypeLib.h)

set(sources "")
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE found RELATIVE ${ROOT} ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp)
  list(APPEND sources ${found})
endforeach()
set(problems "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${source}")
  list(FIND layers "${folder}" rank)
  if(rank LESS 0)
    continue()
  endif()
  set(portable FALSE)
  if(folder STREQUAL "common" OR
     ((folder STREQUAL "clamp" OR folder STREQUAL "ui") AND NOT source MATCHES "^[^/]+/win32/"))
    set(portable TRUE)
  endif()
  file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "#[ \t]*include[ \t]*[\"<]([^\">]+)[\">]")
      set(included "${CMAKE_MATCH_1}")
    else()
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" target "${included}")
    list(FIND layers "${target}" target_rank)
    if(target_rank GREATER rank)
      string(APPEND problems "  ${source} includes ${included}: ${folder} is below ${target}\n")
    endif()
    if(portable)
      list(FIND windows_headers "${included}" windows_header)
      if(windows_header GREATER_EQUAL 0 OR target STREQUAL "win" OR target STREQUAL "contract" OR
         included MATCHES "/win32/")
        string(APPEND problems "  ${source} includes ${included}: ${folder}/ is portable\n")
      endif()
    endif()
  endforeach()
endforeach()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "Layers point the wrong way:\n${problems}")
endif()
list(LENGTH sources count)
message(STATUS "Layers point downwards (${count} files checked)")
