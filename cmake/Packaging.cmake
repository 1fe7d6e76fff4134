# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (cpack -G DEB in a build tree; scripts/package.sh makes it).
# The shared libraries the programs link give most dependencies
# (dpkg-shlibdeps); what is loaded only at run time is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "Tarnwick developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "paperless geocaching companion for the field")
set(CPACK_PACKAGE_DESCRIPTION
"Tarnwick keeps thousands of geocaches in a local database and works with no
network on modest hardware. It imports pocket queries (GPX, zipped or not)
and exports GPX, lists the caches by distance from the GPS position, shows
each listing offline, records tracks from a GPS receiver, gpsd or a recorded
log and exports them as GPX, KML or PLT, keeps field notes and carries the
puzzle tools. A moving map with map downloads, navigation with a proximity
alert and batch words for the command line are included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwick developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The login browser's page renderer runs as a program of its own.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin")
# A Wayland desktop without the plugin falls back to X11; without Qt's translations
# its file dialogs speak English; TLS needs the CA list.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gpsd")
include(CPack)
