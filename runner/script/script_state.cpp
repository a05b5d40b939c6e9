#include "script/script_state.h"

#include <string>

#include "core/runtime.h"
#include "script/function_math.h"
#include "script/function_script.h"

namespace kx {

void init_script(Runtime& rt) {
    auto st = std::make_shared<ScriptState>();
    st->instances = &st->own_instances;
    register_function_script(st->functions);
    register_function_math(st->functions);
    register_variables_script(st->builtins);
    st->argument0_index = st->builtins.find("argument0");
    for (int k = 1; k < 16; ++k)
        if (st->builtins.find("argument" + std::to_string(k)) != st->argument0_index + k)
            st->argument0_index = -1;
    add_builtin_constants(st->constants);
    st->builtin_constant_count = st->constants.count();
    ScriptState* raw = st.get();
    st->resource_finders[static_cast<size_t>(ResourceKind::Script)] = [raw](std::string_view name) {
        return raw->scripts.find(name);
    };
    rt.script = std::move(st);
}

}  // namespace kx
