#include "collision/collision_index.h"

#include <algorithm>

#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

constexpr int32_t kCellShift = 6;        // 64-pixel cells
constexpr int64_t kMaxFiledCells = 64;   // a box over more cells goes in the big list
constexpr int64_t kMaxQueryCells = 256;  // a query over more looks at every slot
constexpr size_t kMaxPending = 256;

uint64_t key(int32_t cx, int32_t cy) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) | static_cast<uint32_t>(cy);
}
int64_t cells(int32_t cx0, int32_t cy0, int32_t cx1, int32_t cy1) {
    return (static_cast<int64_t>(cx1) - cx0 + 1) * (static_cast<int64_t>(cy1) - cy0 + 1);
}

}  // namespace

void CollisionIndex::cell_range(const RBox& b, int32_t& cx0, int32_t& cy0, int32_t& cx1,
                                int32_t& cy1) const {
    cx0 = b.left >> kCellShift;
    cy0 = b.top >> kCellShift;
    cx1 = b.right >> kCellShift;
    cy1 = b.bottom >> kCellShift;
}

std::vector<uint32_t>& CollisionIndex::cell(int32_t cx, int32_t cy) {
    return m_cells[key(cx, cy)];
}

CollisionIndex::Slot* CollisionIndex::slot_of(const CInstance* inst) {
    auto it = m_slot_of.find(inst);
    return it == m_slot_of.end() ? nullptr : &m_slots[it->second];
}

void CollisionIndex::place(uint32_t n) {
    Slot& s = m_slots[n];
    cell_range(s.box, s.cx0, s.cy0, s.cx1, s.cy1);
    s.big = cells(s.cx0, s.cy0, s.cx1, s.cy1) > kMaxFiledCells;
    if (s.big) {
        m_big.push_back(n);
        return;
    }
    for (int32_t cx = s.cx0; cx <= s.cx1; ++cx)
        for (int32_t cy = s.cy0; cy <= s.cy1; ++cy) cell(cx, cy).push_back(n);
}

void CollisionIndex::unplace(uint32_t n) {
    const Slot& s = m_slots[n];
    auto drop = [n](std::vector<uint32_t>& v) {
        auto it = std::find(v.begin(), v.end(), n);
        if (it != v.end()) {
            *it = v.back();
            v.pop_back();
        }
    };
    if (s.big) {
        drop(m_big);
        return;
    }
    for (int32_t cx = s.cx0; cx <= s.cx1; ++cx)
        for (int32_t cy = s.cy0; cy <= s.cy1; ++cy) drop(cell(cx, cy));
}

void CollisionIndex::insert(CInstance* inst) {
    if (m_slot_of.count(inst)) return;
    const uint32_t n = static_cast<uint32_t>(m_slots.size());
    Slot s;
    s.inst = inst;
    s.box = box_of(*inst);
    m_slots.push_back(s);
    m_slot_of[inst] = n;
    place(n);
}

void CollisionIndex::rebuild() {
    ++m_rebuilds;
    m_slots.clear();
    m_slot_of.clear();
    m_big.clear();
    // Keep the cells' storage unless stale keys pile up.
    if (m_cells.size() > 4096 + 8 * m_slots.capacity())
        m_cells.clear();
    else
        for (auto& [k, v] : m_cells) v.clear();
    m_family.clear();
    m_family_built.clear();
    m_pending.clear();
    RoomInstances& list = room_instances();
    for (auto& i : list.active()) insert(i.get());
    for (auto& i : list.deactivated()) insert(i.get());
    const WorldState& w = world();
    m_list = &list;
    m_room = w.current;
    m_step = w.game.steps_done;
    m_active = list.active().size();
    m_deactivated = list.deactivated().size();
    m_valid = true;
}

void CollisionIndex::sync() {
    const WorldState& w = world();
    RoomInstances& list = room_instances();
    if (!m_valid || &list != m_list || w.current != m_room || w.game.steps_done != m_step ||
        list.deactivated().size() != m_deactivated ||
        list.active().size() != m_active + m_pending.size())
        return rebuild();
    if (m_pending.empty()) return;
    // New instances are appended: they must be exactly the last ones listed.
    const auto& active = list.active();
    for (size_t k = m_active; k < active.size(); ++k)
        if (std::find(m_pending.begin(), m_pending.end(), active[k].get()) == m_pending.end())
            return rebuild();
    for (size_t k = m_active; k < active.size(); ++k) insert(active[k].get());
    m_active = active.size();
    m_pending.clear();
}

void CollisionIndex::moved(CInstance& inst) {
    if (!m_valid) return;
    auto it = m_slot_of.find(&inst);
    if (it == m_slot_of.end()) {
        // Not listed yet (a new instance) or never will be (a temporary one);
        // the next sync tells which.
        if (std::find(m_pending.begin(), m_pending.end(), &inst) != m_pending.end()) return;
        if (m_pending.size() >= kMaxPending)
            m_valid = false;
        else
            m_pending.push_back(&inst);
        return;
    }
    Slot& s = m_slots[it->second];
    const RBox b = box_of(inst);
    int32_t cx0, cy0, cx1, cy1;
    cell_range(b, cx0, cy0, cx1, cy1);
    if (cx0 == s.cx0 && cy0 == s.cy0 && cx1 == s.cx1 && cy1 == s.cy1) {
        s.box = b;
        return;
    }
    unplace(it->second);
    s.box = b;
    place(it->second);
}

void CollisionIndex::candidates(const RBox& q, std::vector<CInstance*>& out) {
    out.clear();
    if (++m_stamp == 0) {
        for (Slot& s : m_slots) s.stamp = 0;
        m_stamp = 1;
    }
    int32_t cx0, cy0, cx1, cy1;
    cell_range(q, cx0, cy0, cx1, cy1);
    if (cells(cx0, cy0, cx1, cy1) > kMaxQueryCells ||
        static_cast<size_t>(cells(cx0, cy0, cx1, cy1)) > m_slots.size()) {
        for (Slot& s : m_slots)
            if (s.box.overlaps(q)) out.push_back(s.inst);
        return;
    }
    auto take = [&](uint32_t n) {
        Slot& s = m_slots[n];
        if (s.stamp == m_stamp) return;
        s.stamp = m_stamp;
        if (s.box.overlaps(q)) out.push_back(s.inst);
    };
    for (int32_t cx = cx0; cx <= cx1; ++cx)
        for (int32_t cy = cy0; cy <= cy1; ++cy) {
            auto it = m_cells.find(key(cx, cy));
            if (it != m_cells.end())
                for (uint32_t n : it->second) take(n);
        }
    for (uint32_t n : m_big) take(n);
}

int32_t CollisionIndex::active_rank(CInstance* inst) {
    Slot* s = slot_of(inst);
    if (!s || inst->deactivated) return -1;
    const RoomInstances& list = room_instances();
    auto valid = [&] {
        return s->active_rank >= 0 && s->active_rank < list.count() &&
               list.at(s->active_rank) == inst;
    };
    if (valid()) return s->active_rank;
    for (Slot& o : m_slots) o.active_rank = -1;
    for (int k = 0; k < list.count(); ++k)
        if (Slot* o = slot_of(list.at(k))) o->active_rank = k;
    return valid() ? s->active_rank : -1;
}

int32_t CollisionIndex::exact_rank(CInstance* inst) {
    Slot* s = slot_of(inst);
    if (!s || inst->deactivated) return -1;
    const auto& list = room_instances().exact(inst->object_index());
    auto valid = [&] {
        return s->exact_rank >= 0 && static_cast<size_t>(s->exact_rank) < list.size() &&
               list[static_cast<size_t>(s->exact_rank)] == inst;
    };
    if (valid()) return s->exact_rank;
    for (size_t k = 0; k < list.size(); ++k)
        if (Slot* o = slot_of(list[k])) o->exact_rank = static_cast<int32_t>(k);
    return valid() ? s->exact_rank : -1;
}

int32_t CollisionIndex::family_rank(int32_t obj, CInstance* inst) {
    if (obj < 0 || inst->deactivated) return -1;
    const int32_t own = inst->object_index();
    if (own != obj && !object_is_ancestor(own, obj)) return -1;
    const auto& list = room_instances().family(obj);
    const size_t o = static_cast<size_t>(obj);
    if (o >= m_family.size()) {
        m_family.resize(o + 1);
        m_family_built.resize(o + 1, false);
    }
    auto& ranks = m_family[o];
    auto lookup = [&]() -> int32_t {
        auto it = ranks.find(inst);
        if (it == ranks.end()) return -1;
        const size_t r = static_cast<size_t>(it->second);
        return r < list.size() && list[r] == inst ? it->second : -1;
    };
    if (m_family_built[o]) {
        const int32_t r = lookup();
        if (r >= 0) return r;
    }
    ranks.clear();
    for (size_t k = 0; k < list.size(); ++k) ranks[list[k]] = static_cast<int32_t>(k);
    m_family_built[o] = true;
    return lookup();
}

}  // namespace kx
