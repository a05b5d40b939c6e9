#pragma once
// The room's instance lists and the operations that create, copy, change and
// remove instances.
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "script/instance_min.h"

namespace kx {

class CStream;

// A room's instances: the active list in creation order, the deactivated
// list, and per object the active instances of exactly that object and of it
// and its descendants. Destroyed instances stay listed until removal.
class RoomInstances : public IInstanceWorld {
public:
    int count() const override { return static_cast<int>(m_active.size()); }
    CInstance* at(int pos) const override { return m_active[static_cast<size_t>(pos)].get(); }
    int object_count(int32_t object_index) const override;
    CInstance* object_at(int32_t object_index, int pos) const override;

    const std::vector<CInstance*>& exact(int32_t object_index) const;
    const std::vector<CInstance*>& family(int32_t object_index) const;
    std::vector<std::unique_ptr<CInstance>>& active() { return m_active; }
    std::vector<std::unique_ptr<CInstance>>& deactivated() { return m_deactivated; }
    const std::vector<std::unique_ptr<CInstance>>& active() const { return m_active; }
    const std::vector<std::unique_ptr<CInstance>>& deactivated() const { return m_deactivated; }

    // Appends to the active list and to the per-object lists.
    CInstance* append(std::unique_ptr<CInstance> inst);
    // The active, not destroyed instance with this id, or null. O(1).
    CInstance* find_id(int32_t id) const;
    // Makes inst the one its id finds (after its id changed).
    void note_id(CInstance* inst) { m_by_id[inst->id()] = inst; }
    // Rebuilds the per-object lists (and the id index) from the active list.
    void rebuild();
    // Releases destroyed instances of the active list, keeping the order.
    void remove_destroyed();
    // Moves instances between the lists by their deactivated marks.
    void update_activation();
    // Stable insertion sort by decreasing depth, only when out of order.
    void sort_by_depth();
    void clear();

private:
    void index(CInstance* inst);
    std::vector<std::unique_ptr<CInstance>> m_active;
    std::vector<std::unique_ptr<CInstance>> m_deactivated;
    std::vector<std::vector<CInstance*>> m_exact;
    std::vector<std::vector<CInstance*>> m_family;
    std::unordered_map<int32_t, CInstance*> m_by_id;
};

// An instance as it is created: the object's fields, position, defaults.
std::unique_ptr<CInstance> make_instance(int32_t id, int32_t object_index, double x, double y);
// Appends a new instance with the next id to the current room. Runs no event.
CInstance* create_in_room(int32_t object_index, double x, double y);
// Copies every field, the local variables deeply and the marks, the id
// included; the path start position is kept.
void copy_state(CInstance& target, const CInstance& source);

void set_object(CInstance& inst, int32_t object_index);
void set_sprite(CInstance& inst, int32_t sprite);
void set_position(CInstance& inst, double x, double y);
void compute_bbox(CInstance& inst);
int image_count(const CInstance& inst);

// Instance record of save files.
void write_instance(CStream& s, const CInstance& inst);
std::unique_ptr<CInstance> read_instance(CStream& s);

// instance_* built-in functions.
class FunctionTable;
void register_function_instance(FunctionTable& table);

}  // namespace kx
