# molvera_add_test(<name> SOURCES <files...> LIBS <libs...>)
# One QtTest executable per test class, registered with CTest and run offscreen.
function(molvera_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} molvera_testsupport Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MOLVERA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    TIMEOUT 300)
endfunction()
