#include "script/function_script.h"

#include <utility>

#include "core/runtime.h"
#include "platform/platform.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_operator.h"
#include "script/script_state.h"

namespace kx {

namespace {

// Handlers reach the runtime through rt().
ScriptState& st() {
    return rt().get<ScriptState>();
}

void f_script_exists(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    r.set_real(st().scripts.exists(arg_held_i32(a[0])) ? 1 : 0);
}

void f_script_get_name(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    r.set_string(KxString(st().scripts.name(arg_held_i32(a[0]))));
}

void f_script_get_text(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    r.set_string(KxString(st().scripts.text(arg_held_i32(a[0]))));
}

void f_script_execute(CInstance* self, CInstance* other, int argc, RValue& r, const RValue* a) {
    const int index = argc > 0 ? arg_held_i32(a[0]) : -1;
    Runtime& rn = rt();
    ScriptState& s = st();
    if (!s.scripts.exists(index)) {
        report_with_context(rn, "Trying to execute non-existing script.", false);
        return;
    }
    RValue result;
    if (!call_script(s, index, self, other, argc - 1, a + 1, result)) {
        const std::string msg = pending_message(s);
        report_with_context(rn, msg, false);
        clear_pending_error(s);
    }
    r = std::move(result);
}

void f_show_debug_message(CInstance*, CInstance*, int, RValue&, const RValue* a) {
    if (IConsole* c = rt().platform ? rt().platform->console() : nullptr)
        c->out_line(a[0].str.view());
}

constexpr BuiltinDef kFunctions[] = {
    {"script_exists", f_script_exists, 1},          {"script_get_name", f_script_get_name, 1},
    {"script_name", f_script_get_name, 1},          {"script_get_text", f_script_get_text, 1},
    {"script_execute", f_script_execute, kAnyArgs}, {"show_debug_message", f_show_debug_message, 1},
};

template <int K>
bool get_argument_k(CInstance*, int32_t, RValue& out) {
    out = st().args[K];
    return true;
}
template <int K>
bool set_argument_k(CInstance*, int32_t, const RValue& v) {
    set_argument_slot(st(), K, v);
    return true;
}

// argument[i]: an index outside 0..15 means slot 0.
size_t argument_slot(int32_t combined) {
    return combined >= 0 && combined < 16 ? static_cast<size_t>(combined) : 0;
}
bool get_argument(CInstance*, int32_t c, RValue& out) {
    out = st().args[argument_slot(c)];
    return true;
}
bool set_argument(CInstance*, int32_t c, const RValue& v) {
    set_argument_slot(st(), static_cast<int>(argument_slot(c)), v);
    return true;
}

bool get_argument_relative(CInstance*, int32_t, RValue& out) {
    out.set_real(st().event.action_relative ? 1 : 0);
    return true;
}

bool get_error_occurred(CInstance*, int32_t, RValue& out) {
    out.set_real(st().errors.occurred ? 1 : 0);
    return true;
}
bool set_error_occurred(CInstance*, int32_t, const RValue& v) {
    st().errors.occurred = v.real >= 0.5;
    return true;
}
bool get_error_last(CInstance*, int32_t, RValue& out) {
    out.set_string(KxString(st().errors.last));
    return true;
}
bool set_error_last(CInstance*, int32_t, const RValue& v) {
    st().errors.last = v.str.str();
    return true;
}

#define KX_ARG(k) \
    { "argument" #k, get_argument_k<k>, set_argument_k<k>, true }
constexpr BuiltinVarDef kVariables[] = {
    KX_ARG(0),
    KX_ARG(1),
    KX_ARG(2),
    KX_ARG(3),
    KX_ARG(4),
    KX_ARG(5),
    KX_ARG(6),
    KX_ARG(7),
    KX_ARG(8),
    KX_ARG(9),
    KX_ARG(10),
    KX_ARG(11),
    KX_ARG(12),
    KX_ARG(13),
    KX_ARG(14),
    KX_ARG(15),
    {"argument", get_argument, set_argument, true},
    {"argument_relative", get_argument_relative, nullptr, false},
    {"error_occurred", get_error_occurred, set_error_occurred, true},
    {"error_last", get_error_last, set_error_last, true},
};
#undef KX_ARG

}  // namespace

void register_function_script(FunctionTable& table) {
    table.add(kFunctions);
}
void register_variables_script(BuiltinVariableTable& table) {
    table.add(kVariables);
}

}  // namespace kx
