# The Windows screen saver: one .scr with its resources, a zip for
# right-click → Install, and an NSIS installer.
set(ZT_DIST_WINDOWS ${PROJECT_SOURCE_DIR}/dist/windows)
configure_file(${ZT_DIST_WINDOWS}/zolven-taris.rc.in ${CMAKE_BINARY_DIR}/zolven-taris.rc @ONLY)
add_executable(zolven-taris WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp
  ${CMAKE_BINARY_DIR}/zolven-taris.rc)
set_target_properties(zolven-taris PROPERTIES SUFFIX .scr)
target_include_directories(zolven-taris PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(zolven-taris PRIVATE zt_app)
set_property(SOURCE ${CMAKE_BINARY_DIR}/zolven-taris.rc APPEND PROPERTY OBJECT_DEPENDS
  ${ZT_DIST_WINDOWS}/zolven-taris.ico ${ZT_DIST_WINDOWS}/zolven-taris.manifest)

find_program(ZT_MAKENSIS makensis)
find_program(ZT_ZIP zip)
set(ZT_SCR $<TARGET_FILE:zolven-taris>)
if(ZT_ZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/zolven-taris-${PROJECT_VERSION}-windows.zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf zip && ${CMAKE_COMMAND} -E make_directory zip
    COMMAND ${CMAKE_COMMAND} -E copy ${ZT_SCR} ${ZT_DIST_WINDOWS}/README.txt zip/
    COMMAND ${CMAKE_COMMAND} -E chdir zip ${ZT_ZIP} -q -X -9
      ${CMAKE_BINARY_DIR}/zolven-taris-${PROJECT_VERSION}-windows.zip zolven-taris.scr README.txt
    DEPENDS zolven-taris ${ZT_DIST_WINDOWS}/README.txt
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
  add_custom_target(windows_zip ALL DEPENDS
    ${CMAKE_BINARY_DIR}/zolven-taris-${PROJECT_VERSION}-windows.zip)
endif()
if(ZT_MAKENSIS)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/zolven-taris-setup.exe
    COMMAND ${ZT_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSCR=${ZT_SCR}
      -DICON=${ZT_DIST_WINDOWS}/zolven-taris.ico -DOUT=${CMAKE_BINARY_DIR}/zolven-taris-setup.exe
      ${ZT_DIST_WINDOWS}/installer.nsi
    DEPENDS zolven-taris ${ZT_DIST_WINDOWS}/installer.nsi VERBATIM)
  add_custom_target(windows_installer ALL DEPENDS ${CMAKE_BINARY_DIR}/zolven-taris-setup.exe)
endif()
