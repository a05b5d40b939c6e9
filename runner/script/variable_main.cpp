#include "script/variable_main.h"

#include "platform/platform.h"
#include "script/script_instance.h"
#include "script/script_state.h"

namespace kx {

int BuiltinVariableTable::add(const BuiltinVarDef& def) {
    if (count() >= kMaxBuiltinVariables) {
        if (m_dialogs) m_dialogs->message("Error", "INTERNAL ERROR: Adding too many variables");
        return -1;
    }
    const int index = count();
    m_vars.push_back(RBuiltinVariable{def.name, def.getter, def.setter, def.writable});
    m_by_name.emplace(def.name, index);
    return index;
}

void BuiltinVariableTable::add(std::span<const BuiltinVarDef> defs) {
    for (const BuiltinVarDef& d : defs) add(d);
}

int BuiltinVariableTable::find(std::string_view name) const {
    auto it = m_by_name.find(std::string(name));
    return it == m_by_name.end() ? -1 : it->second;
}

std::string_view BuiltinVariableTable::name(int index) const {
    if (index < 0 || index >= count()) return "<unknown built-in variable>";
    return m_vars[static_cast<size_t>(index)].name;
}

int32_t UserVariableNames::intern(std::string_view name) {
    std::string key(name);
    auto it = m_by_name.find(key);
    if (it != m_by_name.end()) return it->second;
    const int32_t index = kUserVariableBase + count();
    m_names.push_back(key);
    m_by_name.emplace(std::move(key), index);
    return index;
}

std::string_view UserVariableNames::name(int32_t index) const {
    const int64_t pos = int64_t(index) - kUserVariableBase;
    if (pos < 0 || pos >= count()) return "<unknown variable>";
    return m_names[static_cast<size_t>(pos)];
}

int32_t variable_index(ScriptState& st, std::string_view name) {
    const int b = st.builtins.find(name);
    return b >= 0 ? b : st.user_names.intern(name);
}

std::string variable_name(const ScriptState& st, int32_t index) {
    return std::string(index < kUserVariableBase ? st.builtins.name(index)
                                                 : st.user_names.name(index));
}

bool get_on_instance(ScriptState& st, CInstance* inst, int32_t var, int32_t combined, RValue& out) {
    if (var >= kInstanceVariableBase) {
        const RValue* v = st.instances->part(*inst).vars().get(var, combined);
        if (!v) return false;
        out = *v;
        return true;
    }
    if (var < 0 || var >= st.builtins.count()) return false;
    const RBuiltinVariable& b = st.builtins.at(var);
    return b.getter && b.getter(inst, combined, out);
}

bool set_on_instance(ScriptState& st, CInstance* inst, int32_t var, int32_t combined,
                     const RValue& v) {
    if (var >= kInstanceVariableBase) {
        st.instances->part(*inst).vars().set(var, combined, v);
        return true;
    }
    if (var < 0 || var >= st.builtins.count()) return false;
    const RBuiltinVariable& b = st.builtins.at(var);
    return b.writable && b.setter && b.setter(inst, combined, v);
}

CInstance* find_instance_by_id(ScriptState& st, int32_t id) {
    const IScriptWorld& w = *st.instances;
    auto id_at = [&](int pos) { return w.part(*w.at(pos)).id(); };
    const int n = w.count();
    if (st.id_cache_last < n && id_at(st.id_cache_last) == id) return w.at(st.id_cache_last);
    if (st.id_cache_previous < n && id_at(st.id_cache_previous) == id)
        return w.at(st.id_cache_previous);
    st.id_cache_previous = st.id_cache_last;
    for (int i = n; i-- > 0;) {
        if (id_at(i) == id) {
            st.id_cache_last = i;
            return w.at(i);
        }
    }
    return nullptr;
}

bool get_by_scope(ScriptState& st, int32_t scope, int32_t var, int32_t combined, RValue& out) {
    const IScriptWorld& w = *st.instances;
    auto live = [&](CInstance* i) { return i && !w.part(*i).destroyed(); };
    CInstance* inst = nullptr;
    if (scope == scope::All) {
        for (int i = 0, n = w.count(); i < n && !inst; ++i)
            if (live(w.at(i))) inst = w.at(i);
    } else if (scope < 0) {
        return false;
    } else if (scope >= kInstanceIdBase) {
        inst = w.find_live_id(scope);
    } else {
        for (int i = 0, n = w.object_count(scope); i < n && !inst; ++i)
            if (live(w.object_at(scope, i))) inst = w.object_at(scope, i);
    }
    return inst && get_on_instance(st, inst, var, combined, out);
}

bool set_by_scope(ScriptState& st, int32_t scope, int32_t var, int32_t combined, const RValue& v) {
    const IScriptWorld& w = *st.instances;
    auto live = [&](CInstance* i) { return i && !w.part(*i).destroyed(); };
    bool ok = true;
    if (scope == scope::All) {
        for (int i = 0; i < w.count(); ++i)
            if (live(w.at(i))) ok = set_on_instance(st, w.at(i), var, combined, v);
    } else if (scope < 0) {
        return false;
    } else if (scope >= kInstanceIdBase) {
        if (CInstance* inst = w.find_live_id(scope))
            return set_on_instance(st, inst, var, combined, v);
    } else {
        for (int i = 0; i < w.object_count(scope); ++i) {
            CInstance* inst = w.object_at(scope, i);
            if (live(inst)) ok = set_on_instance(st, inst, var, combined, v);
        }
    }
    return ok;
}

}  // namespace kx
