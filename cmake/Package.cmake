# Installation layout and the Debian package (cpack -G DEB in the build folder):
# /usr/bin/molvera, the report definitions under /usr/share/molvera/reports
# (the program looks there, ../share/molvera/reports from its own folder, when
# they are not beside it), a desktop entry and its icon.
include(GNUInstallDirs)
# Installing (and so cpack) takes the program as it was built, without
# building every test first; build the target molvera before.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS molvera RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/reports/ DESTINATION ${CMAKE_INSTALL_DATADIR}/molvera/reports)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/molvera.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/molvera.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME molvera)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Molvera")
set(CPACK_PACKAGE_CONTACT "Molvera <molvera@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Wheat intake desk of a grain receiving plant")
set(CPACK_PACKAGE_DESCRIPTION
    "One sheet per day, one row per truckload, every accepted cell written to the database at
once; silo status, reception report and pick lists. Embedded SQLite database, or a shared
PostgreSQL database through ODBC.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the program links to, found by dpkg-shlibdeps; the Qt plugins
# it loads at run time (the SQLite driver) are named here; the screen and
# offscreen plugins come with libqt6gui6. Qt Serial Port and Qt Network (the
# instruments) are linked libraries: dpkg-shlibdeps names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# Qt's own buttons and dialogs in Spanish (without it they stay in English).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sqlite3, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-odbc, unixodbc, odbc-postgresql")
set(CPACK_GENERATOR DEB)
include(CPack)
