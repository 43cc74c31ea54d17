# Install rules: the libraries, the public headers, cvsetup.pc, the CMake
# package (find_package(cvsetup) gives cvsetup::cvsetup and
# cvsetup::cvsetup_static), the tool and its manual pages. All paths follow
# GNUInstallDirs, so DESTDIR and --prefix work as usual.
include(CMakePackageConfigHelpers)

set(CV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/cvsetup)

install(TARGETS cvsetup cvsetup_static EXPORT cvsetupTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# include/cvsetup/ as it stands in the tree (the lists name every file of
# it), and no other header: consumers include <cvsetup/name.h>, as the
# tool does in the build tree.
install(FILES ${CV_PUBLIC_C_HEADERS} ${CV_PUBLIC_CXX_HEADERS}
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/cvsetup)
install(EXPORT cvsetupTargets NAMESPACE cvsetup:: DESTINATION ${CV_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/cvsetupConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/cvsetupConfig.cmake INSTALL_DESTINATION ${CV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/cvsetupConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/cvsetupConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/cvsetupConfigVersion.cmake DESTINATION ${CV_CMAKE_PACKAGE_DIR})

# cvsetup.pc locates the prefix from its own place, so the file stays right
# whatever --prefix or DESTDIR the installation is given.
file(RELATIVE_PATH CV_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" CV_PC_TO_PREFIX "${CV_PC_TO_PREFIX}")
set(CV_PC_LIBS_PRIVATE "")
foreach(lib ldap lber)
  string(APPEND CV_PC_LIBS_PRIVATE " -l${lib}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/cvsetup.pc.in ${CMAKE_CURRENT_BINARY_DIR}/cvsetup.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/cvsetup.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS remove-instance remove-instance-plan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The pages' headers carry the project's version.
foreach(page remove-instance.1 remove-instance-plan.1 cvsetup.3)
  configure_file(${CMAKE_SOURCE_DIR}/man/${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${page} @ONLY)
  string(REGEX REPLACE ".*\\." "man" section ${page})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/${section})
endforeach()
