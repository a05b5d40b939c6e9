#pragma once
// The game's scripts: loading from the game data, compiling, calling.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/code_main.h"
#include "script/rvalue.h"

namespace kx {

class CStream;
class CInstance;
struct Runtime;
struct ScriptState;

struct CScript {
    std::string name;
    std::string text;
    std::unique_ptr<CCode> code;
};

constexpr int32_t kScriptListVersion = 400;
constexpr int32_t kScriptVersion = 400;
// Script calls nested deeper than this end with an error instead of
// exhausting the machine stack.
constexpr int kMaxScriptDepth = 2000;
// How much machine stack nested script calls may use below the outermost
// call; the main thread's stack is several times larger.
constexpr uintptr_t kScriptStackBudget = uintptr_t(4) << 20;

class ScriptList {
public:
    void clear() { m_slots.clear(); }
    int count() const { return static_cast<int>(m_slots.size()); }
    bool exists(int index) const {
        return index >= 0 && index < count() && m_slots[static_cast<size_t>(index)] != nullptr;
    }
    std::string_view name(int index) const;  // "<undefined>" for no script
    std::string_view text(int index) const;  // "" for no script
    int find(std::string_view name) const;   // -1 when none
    CScript* at(int index) {
        return exists(index) ? m_slots[static_cast<size_t>(index)].get() : nullptr;
    }
    const CScript* at(int index) const {
        return exists(index) ? m_slots[static_cast<size_t>(index)].get() : nullptr;
    }
    // Appends a slot (empty when name is null); for loaders and tests.
    int add(std::optional<std::string> name, std::string text = {});

private:
    std::vector<std::unique_ptr<CScript>> m_slots;
};

// Reads the scripts section. False for a wrong format number; throws
// StreamError for truncated data.
bool load_scripts(ScriptList& list, CStream& s);
// Writes the same record (kxpack, tests).
void save_scripts(CStream& s, const ScriptList& list);

// Compiles every script in index order; the first failure is reported fatally
// as "COMPILATION ERROR in Script: " + name.
bool compile_scripts(Runtime& r);

// Runs a script with up to 16 arguments, saving and restoring the argument
// slots. On failure the pending message gets the "In script " frame.
bool call_script(ScriptState& st, int index, CInstance* self, CInstance* other, int argc,
                 const RValue* args, RValue& result);
// The same with the arguments already in a block from acquire_args; used
// grows to the slots the script wrote, for release_args.
bool call_script_with(ScriptState& st, int index, CInstance* self, CInstance* other, int argc,
                      RValue* block, RValue& result, int& used);

}  // namespace kx
