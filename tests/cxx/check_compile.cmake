# Compiles SOURCE with each compiler in COMPILERS (a |-separated list) and the
# include directory INCLUDE: as it is, which must succeed without a warning,
# and once per line "// refused <n> [flags]: <text>" with -DREFUSED=<n>, which
# must fail with exactly one error, and that error must carry <text>.
file(STRINGS ${SOURCE} cases REGEX "^// refused ")
string(REPLACE "|" ";" compilers "${COMPILERS}")
set(flags -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wcast-qual -Werror
          -I${INCLUDE} ${SOURCE})
foreach(compiler IN LISTS compilers)
  execute_process(COMMAND ${compiler} -std=c++17 ${flags} -c -o /dev/null
                  RESULT_VARIABLE rc ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${compiler} refused ${SOURCE}:\n${out}")
  endif()
  foreach(case IN LISTS cases)
    string(REGEX MATCH "^// refused ([0-9]+) ?([^:]*): (.*)$" _ "${case}")
    separate_arguments(std UNIX_COMMAND "${CMAKE_MATCH_2}")
    set(reason "${CMAKE_MATCH_3}")
    if(std STREQUAL "")
      set(std -std=c++17)
    endif()
    execute_process(COMMAND ${compiler} ${std} -DREFUSED=${CMAKE_MATCH_1} ${flags} -fsyntax-only
                    RESULT_VARIABLE rc ERROR_VARIABLE out)
    string(REGEX MATCHALL "error:" errors "${out}")
    list(LENGTH errors count)
    string(FIND "${out}" "${reason}" at)
    if(rc EQUAL 0 OR NOT count EQUAL 1 OR at EQUAL -1)
      message(FATAL_ERROR "${compiler} ${case}: expected one error with that text, got:\n${out}")
    endif()
  endforeach()
endforeach()
