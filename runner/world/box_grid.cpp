#include "world/box_grid.h"

#include <algorithm>

#include "world/object_main.h"
#include "world/room_class.h"
#include "world/world_state.h"

namespace kx {
namespace {

constexpr int64_t kMargin = 512;        // pixels of grid around the room
constexpr int64_t kMaxFiledCells = 64;  // a box over more cells stays loose
constexpr size_t kMaxPending = 256;

}  // namespace

void BoxGrid::SlotMap::clear(size_t expected) {
    size_t cap = 16;
    while (cap < 2 * expected + 16) cap *= 2;
    m_keys.assign(cap, nullptr);
    m_values.assign(cap, kNone);
    m_count = 0;
}

size_t BoxGrid::SlotMap::home(const CInstance* key) const {
    const uint64_t h = (reinterpret_cast<uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 20) & (m_keys.size() - 1);
}

uint32_t BoxGrid::SlotMap::find(const CInstance* key) const {
    if (m_keys.empty()) return kNone;
    for (size_t k = home(key);; k = (k + 1) & (m_keys.size() - 1)) {
        if (m_keys[k] == key) return m_values[k];
        if (!m_keys[k]) return kNone;
    }
}

void BoxGrid::SlotMap::insert(const CInstance* key, uint32_t value) {
    if (2 * (m_count + 1) > m_keys.size()) {
        std::vector<const CInstance*> keys = std::move(m_keys);
        std::vector<uint32_t> values = std::move(m_values);
        clear(keys.size());
        for (size_t k = 0; k < keys.size(); ++k)
            if (keys[k]) insert(keys[k], values[k]);
    }
    size_t k = home(key);
    while (m_keys[k] && m_keys[k] != key) k = (k + 1) & (m_keys.size() - 1);
    if (!m_keys[k]) ++m_count;
    m_keys[k] = key;
    m_values[k] = value;
}

BoxGrid::CellRange BoxGrid::cells_of(const RBox& b) const {
    CellRange r;
    const int64_t x0 = (static_cast<int64_t>(b.left) - m_x0) >> m_shift;
    const int64_t y0 = (static_cast<int64_t>(b.top) - m_y0) >> m_shift;
    const int64_t x1 = (static_cast<int64_t>(b.right) - m_x0) >> m_shift;
    const int64_t y1 = (static_cast<int64_t>(b.bottom) - m_y0) >> m_shift;
    r.cx0 = static_cast<int32_t>(std::clamp<int64_t>(x0, 0, m_width));
    r.cy0 = static_cast<int32_t>(std::clamp<int64_t>(y0, 0, m_height));
    r.cx1 = static_cast<int32_t>(std::clamp<int64_t>(x1, -1, m_width - 1));
    r.cy1 = static_cast<int32_t>(std::clamp<int64_t>(y1, -1, m_height - 1));
    return r;
}

bool BoxGrid::inside_grid(const RBox& b) const {
    const int64_t w = static_cast<int64_t>(m_width) << m_shift;
    const int64_t h = static_cast<int64_t>(m_height) << m_shift;
    return b.left >= m_x0 && b.top >= m_y0 && b.right < m_x0 + w && b.bottom < m_y0 + h;
}

BoxGrid::Slot* BoxGrid::slot_of(const CInstance* inst) {
    const uint32_t n = m_slot_of.find(inst);
    return n == SlotMap::kNone ? nullptr : &m_slots[n];
}

void BoxGrid::place(uint32_t n) {
    Slot& s = m_slots[n];
    s.cells = cells_of(s.box);
    s.loose = !inside_grid(s.box) || s.cells.count() > kMaxFiledCells;
    if (s.loose) {
        m_loose.push_back(n);
        return;
    }
    for (int32_t cy = s.cells.cy0; cy <= s.cells.cy1; ++cy)
        for (int32_t cx = s.cells.cx0; cx <= s.cells.cx1; ++cx) cell(cx, cy).push_back({s.box, n});
}

void BoxGrid::unplace(uint32_t n) {
    const Slot& s = m_slots[n];
    auto drop = [n](std::vector<uint32_t>& v) {
        auto it = std::find(v.begin(), v.end(), n);
        if (it != v.end()) {
            *it = v.back();
            v.pop_back();
        }
    };
    if (s.loose) {
        drop(m_loose);
        return;
    }
    for (int32_t cy = s.cells.cy0; cy <= s.cells.cy1; ++cy)
        for (int32_t cx = s.cells.cx0; cx <= s.cells.cx1; ++cx) {
            std::vector<Entry>& v = cell(cx, cy);
            for (Entry& e : v)
                if (e.slot == n) {
                    e = v.back();
                    v.pop_back();
                    break;
                }
        }
}

void BoxGrid::insert(CInstance* inst) {
    if (m_slot_of.find(inst) != SlotMap::kNone) return;
    const uint32_t n = static_cast<uint32_t>(m_slots.size());
    Slot s;
    s.inst = inst;
    s.box = box_of(*inst);
    m_slots.push_back(s);
    m_slot_of.insert(inst, n);
    place(n);
}

void BoxGrid::rebuild(const WorldState& w) {
    ++m_rebuilds;
    const RoomInstances& list = room_instances(w);
    const size_t n = list.active().size() + list.deactivated().size();
    m_slots.clear();
    m_slot_of.clear(n);
    m_loose.clear();
    // The grid spans the room and where nearly all instances are (a few far
    // away stay loose rather than stretch it), with a margin, in cells of
    // 64 pixels or more so that there are not many more cells than instances.
    int64_t x0 = 0, y0 = 0;
    int64_t x1 = w.current ? std::max(w.current->width, 0) : 0;
    int64_t y1 = w.current ? std::max(w.current->height, 0) : 0;
    {
        std::vector<int32_t> xs, ys;
        xs.reserve(n);
        ys.reserve(n);
        for (const auto* l : {&list.active(), &list.deactivated()})
            for (const auto& i : *l) {
                // Instances without a mask sprite share one point far away.
                if (i->bbox_left == kNoBox && i->bbox_right == kNoBox && i->bbox_top == kNoBox &&
                    i->bbox_bottom == kNoBox)
                    continue;
                xs.push_back(static_cast<int32_t>((int64_t{i->bbox_left} + i->bbox_right) / 2));
                ys.push_back(static_cast<int32_t>((int64_t{i->bbox_top} + i->bbox_bottom) / 2));
            }
        if (!xs.empty()) {
            const size_t lo = xs.size() / 200, hi = xs.size() - 1 - xs.size() / 200;
            auto at = [](std::vector<int32_t>& v, size_t k) {
                std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
                return int64_t{v[k]};
            };
            x0 = std::min(x0, at(xs, lo));
            x1 = std::max(x1, at(xs, hi));
            y0 = std::min(y0, at(ys, lo));
            y1 = std::max(y1, at(ys, hi));
        }
    }
    x0 -= kMargin;
    y0 -= kMargin;
    x1 += kMargin;
    y1 += kMargin;
    const int64_t most = std::max<int64_t>(4096, 8 * static_cast<int64_t>(n));
    m_shift = 6;
    while (m_shift < 30 && (((x1 - x0) >> m_shift) + 1) * (((y1 - y0) >> m_shift) + 1) > most)
        ++m_shift;
    m_x0 = static_cast<int32_t>(x0);
    m_y0 = static_cast<int32_t>(y0);
    m_width = static_cast<int32_t>(((x1 - x0) >> m_shift) + 1);
    m_height = static_cast<int32_t>(((y1 - y0) >> m_shift) + 1);
    const size_t cells = static_cast<size_t>(m_width) * static_cast<size_t>(m_height);
    if (m_grid.size() != cells) m_grid.assign(cells, {});
    for (auto& c : m_grid) c.clear();
    m_family.clear();
    m_family_built.clear();
    m_pending.clear();
    for (auto& i : list.active()) insert(i.get());
    for (auto& i : list.deactivated()) insert(i.get());
    m_list = &list;
    m_room = w.current;
    m_step = w.game.steps_done;
    m_active = list.active().size();
    m_deactivated = list.deactivated().size();
    m_valid = true;
}

void BoxGrid::sync(const WorldState& w) {
    const RoomInstances& list = room_instances(w);
    if (!m_valid || &list != m_list || w.current != m_room || w.game.steps_done != m_step ||
        list.deactivated().size() != m_deactivated ||
        list.active().size() != m_active + m_pending.size())
        return rebuild(w);
    if (m_pending.empty()) return;
    // New instances are appended: they must be exactly the last ones listed.
    const auto& active = list.active();
    for (size_t k = m_active; k < active.size(); ++k)
        if (std::find(m_pending.begin(), m_pending.end(), active[k].get()) == m_pending.end())
            return rebuild(w);
    for (size_t k = m_active; k < active.size(); ++k) insert(active[k].get());
    m_active = active.size();
    m_pending.clear();
}

void BoxGrid::moved(CInstance& inst) {
    if (!m_valid) return;
    const uint32_t n = m_slot_of.find(&inst);
    if (n == SlotMap::kNone) {
        // Not listed yet (a new instance) or never will be (a temporary one);
        // the next sync tells which.
        if (std::find(m_pending.begin(), m_pending.end(), &inst) != m_pending.end()) return;
        if (m_pending.size() >= kMaxPending)
            m_valid = false;
        else
            m_pending.push_back(&inst);
        return;
    }
    Slot& s = m_slots[n];
    const RBox b = box_of(inst);
    if (!s.loose && cells_of(b) == s.cells && inside_grid(b)) {
        s.box = b;
        for (int32_t cy = s.cells.cy0; cy <= s.cells.cy1; ++cy)
            for (int32_t cx = s.cells.cx0; cx <= s.cells.cx1; ++cx)
                for (Entry& e : cell(cx, cy))
                    if (e.slot == n) {
                        e.box = b;
                        break;
                    }
        return;
    }
    unplace(n);
    s.box = b;
    place(n);
}

void BoxGrid::candidates(const RBox& q, std::vector<CInstance*>& out) {
    out.clear();
    if (++m_stamp == 0) {
        for (Slot& s : m_slots) s.stamp = 0;
        m_stamp = 1;
    }
    auto take = [&](uint32_t n) {
        Slot& s = m_slots[n];
        if (s.stamp == m_stamp) return;
        s.stamp = m_stamp;
        if (s.box.overlaps(q)) out.push_back(s.inst);
    };
    const CellRange r = cells_of(q);
    if (static_cast<size_t>(r.count()) > m_slots.size()) {
        for (Slot& s : m_slots)
            if (s.box.overlaps(q)) out.push_back(s.inst);
        return;
    }
    // A box over several cells is reported from the first cell it shares
    // with the query, so each once.
    for (int32_t cy = r.cy0; cy <= r.cy1; ++cy)
        for (int32_t cx = r.cx0; cx <= r.cx1; ++cx)
            for (const Entry& e : cell(cx, cy)) {
                if (!e.box.overlaps(q)) continue;
                if ((cx == r.cx0 || ((int64_t{e.box.left} - m_x0) >> m_shift) == cx) &&
                    (cy == r.cy0 || ((int64_t{e.box.top} - m_y0) >> m_shift) == cy))
                    out.push_back(m_slots[e.slot].inst);
            }
    for (uint32_t n : m_loose) take(n);
}

int32_t BoxGrid::active_rank(const WorldState& w, CInstance* inst) {
    Slot* s = slot_of(inst);
    if (!s || inst->deactivated) return -1;
    const RoomInstances& list = room_instances(w);
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

int32_t BoxGrid::exact_rank(const WorldState& w, CInstance* inst) {
    Slot* s = slot_of(inst);
    if (!s || inst->deactivated) return -1;
    const auto& list = room_instances(w).exact(inst->object_index());
    auto valid = [&] {
        return s->exact_rank >= 0 && static_cast<size_t>(s->exact_rank) < list.size() &&
               list[static_cast<size_t>(s->exact_rank)] == inst;
    };
    if (valid()) return s->exact_rank;
    for (size_t k = 0; k < list.size(); ++k)
        if (Slot* o = slot_of(list[k])) o->exact_rank = static_cast<int32_t>(k);
    return valid() ? s->exact_rank : -1;
}

int32_t BoxGrid::family_rank(const WorldState& w, int32_t obj, CInstance* inst) {
    if (obj < 0 || inst->deactivated) return -1;
    const int32_t own = inst->object_index();
    if (own != obj && !object_is_ancestor(w, own, obj)) return -1;
    const auto& list = room_instances(w).family(obj);
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
