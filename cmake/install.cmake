# SPDX-License-Identifier: MIT
# Blinkolux as a desktop program on Linux: `cmake --install` and a Debian package (CPack).
include(GNUInstallDirs)
set(app_id io.github.blinkolux.Blinkolux)
set(svg ${PROJECT_SOURCE_DIR}/data/blinkolux.svg)

# Made at build time: the icon's PNG sizes, the man page and changelog compressed as Debian wants.
set(made)
set(blinkolux_icon_pngs)
foreach(size 16 24 32 48 64 128 256)
  set(png ${PROJECT_BINARY_DIR}/icons/${size}/${app_id}.png)
  blinkolux_icon_source(drawing ${size})
  add_custom_command(OUTPUT ${png}
                     COMMAND ${CMAKE_COMMAND} -E make_directory icons/${size}
                     COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${drawing} -o ${png}
                     DEPENDS ${drawing} WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  list(APPEND made ${png})
  list(APPEND blinkolux_icon_pngs ${png})
endforeach()
foreach(file blinkolux.1 changelog)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${file}.gz
                     COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/data/${file}
                             ${PROJECT_BINARY_DIR}/${file}.gz
                     DEPENDS ${PROJECT_SOURCE_DIR}/data/${file} VERBATIM)
  list(APPEND made ${PROJECT_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(desktop_files ALL DEPENDS ${made})
configure_file(data/${app_id}.metainfo.xml.in ${PROJECT_BINARY_DIR}/${app_id}.metainfo.xml @ONLY)

install(TARGETS blinkolux RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${app_id}.svg)
install(FILES ${PROJECT_BINARY_DIR}/${app_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_BINARY_DIR}/blinkolux.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/copyright ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME blinkolux)
set(CPACK_PACKAGE_VENDOR "The Blinkolux developers")
set(CPACK_PACKAGE_CONTACT "The Blinkolux developers <blinkolux@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "light display on the keyboard's lock lamps")
# Lines as the control file wants them, at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Blinkolux turns the three keyboard lock lamps (Num Lock, Caps Lock and\n\
Scroll Lock) into a light display: a running light whose speed, direction\n\
and inversion you steer from one small window, two scripted light shows,\n\
and random events. The window mirrors the lamps, and when it closes the\n\
lamps go back to the states they had when it opened. X sessions are\n\
served through XKB, Wayland sessions through the kernel's keyboard LEDs\n\
and logind.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-extra)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
