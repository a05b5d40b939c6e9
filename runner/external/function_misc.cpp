// The external_* built-in functions: defining, calling and freeing the
// functions of shared libraries.
#include <vector>

#include "core/runtime.h"
#include "external/external_main.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"

namespace kx {

namespace {

constexpr const char* kSecure = "In secure mode you cannot use DLLs";
constexpr const char* kDefineFailed = "Error defining an external function.";

ExternalState& state() {
    return rt().get<ExternalState>();
}

void report(const char* message) {
    report_with_context(rt(), message, false);
}

// True (after the message) when secure mode forbids libraries.
bool refused() {
    if (!rt().options.secure_mode) return false;
    report(kSecure);
    return true;
}

void define(RValue& result, const RValue* args, int64_t convention, ExternalKind kind,
            std::vector<ExternalKind> kinds) {
    const int32_t id = define_external(state(), arg_text(args[0]), arg_text(args[1]), convention,
                                       kind, std::move(kinds));
    if (id < 0) report(kDefineFailed);
    result.set_real(id);
}

// external_define(dll, name, calltype, restype, argnumb, arg1type, ...)
KX_HANDLER(f_external_define) {
    if (refused()) return;
    const int64_t n = argc >= 5 ? arg_int(args[4]) : -1;
    if (argc < 5 || n + 5 != argc) {
        report("Wrong number of arguments to external_define()");
        return;
    }
    if (n > kMaxExternalArgs) {
        report("DLL functions can have at most 12 arguments");
        return;
    }
    std::vector<ExternalKind> kinds;
    for (int i = 5; i < argc; ++i) {
        if (n > kMaxTextArgs && arg_int(args[i]) != 0) {
            report("DLL functions with more than 4 arguments cannot have string arguments");
            return;
        }
        kinds.push_back(external_kind(arg_int(args[i])));
    }
    define(result, args, arg_int(args[2]), external_kind(arg_int(args[3])), std::move(kinds));
}

// external_define0 .. external_define4: (dll, name, arg kinds..., restype), cdecl.
template <int N>
KX_HANDLER(f_external_define_n) {
    if (refused()) return;
    std::vector<ExternalKind> kinds;
    for (int i = 0; i < N; ++i) kinds.push_back(external_kind(arg_int(args[2 + i])));
    define(result, args, 0, external_kind(arg_int(args[2 + N])), std::move(kinds));
}

// external_define5 .. external_define8: (dll, name, restype), cdecl, all reals.
template <int N>
KX_HANDLER(f_external_define_reals) {
    if (refused()) return;
    define(result, args, 0, external_kind(arg_int(args[2])),
           std::vector<ExternalKind>(N, ExternalKind::Real));
}

// external_call(id, values...) and external_call0 .. external_call8.
KX_HANDLER(f_external_call) {
    if (refused() || argc < 1) return;
    result = call_external(state(), arg_int(args[0]),
                           std::span<const RValue>(args + 1, static_cast<size_t>(argc - 1)));
}

KX_HANDLER(f_external_free) {
    if (refused()) return;
    free_external(state(), arg_text(args[0]));
}

constexpr BuiltinDef kFunctions[] = {
    {"external_call", f_external_call, kAnyArgs},
    {"external_define", f_external_define, kAnyArgs},
    {"external_free", f_external_free, 1},
    {"external_define0", f_external_define_n<0>, 3},
    {"external_define1", f_external_define_n<1>, 4},
    {"external_define2", f_external_define_n<2>, 5},
    {"external_define3", f_external_define_n<3>, 6},
    {"external_define4", f_external_define_n<4>, 7},
    {"external_define5", f_external_define_reals<5>, 3},
    {"external_define6", f_external_define_reals<6>, 3},
    {"external_define7", f_external_define_reals<7>, 3},
    {"external_define8", f_external_define_reals<8>, 3},
    {"external_call0", f_external_call, 1},
    {"external_call1", f_external_call, 2},
    {"external_call2", f_external_call, 3},
    {"external_call3", f_external_call, 4},
    {"external_call4", f_external_call, 5},
    {"external_call5", f_external_call, 6},
    {"external_call6", f_external_call, 7},
    {"external_call7", f_external_call, 8},
    {"external_call8", f_external_call, 9},
};

}  // namespace

void register_function_external(FunctionTable& table) {
    table.add(kFunctions);
}

}  // namespace kx
