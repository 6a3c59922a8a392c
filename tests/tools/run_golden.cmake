# Runs one program and compares what it writes with the expected files.
#
#   cmake -DPROGRAM=<exe> [-DARGS=a,b,...] [-DINPUT=<file>] -DEXPECTED=<base>
#         -DACTUAL=<base> -P run_golden.cmake
#
# Standard output is compared with <base>.out, standard error with <base>.err
# (empty when that file is missing) and the exit status with <base>.status
# (0 when missing). Addresses change from run to run, so non-zero numbers
# after "rptr " and "tptr ", and the key field of a table with a caller's
# comparison (ktyp 2), read <addr> and <fn>; everything else must match byte
# for byte. On a mismatch the actual output is left in <ACTUAL>.out/.err.
# With the environment variable MORVANE_UPDATE_GOLDEN set, the expected files
# are rewritten instead: review every changed line before committing it.

foreach(var PROGRAM EXPECTED ACTUAL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_golden.cmake: ${var} is not set")
  endif()
endforeach()

string(REPLACE "," ";" args "${ARGS}")
if(NOT DEFINED INPUT)
  set(INPUT /dev/null)
endif()

execute_process(COMMAND ${PROGRAM} ${args}
                INPUT_FILE ${INPUT}
                OUTPUT_VARIABLE out
                ERROR_VARIABLE err
                RESULT_VARIABLE status)

function(stable var)
  set(text "${${var}}")
  string(REGEX REPLACE "(rptr|tptr) -?[1-9][0-9]*" "\\1 <addr>" text "${text}")
  string(REGEX REPLACE "(ktyp 2  kmod -?[0-9]+  ftyp )-?[1-9][0-9]*" "\\1<fn>" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()
stable(out)
stable(err)

if(DEFINED ENV{MORVANE_UPDATE_GOLDEN})
  file(WRITE ${EXPECTED}.out "${out}")
  file(REMOVE ${EXPECTED}.err ${EXPECTED}.status)
  if(NOT err STREQUAL "")
    file(WRITE ${EXPECTED}.err "${err}")
  endif()
  if(NOT status STREQUAL "0")
    file(WRITE ${EXPECTED}.status "${status}\n")
  endif()
  return()
endif()

set(want_err "")
set(want_status 0)
file(READ ${EXPECTED}.out want_out)
if(EXISTS ${EXPECTED}.err)
  file(READ ${EXPECTED}.err want_err)
endif()
if(EXISTS ${EXPECTED}.status)
  file(STRINGS ${EXPECTED}.status want_status LIMIT_COUNT 1)
endif()

set(failures "")
foreach(stream out err)
  if(NOT ${stream} STREQUAL want_${stream})
    file(WRITE ${ACTUAL}.${stream} "${${stream}}")
    set(expected_file ${EXPECTED}.${stream})
    if(NOT EXISTS ${expected_file})
      set(expected_file /dev/null)
    endif()
    execute_process(COMMAND diff -u ${expected_file} ${ACTUAL}.${stream})
    string(APPEND failures "std${stream} differs from ${EXPECTED}.${stream} (diff above)\n")
  endif()
endforeach()
if(NOT status STREQUAL want_status)
  string(APPEND failures "exit status ${status}, expected ${want_status}\n")
endif()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
