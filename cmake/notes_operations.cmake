# Reads the list of the Notes library's operations, notes/notes_operations.h,
# for checks made by CMake: one "X(name, ordinal)" to a line.
#
#   read_notes_operations(<names_var> <ordinals_var>)
#
# sets the two variables to the operations' names and ordinals, in the list's
# order. An entry line it cannot read stops the configuration, so that no
# check runs on a list shorter than the compiler's.
function(read_notes_operations names_var ordinals_var)
  set(header ${PROJECT_SOURCE_DIR}/notes/notes_operations.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  # One list item per line; the macro's line-ending backslashes go first, as
  # CMake would read "\;" as a semicolon within an item.
  file(READ ${header} text)
  string(REPLACE "\\" " " text "${text}")
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  list(FILTER lines INCLUDE REGEX "^[ \t]*X\\(")
  set(names "")
  set(ordinals "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]*X\\(([a-z_]+), ([0-9]+)\\)[ \t]*$")
      message(FATAL_ERROR "${header}: cannot read the entry \"${line}\"")
    endif()
    list(APPEND names ${CMAKE_MATCH_1})
    list(APPEND ordinals ${CMAKE_MATCH_2})
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "${header}: no entry X(name, ordinal) found")
  endif()
  set(${names_var} ${names} PARENT_SCOPE)
  set(${ordinals_var} ${ordinals} PARENT_SCOPE)
endfunction()
