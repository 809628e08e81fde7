# The Windows build's tests, run under Wine. GoogleTest is built from
# Debian's sources with the cross-compiler. Each test program is one CTest
# test (starting Wine once per test case would cost more than the tests),
# and holds the tests of its folder that need no Linux tools at run time:
# images come from the crafted-volume builders, or are made on the Linux
# side before the Windows program reads them.
set(ORVANTA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(NOT EXISTS ${ORVANTA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "The Windows tests need GoogleTest's sources in ${ORVANTA_GOOGLETEST_SOURCE} "
                      "(Debian: googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORVANTA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(orvanta_test_support STATIC
  support/temp_dir.cpp
  support/file_bytes.cpp
  support/crafted_volume.cpp
  support/scan_fixture.cpp
  support/carve_samples.cpp
)
target_include_directories(orvanta_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orvanta_test_support PUBLIC orvanta_engine GTest::gtest GTest::gmock)
target_compile_definitions(orvanta_test_support PRIVATE
  ORVANTA_CARVE_DATA="${CMAKE_CURRENT_SOURCE_DIR}/carve/data")

set(ORVANTA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)

# Wine's server runs for the whole test run: started first, ended last.
add_test(NAME Wine.Start
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine_run.sh ${ORVANTA_WINE_PREFIX} cmd /c exit)
set_tests_properties(Wine.Start PROPERTIES FIXTURES_SETUP Wine TIMEOUT 300)
add_test(NAME Wine.Stop
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${ORVANTA_WINE_PREFIX} wineserver -k)
set_tests_properties(Wine.Stop PROPERTIES FIXTURES_CLEANUP Wine)

# The card behind \\.\E: in the Wine prefix: Wine opens a drive's raw volume
# as what dosdevices/e:: links to. The platform test writes the image.
set(ORVANTA_WINDOWS_CARD ${CMAKE_CURRENT_BINARY_DIR}/windows-card.img)
add_test(NAME Wine.CardAsDriveE
  COMMAND ${CMAKE_COMMAND} -E create_symlink ${ORVANTA_WINDOWS_CARD}
          ${ORVANTA_WINE_PREFIX}/dosdevices/e::)
set_tests_properties(Wine.CardAsDriveE PROPERTIES FIXTURES_SETUP Wine DEPENDS Wine.Start)

# windows_test(<program> <sources>...): a test program and its run.
function(windows_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE orvanta_test_support GTest::gtest_main)
  set_property(GLOBAL APPEND PROPERTY ORVANTA_WINDOWS_TEST_PROGRAMS ${name})
  add_test(NAME Windows.${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(Windows.${name} PROPERTIES
    FIXTURES_REQUIRED Wine
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    # Counted by the summary below: "[  PASSED  ] N tests."
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()

windows_test(carve_tests carve/walkers_test.cpp carve/carver_test.cpp)
windows_test(engine_tests engine/progress_test.cpp)
windows_test(platform_tests
  platform/memory_device_test.cpp
  platform/windows_device_test.cpp)
set_tests_properties(Windows.platform_tests PROPERTIES
  ENVIRONMENT ORVANTA_WINDOWS_CARD=${ORVANTA_WINDOWS_CARD})
windows_test(exfat_tests exfat/entry_sets_test.cpp)
windows_test(volume_tests
  volume/fat_chain_test.cpp
  volume/device_session_test.cpp)
windows_test(scan_tests
  scan/entry_decoding_test.cpp
  scan/mask_test.cpp
  scan/catalogue_test.cpp
  scan/directory_continuations_test.cpp)
windows_test(restore_tests
  restore/entry_and_names_test.cpp
  restore/vanishing_device_test.cpp)
windows_test(settings_tests
  settings/language_file_test.cpp
  settings/language_resources_test.cpp)
windows_test(wipe_tests
  wipe/wipe_crafted_test.cpp
  wipe/root_cluster_test.cpp
  wipe/vanishing_device_test.cpp)

# orvanta-cli.exe against the Linux build's orvanta-cli on the same cards.
set(ORVANTA_LINUX_CLI ${PROJECT_SOURCE_DIR}/build/dev/bin/orvanta-cli
    CACHE FILEPATH "The Linux build of orvanta-cli that orvanta-cli.exe is compared with")
add_test(NAME Windows.CliMatchesLinux
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli_compare.sh ${ORVANTA_LINUX_CLI}
          $<TARGET_FILE:orvanta-cli> ${PROJECT_SOURCE_DIR}/scripts/wine_run.sh
          ${ORVANTA_WINE_PREFIX} ${CMAKE_CURRENT_BINARY_DIR}/cli-compare)
set_tests_properties(Windows.CliMatchesLinux PROPERTIES FIXTURES_REQUIRED Wine TIMEOUT 600)
