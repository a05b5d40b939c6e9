#pragma once
// The compile-time constant table: the built-in constants first, in their
// fixed order, then the game's own. First match by exact name wins.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/rvalue.h"

namespace kx {

struct Runtime;

class ConstantTable {
public:
    void add(std::string_view name, const RValue& value);
    const RValue* find(std::string_view name) const;
    int count() const { return static_cast<int>(m_names.size()); }
    const std::string& name_at(int i) const { return m_names[static_cast<size_t>(i)]; }
    const RValue& value_at(int i) const { return m_values[static_cast<size_t>(i)]; }
    // Drops every entry after the first n (the game's constants, between games).
    void truncate(int n);

private:
    std::vector<std::string> m_names;
    std::vector<RValue> m_values;
    std::unordered_map<std::string, int> m_first;  // name -> first position
};

// The 285 built-in constants, in order.
void add_builtin_constants(ConstantTable& table);

// Defines the game's constants from the settings, in stored order. Shows
// "Constant name X  is not valid." or "Value for constant X  is not valid."
// and fails at the first bad one.
bool define_game_constants(Runtime& rt);

}  // namespace kx
