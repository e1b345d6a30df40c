# GoogleTest for the native and the cross build, and runeflow_add_test(), which registers a test program
# with CTest: case by case natively, as one program under Wine (each Wine start costs about a second).
# runeflow_add_desktop_test() registers a Windows test program that needs windows, a display and the
# object runtime: it runs in the Wine harness's prefix, with an X server of its own.
if(CMAKE_CROSSCOMPILING)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Test programs run under Wine in a prefix of this build's own.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/tests/windows/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(runeflow_add_test target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

function(runeflow_add_desktop_test target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  add_test(NAME ${target}
           COMMAND sh ${PROJECT_SOURCE_DIR}/tests/windows/desktop-run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:${target}>)
  set_tests_properties(${target} PROPERTIES RESOURCE_LOCK wine-desktop)
endfunction()
