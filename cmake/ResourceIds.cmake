# cmake -DRESOURCE_H=res/resource.h -DOUTPUT=kwo_ids.sh -P ResourceIds.cmake
# Writes every number that res/resource.h defines as a shell variable
# (IDC_LIST=1000, ID_OPTIONS=32802, ...) for the end-to-end scripts, which
# source the file instead of spelling the numbers out. Hexadecimal values are
# written in decimal, as the test driver takes them.
file(STRINGS "${RESOURCE_H}" _lines REGEX "^#define [A-Za-z_][A-Za-z0-9_]* +(0x[0-9A-Fa-f]+|[0-9]+)")
set(_text "# Generated at build time from res/resource.h by cmake/ResourceIds.cmake: do not edit.\n")
foreach(_line IN LISTS _lines)
  string(REGEX MATCH "^#define ([A-Za-z_][A-Za-z0-9_]*) +(0x[0-9A-Fa-f]+|[0-9]+)" _ "${_line}")
  set(_value "${CMAKE_MATCH_2}")
  math(EXPR _value "${_value}" OUTPUT_FORMAT DECIMAL)
  string(APPEND _text "${CMAKE_MATCH_1}=${_value}\n")
endforeach()
# Rewritten only when it changes, so that nothing depending on it runs again.
file(WRITE "${OUTPUT}.new" "${_text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
