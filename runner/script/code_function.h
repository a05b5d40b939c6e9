#pragma once
// The built-in function table. A function's index is its position in
// registration order. Each module that owns built-in functions keeps one table
// of BuiltinDef (one line a function) and registers it at start-up, before any
// code is compiled.
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/rvalue.h"

namespace kx {

class CInstance;

// handler(self, other, argument count, result, arguments). result starts as the
// real 0. A handler has no failure status: it reports through
// report_with_context and leaves a harmless result.
using BuiltinHandler = void (*)(CInstance* self, CInstance* other, int argc, RValue& result,
                                const RValue* args);

// Defines a handler with the convention's parameters, any of which it may ignore.
#define KX_HANDLER(name)                                                           \
    void name([[maybe_unused]] CInstance* self, [[maybe_unused]] CInstance* other, \
              [[maybe_unused]] int argc, [[maybe_unused]] RValue& result,          \
              [[maybe_unused]] const RValue* args)

constexpr int kAnyArgs = -1;  // any number from 0 to 16
constexpr int kMaxArgs = 16;

struct BuiltinDef {
    const char* name;
    BuiltinHandler handler;
    int argc;  // exact count, or kAnyArgs
};

struct RBuiltinFunction {
    std::string name;
    BuiltinHandler handler = nullptr;
    int argc = 0;
};

class FunctionTable {
public:
    // Registers every entry in order; answers the index of the first one.
    int add(std::span<const BuiltinDef> defs);
    int add(const BuiltinDef& def);
    // -1 when no function has that exact (case-sensitive) name.
    int find(std::string_view name) const;
    // The registered count (kAnyArgs for any), or -100 outside the table.
    int argument_count(int index) const {
        return index >= 0 && index < count() ? m_functions[static_cast<size_t>(index)].argc : -100;
    }
    const RBuiltinFunction& at(int index) const { return m_functions[static_cast<size_t>(index)]; }
    int count() const { return static_cast<int>(m_functions.size()); }

private:
    std::vector<RBuiltinFunction> m_functions;
    std::unordered_map<std::string, int> m_by_name;
};

}  // namespace kx
