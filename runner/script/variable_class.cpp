#include "script/variable_class.h"

#include "gamedata/cstream.h"
#include "gamedata/record_io.h"

namespace kx {

namespace {
constexpr int32_t kVariableListFormat = 440;
}

const RValue* RVariable::cell(int32_t c) const {
    if (c == 0) return &value;
    const size_t row = static_cast<size_t>(c / kArrayDim);
    const size_t col = static_cast<size_t>(c % kArrayDim);
    if (row >= rows.size() || col >= rows[row].size()) return nullptr;
    return &rows[row][col];
}

RValue& RVariable::cell_for_write(int32_t c) {
    if (c == 0) return value;
    const size_t row = static_cast<size_t>(c / kArrayDim);
    const size_t col = static_cast<size_t>(c % kArrayDim);
    if (row >= rows.size()) rows.resize(row + 1);
    std::vector<RValue>& r = rows[row];
    if (col >= r.size()) r.resize(col + 1);
    return r[col];
}

RVariable* CVariableList::find(int32_t name_index) {
    for (size_t i = m_vars.size(); i-- > 0;)
        if (m_vars[i].name_index == name_index) return &m_vars[i];
    return nullptr;
}

RVariable* CVariableList::find_missed(int32_t name_index, int32_t& hint) {
    for (size_t i = m_vars.size(); i-- > 0;) {
        if (m_vars[i].name_index == name_index) {
            hint = static_cast<int32_t>(i);
            return &m_vars[i];
        }
    }
    return nullptr;
}

const RVariable* CVariableList::find(int32_t name_index) const {
    for (size_t i = m_vars.size(); i-- > 0;)
        if (m_vars[i].name_index == name_index) return &m_vars[i];
    return nullptr;
}

void CVariableList::set(int32_t name_index, int32_t combined, const RValue& v) {
    RVariable* var = find(name_index);
    if (!var) {
        m_vars.emplace_back();
        var = &m_vars.back();
        var->name_index = name_index;
    }
    var->cell_for_write(combined) = v;
}

const RValue* CVariableList::get(int32_t name_index, int32_t combined) const {
    const RVariable* var = find(name_index);
    return var ? var->cell(combined) : nullptr;
}

namespace {

template <class IO, class V>
void rvalue_record(IO& io, V& v) {
    int32_t kind = static_cast<int32_t>(v.kind);
    io.i(kind);
    io.r(v.real);
    io.str(v.str);
    if constexpr (IO::kReads) v.kind = kind == 1 ? VKind::String : VKind::Real;
}

}  // namespace

void write_rvalue(CStream& s, const RValue& v) {
    RecordWriter io{s};
    rvalue_record(io, v);
}

RValue read_rvalue(CStream& s) {
    RValue v;
    RecordReader io{s};
    rvalue_record(io, v);
    return v;
}

void CVariableList::save(CStream& s) const {
    s.write_int(kVariableListFormat);
    s.write_int(static_cast<int32_t>(m_vars.size()));
    for (const RVariable& var : m_vars) {
        s.write_int(var.name_index);
        write_rvalue(s, var.value);
        s.write_int(static_cast<int32_t>(var.rows.size()));
        for (const auto& row : var.rows) {
            s.write_int(static_cast<int32_t>(row.size()));
            for (const RValue& v : row) write_rvalue(s, v);
        }
    }
}

void CVariableList::load(CStream& s) {
    clear();
    if (s.read_int() != kVariableListFormat) return;
    // Every element takes at least 4 bytes, so a count beyond what the stream
    // can hold is corrupt: stop there instead of allocating for it.
    auto bounded = [&s](int32_t n) {
        if (n < 0) return size_t(0);
        if (static_cast<size_t>(n) > s.remaining() / 4) throw StreamError("corrupt variable list");
        return static_cast<size_t>(n);
    };
    const size_t count = bounded(s.read_int());
    for (size_t i = 0; i < count; ++i) {
        RVariable var;
        var.name_index = s.read_int();
        var.value = read_rvalue(s);
        const size_t nrows = bounded(s.read_int());
        var.rows.resize(nrows);
        for (size_t r = 0; r < nrows; ++r) {
            const size_t ncells = bounded(s.read_int());
            var.rows[r].reserve(ncells);
            for (size_t c = 0; c < ncells; ++c) var.rows[r].push_back(read_rvalue(s));
        }
        m_vars.push_back(std::move(var));
    }
}

}  // namespace kx
