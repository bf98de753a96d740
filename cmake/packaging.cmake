# Installation beyond the programs (each target installs itself): the desktop entry,
# the icon and the manual pages; and the Debian package of it all (make package).

set(TARN_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TARN_MAN_DIR ${PROJECT_SOURCE_DIR}/docs/man)

install(FILES ${TARN_PACKAGING_DIR}/tarn-panel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TARN_PACKAGING_DIR}/tarn-panel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages go in compressed, without a time stamp, so that builds are repeatable.
find_program(TARN_GZIP gzip REQUIRED)
set(TARN_MAN_PAGES)
foreach(program tarn-panel tarn-sim tarn-send)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND sh -c "${TARN_GZIP} -9nc '${TARN_MAN_DIR}/${program}.1' > '${page}'"
      DEPENDS ${TARN_MAN_DIR}/${program}.1
      COMMENT "Compressing the manual page of ${program}"
      VERBATIM)
  list(APPEND TARN_MAN_PAGES ${page})
endforeach()
add_custom_target(man-pages ALL DEPENDS ${TARN_MAN_PAGES})
install(FILES ${TARN_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: Debian 12's own Qt 6 libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn-panel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for video projectors on a serial line")
set(CPACK_PACKAGE_DESCRIPTION "A desktop panel laid out like a remote control that sends \
text commands to video projectors over RS-232C (tarn-panel), a command-line sender of the \
same commands for scripts and timed jobs (tarn-send), and a projector simulator (tarn-sim).")
set(CPACK_PACKAGE_CONTACT "Tarn panel maintainers <tarn-panel@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 12), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6network6 (>= 6.4)")
include(CPack)
