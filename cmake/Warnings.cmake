# Compiler and linker options that only some toolchains understand.
#
# MORVANE_GNU_LIKE: the C and C++ compilers take GCC's options (GCC, Clang).
# MORVANE_LINKER_VERSION_SCRIPT / MORVANE_LINKER_NO_UNDEFINED: the linker
# takes -Wl,--version-script and -Wl,--no-undefined (GNU ld, gold, lld).
include(CheckLinkerFlag)

if(CMAKE_C_COMPILER_ID MATCHES "GNU|Clang" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set(MORVANE_GNU_LIKE ON)
else()
  set(MORVANE_GNU_LIKE OFF)
endif()
check_linker_flag(C "-Wl,--version-script=${PROJECT_SOURCE_DIR}/src/morvane.map"
                  MORVANE_LINKER_VERSION_SCRIPT)
check_linker_flag(C "-Wl,--no-undefined" MORVANE_LINKER_NO_UNDEFINED)

# morvane_warnings(<target>): the project's warning flags, as errors when
# MORVANE_WARNINGS_AS_ERRORS is on (by default only when morvane is the
# top-level project).
function(morvane_warnings target)
  if(MORVANE_GNU_LIKE)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wsign-conversion -Wcast-qual -Wformat=2)
    if(MORVANE_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4)
    if(MORVANE_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  endif()
endfunction()
