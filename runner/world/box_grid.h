#pragma once
// A uniform grid over the bounding boxes of the room's instances, so that a
// query looks only at instances near its box.
//
// Instances are freed without the grid being told (removal of destroyed
// ones, leaving a room, loading a game), so it never trusts a pointer it has
// not seen in the room's lists since the last sync: sync() rebuilds it at
// the first query of every step, whenever the list sizes stop matching what
// it saw plus the new instances it was told about, and whenever the room
// changes. Within one step nothing is freed, so the grid stays sound there.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "world/instance_box.h"

namespace kx {

class RoomInstances;
class CRoom;
struct WorldState;

class BoxGrid {
public:
    // Makes the grid agree with the current room's active and deactivated lists.
    void sync(const WorldState& w);
    // Forget everything; the next sync rebuilds.
    void invalidate() { m_valid = false; }
    // The instance's box changed (or a new instance got its first box).
    void moved(CInstance& inst);
    // Every indexed instance whose box meets q, each once, in no set order.
    // Call after sync().
    void candidates(const RBox& q, std::vector<CInstance*>& out);
    // Position in the room's active list, or -1.
    int32_t active_rank(const WorldState& w, CInstance* inst);
    // Position in the list of exactly its own object, or -1.
    int32_t exact_rank(const WorldState& w, CInstance* inst);
    // Position in the list of object obj and its descendants, or -1.
    int32_t family_rank(const WorldState& w, int32_t obj, CInstance* inst);

    size_t size() const { return m_slots.size(); }
    // Full rebuilds so far (for tests of when the grid rebuilds).
    long long rebuilds() const { return m_rebuilds; }

private:
    // Cells [cx0, cx1] x [cy0, cy1] of the grid; empty when cx0 > cx1.
    struct CellRange {
        int32_t cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1;
        bool operator==(const CellRange&) const = default;
        int64_t count() const {
            return cx0 > cx1 || cy0 > cy1 ? 0
                                          : (static_cast<int64_t>(cx1) - cx0 + 1) *
                                                (static_cast<int64_t>(cy1) - cy0 + 1);
        }
    };
    struct Slot {
        CInstance* inst = nullptr;
        RBox box;
        CellRange cells;
        bool loose = false;  // in m_loose, not in cells
        uint32_t stamp = 0;
        int32_t active_rank = -1, exact_rank = -1;
    };
    // Instance pointer to slot number, open addressing.
    class SlotMap {
    public:
        static constexpr uint32_t kNone = 0xFFFFFFFFu;
        void clear(size_t expected);
        uint32_t find(const CInstance* key) const;
        void insert(const CInstance* key, uint32_t value);

    private:
        size_t home(const CInstance* key) const;
        std::vector<const CInstance*> m_keys;
        std::vector<uint32_t> m_values;
        size_t m_count = 0;
    };
    void rebuild(const WorldState& w);
    void insert(CInstance* inst);
    void place(uint32_t slot);
    void unplace(uint32_t slot);
    // The cells a box covers, clamped to the grid.
    CellRange cells_of(const RBox& b) const;
    bool inside_grid(const RBox& b) const;
    Slot* slot_of(const CInstance* inst);
    // A cell holds a copy of each filed box, so a query reads no slot it
    // does not report.
    struct Entry {
        RBox box;
        uint32_t slot;
    };
    std::vector<Entry>& cell(int32_t cx, int32_t cy) {
        return m_grid[static_cast<size_t>(cy) * static_cast<size_t>(m_width) +
                      static_cast<size_t>(cx)];
    }

    bool m_valid = false;
    const RoomInstances* m_list = nullptr;
    const CRoom* m_room = nullptr;
    long long m_step = -1;
    size_t m_active = 0, m_deactivated = 0;
    std::vector<CInstance*> m_pending;  // unknown instances seen since the last sync

    std::vector<Slot> m_slots;
    SlotMap m_slot_of;
    // The grid covers the room and a margin around it: cells of 2^m_shift
    // pixels, m_width x m_height of them from room pixel (m_x0, m_y0).
    int32_t m_shift = 6, m_x0 = 0, m_y0 = 0, m_width = 0, m_height = 0;
    std::vector<std::vector<Entry>> m_grid;
    // Boxes not wholly on the grid or spanning too many cells to file.
    std::vector<uint32_t> m_loose;
    uint32_t m_stamp = 0;
    std::vector<std::unordered_map<const CInstance*, int32_t>> m_family;
    std::vector<bool> m_family_built;
    long long m_rebuilds = 0;
};

}  // namespace kx
