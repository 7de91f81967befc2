# zolta_add_test(NAME <name> SOURCES ... LIBS ...): a GoogleTest executable registered with CTest,
# run headless (offscreen Qt) from the build's bin folder.
function(zolta_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZOLTA_BIN_DIR=${ZOLTA_BIN_DIR};ZOLTA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 600)
endfunction()
