#include "resources/resources_main.h"

#include "core/runtime.h"
#include "script/script_state.h"

namespace kx {

namespace {

void register_builtins(Runtime& r) {
    FunctionTable& f = r.get<ScriptState>().functions;
    register_function_resource(f);
    register_function_object(f);
}

}  // namespace

const Subsystem kResourcesSubsystem{
    .name = "resources",
    .register_builtins = register_builtins,
};

}  // namespace kx
