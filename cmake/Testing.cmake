include(GoogleTest)

# GoogleTest: natively the system's; for Windows compiled from the sources
# that Debian ships, with the cross compiler.
if(ADDON_TESTS AND NOT TARGET GTest::gtest)
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    foreach(lib gtest gtest_main)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

# addon_add_gtest(TARGET SOURCES src... [LIBS lib...] [LOCK name...] [LABELS l...]
#                 [FIXTURES f...])
#
# One GoogleTest executable; its cases are discovered when the tests run
# (under Wine for the Windows builds). LOCK names a shared resource (the
# product's registry key, the X display) whose tests must not overlap;
# FIXTURES names the CTest fixtures (set-up and clean-up tests) they need.
function(addon_add_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LOCK;LABELS;FIXTURES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 240
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT 300)
  if(NOT ARG_LOCK AND NOT ARG_LABELS AND NOT ARG_FIXTURES)
    return()
  endif()
  # Discovery's PROPERTIES cannot carry a list (a second lock would be taken
  # for a property name), so locks and labels are set by a script that CTest
  # runs once the discovered tests are known.
  set(props "")
  if(ARG_LOCK)
    string(APPEND props " RESOURCE_LOCK \"${ARG_LOCK}\"")
  endif()
  if(ARG_LABELS)
    string(APPEND props " LABELS \"${ARG_LABELS}\"")
  endif()
  if(ARG_FIXTURES)
    string(APPEND props " FIXTURES_REQUIRED \"${ARG_FIXTURES}\"")
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
  file(WRITE ${script}
    "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES${props})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
