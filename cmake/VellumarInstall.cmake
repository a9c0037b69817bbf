# What `cmake --install` puts in place for hosts: the library (lib/ on ELF
# systems; a DLL goes to bin/ and its import library to lib/), its public
# headers, a CMake package (find_package(vellumar) gives vellumar::vellumar)
# and a pkg-config file (vellumar.pc). The tools install themselves.
include(CMakePackageConfigHelpers)

install(TARGETS vellumar EXPORT vellumarTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY library/include/vellumar DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VELLUMAR_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vellumar)
install(EXPORT vellumarTargets
  NAMESPACE vellumar::
  FILE vellumarTargets.cmake
  DESTINATION ${VELLUMAR_PACKAGE_DIR})
configure_package_config_file(cmake/vellumarConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/vellumarConfig.cmake
  INSTALL_DESTINATION ${VELLUMAR_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/vellumarConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/package/vellumarConfig.cmake
  ${PROJECT_BINARY_DIR}/package/vellumarConfigVersion.cmake
  DESTINATION ${VELLUMAR_PACKAGE_DIR})

# The .pc file finds the prefix from its own place, so that an install with
# `--prefix` elsewhere than the configured prefix still describes itself.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VELLUMAR_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(VELLUMAR_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(VELLUMAR_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH VELLUMAR_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" VELLUMAR_PC_UP "${VELLUMAR_PC_UP}")
  set(VELLUMAR_PC_PREFIX "\${pcfiledir}/${VELLUMAR_PC_UP}")
  set(VELLUMAR_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(VELLUMAR_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(cmake/vellumar.pc.in ${PROJECT_BINARY_DIR}/package/vellumar.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/vellumar.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
