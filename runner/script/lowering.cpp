// Lowering: binds var-locals, turns variables with a constant scope into
// simple variables, and folds operators on constants.
#include "script/lowering.h"

#include <algorithm>

#include "script/code_operator.h"
#include "script/script_state.h"

namespace kx {

namespace {

bool is_declared(const ScriptState& st, int32_t var) {
    return std::find(st.declared_locals.begin(), st.declared_locals.end(), var) !=
           st.declared_locals.end();
}

bool is_simple_self(const Node& n) {
    return n.kind == tok::SimpleVar && n.code >= kInstanceVariableBase &&
           (n.scope == scope::Implicit || n.scope == scope::Self);
}

uint8_t exec_kind(const ScriptState& st, const Node& n) {
    switch (n.kind) {
        case tok::Constant:
            return xk::Const;
        case tok::Call:
            return xk::Call;
        case tok::SimpleVar:
            if (is_simple_self(n)) return xk::SimpleSelf;
            if (st.argument0_index >= 0 && n.code >= st.argument0_index &&
                n.code < st.argument0_index + 16 &&
                (n.scope == scope::Implicit || n.scope == scope::Self))
                return xk::Argument;
            return xk::Simple;
        case tok::Variable:
            return xk::Var;
        case tok::Unary:
            return xk::Unary;
        case tok::Binary:
            return xk::Binary;
        case tok::Assign:
            return is_simple_self(n.children[0]) ? xk::AssignSelf : xk::Assign;
        case tok::Block:
            return xk::Block;
        case tok::If:
            return xk::If;
        case tok::While:
            return xk::While;
        case tok::Do:
            return xk::Do;
        case tok::For:
            return xk::For;
        case tok::Repeat:
            return xk::Repeat;
        case tok::With:
            return xk::With;
        case tok::Switch:
            return xk::Switch;
        case tok::Return:
            return xk::Return;
        case tok::Exit:
            return xk::Exit;
        case tok::Break:
            return xk::Break;
        case tok::Continue:
            return xk::Continue;
        case tok::Var:
            return xk::VarDecl;
        case tok::Case:
            return xk::Case;
        case tok::Default:
            return xk::Default;
        default:
            return xk::Other;
    }
}

bool transform(ScriptState& st, const CCode& code, Node& n);

// Children first, in order, then the node itself.
bool visit(ScriptState& st, const CCode& code, Node& n) {
    for (Node& c : n.children)
        if (!visit(st, code, c)) return false;
    if (!transform(st, code, n)) return false;
    n.xk = exec_kind(st, n);
    return true;
}

bool transform(ScriptState& st, const CCode& code, Node& n) {
    switch (n.kind) {
        case tok::Var:
            for (const Node& c : n.children) st.declared_locals.push_back(c.code);
            return true;
        case tok::Variable: {
            Node& sc = n.children[0];
            if (sc.kind != tok::Constant) return true;
            if (sc.value.is_real() && sc.value.real == double(scope::Implicit) &&
                is_declared(st, n.code))
                sc.value.real = double(scope::Local);
            if (sc.value.is_real()) sc.scope = round_to_i32(sc.value.real);  // read at run time
            if (n.children.size() > 1) return true;
            if (sc.value.is_string()) {
                record_error(st, code, sc.position, "Left hand side must be a real value.");
                return false;
            }
            n.kind = tok::SimpleVar;
            n.scope = round_to_i32(sc.value.real);
            n.children.clear();
            return true;
        }
        case tok::Unary:
            if (n.children[0].kind != tok::Constant) return true;
            {
                RValue v = n.children[0].value;
                if (!unary_operation(st, code, n.position, n.code, v)) return false;
                n.kind = tok::Constant;
                n.value = std::move(v);
                n.children.clear();
            }
            return true;
        case tok::Binary:
            if (n.children[0].kind != tok::Constant || n.children[1].kind != tok::Constant)
                return true;
            {
                RValue v = n.children[0].value;
                if (!binary_operation(st, code, n.position, n.code, v, n.children[1].value))
                    return false;
                n.kind = tok::Constant;
                n.value = std::move(v);
                n.children.clear();
            }
            return true;
        default:
            return true;
    }
}

}  // namespace

bool lower_tree(ScriptState& st, const CCode& code, Node& root) {
    st.declared_locals.clear();
    return visit(st, code, root);
}

}  // namespace kx
