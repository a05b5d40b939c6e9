list(APPEND KX_SCRIPT_SOURCES function_math.cpp function_string.cpp random.cpp)
