# The shell at a terminal (a pseudo-terminal made by script(1)): Tab
# completes key types, the ids of the tables not freed and selectors; the
# history is kept in $XDG_STATE_HOME/morvane/history and recalled by the next
# run, not kept with --no-history or when the input is not a terminal, and
# skipped without a word where the file cannot be written. PROGRAM is the
# shell, WORK_DIR a scratch directory.
cmake_policy(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/../support/checks.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# Types `keys` at the shell started with XDG_STATE_HOME=`state` and `args`;
# its terminal's output in `out`, less the echo of the keys by the terminal
# itself, which comes or not (and anywhere before the first prompt) as the
# keys arrive before libedit takes the terminal or after.
function(at_terminal keys state args)
  file(WRITE ${WORK_DIR}/keys "${keys}")
  execute_process(COMMAND timeout 20 script -qec "env XDG_STATE_HOME=${state} ${PROGRAM} ${args}" /dev/null
                  INPUT_FILE ${WORK_DIR}/keys OUTPUT_VARIABLE output RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the shell at a terminal ended with ${status}:\n${output}")
  endif()
  string(FIND "${output}" "${keys}" at)  # line ends come as \n here
  if(at GREATER_EQUAL 0)
    string(LENGTH "${keys}" length)
    string(SUBSTRING "${output}" 0 ${at} before)
    math(EXPR at "${at} + ${length}")
    string(SUBSTRING "${output}" ${at} -1 after)
    set(output "${before}${after}")
  endif()
  set(out "${output}" PARENT_SCOPE)
endfunction()

set(state ${WORK_DIR}/state)
set(history ${state}/morvane/history)
file(WRITE ${WORK_DIR}/script "create int4\nquit\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_STATE_HOME=${state} ${PROGRAM}
                INPUT_FILE ${WORK_DIR}/script OUTPUT_QUIET)
at_terminal("create int4\nquit\n" ${state} --no-history)
set(plain "${out}")
if(EXISTS ${state})
  message(FATAL_ERROR "a history was written with --no-history or from a file")
endif()

at_terminal("create int4\nquit\n" ${state} "")
file(READ ${history} kept)
expect("history file" "create.*int4.*quit" "${kept}")
# Up twice brings back "create int4" from the run before.
string(ASCII 27 escape)
at_terminal("${escape}[A${escape}[A\nquit\n" ${state} "")
expect("the line of the previous run recalled" "\ncreate: 0 \\(int4 key" "${out}")

# A place that cannot be made (a file stands where the folder should be):
# the same terminal output as without a history.
file(WRITE ${WORK_DIR}/file "")
at_terminal("create int4\nquit\n" ${WORK_DIR}/file "")
if(NOT out STREQUAL plain)
  message(FATAL_ERROR "an unwritable history showed:\n${out}\ninstead of:\n${plain}")
endif()

# "co" Tab Tab: count, then the one table left (1), so "count 1" runs; "l"
# Tab after a table id: the selector last.
at_terminal("cr\ts\t8\ncreate int4\nfree 0\nco\t\t\nget 1 l\t\nquit\n" ${state} --no-history)
expect("completion" "\ncreate: 0 \\(str 8 key.*\ncount: 0\n.*\nget: 0 nothing fetched" "${out}")
