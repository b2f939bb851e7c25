# Writes the SHA-256 checksums of FILES to OUTPUT, in the format sha256sum -c
# reads ("<hex>  <name>", the name without its folder), with CRLF line ends
# for Notepad.
#
#   cmake -DOUTPUT=<file> -DFILES=<file;file;...> -P sha256sums.cmake

foreach(var OUTPUT FILES)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "sha256sums.cmake: ${var} is not set")
  endif()
endforeach()

set(text "")
foreach(file IN LISTS FILES)
  file(SHA256 "${file}" hash)
  get_filename_component(name "${file}" NAME)
  string(APPEND text "${hash}  ${name}\r\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
