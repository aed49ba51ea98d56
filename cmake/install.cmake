# Install rules, the desktop integration files and the Debian package.
# Included at the end of the top-level CMakeLists.txt.
#
# Installed layout (prefix /usr for the package, /usr/local by default):
#   bin/tarnwick
#   share/tarnwick/image, share/tarnwick/licenses   read by the program (../share/tarnwick
#                                                  from its own folder)
#   share/applications, share/metainfo, share/icons/hicolor, share/mime/packages, share/man
include(GNUInstallDirs)

# The command-line tests start the program itself.
if(TARGET x11_commandline)
  add_dependencies(x11_commandline tarnwick)
endif()

if(WIN32)
  return()
endif()

set(TARNWICK_HOMEPAGE_URL "https://tarnwick.example.org/"
    CACHE STRING "Home page named by the AppStream metadata and the package")
set(TARNWICK_SCREENSHOT_URL "https://tarnwick.example.org/screenshots"
    CACHE STRING "Where the README's screenshots (docs/images) are published, for AppStream")
set(TARNWICK_MAINTAINER "Tarnwick maintainers <maintainers@tarnwick.example.org>"
    CACHE STRING "Maintainer of the Debian package")

set(TARNWICK_APP_ID org.tarnwick.Tarnwick)
set(linux_dir ${CMAKE_SOURCE_DIR}/packaging/linux)
set(TARNWICK_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tarnwick)

install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${TARNWICK_OUTPUT_DIR}/image ${TARNWICK_OUTPUT_DIR}/licenses
        DESTINATION ${TARNWICK_DATA_DIR})

install(FILES ${linux_dir}/${TARNWICK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# KWin (KDE Plasma on Wayland) offers its fake input and screenshots only to
# a program an installed .desktop file names by its full path: that path is
# known at install time (the package's prefix), so the file is made then.
install(CODE "
  set(TARNWICK_BINARY \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tarnwick\")
  configure_file(${linux_dir}/${TARNWICK_APP_ID}.KWin.desktop.in
                 \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${TARNWICK_APP_ID}.KWin.desktop\"
                 @ONLY)")
configure_file(${linux_dir}/${TARNWICK_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/${TARNWICK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${TARNWICK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${linux_dir}/tarnwick.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

install(FILES ${linux_dir}/icons/tarnwick.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${linux_dir}/icons/tarnwick-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tarnwick.png)
endforeach()

# Debian wants the manual page and the changelog compressed, reproducibly
# (no name or time stamp in the gzip header).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed_man ${CMAKE_BINARY_DIR}/packaging/tarnwick.1.gz)
set(compressed_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${compressed_man}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                   COMMAND ${GZIP_PROGRAM} -9n -c ${linux_dir}/tarnwick.1 > ${compressed_man}
                   DEPENDS ${linux_dir}/tarnwick.1 VERBATIM)
add_custom_command(OUTPUT ${compressed_changelog}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                   COMMAND ${GZIP_PROGRAM} -9n -c ${linux_dir}/changelog.Debian > ${compressed_changelog}
                   DEPENDS ${linux_dir}/changelog.Debian VERBATIM)
add_custom_target(tarnwick_docs ALL DEPENDS ${compressed_man} ${compressed_changelog})
install(FILES ${compressed_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${linux_dir}/copyright ${compressed_changelog}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The GNOME Shell extension through which the program sees windows and binds
# its stop keys on GNOME (the shell lets programs do neither themselves).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/src/platform/gnome/extension/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions/tarnwick@tarnwick.example)
# The manual in both languages with its pictures; Help → Manual reads it there.
install(DIRECTORY ${TARNWICK_OUTPUT_DIR}/doc/ DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Debian package: cpack -G DEB ------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TARNWICK_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tarnwick_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARNWICK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARNWICK_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so shlibdeps cannot see them: Qt's X11 and Wayland
# platform plugins, and a font that has the Japanese texts. The Wayland
# backend's own libraries (libwayland-client0, libxkbcommon0, and libevdev2
# for the input devices) come from shlibdeps, with their versions; naming
# them here again would duplicate them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-wayland, fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic | fonts-takao-gothic")
# The first line is the synopsis; CPack indents the rest and turns the empty
# line into the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "replay mouse and keyboard input from a project of pages
Tarnwick replays mouse and keyboard input on an X11 desktop, on Wayland
compositors that offer virtual input (sway and the other wlroots
compositors) and, for X11 programs only, on other Wayland desktops. A
project is an ordered list of pages, each with one command (a mouse click,
a pointer jump or smooth move, a key combination, typing a text, bringing
a window to the front) and one condition to wait for (a time, a mouse
button, a key combination, a clock time, a window).

Projects are edited in a Japanese or English window and saved as .cmdat
files; they can also be played from the command line (tarnwick --run),
for example from cron or a systemd timer.")
include(CPack)

# --- the package test (label `package`) ------------------------------------------
# Builds the package in a Release build of its own, checks it with lintian and
# installs it into a minimal Debian 12 root (package_build, which needs no
# display and so runs beside the tests that hold it), where the program must
# then start on the test X server (package). That half shows windows and
# moves the pointer, so it takes the X display like the x11 tests.
if(TARNWICK_TESTS)
  add_test(NAME package_build COMMAND ${CMAKE_SOURCE_DIR}/scripts/package-test.sh --build-only
                                      ${CMAKE_BINARY_DIR}/package-test)
  # The longest test: started first, so the rest run beside it.
  set_tests_properties(package_build PROPERTIES LABELS package FIXTURES_SETUP debpackage
                                                TIMEOUT 1800 COST 1000)
  add_test(NAME package COMMAND ${CMAKE_SOURCE_DIR}/scripts/package-test.sh --prebuilt
                                ${CMAKE_BINARY_DIR}/package-test)
  set_tests_properties(package PROPERTIES LABELS package FIXTURES_REQUIRED debpackage
                                          RESOURCE_LOCK x11display TIMEOUT 600)
endif()
