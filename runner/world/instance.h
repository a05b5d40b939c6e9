#pragma once
// The instance record: the language's part (id, object, own variables, the
// destroyed mark) and the world's fields with the values a new instance has.
#include <array>
#include <cstdint>
#include <string>

#include "script/script_instance.h"

namespace kx {

struct CObject;

// The world's fields of an instance. A plain record, so that copying an
// instance's state is one assignment.
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

class CInstance : public ScriptInstance, public RInstanceState {
public:
    CInstance(int32_t id, int32_t object_index) : ScriptInstance(id, object_index) {}
    // Ids travel with copied and loaded instances.
    void set_id(int32_t id) { m_id = id; }
    void set_object_index(int32_t index) { m_object_index = index; }
    void set_destroyed(bool d) { m_destroyed = d; }
};

}  // namespace kx
