# Fails unless `nm -D --defined-only LIBRARY` lists exactly the names in
# EXPECTED, ignoring a version node's own symbol.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
string(REGEX MATCHALL "[0-9a-fA-F]* [B-Zb-z] [^@\n ]+" lines "${out}")
list(TRANSFORM lines REPLACE "^.* " "")
list(SORT lines)
list(SORT EXPECTED)
if(NOT rc EQUAL 0 OR NOT lines STREQUAL EXPECTED)
  message(FATAL_ERROR "exported symbols differ\n  expected: ${EXPECTED}\n  actual:   ${lines}")
endif()
