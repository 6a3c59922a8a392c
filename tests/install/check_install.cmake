# Uses morvane as a host project does (MODE):
#   deb           builds the packages libmorvane1 and libmorvane-dev for /usr
#                 with the hardening flags, checks their fields, files and
#                 control files, the symbols file against the library's
#                 exports, and (where installed) that lintian --pedantic -I
#                 finds nothing and hardening-check passes; unpacks both into
#                 a scratch root and builds a C program through pkg-config
#                 and a C++ program through find_package against them.
#   subdirectory  builds the C++ program with morvane added by
#                 add_subdirectory: only the library, warnings not errors.
cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/../support/checks.cmake)

# Configures, builds and runs the C++ consumer; its output is fixed.
function(cxx_consumer dir)
  run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${dir} -G ${GENERATOR} ${ARGN})
  run(${CMAKE_COMMAND} --build ${dir} -j 2)
  run(${CMAKE_COMMAND} -E env ${env} ${dir}/consumer)
  expect("C++ consumer" "^101 1\n101 1\n102 2\n103 3\n$" "${out}")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
if(MODE STREQUAL "subdirectory")
  cxx_consumer(${WORK_DIR} -DMORVANE_SOURCE=${SOURCE_DIR})
  file(GLOB configured LIST_DIRECTORIES true ${WORK_DIR}/morvane/tests ${WORK_DIR}/morvane/examples
       ${WORK_DIR}/morvane/tools)
  expect("morvane's folders the host's build also configured" "^$" "${configured}")
  file(READ ${WORK_DIR}/CMakeCache.txt cache)
  expect("host's cache" "MORVANE_WARNINGS_AS_ERRORS:BOOL=OFF" "${cache}")
  return()
endif()

set(build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=/usr -DMORVANE_HARDENING=ON -DMORVANE_BUILD_TESTS=OFF -DMORVANE_BUILD_EXAMPLES=OFF
    -DMORVANE_BUILD_TOOLS=OFF)
run(${CMAKE_COMMAND} --build ${build} -j 2)
run(cpack -G DEB --config ${build}/CPackConfig.cmake -B ${WORK_DIR}/debs)
file(STRINGS ${build}/CMakeCache.txt libdir REGEX "^CMAKE_INSTALL_LIBDIR:")
string(REGEX REPLACE ".*=" "" libdir "${libdir}")
expect("library directory" "^lib/[a-z0-9_]+-linux-gnu[a-z]*$" "${libdir}")

file(GLOB debs RELATIVE ${WORK_DIR}/debs ${WORK_DIR}/debs/*.deb)
expect("cpack made" "^libmorvane-dev_${VERSION}_[a-z0-9]+\\.deb;libmorvane1_${VERSION}_[a-z0-9]+\\.deb$" "${debs}")
file(GLOB runtime ${WORK_DIR}/debs/libmorvane1_${VERSION}_*.deb)
file(GLOB dev ${WORK_DIR}/debs/libmorvane-dev_${VERSION}_*.deb)
run(dpkg-deb -f ${runtime} Section Depends)
expect("libmorvane1 fields" "^Section: libs\nDepends: libc6" "${out}")
run(dpkg-deb -f ${dev} Section Depends)
expect("libmorvane-dev fields" "^Section: libdevel\nDepends: libmorvane1 \\(= ${VERSION}\\)\n$" "${out}")
# The runtime package holds the library and its soname link and nothing to
# build with; the development package everything else.
run(dpkg-deb -c ${runtime})
string(REGEX MATCHALL "\\./usr/[^ \n]*[^/\n]( -> [^\n]*)?\n" files "${out}")
list(SORT files)
string(REPLACE ";" "" files "${files}")
expect("libmorvane1 files" "^\\./usr/${libdir}/libmorvane\\.so\\.1 -> libmorvane\\.so\\.${VERSION}\n\\./usr/${libdir}/libmorvane\\.so\\.${VERSION}\n(\\./usr/share/doc/libmorvane1/[a-z.]+\n)*$" "${files}")
run(dpkg-deb -c ${dev})
foreach(path include/morvane.h include/morvane.hpp ${libdir}/libmorvane.so
             ${libdir}/cmake/morvane/morvaneConfig.cmake ${libdir}/pkgconfig/morvane.pc)
  expect("libmorvane-dev files" " \\./usr/${path}[ \n]" "${out}")
endforeach()
# ldconfig runs from the trigger alone: no maintainer scripts. The symbols
# file lists exactly the library's exports (dpkg-gensymbols fails on any
# difference).
run(dpkg-deb -e ${runtime} ${WORK_DIR}/control)
file(GLOB control RELATIVE ${WORK_DIR}/control ${WORK_DIR}/control/*)
expect("libmorvane1 control files" "^control;md5sums;shlibs;symbols;triggers$" "${control}")
file(READ ${WORK_DIR}/control/triggers triggers)
expect("libmorvane1 triggers" "^activate-noawait ldconfig\n$" "${triggers}")
set(root ${WORK_DIR}/root)
run(dpkg-deb -x ${runtime} ${root})
run(dpkg-deb -x ${dev} ${root})
run(dpkg-gensymbols -v${VERSION} -plibmorvane1 -P${root} -e${root}/usr/${libdir}/libmorvane.so.${VERSION}
    -I${WORK_DIR}/control/symbols -O${WORK_DIR}/symbols -c4)

find_program(LINTIAN lintian)
if(LINTIAN)
  run(${LINTIAN} --pedantic -I --fail-on error,warning,info,pedantic ${runtime} ${dev})
  message(STATUS "lintian --pedantic -I:\n${out}")
endif()
# Control-flow protection is not checked: the C runtime start files of the
# toolchain carry no IBT/SHSTK note, so no library linked with them has one.
find_program(HARDENING_CHECK hardening-check)
if(HARDENING_CHECK)
  run(${HARDENING_CHECK} --nocfprotection ${root}/usr/${libdir}/libmorvane.so.${VERSION})
  message(STATUS "${out}")
endif()

# Clean paths: the include directory once in the CMake targets, and no
# relative climb in the pkg-config file.
file(STRINGS ${root}/usr/${libdir}/cmake/morvane/morvaneTargets.cmake includes
     REGEX "INTERFACE_INCLUDE_DIRECTORIES")
expect("exported include directories" "^ *INTERFACE_INCLUDE_DIRECTORIES \"\\\${_IMPORT_PREFIX}/include\"$" "${includes}")
file(READ ${root}/usr/${libdir}/pkgconfig/morvane.pc pc)
expect("morvane.pc" "^prefix=/usr\nexec_prefix=\\\${prefix}\nlibdir=\\\${exec_prefix}/${libdir}\nincludedir=\\\${prefix}/include\n" "${pc}")
set(env LD_LIBRARY_PATH=${root}/usr/${libdir})
set(ENV{PKG_CONFIG_PATH} ${root}/usr/${libdir}/pkgconfig)
run(pkg-config --define-variable=prefix=${root}/usr --cflags --libs morvane)
separate_arguments(flags UNIX_COMMAND "${out}")
run(cc ${CONSUMER_DIR}/consumer.c ${flags} -o ${WORK_DIR}/consumer_c)
run(${CMAKE_COMMAND} -E env ${env} ${WORK_DIR}/consumer_c)
expect("C consumer" "^1\n2\n3\n$" "${out}")
cxx_consumer(${WORK_DIR}/cxx -DCMAKE_PREFIX_PATH=${root}/usr)
