# quorvane_test(NAME n SOURCES ... LIBS ... LABELS ... ENV ... TIMEOUT s
#               [NOT_ON_WINDOWS "why"])
# One GoogleTest executable; each test case becomes its own ctest entry.
# NOT_ON_WINDOWS: in a Windows build the executable is not built; a disabled
# test of the same name, labelled not-on-windows, says why in the listing.
function(quorvane_test)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT;NOT_ON_WINDOWS" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(WIN32 AND ARG_NOT_ON_WINDOWS)
    quorvane_not_on_windows(${ARG_NAME} "${ARG_NOT_ON_WINDOWS}" ${ARG_LABELS})
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  # tests_<label> builds every test of a label (the sanitizer runs build only those).
  foreach(label ${ARG_LABELS})
    if(NOT TARGET tests_${label})
      add_custom_target(tests_${label})
    endif()
    add_dependencies(tests_${label} ${ARG_NAME})
  endforeach()
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(NOT "GTest::gtest" IN_LIST ARG_LIBS)
    target_link_libraries(${ARG_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${ARG_NAME} PRIVATE
    QUORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUORVANE_CORPUS_DIR="${QUORVANE_CORPUS_DIR}")
  # The listing runs when ctest starts. Under Wine the first one also makes the
  # build's Wine prefix, which takes tens of seconds on a busy machine; a
  # listing cut short drops or fails the executable's tests, so the limit is
  # only there to end a hang.
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 600
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  # Labels and environment are lists, which the discovery script splits apart
  # ("unit;threads" would become the label "unit" and a property "threads"), so
  # they are set by a script of our own that ctest reads after the discovered tests.
  set(properties_script "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_properties.cmake")
  set(script "if(${ARG_NAME}_TESTS)\n  set_tests_properties(\${${ARG_NAME}_TESTS} PROPERTIES LABELS [==[${ARG_LABELS}]==]")
  if(ARG_ENV)
    string(APPEND script " ENVIRONMENT [==[${ARG_ENV}]==]")
  endif()
  string(APPEND script ")\nendif()\n")
  file(WRITE "${properties_script}" "${script}")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties_script}")
endfunction()

# A disabled placeholder for a test that cannot run on Windows: ctest lists
# it as not run, and its command says why.
function(quorvane_not_on_windows name reason)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "not on Windows: ${reason}")
  set_tests_properties(${name} PROPERTIES DISABLED TRUE LABELS "${ARGN};not-on-windows")
endfunction()
