# Consumes morvane as its users do, in one of three ways (MODE):
#   package       cmake --install into a fresh prefix; check the installed
#                 files and version; build and run a C program through
#                 pkg-config and a C++ program through find_package.
#   subdirectory  build and run the C++ program with morvane added by
#                 add_subdirectory.
#   deb           build the Debian package with cpack, check its contents,
#                 unpack it and build and run the C program against it.
# Inputs: MODE BUILD_DIR WORK_DIR CONSUMER_DIR PROJECT_SOURCE LIBDIR
#         C_COMPILER CXX_COMPILER GENERATOR MAKE_PROGRAM SANITIZE VERSION
cmake_minimum_required(VERSION 3.20)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${shown}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what} printed:\n${actual}\nexpected:\n${expected}")
  endif()
  message(STATUS "${what}: output as expected")
endfunction()

set(sanitize_flags "")
if(SANITIZE)
  set(sanitize_flags -fsanitize=${SANITIZE} -fno-omit-frame-pointer)
endif()
string(REPLACE ";" " " sanitize_string "${sanitize_flags}")

set(c_expected "morvane ${VERSION}\nalpha 2\nbeta 3\ngamma 1\n")
set(cxx_expected "102 2\n103 3\nrun 2\n")

# Builds the C consumer with the compile and link flags pkg-config gives for
# the morvane.pc found in `pc_dir`, and runs it with `lib_dir` as library path.
function(build_c_consumer pc_dir lib_dir out_dir)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(pkg-config --modversion morvane)
  string(STRIP "${run_output}" pc_version)
  if(NOT pc_version STREQUAL VERSION)
    message(FATAL_ERROR "morvane.pc says version ${pc_version}, not ${VERSION}")
  endif()
  run(pkg-config --cflags morvane)
  separate_arguments(cflags UNIX_COMMAND "${run_output}")
  run(pkg-config --libs morvane)
  separate_arguments(libs UNIX_COMMAND "${run_output}")
  file(MAKE_DIRECTORY ${out_dir})
  run(${C_COMPILER} -std=c99 -Wall -Wextra -pedantic-errors -Werror ${sanitize_flags} ${cflags}
      ${CONSUMER_DIR}/consumer.c ${libs} -o ${out_dir}/consumer_c)
  run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib_dir} ${out_dir}/consumer_c)
  expect_output("C program through pkg-config" "${run_output}" "${c_expected}")
endfunction()

# Configures, builds and runs the C++ consumer project with extra arguments.
function(build_cxx_consumer out_dir)
  run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${out_dir} -G ${GENERATOR}
      -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_C_COMPILER=${C_COMPILER}
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_C_FLAGS=${sanitize_string}"
      "-DCMAKE_CXX_FLAGS=${sanitize_string}" -DCMAKE_BUILD_TYPE=Debug ${ARGN})
  run(${CMAKE_COMMAND} --build ${out_dir} -j 2)
  run(${out_dir}/consumer)
  set(run_output "${run_output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

if(MODE STREQUAL "package")
  set(prefix ${WORK_DIR}/prefix)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

  # The version in the installed header names the library files.
  file(STRINGS ${prefix}/include/morvane.h lines REGEX "^#define MORVANE_VERSION_")
  foreach(part MAJOR MINOR PATCH)
    if(NOT lines MATCHES "MORVANE_VERSION_${part} ([0-9]+)")
      message(FATAL_ERROR "installed morvane.h defines no MORVANE_VERSION_${part}")
    endif()
    set(${part} ${CMAKE_MATCH_1})
  endforeach()
  if(NOT "${MAJOR}.${MINOR}.${PATCH}" STREQUAL VERSION)
    message(FATAL_ERROR "header version ${MAJOR}.${MINOR}.${PATCH}, project version ${VERSION}")
  endif()
  set(lib ${prefix}/${LIBDIR})
  foreach(file ${lib}/libmorvane.so.${VERSION} ${prefix}/include/morvane.hpp
               ${lib}/cmake/morvane/morvaneConfig.cmake
               ${lib}/cmake/morvane/morvaneConfigVersion.cmake ${lib}/pkgconfig/morvane.pc)
    if(NOT EXISTS ${file} OR IS_SYMLINK ${file})
      message(FATAL_ERROR "not installed as a file: ${file}")
    endif()
  endforeach()
  file(READ_SYMLINK ${lib}/libmorvane.so.${MAJOR} soname_target)
  file(READ_SYMLINK ${lib}/libmorvane.so link_target)
  if(NOT soname_target STREQUAL "libmorvane.so.${VERSION}" OR
     NOT link_target STREQUAL "libmorvane.so.${MAJOR}")
    message(FATAL_ERROR "soname links: libmorvane.so.${MAJOR} -> ${soname_target}, "
                        "libmorvane.so -> ${link_target}")
  endif()
  run(objdump -p ${lib}/libmorvane.so.${VERSION})
  if(NOT run_output MATCHES "SONAME +libmorvane\\.so\\.${MAJOR}\n")
    message(FATAL_ERROR "the library's soname is not libmorvane.so.${MAJOR}:\n${run_output}")
  endif()
  message(STATUS "installed: libmorvane.so.${VERSION} with soname links, headers, packages")

  build_c_consumer(${lib}/pkgconfig ${lib} ${WORK_DIR}/c)
  build_cxx_consumer(${WORK_DIR}/cxx -DCMAKE_PREFIX_PATH=${prefix})
  expect_output("C++ program through find_package" "${run_output}" "${cxx_expected}")

elseif(MODE STREQUAL "subdirectory")
  build_cxx_consumer(${WORK_DIR}/cxx -DMORVANE_SOURCE=${PROJECT_SOURCE}
                     -DMORVANE_SANITIZE=${SANITIZE})
  expect_output("C++ program with add_subdirectory" "${run_output}" "${cxx_expected}")
  # A host's build gets the library only: no tests, examples or tools.
  foreach(dir tests examples tools)
    if(EXISTS ${WORK_DIR}/cxx/morvane/${dir})
      message(FATAL_ERROR "the host's build also configured morvane's ${dir}")
    endif()
  endforeach()

elseif(MODE STREQUAL "deb")
  run(cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/deb)
  file(GLOB debs ${WORK_DIR}/deb/*.deb)
  list(LENGTH debs count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "cpack made ${count} .deb files: ${debs}")
  endif()
  run(dpkg-deb -f ${debs} Package Version)
  expect_output("package fields" "${run_output}" "Package: morvane\nVersion: ${VERSION}\n")
  run(dpkg-deb -c ${debs})
  foreach(path usr/${LIBDIR}/libmorvane.so.${VERSION} usr/${LIBDIR}/libmorvane.so
               usr/include/morvane.h usr/include/morvane.hpp
               usr/${LIBDIR}/cmake/morvane/morvaneConfig.cmake
               usr/${LIBDIR}/pkgconfig/morvane.pc usr/share/doc/morvane/LICENSE)
    string(FIND "${run_output}" " ./${path}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the package lacks /${path}:\n${run_output}")
    endif()
  endforeach()
  # The package works wherever it is unpacked.
  run(dpkg-deb -x ${debs} ${WORK_DIR}/root)
  build_c_consumer(${WORK_DIR}/root/usr/${LIBDIR}/pkgconfig ${WORK_DIR}/root/usr/${LIBDIR}
                   ${WORK_DIR}/c)
else()
  message(FATAL_ERROR "unknown MODE '${MODE}'")
endif()
