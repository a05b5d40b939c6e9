#pragma once
// The part of an instance the language needs: its id, its object, its own
// variables and the destroyed mark. The world completes the class.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/variable_class.h"

namespace kx {

// Scope values from here on are instance ids; below, object indices.
constexpr int32_t kInstanceIdBase = 100000;

struct CObject;

// The world's fields of an instance, with the values a new instance has. A
// plain record, so that copying an instance's state is one assignment.
struct RInstanceState {
    int32_t sprite_index = -1;
    double image_index = 0, image_speed = 1, image_xscale = 1, image_yscale = 1;
    double image_angle = 0, image_alpha = 1;
    int32_t image_blend = 16777215;
    int32_t mask_index = -1;
    double depth = 0;
    bool precise = false;
    double x = 0, y = 0, xstart = 0, ystart = 0, xprevious = 0, yprevious = 0;
    double direction = 0, speed = 0, friction = 0, gravity_direction = 270, gravity = 0;
    double hspeed = 0, vspeed = 0;
    int32_t bbox_left = 0, bbox_top = 0, bbox_right = 0, bbox_bottom = 0;
    bool visible = true, solid = false, persistent = false;
    CObject* object = nullptr;  // null when the object does not exist
    std::array<int32_t, 12> alarm{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    bool deactivated = false;
    int32_t path_index = -1;
    double path_position = 0, path_positionprevious = 0, path_speed = 0, path_scale = 1;
    double path_orientation = 0;
    int32_t path_endaction = 0;
    double path_xstart = 0, path_ystart = 0;
    int32_t timeline_index = -1;
    double timeline_position = 0, timeline_speed = 1;
    std::string creation_code;
};

class CInstance : public RInstanceState {
public:
    CInstance(int32_t id, int32_t object_index) : m_id(id), m_object_index(object_index) {}
    int32_t id() const { return m_id; }
    int32_t object_index() const { return m_object_index; }
    bool destroyed() const { return m_destroyed; }
    void mark_destroyed() { m_destroyed = true; }
    // For the world: ids travel with copied and loaded instances.
    void set_id(int32_t id) { m_id = id; }
    void set_object_index(int32_t index) { m_object_index = index; }
    void set_destroyed(bool d) { m_destroyed = d; }
    CVariableList& vars() { return m_vars; }
    const CVariableList& vars() const { return m_vars; }

private:
    int32_t m_id;
    int32_t m_object_index;
    bool m_destroyed = false;
    CVariableList m_vars;
};

// What scope routing and `with` need from the room: its instance list and,
// per object, the list of instances of that object and its descendants.
class IInstanceWorld {
public:
    virtual ~IInstanceWorld() = default;
    virtual int count() const = 0;
    virtual CInstance* at(int pos) const = 0;
    virtual int object_count(int32_t object_index) const = 0;
    virtual CInstance* object_at(int32_t object_index, int pos) const = 0;
};

// A plain room: instances in creation order, no object hierarchy. Enough for
// the language on its own and for tests until the world supplies the room.
class SimpleInstanceList : public IInstanceWorld {
public:
    CInstance* create(int32_t object_index);
    int count() const override { return static_cast<int>(m_list.size()); }
    CInstance* at(int pos) const override { return m_list[static_cast<size_t>(pos)].get(); }
    int object_count(int32_t object_index) const override;
    CInstance* object_at(int32_t object_index, int pos) const override;
    void clear() {
        m_list.clear();
        m_by_object.clear();
    }

private:
    std::vector<std::unique_ptr<CInstance>> m_list;
    std::vector<std::vector<CInstance*>> m_by_object;
    int32_t m_next_id = 100001;
};

}  // namespace kx
