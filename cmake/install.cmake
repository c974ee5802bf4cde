# Installation as a Linux desktop program, with cmake --install and in the Debian package of
# cmake/package.cmake. Relative to the prefix:
#
#   bin/quorvane, bin/quorvane-cli             the two programs
#   lib/<multiarch>/quorvane/                  quorvane-cli-overlay.so, the batch tool's overlay
#                                              drawing, loaded only when an overlay is drawn
#   share/quorvane/                            the manual, the example section (as section.bmp,
#                                              the window's default picture), the example library
#   share/applications/, share/metainfo/       desktop entry and AppStream metainfo
#   share/icons/hicolor/*/apps/                the icon, as SVG and as a 256-pixel PNG
#   share/man/man1/                            quorvane(1), quorvane-cli(1)
#   share/bash-completion/completions/         completion of quorvane-cli
#   share/doc/quorvane/                        copyright, Debian changelog, CHANGELOG.md
#   lib/python3/dist-packages/                 the Python module quorvane (component "python",
#                                              the package python3-quorvane), when built
#
# The window program looks for its manual, default picture, library and settings file beside
# the path it goes by. Run from the build folder, that is its own file, and nothing changes
# there. Installed, it finds share/quorvane next to its bin folder (QV_DATA_FROM_BIN, a
# relative path compiled in, so the tree stays relocatable: --prefix, DESTDIR) and goes by a
# path inside that folder. Where the folder cannot be written, as under /usr, the settings and
# the library live in the user's ~/.config/Quorvane, and the first start copies the example
# library there; with a prefix the user owns they stay in share/quorvane.
include(GNUInstallDirs)
# Everything but the Python module is the component "program" (the package quorvane).
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME program)

set(QV_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/quorvane" CACHE STRING
    "Folder of the window program's manual, default picture and example library")
set(QV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QV_EXAMPLES_DIR ${PROJECT_SOURCE_DIR}/examples)
# One reverse-DNS name ties the desktop entry, the metainfo and the running window together.
set(QV_APP_ID io.github.quorvane.Quorvane)
set(qvDocDir ${CMAKE_INSTALL_DATADIR}/doc/quorvane)

# Generated at build time: the man pages with the version, and the compressed files Debian
# expects (gzip -n: no name or time stamp, so the same sources give the same package).
find_program(QV_GZIP gzip REQUIRED)
set(qvGenerated ${CMAKE_BINARY_DIR}/packaging)
set(qvGeneratedFiles)
foreach(page quorvane.1 quorvane-cli.1)
  configure_file(${QV_PACKAGING_DIR}/man/${page} ${qvGenerated}/man/${page} @ONLY)
endforeach()
# Debian's own changelog entry of the package; its date is the configure time, or
# SOURCE_DATE_EPOCH when set, for a reproducible package.
string(TIMESTAMP QV_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${QV_PACKAGING_DIR}/changelog.Debian.in ${qvGenerated}/changelog @ONLY)
foreach(pair "man/quorvane.1:quorvane.1.gz" "man/quorvane-cli.1:quorvane-cli.1.gz"
             "changelog:changelog.gz" "${PROJECT_SOURCE_DIR}/CHANGELOG.md:CHANGELOG.md.gz")
  string(REPLACE ":" ";" fields ${pair})
  list(GET fields 0 from)
  list(GET fields 1 to)
  if(NOT IS_ABSOLUTE ${from})
    set(from ${qvGenerated}/${from})
  endif()
  add_custom_command(OUTPUT ${qvGenerated}/${to}
                     COMMAND ${QV_GZIP} -9 -n -c ${from} > ${qvGenerated}/${to}
                     DEPENDS ${from}
                     COMMENT "Compressing ${to}")
  list(APPEND qvGeneratedFiles ${qvGenerated}/${to})
endforeach()
add_custom_target(qv_install_files ALL DEPENDS ${qvGeneratedFiles})

# The programs and the overlay module link only the system's shared libraries (ours are static):
# the run path into the prefix's lib folder that qt_standard_project_setup() gives installed
# programs serves nothing, and Debian's tools count it as a fault.
foreach(program quorvane quorvane-cli qv_cli_overlay qv_python)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "")
  endif()
endforeach()

if(TARGET quorvane)
  install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Where the program finds its files, from its own folder; computed from the folders as
  # configured, both made absolute against the same prefix.
  cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_BINDIR BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
             OUTPUT_VARIABLE qvBinFull)
  cmake_path(ABSOLUTE_PATH QV_INSTALL_DATADIR BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
             OUTPUT_VARIABLE qvDataFull)
  file(RELATIVE_PATH qvDataFromBin ${qvBinFull} ${qvDataFull})
  target_compile_definitions(quorvane PRIVATE QV_DATA_FROM_BIN="${qvDataFromBin}")

  if(DEFINED QV_MANUAL_PDF)
    install(FILES ${QV_MANUAL_PDF} DESTINATION ${QV_INSTALL_DATADIR})
  endif()
  # The example section is the program's default picture, so a first start shows a section
  # instead of "No section.bmp file found.".
  install(FILES ${QV_EXAMPLES_DIR}/u-channel.bmp DESTINATION ${QV_INSTALL_DATADIR}
          RENAME section.bmp)
  install(FILES ${QV_EXAMPLES_DIR}/properties.ini DESTINATION ${QV_INSTALL_DATADIR})

  install(FILES ${QV_PACKAGING_DIR}/quorvane.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${QV_APP_ID}.desktop)
  install(FILES ${QV_PACKAGING_DIR}/${QV_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${QV_PACKAGING_DIR}/quorvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The same icon as a bitmap, for menus that do not draw SVG icons.
  install(FILES ${QV_PACKAGING_DIR}/quorvane-256.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME quorvane.png)
  install(FILES ${qvGenerated}/quorvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(DEFINED QV_MANUAL_PDF)
  # Without the window program the manual still serves the batch tool's users.
  install(FILES ${QV_MANUAL_PDF} DESTINATION ${qvDocDir})
endif()

# The batch tool keeps nothing beside itself: it reads only the files named on its command line.
# Its overlay module lies in a folder of the package's own under lib, found from the program's
# folder by a relative path compiled in (as QV_DATA_FROM_BIN), so no run path is needed.
if(TARGET quorvane-cli)
  install(TARGETS quorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(qvModuleDir ${CMAKE_INSTALL_LIBDIR}/quorvane)
  install(TARGETS qv_cli_overlay LIBRARY DESTINATION ${qvModuleDir})
  cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_BINDIR BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
             OUTPUT_VARIABLE qvCliBinFull)
  cmake_path(ABSOLUTE_PATH qvModuleDir BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
             OUTPUT_VARIABLE qvModuleFull)
  file(RELATIVE_PATH qvModuleFromBin ${qvCliBinFull} ${qvModuleFull})
  target_compile_definitions(qv_drawing PRIVATE QV_OVERLAY_MODULE_FROM_BIN="${qvModuleFromBin}")
  install(FILES ${qvGenerated}/quorvane-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${QV_PACKAGING_DIR}/bash-completion/quorvane-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

# Debian's changelog in its format, and the project's own in Markdown.
install(FILES ${QV_PACKAGING_DIR}/copyright ${qvGenerated}/changelog.gz
              ${qvGenerated}/CHANGELOG.md.gz
        DESTINATION ${qvDocDir})

# The Python module goes where the system's python3 looks for Debian's modules, and finds the
# batch tool's overlay module by a relative path compiled in, as the tool does.
if(TARGET qv_python)
  set(QV_INSTALL_PYTHONDIR "lib/python3/dist-packages" CACHE STRING
      "Folder of the Python module quorvane, relative to the prefix")
  install(TARGETS qv_python LIBRARY DESTINATION ${QV_INSTALL_PYTHONDIR} COMPONENT python)
  cmake_path(ABSOLUTE_PATH QV_INSTALL_PYTHONDIR BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX}
             OUTPUT_VARIABLE qvPythonFull)
  file(RELATIVE_PATH qvModuleFromPython ${qvPythonFull} ${qvModuleFull})
  target_compile_definitions(qv_python PRIVATE QV_OVERLAY_MODULE_FROM_PYTHON="${qvModuleFromPython}")
endif()
