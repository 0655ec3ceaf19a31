# What `cmake --install` puts beside the program and the library: the man page,
# the copyright and changelog, and a CMake package for find_package(velmora);
# and the Debian packages that `cpack -G DEB` makes from the same rules.
include(CMakePackageConfigHelpers)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/packaging_windows.cmake)
  return()
endif()

# The changelog's newest entry is the version being built, so that the packages
# never ship a history that stops short of themselves.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog newest_entry LIMIT_COUNT 1)
string(REPLACE "\\;" ";" newest_entry "${newest_entry}")
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
if(NOT newest_entry MATCHES "^velmora \\(${version_pattern}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog has no entry for velmora ${PROJECT_VERSION} "
    "at the top; its newest entry is: ${newest_entry}")
endif()

# The man page and the changelog are installed compressed, as Debian wants them:
# gzip -9n, best compression and no file name or time stamp in the header, so
# that the same source always gives the same bytes.
find_program(GZIP gzip REQUIRED)
set(compressed_dir ${PROJECT_BINARY_DIR}/compressed)
file(MAKE_DIRECTORY ${compressed_dir})
set(compressed_files)
foreach(source docs/velmora.1 packaging/debian/changelog)
  cmake_path(GET source FILENAME name)
  add_custom_command(OUTPUT ${compressed_dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${compressed_dir}/${name}
    COMMAND ${GZIP} -9nf ${compressed_dir}/${name}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND compressed_files ${compressed_dir}/${name}.gz)
endforeach()
add_custom_target(velmora_compressed_docs ALL DEPENDS ${compressed_files})

install(FILES ${compressed_dir}/velmora.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

# Each Debian package carries the copyright and the changelog in its own
# /usr/share/doc/<package>. A plain `cmake --install` puts them in velmora's
# folder only; velmora-dev's copy is for its package.
set(package_documents
  ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
  ${compressed_dir}/changelog.gz)
install(FILES ${package_documents}
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora COMPONENT program)
install(FILES ${package_documents}
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora-dev COMPONENT development
  EXCLUDE_FROM_ALL)

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
# Each package's description starts with its own summary line; the empty
# common summary keeps CPack from putting the project's DESCRIPTION over both.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "velmora developers <velmora@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/velmora")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program development)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "${PROJECT_DESCRIPTION}
velmora is a console calculator for aerospace test and structures
engineers. For a starting point and an ending along a cylindrical shell
it reads the empirical curve of NASA CR 116406, Pyrotechnic Shock Data,
Figure 3.1, and prints the fraction of the peak shock level remaining
at each and their ratio.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME velmora-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
get_target_property(shock_model_type velmora_shock_model TYPE)
string(REPLACE "_LIBRARY" "" shock_model_kind "${shock_model_type}")
string(TOLOWER "${shock_model_kind}" shock_model_kind)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "\
pyrotechnic shock curve library of velmora, with header and CMake package
The shock curve of velmora as a library for other programs: the
empirical curve of NASA CR 116406, Figure 3.1, as a ${shock_model_kind} C++20
library with its header <velmora/shock_curve.hpp> and a CMake package,
find_package(velmora) with the target velmora::shock_model.")
set(CPACK_STRIP_FILES ON)
include(CPack)
