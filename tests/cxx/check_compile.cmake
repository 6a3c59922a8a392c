# Compiles SOURCE with COMPILER and the include directory INCLUDE. Without
# CASE it compiles the file as it is, which must succeed without a warning.
# With CASE=<n> it takes the line "// refused <n> [flags]: <text>" of SOURCE
# and compiles with -DREFUSED=<n> (and the flags), which must fail with
# exactly one error, and that error must carry <text>.
set(flags -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wcast-qual -Werror
          -I${INCLUDE} ${SOURCE})
include(${CMAKE_CURRENT_LIST_DIR}/../support/checks.cmake)
if(NOT DEFINED CASE)
  run(${COMPILER} -std=c++17 ${flags} -c -o /dev/null)
  return()
endif()
file(STRINGS ${SOURCE} line REGEX "^// refused ${CASE}[ :]")
string(REGEX MATCH "^// refused ([0-9]+) ?([^:]*): (.*)$" _ "${line}")
separate_arguments(std UNIX_COMMAND "${CMAKE_MATCH_2}")
set(reason "${CMAKE_MATCH_3}")
if(NOT std)
  set(std -std=c++17)
endif()
execute_process(COMMAND ${COMPILER} ${std} -DREFUSED=${CASE} ${flags} -fsyntax-only
                RESULT_VARIABLE rc ERROR_VARIABLE out)
string(REGEX MATCHALL "error:" errors "${out}")
list(LENGTH errors count)
string(FIND "${out}" "${reason}" at)
if(rc EQUAL 0 OR NOT count EQUAL 1 OR at EQUAL -1 OR reason STREQUAL "")
  message(FATAL_ERROR "${COMPILER} ${line}: expected one error with that text, got:\n${out}")
endif()
