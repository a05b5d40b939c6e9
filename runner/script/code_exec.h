#pragma once
// The executor: walks a compiled code tree.
#include <memory>
#include <vector>

#include "script/rvalue.h"
#include "script/tokens.h"
#include "script/variable_class.h"

namespace kx {

class CCode;
class CInstance;
struct ScriptState;

// Binds every node's handler and gives each var-local a frame slot; answers
// the slots' name indices. Run once on the lowered tree.
std::vector<int32_t> link_tree(const ScriptState& st, Node& root, bool program);

// Clears the pending error, then runs the code; on failure the pending error
// holds the message.
bool execute(ScriptState& st, CInstance* self, CInstance* other, CCode& code, RValue& result);

}  // namespace kx
