# Install rules and the Debian package. Everything lands under the prefix: the
# programs in bin/, the data files the program copies into each user's own data folder in
# share/digital-microscope/, and the desktop integration (menu entry, icons, AppStream
# metainfo, manual pages).

include(GNUInstallDirs)

set(DM_APP_ID "io.github.digital_microscope.DigitalMicroscope")

install(TARGETS digital-microscope digital-microscope-cli virtual-microscope RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/digital-microscope
        PATTERN System.ini EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/data/System.ini
        DESTINATION ${CMAKE_INSTALL_DATADIR}/digital-microscope)
install(FILES packaging/digital-microscope.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${DM_APP_ID}.desktop)
install(FILES packaging/digital-microscope.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${DM_APP_ID}.metainfo.xml)
foreach(size 48 128 256)
    install(FILES packaging/icons/${size}x${size}/digital-microscope.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES packaging/man/digital-microscope.1 packaging/man/digital-microscope-cli.1
              packaging/man/virtual-microscope.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME "digital-microscope")
set(CPACK_PACKAGE_VENDOR "Digital Microscope developers")
set(CPACK_PACKAGE_CONTACT "Digital Microscope developers <digital-microscope@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop companion for a handheld digital microscope")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Connects to a handheld digital microscope on a serial (USB) port, shows its live "
       "picture with a ruler and the magnification, takes snapshots, downloads, views, "
       "saves, deletes and uploads the pictures in its memory; digital-microscope-cli does "
       "the same from scripts, and saved pictures carry their measuring scale. Comes with a virtual "
       "microscope for demonstrations and training.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dependencies from the binaries (dpkg-shlibdeps)
# The overlays fall back on these metric-compatible fonts; CJK needs Noto.
# The window system plugins are a package of their own.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-liberation | fonts-liberation2, fonts-dejavu-core, fonts-noto-cjk")
include(CPack)
