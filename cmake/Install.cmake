# Installation of the library, its headers, a CMake package and a pkg-config
# file, and a Debian package of the same files (cpack -G DEB).
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

install(TARGETS morvane morvane_cxx EXPORT morvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/morvane.h ${PROJECT_SOURCE_DIR}/include/morvane.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# find_package(morvane CONFIG) gives the imported targets morvane::morvane
# and morvane::cxx (the same library, asking for C++17), the names the
# aliases give them inside a host's own build.
install(EXPORT morvaneTargets NAMESPACE morvane:: DESTINATION ${MORVANE_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/morvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/morvaneConfig.cmake INSTALL_DESTINATION ${MORVANE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/morvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/morvaneConfig.cmake
              ${PROJECT_BINARY_DIR}/morvaneConfigVersion.cmake
  DESTINATION ${MORVANE_CMAKE_DIR})

# The pkg-config file finds its prefix from its own place, so the installed
# tree (and the Debian package) can live under any prefix.
set(MORVANE_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "morvane: relative CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR needed")
endif()
file(RELATIVE_PATH MORVANE_PC_TO_PREFIX /prefix/${MORVANE_PC_DIR} /prefix)
string(REGEX REPLACE "/$" "" MORVANE_PC_TO_PREFIX "${MORVANE_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/morvane.pc.in ${PROJECT_BINARY_DIR}/morvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/morvane.pc DESTINATION ${MORVANE_PC_DIR})

if(NOT MORVANE_TOP_LEVEL)
  return()
endif()

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "the morvane developers")
set(CPACK_PACKAGE_CONTACT "the morvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION "The shared library libmorvane.so, its C header morvane.h, the C++17 \
header morvane.hpp, a CMake package and a pkg-config file.")
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES /\\.git/ /build/ /\\.cache/)
include(CPack)
