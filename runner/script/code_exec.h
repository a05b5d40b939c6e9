#pragma once
// The executor: walks a compiled code tree.
#include <memory>

#include "script/rvalue.h"
#include "script/tokens.h"
#include "script/variable_class.h"

namespace kx {

class CCode;
class CInstance;
struct ScriptState;

// Clears the pending error, then runs the code; on failure the pending error
// holds the message.
bool execute(ScriptState& st, CInstance* self, CInstance* other, CCode& code, RValue& result);

}  // namespace kx
