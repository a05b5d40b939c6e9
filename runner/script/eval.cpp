#include "script/eval.h"

#include <string>

#include "core/runtime.h"
#include "platform/platform.h"
#include "script/code_error.h"
#include "script/code_exec.h"
#include "script/code_main.h"
#include "script/function_math.h"
#include "script/script_instance.h"
#include "script/script_state.h"

namespace kx {

namespace {

std::string with_line_feeds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void print(Runtime& r, std::string_view text) {
    if (r.platform && r.platform->console()) r.platform->console()->out_line(text);
}

int print_error(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    print(r, with_line_feeds(pending_message(st)));
    clear_pending_error(st);
    return 1;
}

}  // namespace

int eval_program(Runtime& r, std::string_view text) {
    RuntimeScope scope(r);
    ScriptState& st = r.get<ScriptState>();
    CCode code{std::string(text), false};
    if (!code.compile(st)) return print_error(r);
    DetachedInstance temp(*st.instances);
    RValue result;
    if (!execute(st, temp.get(), temp.get(), code, result)) return print_error(r);
    print(r, result.is_real() ? real_to_string(result.real) : result.str.str());
    return 0;
}

}  // namespace kx
