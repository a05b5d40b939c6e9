#pragma once
// The recursive-descent parser: resolved tokens to the code tree.
#include <memory>
#include <vector>

#include "script/tokens.h"

namespace kx {

class CCode;
struct ScriptState;

std::unique_ptr<Node> parse_program(ScriptState& st, const CCode& code,
                                    const std::vector<ResolvedToken>& tokens);
std::unique_ptr<Node> parse_expression(ScriptState& st, const CCode& code,
                                       const std::vector<ResolvedToken>& tokens);

// Parenthesised expressions and blocks nested deeper than this fail to
// compile, so that compiling and running never exhaust the machine stack.
constexpr int kMaxNesting = 256;

}  // namespace kx
