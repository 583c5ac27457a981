# quorvane_test(NAME n SOURCES ... LIBS ... LABELS ... ENV ... TIMEOUT s)
# One GoogleTest executable; each test case becomes its own ctest entry.
function(quorvane_test)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(NOT "GTest::gtest" IN_LIST ARG_LIBS)
    target_link_libraries(${ARG_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${ARG_NAME} PRIVATE
    QUORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUORVANE_CORPUS_DIR="${QUORVANE_CORPUS_DIR}")
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${ARG_ENV}")
endfunction()
