#include "script/code_main.h"

#include <vector>

#include "core/runtime.h"
#include "script/code_error.h"
#include "script/code_exec.h"
#include "script/lexer.h"
#include "script/lowering.h"
#include "script/parser.h"
#include "script/resolver.h"
#include "script/script_state.h"

namespace kx {

bool CCode::compile(ScriptState& st) {
    if (m_compiled) {
        record_error(st, *this, 0, "Internal Error: Recompiling compiled code.");
        return false;
    }
    std::vector<Token> lexed;
    if (!tokenize(st, *this, lexed)) return false;
    std::vector<ResolvedToken> resolved;
    if (!resolve_tokens(st, *this, lexed, resolved)) return false;
    lexed.clear();
    std::unique_ptr<Node> root = m_kind == CodeKind::Program
                                     ? parse_program(st, *this, resolved)
                                     : parse_expression(st, *this, resolved);
    if (!root) return false;
    if (!lower_tree(st, *this, *root)) return false;
    m_local_slots = link_tree(st, *root, m_kind == CodeKind::Program);
    if (m_kind == CodeKind::Expression && root->kind == tok::Constant) {
        m_kind = CodeKind::Constant;
        m_constant = root->value;
    }
    m_root = std::move(root);
    m_compiled = true;
    return true;
}

bool execute_reporting(Runtime& r, CInstance* self, CInstance* other, CCode& code, RValue& result) {
    ScriptState& st = r.get<ScriptState>();
    if (execute(st, self, other, code, result)) return true;
    const std::string msg = pending_message(st);
    report_with_context(r, msg, false);
    clear_pending_error(st);
    return false;
}

bool execute_quiet(ScriptState& st, CInstance* self, CInstance* other, CCode& code,
                   RValue& result) {
    if (execute(st, self, other, code, result)) return true;
    result.set_string(KxString("ERROR"));
    return false;
}

}  // namespace kx
