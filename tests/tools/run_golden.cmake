# Runs PROGRAM (with ARGS, a comma list, and standard input INPUT) and compares
# its standard error with EXPECTED.err, and its standard output and exit
# status with EXPECTED.out and EXPECTED.status where those files exist (else
# the status must be 0). Addresses change from run to run: non-zero numbers
# after "rptr " and "tptr ", and the key field of a table with a caller's
# comparison, read <addr> and <fn>. With MORVANE_UPDATE_GOLDEN set in the
# environment the expected files are rewritten instead: review the change.
cmake_policy(VERSION 3.20)
string(REPLACE "," ";" args "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args} INPUT_FILE ${INPUT}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
set(status "${status}\n")
set(failures "")
foreach(stream err out status)
  string(REGEX REPLACE "(rptr|tptr) -?[1-9][0-9]*" "\\1 <addr>" ${stream} "${${stream}}")
  string(REGEX REPLACE "(ktyp 2  kmod -?[0-9]+  ftyp )-?[1-9][0-9]*" "\\1<fn>" ${stream} "${${stream}}")
  set(want "0\n")
  if(EXISTS ${EXPECTED}.${stream})
    file(READ ${EXPECTED}.${stream} want)
  elseif(NOT stream STREQUAL "status")
    continue()
  endif()
  if(DEFINED ENV{MORVANE_UPDATE_GOLDEN} AND (EXISTS ${EXPECTED}.${stream} OR NOT status STREQUAL "0\n"))
    file(WRITE ${EXPECTED}.${stream} "${${stream}}")
  elseif(NOT ${stream} STREQUAL want)
    file(WRITE ${ACTUAL}.${stream} "${${stream}}")
    execute_process(COMMAND diff -u ${EXPECTED}.${stream} ${ACTUAL}.${stream})
    string(APPEND failures "${stream} differs from ${EXPECTED}.${stream}\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
