list(APPEND KX_SCRIPT_SOURCES random.cpp)
