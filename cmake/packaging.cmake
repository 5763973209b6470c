# Desktop integration and the Debian package: the program in bin/, a link
# where XScreenSaver looks for hacks, its hack description, the manual page,
# a menu entry with its icon, the copyright file and the changelog. A plain
# `cmake --install` and `cpack -G DEB` install this same layout.
set(ZT_DIST ${PROJECT_SOURCE_DIR}/dist)

# XScreenSaver on Debian runs hacks from libexec/xscreensaver; a relative
# link keeps the tree relocatable.
file(RELATIVE_PATH ZT_HACK_TARGET ${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver
  ${CMAKE_INSTALL_FULL_BINDIR}/zolven-taris)
set(ZT_HACK_LINK ${CMAKE_CURRENT_BINARY_DIR}/hack-link/zolven-taris)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/hack-link)
file(CREATE_LINK ${ZT_HACK_TARGET} ${ZT_HACK_LINK} SYMBOLIC)
install(FILES ${ZT_HACK_LINK} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)

# A stripped install (CPack's, `cmake --install --strip`) also drops the
# compiler's notes, as Debian's own strip does.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zolven-taris\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZT_MODULE_SUBDIR}/zolven-taris-sdl.so\")
endif()")

install(FILES ${ZT_DIST}/zolven-taris.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${ZT_DIST}/zolven-taris.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZT_DIST}/zolven-taris.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ZT_DIST}/zolven-taris.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)

# The changelog's newest entry is the package's version; a release that
# changes only one of the two should not build.
file(STRINGS ${ZT_DIST}/changelog ZT_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZT_CHANGELOG_TOP MATCHES "^zolven-taris \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "dist/changelog starts with '${ZT_CHANGELOG_TOP}', "
    "not with version ${PROJECT_VERSION}")
endif()

# The manual page and the changelog go in compressed, as Debian has them.
find_program(ZT_GZIP gzip)
function(zt_install_gzipped source name destination)
  if(ZT_GZIP)
    set(packed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${packed} COMMAND ${ZT_GZIP} -9n -c ${source} > ${packed}
      DEPENDS ${source} VERBATIM)
    add_custom_target(zt_gzip_${name} ALL DEPENDS ${packed})
    install(FILES ${packed} DESTINATION ${destination})
  else()
    install(FILES ${source} DESTINATION ${destination} RENAME ${name})
  endif()
endfunction()
zt_install_gzipped(${ZT_DIST}/zolven-taris.6 zolven-taris.6 ${CMAKE_INSTALL_MANDIR}/man6)
zt_install_gzipped(${ZT_DIST}/changelog changelog ${CMAKE_INSTALL_DOCDIR})
install(FILES ${ZT_DIST}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME zolven-taris)
set(CPACK_PACKAGE_VENDOR "Zolven Taris")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen animated line art of the screen-saver kind")
set(CPACK_PACKAGE_DESCRIPTION
  "Random three-dimensional Lissajous curves drawn as ribbons of turning\n\
spokes on a blue gradient, sized and coloured by depth. Runs full screen,\n\
in a window, or as an XScreenSaver hack (zolven-taris --root).")
set(CPACK_PACKAGE_CONTACT "Zolven Taris developers <maintainers@zolven-taris.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Where Debian keeps its own screen savers (xscreensaver-data and the like).
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the binary and its module link (SDL2, SDL2_mixer,
# FreeType, fontconfig, zlib, libX11...) are read off them by dpkg-shlibdeps; the
# list below is the floor when that tool is missing.
find_program(ZT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libsdl2-2.0-0, libsdl2-mixer-2.0-0, libfreetype6, libfontconfig1, zlib1g, libx11-6")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "timgm6mb-soundfont, xscreensaver")
include(CPack)
