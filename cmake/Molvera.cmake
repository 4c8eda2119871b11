# molvera_add_test(<name> SOURCES <files...> LIBS <libs...> [LABELS <labels...>])
# One QtTest executable per test class, registered with CTest and run offscreen.
# LABELS db marks a test that works on a TestDb: tools/run-tests runs those a
# second time on PostgreSQL through ODBC (ctest -L db with MOLVERA_TEST_ODBC_DSN).
function(molvera_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} molvera_testsupport Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MOLVERA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    TIMEOUT 300)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
