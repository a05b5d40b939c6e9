#pragma once
// The room's instance lists and the operations that create, copy, change and
// remove instances.
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "world/instance.h"

namespace kx {

class CStream;
struct Runtime;
struct WorldState;

// A room's instances: the active list in creation order, the deactivated
// list, and per object the active instances of exactly that object and of it
// and its descendants. Destroyed instances stay listed until removal.
class RoomInstances {
public:
    int count() const { return static_cast<int>(m_active.size()); }
    CInstance* at(int pos) const { return m_active[static_cast<size_t>(pos)].get(); }

    const std::vector<CInstance*>& exact(int32_t object_index) const;
    const std::vector<CInstance*>& family(int32_t object_index) const;
    std::vector<std::unique_ptr<CInstance>>& active() { return m_active; }
    std::vector<std::unique_ptr<CInstance>>& deactivated() { return m_deactivated; }
    const std::vector<std::unique_ptr<CInstance>>& active() const { return m_active; }
    const std::vector<std::unique_ptr<CInstance>>& deactivated() const { return m_deactivated; }

    // Appends to the active list and to the per-object lists.
    CInstance* append(const WorldState& w, std::unique_ptr<CInstance> inst);
    // The active, not destroyed instance with this id, or null. O(1).
    CInstance* find_id(int32_t id) const;
    // Makes inst the one its id finds (after its id changed).
    void note_id(CInstance* inst) { m_by_id[inst->id()] = inst; }
    // Rebuilds the per-object lists (and the id index) from the active list.
    void rebuild(const WorldState& w);
    // Releases destroyed instances of the active list, keeping the order.
    void remove_destroyed(const WorldState& w);
    // Moves instances between the lists by their deactivated marks.
    void update_activation(const WorldState& w);
    // Stable insertion sort by decreasing depth, only when out of order.
    void sort_by_depth();
    void clear();

private:
    void index(const WorldState& w, CInstance* inst);
    std::vector<std::unique_ptr<CInstance>> m_active;
    std::vector<std::unique_ptr<CInstance>> m_deactivated;
    std::vector<std::vector<CInstance*>> m_exact;
    std::vector<std::vector<CInstance*>> m_family;
    std::unordered_map<int32_t, CInstance*> m_by_id;
};

// An instance as it is created: the object's fields, position, defaults.
std::unique_ptr<CInstance> make_instance(Runtime& r, int32_t id, int32_t object_index, double x,
                                         double y);
// Appends a new instance with the next id to the current room. Runs no event.
CInstance* create_in_room(Runtime& r, int32_t object_index, double x, double y);
// Copies every field, the local variables deeply and the marks, the id
// included; the path start position is kept.
void copy_state(Runtime& r, CInstance& target, const CInstance& source);

void set_object(Runtime& r, CInstance& inst, int32_t object_index);
void set_sprite(Runtime& r, CInstance& inst, int32_t sprite);
void set_position(Runtime& r, CInstance& inst, double x, double y);
// The box from the instance's fields; the grid follows.
void compute_bbox(Runtime& r, CInstance& inst);
int image_count(const Runtime& r, const CInstance& inst);

// Instance record of save files.
void write_instance(CStream& s, const CInstance& inst);
std::unique_ptr<CInstance> read_instance(const WorldState& w, CStream& s);

// instance_* built-in functions.
class FunctionTable;
void register_function_instance(FunctionTable& table);

}  // namespace kx
