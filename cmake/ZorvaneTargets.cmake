# Warnings are errors for our own code; third-party code keeps its own flags.
add_library(zorvane_warnings INTERFACE)
target_compile_options(zorvane_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)

if(WIN32)
  add_library(zorvane_win32_defaults INTERFACE)
  target_compile_definitions(zorvane_win32_defaults INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Programs and DLLs for a plain Windows: no MinGW runtime DLLs beside them.
  target_link_options(zorvane_win32_defaults INTERFACE
    -static -static-libgcc -static-libstdc++)
  # The oldest Windows we build for, also in every module's header, so that an older
  # system refuses the file by its header instead of by a missing entry point.
  target_link_options(zorvane_win32_defaults INTERFACE
    -Wl,--major-os-version,6,--minor-os-version,1,--major-subsystem-version,6,--minor-subsystem-version,1)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # A .def names the plain exports; on 32 bits each finds its decorated stdcall function.
    target_link_options(zorvane_win32_defaults INTERFACE -Wl,--enable-stdcall-fixup)
  endif()
  if(ZORVANE_DLL_ONLY)
    # The shipped DLL's tree: each function and datum in a section of its own, so that the
    # linker keeps only what is reached; the release carries no symbols.
    target_compile_options(zorvane_win32_defaults INTERFACE -ffunction-sections -fdata-sections)
    target_link_options(zorvane_win32_defaults INTERFACE
      -Wl,--gc-sections $<$<CONFIG:Release,MinSizeRel>:-s>)
  endif()
endif()

# zorvane_defaults(target): our standard flags on one of our own targets.
function(zorvane_defaults target)
  target_link_libraries(${target} PRIVATE zorvane_warnings)
  if(WIN32)
    target_link_libraries(${target} PRIVATE zorvane_win32_defaults)
  endif()
endfunction()

# zorvane_static_library(<name> <sources>... LINKS <libraries>...): one of our static
# libraries: its headers named from the project's root, what it links passed on to its
# users, our standard flags.
function(zorvane_static_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LINKS")
  add_library(${name} STATIC ${arg_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${arg_LINKS})
  zorvane_defaults(${name})
endfunction()
