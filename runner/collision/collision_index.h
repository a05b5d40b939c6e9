#pragma once
// A uniform grid over the bounding boxes of the room's instances, so that a
// query looks only at instances near its box.
//
// The world frees instances without telling us (removal of destroyed ones,
// leaving a room, loading a game), so the grid never trusts a pointer it has
// not seen in the room's lists since the last sync: sync() rebuilds it at
// the first query of every step, whenever the list sizes stop matching what
// it saw plus the new instances it was told about, and whenever the room
// changes. Within one step nothing is freed, so the grid stays sound there.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "collision/collision_shape.h"

namespace kx {

class RoomInstances;
class CRoom;

class CollisionIndex {
public:
    // Makes the grid agree with the current room's active and deactivated lists.
    void sync();
    // Forget everything; the next sync rebuilds.
    void invalidate() { m_valid = false; }
    // The instance's box changed (or a new instance got its first box).
    void moved(CInstance& inst);
    // Every indexed instance whose box meets q, each once, in no set order.
    // Call after sync().
    void candidates(const RBox& q, std::vector<CInstance*>& out);
    // Position in the room's active list, or -1.
    int32_t active_rank(CInstance* inst);
    // Position in the list of exactly its own object, or -1.
    int32_t exact_rank(CInstance* inst);
    // Position in the list of object obj and its descendants, or -1.
    int32_t family_rank(int32_t obj, CInstance* inst);

    size_t size() const { return m_slots.size(); }
    // Full rebuilds so far (for tests of when the grid rebuilds).
    long long rebuilds() const { return m_rebuilds; }

private:
    struct Slot {
        CInstance* inst = nullptr;
        RBox box;
        int32_t cx0 = 0, cy0 = 0, cx1 = 0, cy1 = 0;
        bool big = false;
        uint32_t stamp = 0;
        int32_t active_rank = -1, exact_rank = -1;
    };
    void rebuild();
    void insert(CInstance* inst);
    void place(uint32_t slot);
    void unplace(uint32_t slot);
    void cell_range(const RBox& b, int32_t& cx0, int32_t& cy0, int32_t& cx1, int32_t& cy1) const;
    Slot* slot_of(const CInstance* inst);
    std::vector<uint32_t>& cell(int32_t cx, int32_t cy);

    bool m_valid = false;
    const RoomInstances* m_list = nullptr;
    const CRoom* m_room = nullptr;
    long long m_step = -1;
    size_t m_active = 0, m_deactivated = 0;
    std::vector<CInstance*> m_pending;  // unknown instances seen since the last sync

    std::vector<Slot> m_slots;
    std::unordered_map<const CInstance*, uint32_t> m_slot_of;
    std::unordered_map<uint64_t, std::vector<uint32_t>> m_cells;
    std::vector<uint32_t> m_big;  // boxes spanning too many cells to file
    uint32_t m_stamp = 0;
    std::vector<std::unordered_map<const CInstance*, int32_t>> m_family;
    std::vector<bool> m_family_built;
    long long m_rebuilds = 0;
};

}  // namespace kx
