# Compiles SOURCE with each compiler in COMPILERS (a |-separated list) and
# the include directory INCLUDE. A source whose first line is "// accepted"
# must compile without a warning; one whose first line is
# "// refused: <text>" must fail, with <text> in the compiler's messages, so
# that it fails for the reason it was written for.
file(STRINGS ${SOURCE} first LIMIT_COUNT 1)
string(REPLACE "|" ";" compilers "${COMPILERS}")
set(flags -std=c++17 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
          -Wcast-qual -Werror -I${INCLUDE})
foreach(compiler IN LISTS compilers)
  execute_process(COMMAND ${compiler} ${flags} -c ${SOURCE} -o /dev/null
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(first MATCHES "^// accepted")
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${compiler} refused ${SOURCE}:\n${out}")
    endif()
  elseif(first MATCHES "^// refused: (.*)$")
    set(reason "${CMAKE_MATCH_1}")
    if(rc EQUAL 0)
      message(FATAL_ERROR "${compiler} accepted ${SOURCE}")
    endif()
    string(FIND "${out}" "${reason}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${compiler} refused ${SOURCE}, but not with \"${reason}\":\n${out}")
    endif()
  else()
    message(FATAL_ERROR "${SOURCE} starts with neither // accepted nor // refused:")
  endif()
  message(STATUS "${compiler}: ${first}")
endforeach()
