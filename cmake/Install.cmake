# Installation of the library, its headers, a CMake package and a pkg-config
# file, and two Debian packages of the same files (cpack in a build of the
# `package` preset): libmorvane1, the runtime, and libmorvane-dev.
#
# A host that builds morvane with add_subdirectory or FetchContent gets no
# install rules by default (MORVANE_INSTALL is off unless morvane is the top
# project) and no packaging.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(MORVANE_INSTALL "Generate the install rules" ${MORVANE_TOP_LEVEL})
if(NOT MORVANE_INSTALL)
  return()
endif()

set(MORVANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/morvane)

# Two components, packaged apart as Debian does: Runtime holds what a program
# linked with morvane needs to start (the versioned library and its soname
# link), Development what building such a program needs.
install(TARGETS morvane morvane_cxx EXPORT morvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/morvane.h ${PROJECT_SOURCE_DIR}/include/morvane.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)

# find_package(morvane CONFIG) gives the imported targets morvane::morvane
# and morvane::cxx (the same library, asking for C++17), the names the
# aliases give them inside a host's own build.
install(EXPORT morvaneTargets NAMESPACE morvane:: DESTINATION ${MORVANE_CMAKE_DIR}
  COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/morvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/morvaneConfig.cmake INSTALL_DESTINATION ${MORVANE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/morvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/morvaneConfig.cmake
              ${PROJECT_BINARY_DIR}/morvaneConfigVersion.cmake
  DESTINATION ${MORVANE_CMAKE_DIR} COMPONENT Development)

# The pkg-config file finds its prefix from its own place, so the installed
# tree (and the Debian package) can live under any prefix.
set(MORVANE_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "morvane: relative CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR needed")
endif()
file(RELATIVE_PATH MORVANE_PC_TO_PREFIX /prefix/${MORVANE_PC_DIR} /prefix)
string(REGEX REPLACE "/$" "" MORVANE_PC_TO_PREFIX "${MORVANE_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/morvane.pc.in ${PROJECT_BINARY_DIR}/morvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/morvane.pc DESTINATION ${MORVANE_PC_DIR}
  COMPONENT Development)

# Each package carries the licence as its copyright file and the release
# notes as a Debian changelog, in its own documentation directory.
set(MORVANE_MAINTAINER "morvane developers <morvane@example.org>" CACHE STRING
    "Maintainer of the Debian packages: name <address>")
string(TIMESTAMP MORVANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
find_program(MORVANE_GZIP gzip)
if(MORVANE_GZIP)
  execute_process(COMMAND ${MORVANE_GZIP} -9nc ${PROJECT_BINARY_DIR}/changelog
                  OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz)
endif()
foreach(component Runtime Development)
  if(component STREQUAL "Runtime")
    set(package libmorvane${MORVANE_SOVERSION})
  else()
    set(package libmorvane-dev)
  endif()
  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc} RENAME copyright
    COMPONENT ${component})
  if(MORVANE_GZIP)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${doc} COMPONENT ${component})
  endif()
endforeach()

if(NOT MORVANE_TOP_LEVEL)
  return()
endif()

# cpack in a build configured with CMAKE_INSTALL_PREFIX=/usr (the `package`
# preset) makes libmorvane1 and libmorvane-dev, installed under /usr with the
# library in the multiarch directory GNUInstallDirs chooses for that prefix.
# cpack --config CPackSourceConfig.cmake makes the source archive.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sorted in-memory tables of fixed-size records")
set(CPACK_PACKAGE_VENDOR "the morvane developers")
set(CPACK_PACKAGE_CONTACT "${MORVANE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libmorvane${MORVANE_SOVERSION})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file and an ldconfig trigger, as Debian asks of a library package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/deb/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "morvane keeps any number of tables of fixed-size records in memory, sorted
by a key in the first bytes of every record, behind a flat C interface of
sixteen operations. This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libmorvane-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libmorvane${MORVANE_SOVERSION} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "morvane keeps any number of tables of fixed-size records in memory, sorted
by a key in the first bytes of every record, behind a flat C interface of
sixteen operations. This package holds the C header morvane.h, the C++17
header morvane.hpp, the CMake package and the pkg-config file.")

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/\\.git$" "/build/" "/\\.cache/")
include(CPack)
