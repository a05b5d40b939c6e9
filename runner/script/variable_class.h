#pragma once
// A named variable with its plain value and two-level array, and the ordered
// list of them that instances, the game (globals) and var-locals own.
#include <cstdint>
#include <vector>

#include "script/rvalue.h"

namespace kx {

class CStream;

// A combined index c addresses the plain value (c = 0) or the cell at row
// c / 32000, column c % 32000.
constexpr int32_t kArrayDim = 32000;

struct RVariable {
    int32_t name_index = 0;
    RValue value;
    std::vector<std::vector<RValue>> rows;

    // The cell for c, or null when it lies outside what has been written.
    const RValue* cell(int32_t c) const;
    RValue& cell_for_write(int32_t c);
};

class CVariableList {
public:
    void clear() { m_vars.clear(); }
    void assign(const CVariableList& source) { m_vars = source.m_vars; }
    void set(int32_t name_index, int32_t combined, const RValue& v);
    // Null when the variable or the cell is missing. Looks from the most
    // recently added backwards.
    const RValue* get(int32_t name_index, int32_t combined) const;
    RVariable* find(int32_t name_index);
    // find() that first tries the position remembered in hint (a caller's
    // cache, updated on a miss); the answer is the same as find()'s.
    RVariable* find_hinted(int32_t name_index, int32_t& hint) {
        // Names are unique within a list, so a hit at the hint is the only match.
        const size_t h = static_cast<size_t>(hint);
        if (h < m_vars.size() && m_vars[h].name_index == name_index) return &m_vars[h];
        return find_missed(name_index, hint);
    }
    const RVariable* find(int32_t name_index) const;
    int count() const { return static_cast<int>(m_vars.size()); }
    const RVariable& at(int i) const { return m_vars[static_cast<size_t>(i)]; }

    void save(CStream& s) const;
    // Clears first; a wrong format number leaves the list empty. Throws
    // StreamError on a truncated stream (the list then holds what was read).
    void load(CStream& s);

private:
    RVariable* find_missed(int32_t name_index, int32_t& hint);
    std::vector<RVariable> m_vars;
};

void write_rvalue(CStream& s, const RValue& v);
RValue read_rvalue(CStream& s);

}  // namespace kx
