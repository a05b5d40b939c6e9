#pragma once
// The language's own built-in functions and variables: scripts, arguments,
// errors and debug messages.
namespace kx {

class FunctionTable;
class BuiltinVariableTable;

void register_function_script(FunctionTable& table);
void register_variables_script(BuiltinVariableTable& table);

}  // namespace kx
