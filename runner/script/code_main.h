#pragma once
// One compilable, runnable piece of code.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/rvalue.h"
#include "script/tokens.h"

namespace kx {

class CInstance;
struct Runtime;
struct ScriptState;

enum class CodeKind { Program, Expression, Constant };

class CCode {
public:
    CCode(std::string text, bool is_expression)
        : m_kind(is_expression ? CodeKind::Expression : CodeKind::Program),
          m_text(std::move(text)) {}

    // Lex, resolve, parse, lower; the first failing step leaves the
    // pending error set. Recompiling is an error.
    bool compile(ScriptState& st);
    void free_tree() { m_root.reset(); }

    CodeKind kind() const { return m_kind; }
    bool compiled() const { return m_compiled; }
    const std::string& text() const { return m_text; }
    const Node* root() const { return m_root.get(); }
    const RValue& constant_value() const { return m_constant; }
    // The var-locals' name indices by frame slot (set when compiling).
    const std::vector<int32_t>& local_slots() const { return m_local_slots; }

private:
    CodeKind m_kind;
    bool m_compiled = false;
    std::string m_text;
    std::unique_ptr<Node> m_root;
    RValue m_constant;
    std::vector<int32_t> m_local_slots;
};

// On failure reports the pending message (not fatal) and clears it.
bool execute_reporting(Runtime& r, CInstance* self, CInstance* other, CCode& code, RValue& result);
// On failure the result becomes the string "ERROR"; nothing is reported.
bool execute_quiet(ScriptState& st, CInstance* self, CInstance* other, CCode& code, RValue& result);

}  // namespace kx
