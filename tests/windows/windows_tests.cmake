# The Windows build's tests, run under Wine (the toolchain's emulator): the
# core's unit tests, the binding-free parts of the surface and app tests,
# and the Win32 binding's own. GoogleTest is built from Debian's sources.
set(ZT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
# GoogleTest is not ours to hold to -Werror.
get_directory_property(zt_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${zt_options}")

file(GLOB ZT_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
add_library(zt_test_support STATIC ${ZT_TEST_SUPPORT})
target_include_directories(zt_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zt_test_support PUBLIC zt_app zt_mci gtest gmock)

# Tests of the SDL, X11, FreeType, fontconfig and POSIX pieces stay on Linux.
set(ZT_LINUX_ONLY_TESTS
  "/(sdl_|x11_|posix_|dpi_|png_writer|font_rasterizer|open_type_layout|key_class|hack_target|robustness_soak)[a-z_]*\\.cpp$")
# One test per program: every Wine start costs a good part of a second. No
# DISPLAY: scripts/wine-run.sh gives each an Xvfb of its own.
foreach(dir app surface geometry raster backdrop captions music windows)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "${ZT_LINUX_ONLY_TESTS}")
  list(FILTER sources EXCLUDE REGEX "/preview_host\\.cpp$")
  if(sources)
    add_executable(zt_tests_${dir} ${sources})
    target_link_libraries(zt_tests_${dir} PRIVATE zt_test_support gtest_main)
    add_test(NAME win_unit_${dir} COMMAND zt_tests_${dir})
    set_tests_properties(win_unit_${dir} PROPERTIES LABELS "windows;unit" TIMEOUT 300
      ENVIRONMENT "ZT_TEST_BINARY=$<TARGET_FILE:zolven-taris>;DISPLAY=")
  endif()
endforeach()

# The contract, the same cases as on Linux against the headless and the
# Win32 bindings.
add_executable(zt_conformance ${CMAKE_CURRENT_SOURCE_DIR}/conformance/conformance_test.cpp)
target_link_libraries(zt_conformance PRIVATE zt_headless zt_win32 zt_os gtest_main)
add_test(NAME win_conformance COMMAND zt_conformance)
set_tests_properties(win_conformance PROPERTIES LABELS "windows;conformance" TIMEOUT 300
  ENVIRONMENT "DISPLAY=")

# The end-to-end tests need the Linux build's zt_xprobe and program:
# -DZT_HOST_BUILD=<Linux build folder>.
add_executable(zt_preview_host ${CMAKE_CURRENT_SOURCE_DIR}/windows/preview_host.cpp)
set(ZT_HOST_BUILD "" CACHE PATH "A Linux build folder with zt_xprobe and zolven-taris")
if(ZT_HOST_BUILD)
  file(GLOB ZT_WIN_E2E CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/test_win_*.sh)
  foreach(script ${ZT_WIN_E2E})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME ${name} COMMAND bash ${script} $<TARGET_FILE:zolven-taris>
      ${ZT_HOST_BUILD}/tests ${ZT_HOST_BUILD}/src/zolven-taris $<TARGET_FILE:zt_preview_host>)
    set_tests_properties(${name} PROPERTIES LABELS "windows;e2e" TIMEOUT 300
      RESOURCE_LOCK wine SKIP_RETURN_CODE 77)
  endforeach()
endif()
