# What `cmake --install` puts beside the program and the library: the man page
# and a CMake package for find_package(velmora); and the Debian packages that
# `cpack -G DEB` makes from the same rules.
include(CMakePackageConfigHelpers)

install(FILES ${PROJECT_SOURCE_DIR}/docs/velmora.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

set(velmora_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/velmora)
install(EXPORT velmora_targets
  NAMESPACE velmora::
  FILE velmoraTargets.cmake
  DESTINATION ${velmora_package_dir}
  COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/velmoraConfig.cmake.in
  ${PROJECT_BINARY_DIR}/velmoraConfig.cmake
  INSTALL_DESTINATION ${velmora_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/velmoraConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/velmoraConfig.cmake
  ${PROJECT_BINARY_DIR}/velmoraConfigVersion.cmake
  DESTINATION ${velmora_package_dir}
  COMPONENT development)

# Debian packages: velmora (the program and its man page) and velmora-dev (the
# library, its header and the CMake package).
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "velmora developers")
set(CPACK_PACKAGE_CONTACT "velmora developers <velmora@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Both packages take their summary line from the project's DESCRIPTION.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "velmora developers <velmora@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/velmora")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program development)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION [[
velmora is a console calculator for aerospace test and structures
engineers. For a starting point and an ending along a cylindrical shell
it reads the empirical curve of NASA CR 116406, Pyrotechnic Shock Data,
Figure 3.1, and prints the fraction of the peak shock level remaining
at each and their ratio.]])

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME velmora-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION [[
The shock curve of velmora as a library for other programs: the
empirical curve of NASA CR 116406, Figure 3.1, as a static C++20
library with its header <velmora/shock_curve.hpp> and a CMake package,
find_package(velmora) with the target velmora::shock_model.]])
set(CPACK_STRIP_FILES ON)
include(CPack)
