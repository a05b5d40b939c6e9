#pragma once
// Compile phases 2 to 4: name resolution, the parser and the post-pass.
#include <memory>
#include <vector>

#include "script/code_tokens.h"

namespace kx {

class CCode;
struct ScriptState;

bool resolve_tokens(ScriptState& st, const CCode& code, const std::vector<RToken1>& in,
                    std::vector<RToken2>& out);
std::unique_ptr<RToken> parse_program(ScriptState& st, const CCode& code,
                                      const std::vector<RToken2>& tokens);
std::unique_ptr<RToken> parse_expression(ScriptState& st, const CCode& code,
                                         const std::vector<RToken2>& tokens);
bool post_pass(ScriptState& st, const CCode& code, RToken& root);

// Parenthesised expressions and blocks nested deeper than this fail to
// compile, so that compiling and running never exhaust the machine stack.
constexpr int kMaxNesting = 256;

}  // namespace kx
