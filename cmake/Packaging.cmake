# `make package` (cpack -G DEB): a Debian package of the installed tree, parlune_<version>_<arch>.deb in the build
# folder. The libraries the program links come from dpkg-shlibdeps; the plugins Qt loads at run time are named by
# hand, since no linker table shows them.
include(GNUInstallDirs)

# The template of the entry that "自動運行" writes into the user's autostart folder, byte for byte what the
# installed program writes there (engine/AutostartEntry), so the two never drift apart. It names the installed
# program, whose place is only known at install time; it is written straight into the installed tree, since
# installs with different prefixes (the package, the install test) may run at the same time.
install(CODE "
    set(PARLUNE_EXECUTABLE \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/parlune\")
    set(parlune_autostart \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/parlune/autostart/parlune.desktop\")
    message(STATUS \"Installing: \${parlune_autostart}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/dist/autostart.desktop.in\" \"\${parlune_autostart}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${parlune_autostart}\")
")
install(FILES ${CMAKE_SOURCE_DIR}/dist/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/parlune)

# The change log and the manual page, compressed without a time stamp as Debian wants them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(parlune_docs)
foreach(doc changelog parlune.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/dist/${doc}.gz
                       COMMAND ${GZIP_PROGRAM} -n -9 -c ${CMAKE_SOURCE_DIR}/dist/${doc} > ${CMAKE_BINARY_DIR}/dist/${doc}.gz
                       DEPENDS ${CMAKE_SOURCE_DIR}/dist/${doc})
    list(APPEND parlune_docs ${CMAKE_BINARY_DIR}/dist/${doc}.gz)
endforeach()
add_custom_target(parlune_docs ALL DEPENDS ${parlune_docs})
install(FILES ${CMAKE_BINARY_DIR}/dist/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/parlune)
install(FILES ${CMAKE_BINARY_DIR}/dist/parlune.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Parlune")
set(CPACK_PACKAGE_CONTACT "Parlune maintainers <maintainers@users.noreply.c-seed-a655313c.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serverless instant messenger for the local network")
# Installs under the real prefix into a staging root, so the autostart template names /usr/bin/parlune.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Parlune finds the other users of one network segment by UDP broadcast, with
no server: a tray icon and its menu, chat messages with pictures, system
broadcasts read out by a desktop character, urgent bulletins, a five-in-a-row
game and remote power-off. Its interface is in Traditional Chinese and its
texts travel in code page 950 (Big5).")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name at run time: the platform plugins (xcb, and offscreen for headless use) and the SQLite driver of
# the message history.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
# The character's voice and a font with the interface's characters; the program runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-speech-speechd-plugin, speech-dispatcher, speech-dispatcher-espeak-ng, fonts-arphic-uming | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
