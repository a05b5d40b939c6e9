# function library tests
kx_test(test_function_math SOURCES test_function_math.cpp DEPS kx_script)
