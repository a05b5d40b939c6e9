#pragma once
// Lowering: the parsed tree made ready to run.
#include "script/tokens.h"

namespace kx {

class CCode;
struct ScriptState;

bool lower_tree(ScriptState& st, const CCode& code, Node& root);

}  // namespace kx
