# language core tests
kx_test(test_script_cases SOURCES test_script_cases.cpp DEPS kx_script)
kx_test(test_script_lang SOURCES test_script_lang.cpp DEPS kx_script)
if(TARGET kxrun)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    add_test(NAME script_cases_kxrun_eval
      COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/run_cases_kxrun.py
              $<TARGET_FILE:kxrun> ${CMAKE_CURRENT_SOURCE_DIR}/cases)
    set_tests_properties(script_cases_kxrun_eval PROPERTIES LABELS unit)
  endif()
endif()
# The benchmark runner for bench/script (make bench-script); not a test.
add_executable(kx_script_bench ${PROJECT_SOURCE_DIR}/bench/script/script_bench.cpp)
target_link_libraries(kx_script_bench PRIVATE kx_script)
