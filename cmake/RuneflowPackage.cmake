# What an installed Runeflow offers its users besides the command and the shipped data: the CMake
# package (find_package(Runeflow) gives the target Runeflow::runeflow), the pkg-config file runeflow.pc,
# and, on Linux, a Debian package of everything that is installed (built by the target "package").
# Every file that points at the installation finds it relative to itself, so an installed tree can be
# moved, and the package can be made from a tree configured for any prefix.
include(CMakePackageConfigHelpers)

set(runeflow_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Runeflow)
install(EXPORT RuneflowTargets NAMESPACE Runeflow:: DESTINATION ${runeflow_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/RuneflowConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/RuneflowConfig.cmake
  INSTALL_DESTINATION ${runeflow_cmake_dir})
# Programs built against 3.0 work with any later 3.x, not with 4.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/RuneflowConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/RuneflowConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/RuneflowConfigVersion.cmake
  DESTINATION ${runeflow_cmake_dir})

# runeflow.pc names its prefix by its own place: ${pcfiledir} and the way up from the pkg-config folder.
set(runeflow_pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH runeflow_pc_to_prefix /${runeflow_pkgconfig_dir} /)
string(REGEX REPLACE "/$" "" runeflow_pc_to_prefix "${runeflow_pc_to_prefix}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/runeflow.pc.in ${CMAKE_CURRENT_BINARY_DIR}/runeflow.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/runeflow.pc DESTINATION ${runeflow_pkgconfig_dir})

if(NOT WIN32)
  set(RUNEFLOW_PACKAGE_MAINTAINER "Runeflow developers <runeflow@example.org>" CACHE STRING
    "Maintainer field of the Debian package")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME runeflow)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "8-bit text converter with character sets and substitution tables")
  # The summary is the first line of the package's description; these lines follow it.
  set(CPACK_PACKAGE_DESCRIPTION "The runeflow command converts text through a chain of stages: character conversion between
8-bit sets (ISO-8859, Windows and IBM PC code pages, Mac OS Roman) that resolves entity
references, and substitution tables with wildcards, captures, condition groups and variables.
Ships the sets and tables (HTML to text, text to HTML, ASCII transliteration) and the engine
library with its headers, CMake package and pkg-config file.")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RUNEFLOW_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # runeflow_3.0-1_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: the C and C++ libraries the binaries were linked with
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)  # other packages' binaries may link libruneflow.so.3
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/")
  include(CPack)
endif()

# The installed tree and the package, used as clients use them; for Windows, the installed tree with a
# client run under Wine. A sanitized library cannot be linked by a plain client, so the test needs a
# plain build.
if(RUNEFLOW_TESTS AND NOT RUNEFLOW_SANITIZE)
  set(runeflow_install_test sh ${PROJECT_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_CXX_COMPILER})
  if(CMAKE_CROSSCOMPILING)
    list(APPEND runeflow_install_test ${CMAKE_TOOLCHAIN_FILE} ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  add_test(NAME installed_engine COMMAND ${runeflow_install_test})
endif()
