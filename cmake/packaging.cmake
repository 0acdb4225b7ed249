# `cpack -G DEB` in a configured build makes a .deb of what `cmake --install` installs, under
# /usr. Its Depends come from the programs' shared libraries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qv31)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The QV31 configurator developers")
set(CPACK_PACKAGE_CONTACT "${QV31_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for QV31 data-acquisition gateways")
set(CPACK_PACKAGE_DESCRIPTION "Reads and writes the settings and the 255-row acquisition table of a QV31
data-acquisition gateway over a serial line or UDP, and keeps tables as CSV
files. The package holds the configurator window qv31-config, the command-line
tool qv31ctl for scripts and many gateways, and the gateway simulator qv31-sim
for trying both without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Every label of the window is Chinese; without a CJK font each one is a row of boxes.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
