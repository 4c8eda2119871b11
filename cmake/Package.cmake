# Installation layout and the Debian package (cpack -G DEB in the build folder):
# /usr/bin/molvera, the report definitions under /usr/share/molvera/reports
# (the program looks there, ../share/molvera/reports from its own folder, when
# they are not beside it), a desktop entry and its icon, the AppStream
# metadata, the manual page (made from --help by help2man when the program is
# built), and the copyright file and changelog Debian asks for.
include(GNUInstallDirs)
# Installing (and so cpack) takes the program as it was built, without
# building every test first; build the target molvera before.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Who answers for the package: the Maintainer field and the changelog's
# signature. A plant that builds its own packages sets its own.
set(MOLVERA_MAINTAINER "Molvera developers <paquetes@molvera.com.ar>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")
set(MOLVERA_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")
set(MOLVERA_DEB_VERSION ${PROJECT_VERSION}-${MOLVERA_DEB_RELEASE})

set(pkg ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkg})
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${pkg}/changelog @ONLY)
find_program(MOLVERA_GZIP gzip REQUIRED)
# -n: no name nor time stamp in the file, the same bytes on every build.
execute_process(COMMAND ${MOLVERA_GZIP} -9n -c ${pkg}/changelog
                OUTPUT_FILE ${pkg}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/ar.com.molvera.molvera.metainfo.xml.in
               ${pkg}/ar.com.molvera.molvera.metainfo.xml @ONLY)

# The manual page, from the program's own --help and --version, made each
# time the program is linked (the sanitizer build goes without it); its
# name line from packaging/molvera.h2m. The program writes UTF-8, which
# help2man reads as such only in a UTF-8 locale.
find_program(MOLVERA_HELP2MAN help2man)
if(MOLVERA_HELP2MAN AND NOT MOLVERA_SANITIZE)
  add_custom_command(
    TARGET molvera POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
            ${MOLVERA_HELP2MAN} --locale=C.UTF-8 --no-info --section=1 --manual=Molvera
            --include=${PROJECT_SOURCE_DIR}/packaging/molvera.h2m --output=${pkg}/molvera.1
            $<TARGET_FILE:molvera>
    COMMAND ${MOLVERA_GZIP} -9nf ${pkg}/molvera.1
    COMMENT "Manual page molvera.1 from molvera --help"
    VERBATIM)
  install(FILES ${pkg}/molvera.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(NOT MOLVERA_SANITIZE)
  message(WARNING "help2man not found: the package will have no manual page")
endif()

install(TARGETS molvera RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Stripped as Debian strips (dh_strip): no symbols, no .comment nor .note.
find_program(MOLVERA_STRIP NAMES ${CMAKE_STRIP} strip)
install(CODE "
  execute_process(COMMAND \"${MOLVERA_STRIP}\" --remove-section=.comment --remove-section=.note
                          --strip-unneeded
                          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/molvera\"
                  COMMAND_ERROR_IS_FATAL ANY)")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/reports/ DESTINATION ${CMAKE_INSTALL_DATADIR}/molvera/reports)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/molvera.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/molvera.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${pkg}/ar.com.molvera.molvera.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${pkg}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/molvera.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME molvera)

set(CPACK_PACKAGE_NAME molvera)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${MOLVERA_DEB_RELEASE})
set(CPACK_PACKAGE_VENDOR "Molvera")
set(CPACK_PACKAGE_CONTACT "${MOLVERA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MOLVERA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wheat intake desk of a grain receiving plant")
# The summary above is its first line; lines of at most 80 characters, as
# Debian's description asks (an empty line parts the paragraphs).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Molvera keeps the daily intake sheet of a grain receiving plant: one sheet
per day, one row per truckload (tonnes, seller, origin, trucker, laboratory
readings, destination silo), every accepted cell written to the database at
once. It shows the state of the silos, prints the reception report of a day
or a date range and offers pick lists.

It works on an embedded SQLite database, or on a PostgreSQL or SQL Server
database shared by several desks through ODBC.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the program links to, found by dpkg-shlibdeps; the Qt plugins
# it loads at run time are named here: the SQLite driver, and the display
# plugins (X11, Wayland), which Qt's GUI library only recommends. Qt Serial
# Port and Qt Network (the instruments) are linked libraries: dpkg-shlibdeps
# names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins")
# Qt's own buttons and dialogs in Spanish (without it they stay in English).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sqlite3, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-odbc, unixodbc, odbc-postgresql")
set(CPACK_GENERATOR DEB)
include(CPack)
