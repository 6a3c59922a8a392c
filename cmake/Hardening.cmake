# MORVANE_HARDENING: build every target as a distribution builds the binaries
# it ships (the `package` preset and the package test turn it on): a canary on
# the stack of every function with a local array or an address-taken local,
# glibc's checked variants of the string and memory functions where the size
# of the destination is known, and the relocation tables read-only once loaded
# (full RELRO: every symbol bound at load time, -z now).
option(MORVANE_HARDENING "Build with the hardening flags of a distribution's packages" OFF)
if(NOT MORVANE_HARDENING)
  return()
endif()
add_compile_options(-fstack-protector-strong)

# glibc checks nothing without optimisation (and says so in a warning, an
# error in our builds), so the checked functions come with optimised
# configurations only. The compiler may define its own level: ours replaces it.
add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
if(NOT CMAKE_CONFIGURATION_TYPES AND NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  message(WARNING "MORVANE_HARDENING: -D_FORTIFY_SOURCE=2 needs an optimised build; "
                  "CMAKE_BUILD_TYPE '${CMAKE_BUILD_TYPE}' builds without it")
endif()

add_link_options(LINKER:-z,relro LINKER:-z,now)
