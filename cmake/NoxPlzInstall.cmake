# Install rules: the libraries with their headers, the CMake package
# (NoxPlzConfig.cmake, NoxPlz::noxplz / NoxPlz::console / NoxPlz::qt), the
# pkg-config files, the schema scripts and the programs.
#
# Install components (used by the Debian packages):
#   NoxPlz_Runtime      shared libraries of the core and the console toolkit
#   NoxPlz_QtRuntime    shared library of the Qt toolkit
#   NoxPlz_Development  headers, link symlinks, static libraries, package files, schema scripts
#   NoxPlz_CLI          the noxplz program
#   NoxPlz_GUI          the noxplz-gui program
include(CMakePackageConfigHelpers)

set(NOXPLZ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/NoxPlz)
set(NOXPLZ_INSTALL_SCHEMADIR ${CMAKE_INSTALL_DATADIR}/noxplz/schema)

# Installed programs and libraries find the libraries next to / below them,
# wherever the prefix lies.
file(RELATIVE_PATH _noxplz_bin_to_lib
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})

# --- libraries ---------------------------------------------------------------------
function(_noxplz_install_library target export_set component)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target} EXPORT ${export_set}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component}
            NAMELINK_COMPONENT NoxPlz_Development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT NoxPlz_Development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT ${export_set} NAMESPACE NoxPlz:: DESTINATION ${NOXPLZ_INSTALL_CMAKEDIR}
          COMPONENT NoxPlz_Development)
endfunction()

_noxplz_install_library(noxplz NoxPlzTargets NoxPlz_Runtime)
_noxplz_install_library(noxplz_console NoxPlzConsoleTargets NoxPlz_Runtime)
if(TARGET noxplz_qt)
  _noxplz_install_library(noxplz_qt NoxPlzQtTargets NoxPlz_QtRuntime)
endif()

# --- headers: the public ones only (src/ stays private) --------------------------------
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/noxplz
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT NoxPlz_Development
        FILES_MATCHING PATTERN "*.h"
        PATTERN "qt_toolkit.h" EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/include/noxplz/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/noxplz COMPONENT NoxPlz_Development)
if(TARGET noxplz_qt)
  install(FILES ${PROJECT_SOURCE_DIR}/include/noxplz/qt_toolkit.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/noxplz COMPONENT NoxPlz_Development)
endif()

# --- CMake package -------------------------------------------------------------------
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/NoxPlzConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/NoxPlzConfig.cmake
  INSTALL_DESTINATION ${NOXPLZ_INSTALL_CMAKEDIR}
  PATH_VARS NOXPLZ_INSTALL_SCHEMADIR)
# 0.x: only the same minor version is compatible; from 1.0 the same major version.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(_noxplz_compatibility SameMinorVersion)
else()
  set(_noxplz_compatibility SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/NoxPlzConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY ${_noxplz_compatibility})
install(FILES ${PROJECT_BINARY_DIR}/package/NoxPlzConfig.cmake
              ${PROJECT_BINARY_DIR}/package/NoxPlzConfigVersion.cmake
        DESTINATION ${NOXPLZ_INSTALL_CMAKEDIR} COMPONENT NoxPlz_Development)

# --- pkg-config ------------------------------------------------------------------------
# The files find their prefix from their own place (${pcfiledir}), so they stay
# right when the prefix is chosen at install time (cmake --install --prefix).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(NOXPLZ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(NOXPLZ_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH _noxplz_pc_up /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" _noxplz_pc_up "${_noxplz_pc_up}")
  set(NOXPLZ_PC_PREFIX "\${pcfiledir}/${_noxplz_pc_up}")
  set(NOXPLZ_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(NOXPLZ_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(NOXPLZ_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
# A shared library brings its own dependencies; a static one names them.
if(NOXPLZ_SHARED)
  set(NOXPLZ_PC_PRIVATE "")
else()
  string(STRIP "${NOXPLZ_PC_REQUIRES_PRIVATE}" _noxplz_req)
  set(NOXPLZ_PC_PRIVATE "Requires.private: ${_noxplz_req}\nLibs.private: ${NOXPLZ_PC_LIBS_PRIVATE}")
endif()
set(_noxplz_pc_files noxplz noxplz-console)
if(TARGET noxplz_qt)
  list(APPEND _noxplz_pc_files noxplz-qt)
endif()
foreach(pc IN LISTS _noxplz_pc_files)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/package/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT NoxPlz_Development)
endforeach()

# --- schema scripts: the postal tables for each database kind ------------------------------
install(DIRECTORY ${PROJECT_SOURCE_DIR}/schema/
        DESTINATION ${NOXPLZ_INSTALL_SCHEMADIR} COMPONENT NoxPlz_Development
        FILES_MATCHING PATTERN "*.sql")

# --- programs -------------------------------------------------------------------------------
if(NOXPLZ_WITH_APPS)
  if(TARGET noxplz_cli)
    set_target_properties(noxplz_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${_noxplz_bin_to_lib}")
    install(TARGETS noxplz_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT NoxPlz_CLI)
    # Shell completion and manual page of the CLI, where the CLI provides them.
    set(_noxplz_cli_dir ${PROJECT_SOURCE_DIR}/apps/noxplz)
    if(EXISTS ${_noxplz_cli_dir}/noxplz.bash-completion)
      install(FILES ${_noxplz_cli_dir}/noxplz.bash-completion RENAME noxplz
              DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT NoxPlz_CLI)
    endif()
    if(EXISTS ${_noxplz_cli_dir}/noxplz.1)
      install(FILES ${_noxplz_cli_dir}/noxplz.1
              DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT NoxPlz_CLI)
    endif()
  endif()
  if(TARGET noxplz-gui)
    set_target_properties(noxplz-gui PROPERTIES INSTALL_RPATH "$ORIGIN/${_noxplz_bin_to_lib}")
    install(TARGETS noxplz-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT NoxPlz_GUI)
  endif()
endif()

if(PROJECT_IS_TOP_LEVEL)
  include(NoxPlzPackaging)
endif()
