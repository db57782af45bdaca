# The Debian package: scripts/package configures a stripped Release build
# with prefix /usr and no tests, then runs cpack.
if(WIN32 OR APPLE)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qz5801)
set(CPACK_PACKAGE_VENDOR "QZ5801 developers")
set(CPACK_PACKAGE_CONTACT "QZ5801 developers <qz5801@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure the QZ5801 pressure transmitter")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The synopsis is the summary above; CPack indents these lines and turns the
# empty one into Debian's " ." paragraph break.
set(CPACK_PACKAGE_DESCRIPTION "The operator's desktop tool for the QZ5801 USB pressure transmitter: reads
and writes the switching values and modes of its three outputs, shows the
live value with lamps that mirror the outputs, corrects the zero point and
keeps configurations in files. qz5801-cli does the same from a terminal.

A udev rule gives the user at the local seat access to the transmitter.")
# Computed from the binaries; the Qt platform plugins and the journal's SQL
# drivers are loaded at run time, so dpkg-shlibdeps cannot see them. The
# PostgreSQL driver is only for a plant's shared journal.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/dist/debian/postinst
    ${PROJECT_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
