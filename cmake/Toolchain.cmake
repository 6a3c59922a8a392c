# The toolchain the project builds with: GCC or Clang, with a GNU-style
# linker (GNU ld, gold or lld) on an ELF system. The library's sources rely
# on their builtins and on POSIX signals; CI builds both compilers.
if(NOT (CMAKE_C_COMPILER_ID MATCHES "GNU|Clang" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang"))
  message(FATAL_ERROR "morvane builds with GCC or Clang, not ${CMAKE_CXX_COMPILER_ID}")
endif()

# morvane_warnings(<target>): the project's warning flags, as errors when
# MORVANE_WARNINGS_AS_ERRORS is on (by default only when morvane is the
# top-level project).
function(morvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion -Wcast-qual -Wformat=2)
  if(MORVANE_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
