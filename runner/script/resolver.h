#pragma once
// Name resolution: every identifier token resolved once, before parsing.
#include <vector>

#include "script/tokens.h"

namespace kx {

class CCode;
struct ScriptState;

bool resolve_tokens(ScriptState& st, const CCode& code, const std::vector<Token>& in,
                    std::vector<ResolvedToken>& out);

}  // namespace kx
