# One precompiled header of the Qt headers, compiled once and reused by every
# target of the program and its tests (MOLVERA_PCH=OFF builds without it).
option(MOLVERA_PCH "Compile the Qt headers once for every target" ON)
if(MOLVERA_PCH)
  add_library(molvera_pch STATIC ${CMAKE_CURRENT_LIST_DIR}/pch.cpp)
  target_link_libraries(molvera_pch PRIVATE Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Sql)
  target_precompile_headers(molvera_pch PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pch.h)
endif()
function(molvera_use_pch target)
  if(MOLVERA_PCH)
    target_precompile_headers(${target} REUSE_FROM molvera_pch)
  endif()
endfunction()

# molvera_add_test(<name> SOURCES <files...> LIBS <libs...> [LABELS <labels...>])
# One QtTest executable per test class, registered with CTest and run offscreen.
# LABELS db marks a test that works on a TestDb: tools/run-tests runs those a
# second time on PostgreSQL through ODBC (ctest -L db with MOLVERA_TEST_ODBC_DSN).
function(molvera_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # A test is one file with its own helpers: nothing to gain from a unity build.
  set_target_properties(${name} PROPERTIES UNITY_BUILD OFF)
  target_link_libraries(${name} PRIVATE ${T_LIBS} molvera_testsupport Qt6::Test)
  molvera_use_pch(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MOLVERA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    TIMEOUT 300)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
