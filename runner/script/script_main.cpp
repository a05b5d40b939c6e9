#include "script/script_main.h"

#include <array>
#include <cstdint>
#include <string>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/scramble.h"
#include "script/code_error.h"
#include "script/script_state.h"

namespace kx {

namespace {

// The real frame, also under sanitizers that move locals to fake stacks.
uintptr_t stack_address() {
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

}  // namespace

std::string_view ScriptList::name(int index) const {
    const CScript* s = at(index);
    return s ? std::string_view(s->name) : std::string_view("<undefined>");
}

std::string_view ScriptList::text(int index) const {
    const CScript* s = at(index);
    return s ? std::string_view(s->text) : std::string_view();
}

int ScriptList::find(std::string_view name) const {
    for (int i = 0; i < count(); ++i)
        if (m_slots[static_cast<size_t>(i)] && m_slots[static_cast<size_t>(i)]->name == name)
            return i;
    return -1;
}

int ScriptList::add(std::optional<std::string> name, std::string text) {
    if (name) {
        auto s = std::make_unique<CScript>();
        s->name = std::move(*name);
        s->text = std::move(text);
        m_slots.push_back(std::move(s));
    } else {
        m_slots.push_back(nullptr);
    }
    return count() - 1;
}

bool load_scripts(ScriptList& list, CStream& s) {
    list.clear();
    if (s.read_int() != kScriptListVersion) return false;
    const int32_t count = s.read_int();
    // Every slot takes at least its 4-byte flag.
    if (count < 0 || static_cast<size_t>(count) > s.remaining() / 4)
        throw StreamError("corrupt script list");
    for (int32_t i = 0; i < count; ++i) {
        if (!s.read_bool()) {
            list.add(std::nullopt);
            continue;
        }
        std::string name = s.read_string();
        if (s.read_int() != kScriptVersion) return false;
        CStream block = s.read_compressed();
        if (!unscramble_bytes(block.data(), kScriptTextSeed)) return false;
        block.seek(0);
        list.add(std::move(name), block.read_string());
    }
    return true;
}

void save_scripts(CStream& s, const ScriptList& list) {
    s.write_int(kScriptListVersion);
    s.write_int(list.count());
    for (int i = 0; i < list.count(); ++i) {
        const CScript* sc = list.at(i);
        s.write_bool(sc != nullptr);
        if (!sc) continue;
        s.write_string(sc->name);
        s.write_int(kScriptVersion);
        CStream text;
        text.write_string(sc->text);
        scramble_bytes(text.data(), kScriptTextSeed);
        s.write_compressed(text);
    }
}

bool compile_scripts(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    ScriptList& list = st.scripts;
    for (int i = 0; i < list.count(); ++i) {
        CScript* sc = list.at(i);
        if (!sc) continue;
        sc->code = std::make_unique<CCode>(sc->text, false);
        if (!sc->code->compile(st)) {
            report(r, "COMPILATION ERROR in Script: " + sc->name + "\r" + pending_message(st),
                   true);
            return false;
        }
    }
    return true;
}

bool call_script_with(ScriptState& st, int index, CInstance* self, CInstance* other, int argc,
                      RValue* block, RValue& result, int& used) {
    CScript* sc = st.scripts.at(index);
    if (!sc) return false;
    if (!sc->code) {
        set_pending_message(
            st, "In script " + sc->name + ":\rInternal Error: Executing non-compiled code.");
        return false;
    }
    const uintptr_t here = stack_address();
    if (st.call_depth == 0) st.stack_base = here;
    if (st.call_depth >= kMaxScriptDepth ||
        (st.stack_base > here && st.stack_base - here > kScriptStackBudget)) {
        clear_pending_error(st);
        set_pending_message(st, "Script calls nested too deeply.");
        return false;
    }
    RValue* const caller = st.args;
    const int caller_used = st.args_used;
    st.args = block;
    st.args_used = argc;
    ++st.call_depth;
    const bool ok = execute_quiet(st, self, other, *sc->code, result);
    --st.call_depth;
    if (!ok) set_pending_message(st, "In script " + sc->name + ":\r" + pending_message(st));
    if (st.args_used > used) used = st.args_used;
    st.args = caller;
    st.args_used = caller_used;
    return ok;
}

bool call_script(ScriptState& st, int index, CInstance* self, CInstance* other, int argc,
                 const RValue* args, RValue& result) {
    RValue* block = acquire_args(st);
    for (int k = 0; k < argc; ++k) block[k] = args[k];
    int used = argc;
    const bool ok = call_script_with(st, index, self, other, argc, block, result, used);
    release_args(st, block, used);
    return ok;
}

}  // namespace kx
