#pragma once
// The built-in variable table, the user variable names, and the routing of a
// variable access to the instance or instances a scope value designates.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/rvalue.h"

namespace kx {

class CInstance;
class IDialogs;
struct ScriptState;

using BuiltinGetter = bool (*)(CInstance* inst, int32_t combined, RValue& out);
using BuiltinSetter = bool (*)(CInstance* inst, int32_t combined, const RValue& v);

// One line of a module's built-in variable table.
struct BuiltinVarDef {
    const char* name;
    BuiltinGetter getter;
    BuiltinSetter setter;  // ignored unless writable
    bool writable;
};

struct RBuiltinVariable {
    std::string name;
    BuiltinGetter getter = nullptr;
    BuiltinSetter setter = nullptr;
    bool writable = false;
};

constexpr int kMaxBuiltinVariables = 500;
constexpr int32_t kUserVariableBase = 100000;
// Name indices from here on live in an instance's own variable list.
constexpr int32_t kInstanceVariableBase = 10000;

class BuiltinVariableTable {
public:
    // A full table shows "INTERNAL ERROR: Adding too many variables" and drops
    // the entry. Answers the index, or -1 when dropped.
    int add(const BuiltinVarDef& def);
    void add(std::span<const BuiltinVarDef> defs);
    int find(std::string_view name) const;
    std::string_view name(int index) const;
    int count() const { return static_cast<int>(m_vars.size()); }
    const RBuiltinVariable& at(int index) const { return m_vars[static_cast<size_t>(index)]; }
    // Where the overflow message goes (none: nowhere).
    void set_dialogs(IDialogs* dialogs) { m_dialogs = dialogs; }

private:
    IDialogs* m_dialogs = nullptr;
    std::vector<RBuiltinVariable> m_vars;
    std::unordered_map<std::string, int> m_by_name;
};

// User variable names; an index is 100000 plus the position. Only grows.
class UserVariableNames {
public:
    int32_t intern(std::string_view name);
    std::string_view name(int32_t index) const;
    int count() const { return static_cast<int>(m_names.size()); }

private:
    std::vector<std::string> m_names;
    std::unordered_map<std::string, int32_t> m_by_name;
};

// The built-in variable's index, else the interned user variable's.
int32_t variable_index(ScriptState& st, std::string_view name);
std::string variable_name(const ScriptState& st, int32_t index);

// Access on one instance. A missing read answers false; with
// UninitializedAsZero the caller turns that into 0.
bool get_on_instance(ScriptState& st, CInstance* inst, int32_t var, int32_t combined, RValue& out);
bool set_on_instance(ScriptState& st, CInstance* inst, int32_t var, int32_t combined,
                     const RValue& v);

// Access through all (-3), an object index or an instance id.
bool get_by_scope(ScriptState& st, int32_t scope, int32_t var, int32_t combined, RValue& out);
bool set_by_scope(ScriptState& st, int32_t scope, int32_t var, int32_t combined, const RValue& v);

// The room's instance with this id through the two-position cache; null when
// there is none.
CInstance* find_instance_by_id(ScriptState& st, int32_t id);

}  // namespace kx
