# Installs the CMake package (zpkConfig.cmake, its version file and the
# exported targets) and the pkg-config file of the library.
include(CMakePackageConfigHelpers)
set(ZPK_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zpk)
set(ZPK_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/zpk)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zpkConfig.cmake.in
  ${CMAKE_BINARY_DIR}/zpkConfig.cmake
  INSTALL_DESTINATION ${ZPK_CMAKE_INSTALL_DIR}
  PATH_VARS ZPK_DATA_INSTALL_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zpkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(EXPORT zpkTargets NAMESPACE zpk:: FILE zpkTargets.cmake DESTINATION ${ZPK_CMAKE_INSTALL_DIR})
install(FILES ${CMAKE_BINARY_DIR}/zpkConfig.cmake ${CMAKE_BINARY_DIR}/zpkConfigVersion.cmake
  DESTINATION ${ZPK_CMAKE_INSTALL_DIR})
# The prefix is found from the file's own place, so the tree may be installed anywhere.
file(RELATIVE_PATH ZPK_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" ZPK_PC_TO_PREFIX "${ZPK_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zpk.pc.in ${CMAKE_BINARY_DIR}/zpk.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zpk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
