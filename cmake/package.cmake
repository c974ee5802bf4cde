# The Debian packages: `cpack -G DEB` in a release build configured with
# -DCMAKE_INSTALL_PREFIX=/usr gives quorvane_<version>_<arch>.deb with the layout of
# cmake/install.cmake and, when the Python module is built, python3-quorvane_<version>_<arch>.deb
# with the module alone. tools/package.sh runs the whole build; tools/check_package.sh checks
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

# The Python module in a package of its own, as Debian keeps modules for python3: it needs the
# interpreter it was built for, NumPy, and the programs' package for the overlay module.
if(TARGET qv_python)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME quorvane)
  set(CPACK_DEBIAN_PROGRAM_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-quorvane)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  string(REPLACE "." ";" qvPythonVersion ${QV_PYTHON_VERSION})
  list(GET qvPythonVersion 0 qvPythonMajor)
  list(GET qvPythonVersion 1 qvPythonMinor)
  math(EXPR qvPythonNext "${qvPythonMinor} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "quorvane (= ${PROJECT_VERSION}), python3 (>= ${qvPythonMajor}.${qvPythonMinor}), python3 (<< ${qvPythonMajor}.${qvPythonNext}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION
      "The Python 3 module quorvane reads section pictures (BMP, PNG or numpy
arrays) and material libraries and analyses them on the same core as the
window and quorvane-cli: a result gives the batch tool's JSON as a dict, its
report, and the result overlay as a numpy array.")
endif()

include(CPack)
