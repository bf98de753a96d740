# Installation beyond the programs (each target installs itself): the desktop entry,
# the icon, the AppStream metainfo, the manual pages, the gateway's systemd unit, the
# licence and the changelog; and the Debian package of it all (make package).

set(TARN_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TARN_DEBIAN_DIR ${TARN_PACKAGING_DIR}/debian)
set(TARN_MAN_DIR ${PROJECT_SOURCE_DIR}/docs/man)
set(TARN_MAINTAINER "TARN panel developers <packaging@tarn-panel.org>")

install(FILES ${TARN_PACKAGING_DIR}/tarn-panel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TARN_PACKAGING_DIR}/tarn-panel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The changelog's newest entry names the release: it must be this version, and the
# metainfo's release is taken from it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${TARN_DEBIAN_DIR}/changelog ${PROJECT_SOURCE_DIR}/LICENSE)
file(STRINGS ${TARN_DEBIAN_DIR}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^tarn-panel \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the newest entry is not version "
                      "${PROJECT_VERSION}: ${newest}")
endif()
file(STRINGS ${TARN_DEBIAN_DIR}/changelog signature LIMIT_COUNT 1 REGEX "^ -- ")
if(NOT signature MATCHES "  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/debian/changelog: no date in '${signature}'")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 101") # two digits, from "101" for January
string(SUBSTRING ${month} 1 2 month)
set(TARN_RELEASE_VERSION ${PROJECT_VERSION})
set(TARN_RELEASE_DATE "${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1}")

set(TARN_METAINFO ${CMAKE_BINARY_DIR}/packaging/org.tarn_panel.panel.metainfo.xml)
configure_file(${TARN_PACKAGING_DIR}/org.tarn_panel.panel.metainfo.xml.in ${TARN_METAINFO} @ONLY)
install(FILES ${TARN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The gateway: one instance of the unit per serial line, and an example of its options.
install(FILES "${TARN_PACKAGING_DIR}/tarn-bridge@.service" DESTINATION lib/systemd/system)
install(FILES ${TARN_PACKAGING_DIR}/tarn-bridge.default
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples RENAME tarn-bridge-hall)

# The copyright file in Debian's machine-readable format, with the licence's own text.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" holder "${licence}")
set(TARN_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " TARN_LICENCE_TEXT "${licence}")
set(TARN_COPYRIGHT_FILE ${CMAKE_BINARY_DIR}/packaging/copyright)
file(CONFIGURE OUTPUT ${TARN_COPYRIGHT_FILE} @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${TARN_MAINTAINER}

Files: *
Copyright: ${TARN_COPYRIGHT}
License: Expat
 ${TARN_LICENCE_TEXT}
")
install(FILES ${TARN_COPYRIGHT_FILE} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the changelog go in compressed, without a time stamp, so that
# builds are repeatable.
find_program(TARN_GZIP gzip REQUIRED)
function(tarn_compress source output)
  add_custom_command(OUTPUT ${output}
      COMMAND sh -c "${TARN_GZIP} -9nc '${source}' > '${output}'"
      DEPENDS ${source}
      COMMENT "Compressing ${source}"
      VERBATIM)
endfunction()

set(TARN_MAN_PAGES)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
foreach(program tarn-panel tarn-sim tarn-send tarn-bridge)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  tarn_compress(${TARN_MAN_DIR}/${program}.1 ${page})
  list(APPEND TARN_MAN_PAGES ${page})
endforeach()
# A package built from its own source tree is native: its changelog is changelog.gz.
set(TARN_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
tarn_compress(${TARN_DEBIAN_DIR}/changelog ${TARN_CHANGELOG})
add_custom_target(man-pages ALL DEPENDS ${TARN_MAN_PAGES} ${TARN_CHANGELOG})
install(FILES ${TARN_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TARN_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package. dpkg-shlibdeps finds the libraries the programs need, so the
# package follows their names on later Debian releases; the maintainer scripts need
# adduser.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn-panel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for video projectors on a serial line")
set(CPACK_PACKAGE_DESCRIPTION "\
A desktop panel laid out like a remote control that sends text commands to
video projectors over RS-232C (tarn-panel), a command-line sender of the same
commands for scripts and timed jobs (tarn-send), a projector simulator
(tarn-sim), and a gateway that lets room-control systems drive every projector
on a line over the network as a PJLink device (tarn-bridge).")
set(CPACK_PACKAGE_CONTACT "${TARN_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${TARN_DEBIAN_DIR}/postinst ${TARN_DEBIAN_DIR}/prerm ${TARN_DEBIAN_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
