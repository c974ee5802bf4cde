# The Debian package: `cpack -G DEB` in a release build configured with
# -DCMAKE_INSTALL_PREFIX=/usr gives quorvane_<version>_<arch>.deb with the layout of
# cmake/install.cmake. tools/package.sh runs the whole build; tools/check_package.sh checks
# the result without installing it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <support@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "stiffness and mass properties of beam cross-sections drawn as pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvane analyses a beam cross-section drawn as a picture, one flat colour
per material: the axial stiffness EA, the normal-force and mass centres, the
mass per metre, the bending stiffnesses about the normal-force centre and the
principal stiffnesses with their angle, integrated pixel by pixel. The window
draws the axes over the picture and copies a plain-text report to the
clipboard; the batch tool quorvane-cli runs the same analysis from the command
line.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quorvane/quorvane)
# Depends comes from the libraries the programs link (dpkg-shlibdeps of dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Info > Help and the mail link open through the desktop's xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
