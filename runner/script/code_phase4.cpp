// Compile phase 4: binds var-locals, turns variables with a constant scope
// into simple variables, and folds operators on constants.
#include <algorithm>

#include "script/code_compile.h"
#include "script/code_operator.h"
#include "script/script_state.h"

namespace kx {

namespace {

bool is_declared(const ScriptState& st, int32_t var) {
    return std::find(st.declared_locals.begin(), st.declared_locals.end(), var) !=
           st.declared_locals.end();
}

// Children first, in order, then the node itself.
bool visit(ScriptState& st, const CCode& code, RToken& n) {
    for (RToken& c : n.children)
        if (!visit(st, code, c)) return false;
    switch (n.kind) {
        case tok::Var:
            for (const RToken& c : n.children) st.declared_locals.push_back(c.code);
            return true;
        case tok::Variable: {
            RToken& sc = n.children[0];
            if (sc.kind != tok::Constant) return true;
            if (sc.value.is_real() && sc.value.real == double(scope::Implicit) &&
                is_declared(st, n.code))
                sc.value.real = double(scope::Local);
            if (sc.value.is_real()) sc.scope = round_to_i32(sc.value.real);  // read at run time
            if (n.children.size() > 1) return true;
            if (sc.value.is_string()) {
                record_error(code, sc.position, "Left hand side must be a real value.");
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
                if (!unary_operation(code, n.position, n.code, v)) return false;
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
                if (!binary_operation(code, n.position, n.code, v, n.children[1].value))
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

bool post_pass(ScriptState& st, const CCode& code, RToken& root) {
    st.declared_locals.clear();
    return visit(st, code, root);
}

}  // namespace kx
