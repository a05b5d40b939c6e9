#pragma once
// Every piece of the language's state, owned by Runtime::script.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/subsystem.h"
#include "script/code_constant.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/random.h"
#include "script/rvalue.h"
#include "script/script_instance.h"
#include "script/script_main.h"
#include "script/transition.h"
#include "script/variable_class.h"
#include "script/variable_main.h"

namespace kx {

struct Runtime;
struct GameSettings;

// The event (or time line moment) being run; kept current by whoever runs
// events. For a time line, event_type is 100000, owner_index the time line and
// event_number the time step.
struct EventContext {
    int32_t owner_index = -1;  // object index, or time line index
    int32_t event_type = 0;
    int32_t event_number = 0;
    int32_t action_index = 0;  // from 0
    bool action_relative = false;
};
constexpr int32_t kTimeLineEventType = 100000;

// The index of the first existing resource of one kind with exactly this
// name, or -1 (ResourceKind indexes ScriptState::resource_finders).
using NameFinder = std::function<int(std::string_view name)>;

// Names the error context needs from the world; filled by the world.
struct WorldNames {
    std::function<std::string(int32_t object_index)> object_name;
    std::function<std::string(int32_t timeline_index)> timeline_name;
    std::function<std::string(int32_t type, int32_t number)> event_name;
};

// The 16 argument slots of one script call.
using ArgBlock = std::array<RValue, 16>;

// One var-local of a running execution, addressed by slot.
struct LocalSlot {
    bool set = false;
    RVariable var;
};

struct ScriptState {
    FunctionTable functions;
    BuiltinVariableTable builtins;
    UserVariableNames user_names;
    ConstantTable constants;
    int builtin_constant_count = 0;
    CVariableList globals;
    ScriptList scripts;

    // The innermost running script call's arguments (16 slots). Slots from
    // args_used on are the real 0; write them through set_argument_slot().
    // Each call depth has its own block, so a call leaves the caller's
    // slots where they are.
    std::unique_ptr<ArgBlock> outer_args = std::make_unique<ArgBlock>();
    RValue* args = outer_args->data();
    int args_used = 0;
    int argument0_index = -1;  // built-in variables argument0..15 are consecutive from here
    // Blocks for calls being made, taken last-in first-out (a call's
    // arguments may make calls of their own), reused from call to call.
    std::vector<std::unique_ptr<ArgBlock>> arg_blocks;
    int arg_top = 0;
    int call_depth = 0;
    uintptr_t stack_base = 0;  // machine stack at the outermost script call
    int exec_depth = 0;        // nested executions of code
    uintptr_t exec_stack_base = 0;
    // Var-local frames by execution depth, reused from call to call.
    std::vector<std::unique_ptr<std::vector<LocalSlot>>> local_frames;

    ErrorState errors;
    // The game's settings, when the runtime has game data (reporting and
    // UninitializedAsZero read them).
    const GameSettings* settings = nullptr;
    EventContext event;
    RandomState random;

    TransitionRequest transition;

    // The room's instances, set by the world.
    IScriptWorld* instances = nullptr;
    int id_cache_last = 0;  // two-position instance lookup cache
    int id_cache_previous = 0;
    // The room changed: cached positions in its list mean nothing.
    void forget_instance_positions() { id_cache_last = id_cache_previous = 0; }

    // The subsystems' finders, by kind.
    std::array<NameFinder, static_cast<size_t>(ResourceKind::Count)> resource_finders;
    WorldNames names;

    // Compile scratch: var-locals declared so far in the code being compiled.
    std::vector<int32_t> declared_locals;
};

// The next free argument block, its slots the real 0; give it back with
// release_args.
inline RValue* acquire_args(ScriptState& st) {
    const size_t top = static_cast<size_t>(st.arg_top++);
    if (st.arg_blocks.size() <= top) st.arg_blocks.resize(top + 1);
    std::unique_ptr<ArgBlock>& b = st.arg_blocks[top];
    if (!b) b = std::make_unique<ArgBlock>();
    return b->data();
}
// Clears the first `used` slots and frees the block.
inline void release_args(ScriptState& st, RValue* block, int used) {
    for (int k = 0; k < used; ++k) {
        block[k].set_real(0);
        block[k].str = KxString();
    }
    --st.arg_top;
}

inline void set_argument_slot(ScriptState& st, int k, const RValue& v) {
    st.args[static_cast<size_t>(k)] = v;
    if (k >= st.args_used) st.args_used = k + 1;
}

// The language subsystem: the built-in tables, scripts, constants, errors.
extern const Subsystem kScriptSubsystem;

}  // namespace kx
