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

// How much machine stack nested script calls may use below the outermost
// call; the main thread's stack is several times larger.
constexpr uintptr_t kScriptStackBudget = uintptr_t(4) << 20;

// The real frame, also under sanitizers that move locals to fake stacks.
uintptr_t stack_address() {
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

}  // namespace

bool ScriptList::exists(int index) const {
    return index >= 0 && index < count() && m_slots[static_cast<size_t>(index)] != nullptr;
}

CScript* ScriptList::at(int index) {
    return exists(index) ? m_slots[static_cast<size_t>(index)].get() : nullptr;
}

const CScript* ScriptList::at(int index) const {
    return exists(index) ? m_slots[static_cast<size_t>(index)].get() : nullptr;
}

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

bool call_script(ScriptState& st, int index, CInstance* self, CInstance* other, int argc,
                 const RValue* args, RValue& result) {
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
    // The caller's slots move aside into a frame kept for this depth (frames
    // are reused, so a call allocates nothing once the depth was reached).
    // Only the slots below args_used can hold anything but the real 0.
    const size_t depth = static_cast<size_t>(st.call_depth);
    if (st.saved_args.size() <= depth) st.saved_args.resize(depth + 1);
    const int caller_used = st.args_used;
    {
        SavedArgs& saved = st.saved_args[depth];
        for (int k = 0; k < caller_used; ++k) {
            RValue& a = st.args[static_cast<size_t>(k)];
            RValue& b = saved.slots[static_cast<size_t>(k)];
            b.kind = a.kind;
            b.real = a.real;
            b.str = std::move(a.str);
            a.kind = VKind::Real;
            a.real = 0;
        }
        saved.used = caller_used;
        for (int k = 0; k < argc; ++k) st.args[static_cast<size_t>(k)] = args[k];
        st.args_used = argc;
    }
    ++st.call_depth;
    const bool ok = execute_quiet(st, self, other, *sc->code, result);
    --st.call_depth;
    if (!ok) set_pending_message(st, "In script " + sc->name + ":\r" + pending_message(st));
    SavedArgs& saved = st.saved_args[depth];  // the vector may have grown
    for (int k = 0; k < st.args_used; ++k) st.args[static_cast<size_t>(k)] = RValue();
    for (int k = 0; k < saved.used; ++k) {
        RValue& a = st.args[static_cast<size_t>(k)];
        RValue& b = saved.slots[static_cast<size_t>(k)];
        a.kind = b.kind;
        a.real = b.real;
        a.str = std::move(b.str);
    }
    st.args_used = saved.used;
    return ok;
}

}  // namespace kx
