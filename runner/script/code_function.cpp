#include "script/code_function.h"

namespace kx {

int FunctionTable::add(std::span<const BuiltinDef> defs) {
    const int first = count();
    for (const BuiltinDef& d : defs) add(d);
    return first;
}

int FunctionTable::add(const BuiltinDef& def) {
    const int index = count();
    m_functions.push_back(RBuiltinFunction{def.name, def.handler, def.argc});
    m_by_name.emplace(def.name, index);  // keeps the first of equal names
    return index;
}

int FunctionTable::find(std::string_view name) const {
    auto it = m_by_name.find(std::string(name));
    return it == m_by_name.end() ? -1 : it->second;
}

}  // namespace kx
