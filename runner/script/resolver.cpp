// Every identifier resolved once, to a call, a constant or a variable number;
// number and string literals become constants.
#include "script/resolver.h"

#include "script/code_error.h"
#include "script/code_main.h"
#include "script/lexer.h"
#include "script/script_state.h"

namespace kx {

namespace {

bool resolve_resource(const ScriptState& st, std::string_view name, RValue& out) {
    for (const NameFinder& f : st.resource_finders) {
        if (!f) continue;
        const int index = f(name);
        if (index >= 0) {
            out = RValue(static_cast<double>(index));
            return true;
        }
    }
    return false;
}

}  // namespace

bool resolve_tokens(ScriptState& st, const CCode& code, const std::vector<Token>& in,
                    std::vector<ResolvedToken>& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const Token& t = in[i];
        ResolvedToken r;
        r.kind = t.kind;
        r.position = t.position;
        switch (t.kind) {
            case tok::Ident: {
                const bool call = i + 1 < in.size() && in[i + 1].kind == tok::LParen;
                if (call) {
                    int f = st.functions.find(t.text);
                    if (f < 0) {
                        const int s = st.scripts.find(t.text);
                        if (s < 0) {
                            record_error(st, code, t.position,
                                         "Unknown function or script: " + t.text);
                            return false;
                        }
                        f = kScriptCallBase + s;
                    }
                    r.kind = tok::Call;
                    r.code = f;
                } else if (resolve_resource(st, t.text, r.value)) {
                    r.kind = tok::Constant;
                } else if (const RValue* c = st.constants.find(t.text)) {
                    r.kind = tok::Constant;
                    r.value = *c;
                } else {
                    r.kind = tok::Variable;
                    r.code = variable_index(st, t.text);
                }
                break;
            }
            case tok::Number:
                r.kind = tok::Constant;
                r.value = RValue(number_value(t.text));
                break;
            case tok::String:
                r.kind = tok::Constant;
                r.value = RValue(std::string_view(t.text));
                break;
            default:
                break;
        }
        out.push_back(std::move(r));
    }
    return true;
}

}  // namespace kx
