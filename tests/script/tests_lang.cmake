# language core tests
kx_test(test_script_cases SOURCES test_script_cases.cpp DEPS kx_script)
