# Reads a Windows binary's import or export table with objdump -p and checks
# how it meets nNOTES.dll.
#
#   cmake -DOBJDUMP=<objdump> -DBINARY=<file> -DMODE=imports|exports
#         -DORDINALS=<n;n;...> -P check_ordinals.cmake
#
# imports: the binary imports from nNOTES.dll exactly ORDINALS, each by
#          number, and no function by name.
# exports: the binary (the stand-in nNOTES.dll) exports exactly ORDINALS and
#          no name.
# Either way the binary must not need a DLL of the compiler's runtime
# (libstdc++, libgcc, winpthread): those are linked in statically.
# With -DDLLS=<name;name;...> (not empty) it must import from exactly those DLLs (in any
# letter case).

foreach(var OBJDUMP BINARY MODE ORDINALS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_ordinals.cmake: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${BINARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${BINARY} failed")
endif()
string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")

set(problems "")
set(found "")
set(section "")
set(nnotes_tables 0)
set(dlls "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\tDLL Name: (.*)$")
    set(dll "${CMAKE_MATCH_1}")
    string(TOUPPER "${dll}" upper)
    list(APPEND dlls "${upper}")
    if(dll MATCHES "^(libstdc\\+\\+|libgcc|libwinpthread)")
      list(APPEND problems "needs the runtime DLL ${dll}")
    endif()
    if(dll STREQUAL "nNOTES.dll")
      set(section nnotes_imports)
      math(EXPR nnotes_tables "${nnotes_tables} + 1")
    else()
      set(section "")
    endif()
  elseif(line MATCHES "^Export Address Table -- ")
    set(section export_addresses)
  elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(section export_names)
  elseif(line STREQUAL "" OR line MATCHES "^[A-Za-z]")
    set(section "")
  elseif(section STREQUAL "nnotes_imports" AND MODE STREQUAL "imports")
    # An entry by ordinal has bit 63 set and no name: "8000...00f  00000000f  <none>".
    if(line MATCHES "^\t8000000000000([0-9a-f]+)\t +[0-9a-f]+ +<none>$")
      math(EXPR ordinal "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT DECIMAL)
      list(APPEND found ${ordinal})
    elseif(line MATCHES "^\t[0-9a-f]+\t +[0-9a-f]+ +(.+)$")
      list(APPEND problems "imports ${CMAKE_MATCH_1} from nNOTES.dll by name")
    endif()
  elseif(section STREQUAL "export_addresses" AND MODE STREQUAL "exports")
    if(line MATCHES "\\+base\\[ *([0-9]+)\\]")
      list(APPEND found ${CMAKE_MATCH_1})
    endif()
  elseif(section STREQUAL "export_names" AND MODE STREQUAL "exports")
    if(line MATCHES "^\t\\[ *[0-9]+\\] (.+)$")
      list(APPEND problems "exports the name ${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()

if(MODE STREQUAL "imports" AND NOT nnotes_tables EQUAL 1)
  list(APPEND problems "has ${nnotes_tables} import tables for nNOTES.dll, not one")
endif()

if(DLLS)
  string(TOUPPER "${DLLS}" expected_dlls)
  list(SORT expected_dlls)
  list(SORT dlls)
  if(NOT dlls STREQUAL expected_dlls)
    list(APPEND problems "imports from the DLLs [${dlls}], not [${expected_dlls}]")
  endif()
endif()

list(SORT found COMPARE NATURAL)
set(expected ${ORDINALS})
list(SORT expected COMPARE NATURAL)
if(NOT found STREQUAL expected)
  list(APPEND problems "${MODE} the ordinals [${found}], not [${expected}]")
endif()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "${BINARY}:\n  ${text}")
endif()
list(LENGTH found count)
message(STATUS "${BINARY}: ${MODE} the ${count} ordinals of nNOTES.dll, no names")
