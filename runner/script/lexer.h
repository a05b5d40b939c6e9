#pragma once
// The lexer: the code text as lexical tokens.
#include <vector>

#include "script/tokens.h"

namespace kx {

class CCode;
struct ScriptState;

// Clears the pending error first. An error token records "Unexpected symbol."
// at its position and fails; otherwise the list ends with the end token.
bool tokenize(ScriptState& st, const CCode& code, std::vector<Token>& out);

// The value of a number token's text.
double number_value(std::string_view text);

}  // namespace kx
