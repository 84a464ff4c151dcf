# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules and the Debian package. Everything lands under the prefix: the
# programs in bin/, the data files the program copies into each user's own data folder in
# share/digital-microscope/, and the desktop integration (menu entry, icons, AppStream
# metainfo, manual pages), and the licence and history in share/doc/digital-microscope/.

include(GNUInstallDirs)

set(DM_APP_ID "io.github.digital_microscope.DigitalMicroscope")

set(DM_PROGRAMS digital-microscope digital-microscope-cli virtual-microscope)
install(TARGETS ${DM_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripping install (cpack, cmake --install --strip) strips as Debian's dh_strip does:
# CMake's own strip keeps the compiler's .comment and .note sections, which a package has
# no use for. The build folder keeps the programs with their debug information.
if(UNIX AND CMAKE_STRIP)
    foreach(program IN LISTS DM_PROGRAMS)
        install(CODE "
            if(CMAKE_INSTALL_DO_STRIP)
                execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                        --remove-section=.note
                                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${program}>\"
                                COMMAND_ERROR_IS_FATAL ANY)
            endif()")
    endforeach()
endif()
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

# Manual pages and the Debian documents, compressed as Debian wants them (gzip -9n: no
# name, no time stamp, so the same page always gives the same bytes).
if(UNIX)
    find_program(DM_GZIP gzip REQUIRED)
    set(DM_DOCS_DIR ${PROJECT_BINARY_DIR}/packaging)
    set(DM_COMPRESSED_DOCS)
    foreach(program IN LISTS DM_PROGRAMS)
        configure_file(packaging/man/${program}.1 ${DM_DOCS_DIR}/${program}.1 @ONLY)
        list(APPEND DM_COMPRESSED_DOCS ${DM_DOCS_DIR}/${program}.1.gz)
    endforeach()
    configure_file(packaging/changelog ${DM_DOCS_DIR}/changelog COPYONLY)
    list(APPEND DM_COMPRESSED_DOCS ${DM_DOCS_DIR}/changelog.gz)
    foreach(compressed IN LISTS DM_COMPRESSED_DOCS)
        string(REGEX REPLACE "\\.gz$" "" plain ${compressed})
        add_custom_command(OUTPUT ${compressed} DEPENDS ${plain}
                           COMMAND ${DM_GZIP} -9nkf ${plain} VERBATIM)
    endforeach()
    add_custom_target(compressed_docs ALL DEPENDS ${DM_COMPRESSED_DOCS})
    foreach(program IN LISTS DM_PROGRAMS)
        install(FILES ${DM_DOCS_DIR}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
    install(FILES ${DM_DOCS_DIR}/changelog.gz packaging/copyright
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/digital-microscope)
endif()

# The version is set once, in project(); the histories that name it must agree.
file(STRINGS packaging/changelog DM_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT DM_CHANGELOG_TOP MATCHES "^digital-microscope \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with version ${PROJECT_VERSION}")
endif()
file(READ packaging/digital-microscope.metainfo.xml DM_METAINFO)
if(NOT DM_METAINFO MATCHES "<releases>[ \n]*<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "the metainfo's newest release is not ${PROJECT_VERSION}")
endif()

set(CPACK_PACKAGE_NAME "digital-microscope")
set(CPACK_PACKAGE_VENDOR "Digital Microscope developers")
set(CPACK_PACKAGE_CONTACT "Digital Microscope developers <digital-microscope@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop companion for a handheld digital microscope")
# Lines of at most 79 characters with the leading space Debian adds, an empty line
# between paragraphs (Debian policy 5.6.13).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Digital Microscope finds a handheld digital microscope on a serial or\n"
       "USB-serial port and shows its live picture with a ruler and the\n"
       "magnification. It takes snapshots, presses the microscope's keys from the\n"
       "window, and downloads, views, saves, deletes and uploads the pictures in the\n"
       "microscope's memory. Saved pictures carry their measuring scale in EXIF. The\n"
       "window speaks English, Chinese (traditional and simplified), Japanese,\n"
       "Turkish and Russian.\n"
       "\n"
       "digital-microscope-cli does the same from scripts: batch downloads and\n"
       "time-lapse snapshots, with JSON output.\n"
       "\n"
       "virtual-microscope plays the part of the microscope on a pseudo-terminal, for\n"
       "demonstrations and training without hardware.")
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
