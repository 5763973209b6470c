# Desktop integration and the Debian package: the program in bin/, a link
# where XScreenSaver looks for hacks, its hack description, the manual page
# and a menu entry; `cpack -G DEB` turns the same layout into a package.
set(ZT_DIST ${PROJECT_SOURCE_DIR}/dist)

# XScreenSaver on Debian runs hacks from libexec/xscreensaver; a relative
# link keeps the tree relocatable.
file(RELATIVE_PATH ZT_HACK_TARGET ${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver
  ${CMAKE_INSTALL_FULL_BINDIR}/zolven-taris)
set(ZT_HACK_LINK ${CMAKE_CURRENT_BINARY_DIR}/hack-link/zolven-taris)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/hack-link)
file(CREATE_LINK ${ZT_HACK_TARGET} ${ZT_HACK_LINK} SYMBOLIC)
install(FILES ${ZT_HACK_LINK} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)

install(FILES ${ZT_DIST}/zolven-taris.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${ZT_DIST}/zolven-taris.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Manual pages go in compressed, as Debian has them.
find_program(ZT_GZIP gzip)
if(ZT_GZIP)
  set(ZT_MAN ${CMAKE_CURRENT_BINARY_DIR}/zolven-taris.6.gz)
  add_custom_command(OUTPUT ${ZT_MAN}
    COMMAND ${ZT_GZIP} -9n -c ${ZT_DIST}/zolven-taris.6 > ${ZT_MAN}
    DEPENDS ${ZT_DIST}/zolven-taris.6 VERBATIM)
  add_custom_target(zt_manpage ALL DEPENDS ${ZT_MAN})
else()
  set(ZT_MAN ${ZT_DIST}/zolven-taris.6)
endif()
install(FILES ${ZT_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

set(CPACK_PACKAGE_NAME zolven-taris)
set(CPACK_PACKAGE_VENDOR "Zolven Taris")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen animated line art of the screen-saver kind")
set(CPACK_PACKAGE_DESCRIPTION
  "Random three-dimensional Lissajous curves drawn as ribbons of turning spokes on a blue\n\
gradient, sized and coloured by depth. Runs full screen, in a window, or as an\n\
XScreenSaver hack (zolven-taris --root).")
set(CPACK_PACKAGE_CONTACT "Zolven Taris maintainers <zolven-taris@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the binary links (SDL2, SDL2_ttf, SDL2_mixer,
# fontconfig, libpng, libX11...) are read off it by dpkg-shlibdeps; the list
# below is the floor when that tool is missing.
find_program(ZT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libsdl2-2.0-0, libsdl2-ttf-2.0-0, libsdl2-mixer-2.0-0, libfontconfig1, libpng16-16, libx11-6")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "timgm6mb-soundfont, xscreensaver")
include(CPack)
