# The Windows package that `cpack -G ZIP` makes in a Windows build:
# velmora-1.2-win64.zip, holding velmora.exe, the README and the license side by
# side at its top, as Windows' "Extract All" expects. The library, its header and
# CMake package are left out: the zip is for engineers who run the program.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION . COMPONENT program)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "velmora developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME velmora-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL program)
set(CPACK_STRIP_FILES ON)
include(CPack)
