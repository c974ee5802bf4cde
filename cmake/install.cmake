# Installation as a Linux desktop program: the program folder, the commands in bin, the desktop
# entry and the icon.
#
# The window program finds its manual ("MANUAL_VAROLITH.pdf"), its default picture
# ("section.bmp"), its material library ("properties.ini") and its settings file
# ("quorvane.INI") in the folder of its own executable. So those files and the executable share
# one private program folder, QV_INSTALL_PROGDIR, and bin holds a relative symbolic link to the
# executable. The program resolves its folder through the link (Qt reads /proc/self/exe), and the
# whole tree stays relocatable (cmake --install --prefix, DESTDIR).
#
# The settings file and the library are written back when the window closes; where the program
# folder is read-only (a system-wide install) the program writes them to the user's own
# configuration folder instead, so the installed files are only the first-start defaults.
include(GNUInstallDirs)

set(QV_INSTALL_PROGDIR "${CMAKE_INSTALL_LIBDIR}/quorvane" CACHE STRING
    "Folder of the window program and the files it keeps beside itself")
set(QV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QV_EXAMPLES_DIR ${PROJECT_SOURCE_DIR}/examples)

if(TARGET quorvane)
  install(TARGETS quorvane RUNTIME DESTINATION ${QV_INSTALL_PROGDIR})

  # The link is made at configure time and installed as a link; its target is relative, so it
  # holds for any prefix as long as both folders are given relative to the prefix.
  if(IS_ABSOLUTE "${QV_INSTALL_PROGDIR}")
    set(qvProgDirFull "${QV_INSTALL_PROGDIR}")
  else()
    set(qvProgDirFull "${CMAKE_INSTALL_PREFIX}/${QV_INSTALL_PROGDIR}")
  endif()
  file(RELATIVE_PATH qvLinkTarget "${CMAKE_INSTALL_FULL_BINDIR}" "${qvProgDirFull}/quorvane")
  set(qvLinkDir ${CMAKE_BINARY_DIR}/install-links)
  file(MAKE_DIRECTORY ${qvLinkDir})
  file(CREATE_LINK "${qvLinkTarget}" "${qvLinkDir}/quorvane" SYMBOLIC)
  install(FILES "${qvLinkDir}/quorvane" DESTINATION ${CMAKE_INSTALL_BINDIR})

  if(DEFINED QV_MANUAL_PDF)
    install(FILES ${QV_MANUAL_PDF} DESTINATION ${QV_INSTALL_PROGDIR})
  endif()
  # The example section is the program's default picture, so a first start shows a section
  # instead of "No section.bmp file found.".
  if(EXISTS ${QV_EXAMPLES_DIR}/u-channel.bmp)
    install(FILES ${QV_EXAMPLES_DIR}/u-channel.bmp DESTINATION ${QV_INSTALL_PROGDIR}
            RENAME section.bmp)
  endif()
  if(EXISTS ${QV_EXAMPLES_DIR}/properties.ini)
    install(FILES ${QV_EXAMPLES_DIR}/properties.ini DESTINATION ${QV_INSTALL_PROGDIR})
  endif()

  install(FILES ${QV_PACKAGING_DIR}/quorvane.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QV_PACKAGING_DIR}/quorvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The same icon as a bitmap, for menus that do not draw SVG icons.
  install(FILES ${QV_PACKAGING_DIR}/quorvane-256.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME quorvane.png)
elseif(DEFINED QV_MANUAL_PDF)
  # Without the window program the manual still serves the batch tool's users.
  install(FILES ${QV_MANUAL_PDF} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvane)
endif()

# The batch tool keeps nothing beside itself: it reads only the files named on its command line.
if(TARGET quorvane-cli)
  install(TARGETS quorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
