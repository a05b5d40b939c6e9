list(APPEND KX_SCRIPT_SOURCES
  code_constant.cpp code_error.cpp code_exec.cpp code_function.cpp code_main.cpp
  code_operator.cpp lexer.cpp resolver.cpp parser.cpp lowering.cpp
  eval.cpp function_script.cpp instance_min.cpp script_main.cpp script_state.cpp
  variable_class.cpp variable_main.cpp)
