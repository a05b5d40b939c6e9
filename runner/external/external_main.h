#pragma once
// External code: the functions of shared libraries that games define and
// call (Support_DLL), and their built-ins.
#include "core/subsystem.h"
#include "external/support_dll.h"

namespace kx {

class FunctionTable;

extern const Subsystem kExternalSubsystem;

void register_function_external(FunctionTable& table);

// Where kxrun's own libraries are, for the names a game may load them by:
// beside the program, in the build tree, in the installed library folder.
std::vector<std::pair<std::string, std::vector<std::string>>> own_libraries();

}  // namespace kx
