# What the package checks share: table rows of "a|b|c", and texts that must be there.

# zorvane_split_row(<row> <var>...): the fields of a "a|b|c" row, in order, into the
# named variables of the caller.
function(zorvane_split_row row)
  string(REPLACE "|" ";" fields "${row}")
  list(LENGTH fields count)
  list(LENGTH ARGN wanted)
  if(NOT count EQUAL wanted)
    message(FATAL_ERROR "row '${row}' has ${count} fields, expected ${wanted}")
  endif()
  foreach(var field IN ZIP_LISTS ARGN fields)
    set(${var} "${field}" PARENT_SCOPE)
  endforeach()
endfunction()

# zorvane_require_texts(<problems> <text> <what> <needed>...): for each needed text that
# <text> does not contain, the line "  <what> <needed>" added to the variable <problems>.
function(zorvane_require_texts problems_variable text what)
  set(added "")
  # Each argument on its own: in the list ARGN a text ending in a backslash would swallow
  # the separator after it.
  math(EXPR last "${ARGC} - 1")
  foreach(i RANGE 3 ${last})
    set(needed "${ARGV${i}}")
    string(FIND "${text}" "${needed}" found)
    if(found LESS 0)
      string(APPEND added "  ${what} ${needed}\n")
    endif()
  endforeach()
  set(${problems_variable} "${${problems_variable}}${added}" PARENT_SCOPE)
endfunction()
