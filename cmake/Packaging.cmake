# The Debian package: bash scripts/package.sh builds it with CPack from the release preset.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravik-conf)
set(CPACK_PACKAGE_VENDOR "the dravik_conf developers")
set(CPACK_PACKAGE_CONTACT "the dravik_conf developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure a tank-level controller over a serial line")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A window in Russian (dravik_conf) with which a technician reads the configuration of a\n"
    "tank-level controller over a serial line as a Modbus RTU master, edits it, writes it back\n"
    "with validation and keeps copies in XML files. dravik_cli does the same without a window,\n"
    "and dravik_sim simulates the controller on a pseudo-terminal.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON) # the release build keeps its debugging symbols; the package does not
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # dravik-conf_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_LICENSE MIT)
# The libraries the programs link come from dpkg-shlibdeps; what Qt loads at run time it cannot
# see: the platform plug-ins (only recommended by Qt's GUI library, yet without them no window
# opens) and the translations of Qt's own dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
include(CPack)
