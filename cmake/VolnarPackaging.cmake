# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts beside the executables, and the Debian package
# CPack builds from the same install tree (`make package`).
#
# The version is the project's (top CMakeLists.txt) and VOLNAR_RELEASE_DATE
# is its date: both feed `volnar --version`, the About box, the manual pages,
# the AppStream release and the package.
include(GNUInstallDirs)

set(volnar_generated ${PROJECT_BINARY_DIR}/packaging)
execute_process(COMMAND date -u -R -d "${VOLNAR_RELEASE_DATE}"
                OUTPUT_VARIABLE VOLNAR_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# The programs: the client, the simulator (for training), the exporter and
# volnar-config, each with its manual page.
set(volnar_compressed)
foreach(program IN ITEMS volnar volnar-station volnar-exporter volnar-config)
  if(NOT TARGET ${program})
    continue()
  endif()
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A stripped install (the package) also drops the compiler's notes, as
  # dh_strip does.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")
  set(page ${PROJECT_SOURCE_DIR}/docs/man/${program}.1.in)
  if(EXISTS ${page})
    configure_file(${page} ${volnar_generated}/${program}.1 @ONLY)
    list(APPEND volnar_compressed ${program}.1)
    install(FILES ${volnar_generated}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${volnar_generated}/changelog @ONLY)
list(APPEND volnar_compressed changelog)
configure_file(${PROJECT_SOURCE_DIR}/src/resources/volnar.metainfo.xml.in
               ${volnar_generated}/example.dorvik.volnar.metainfo.xml @ONLY)

# Debian wants manual pages and changelogs compressed at the best level,
# without a name or time stamp in the gzip header.
set(volnar_compressed_outputs)
foreach(file IN LISTS volnar_compressed)
  add_custom_command(OUTPUT ${volnar_generated}/${file}.gz
                     COMMAND gzip -9 -n -f -k ${file}
                     DEPENDS ${volnar_generated}/${file}
                     WORKING_DIRECTORY ${volnar_generated} VERBATIM)
  list(APPEND volnar_compressed_outputs ${volnar_generated}/${file}.gz)
endforeach()
add_custom_target(volnar_docs ALL DEPENDS ${volnar_compressed_outputs})

install(FILES ${PROJECT_SOURCE_DIR}/src/resources/volnar.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/volnar.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${volnar_generated}/example.dorvik.volnar.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The exporter's systemd unit, not enabled: /usr/lib/systemd/system is
# /lib/systemd/system on Debian 12's merged /usr.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/volnar-exporter.service
        DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/directory-postgresql.sql
        DESTINATION ${CMAKE_INSTALL_DATADIR}/volnar)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${volnar_generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# volnar-config's file format and nightly backup timer (its manual page
# points here).
install(FILES ${PROJECT_SOURCE_DIR}/docs/configuration.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package. CPack rather than a debian/ folder: the version has one
# home (project()), the package is made from the build tree `make` already
# has, and dpkg-shlibdeps still computes the library dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME volnar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dorvik Instruments")
set(CPACK_PACKAGE_CONTACT "Dorvik client team <support@dorvik.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for Volnar monitoring stations")
set(CPACK_PACKAGE_DESCRIPTION
    "Volnar watches and manages Volnar stations (network monitoring boards with a
temperature sensor, analogue inputs, power relays, scripts and alerts) over
SNMP version 1: it polls their readings, switches relays and edits channel
settings, scripts and alerts. Its directory of stations is kept in a SQLite
file or a shared PostgreSQL database reached through ODBC.

The package also holds volnar-exporter, which polls every station of a
directory and serves their readings to Prometheus (with a systemd unit, not
enabled), and volnar-station, a simulated station on the loopback address
to train on.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to dpkg-shlibdeps: Qt's ODBC SQL driver,
# the unixODBC driver manager and its driver registry, the SQLite3 ODBC
# driver of the default directory, and Qt's SVG image and icon plugins that
# draw the client's icons (libqt6svg6). The PostgreSQL driver is for shared
# directories only.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-odbc, libodbc2, odbcinst, libsqliteodbc, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "unixodbc")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
