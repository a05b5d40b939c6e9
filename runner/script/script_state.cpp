#include "script/script_state.h"

#include <string>

#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/function_math.h"
#include "script/function_script.h"

namespace kx {

namespace {

void create(Runtime& r) {
    ScriptState& st = r.emplace<ScriptState>();
    st.builtins.set_dialogs(r.platform ? r.platform->dialogs() : nullptr);
    if (const GameDataState* gd = r.find<GameDataState>()) st.settings = &gd->settings;
    // --seed: code run before any game starts (--eval) draws from it too.
    if (r.options.seed) st.random.seed(*r.options.seed);
    // Name resolution asks whichever subsystem finds each kind.
    for (const Subsystem* sub : r.subsystems())
        for (const ResourceFinder& f : sub->finders)
            st.resource_finders[static_cast<size_t>(f.kind)] =
                [&r, find = f.find](std::string_view name) { return find(r, name); };
}

void register_builtins(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    register_function_script(st.functions);
    register_function_math(st.functions);
    register_variables_script(st.builtins);
    st.argument0_index = st.builtins.find("argument0");
    for (int k = 1; k < 16; ++k)
        if (st.builtins.find("argument" + std::to_string(k)) != st.argument0_index + k)
            st.argument0_index = -1;
    add_builtin_constants(st.constants);
    st.builtin_constant_count = st.constants.count();
}

bool read_scripts(Runtime& r, CStream& s) {
    return load_scripts(r.get<ScriptState>().scripts, s);
}

int32_t find_script(Runtime& r, std::string_view name) {
    return r.get<ScriptState>().scripts.find(name);
}

constexpr SectionReader kSectionReaders[] = {{Section::Scripts, read_scripts}};
constexpr ResourceFinder kFinders[] = {{ResourceKind::Script, find_script}};
constexpr LoadStep kLoadSteps[] = {
    {LoadStage::Constants, define_game_constants},
    {LoadStage::Scripts, compile_scripts},
};

}  // namespace

const Subsystem kScriptSubsystem{
    .name = "script",
    .create = create,
    .register_builtins = register_builtins,
    .sections = kSectionReaders,
    .finders = kFinders,
    .load_steps = kLoadSteps,
};

}  // namespace kx
