#include "motion/motion_main.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/instance_main.h"
#include "world/motion_rules.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

namespace {

// The path the instance follows, when it can be followed.
const CPath* usable_path(const Runtime& r, int64_t index) {
    const CPath* p = r.get<MotionState>().paths.get(index);
    return p && p->length() > 0 ? p : nullptr;
}

}  // namespace

void path_start(Runtime& r, CInstance& inst, int64_t path, double speed, int32_t endaction,
                bool absolute) {
    inst.path_index = path < 0 ? -1 : static_cast<int32_t>(std::min<int64_t>(path, INT32_MAX));
    if (path < 0) return;
    const CPath* p = usable_path(r, path);
    if (!p) {
        inst.path_index = -1;
        return;
    }
    inst.path_speed = speed;
    inst.path_position = inst.path_positionprevious = speed < 0 ? 1 : 0;
    inst.path_scale = 1;
    inst.path_orientation = 0;
    inst.path_endaction = endaction;
    if (absolute) {
        // The instance starts at its end of the path, and the path stays where
        // it was drawn: positions are measured from the first point.
        const RPathPoint at = p->lookup(inst.path_position);
        set_position(r, inst, at.x, at.y);
        const RPathPoint first = p->lookup(0);
        inst.path_xstart = first.x;
        inst.path_ystart = first.y;
    } else {
        inst.path_xstart = inst.x;
        inst.path_ystart = inst.y;
    }
}

bool path_step(Runtime& r, CInstance& inst) {
    if (inst.path_index < 0 || inst.path_speed == 0) return false;
    const CPath* p = usable_path(r, inst.path_index);
    if (!p) return false;
    const double len = p->length();
    const double s = p->lookup(inst.path_position).speed;
    double step = inst.path_speed * (s / (100 * inst.path_scale)) / len;
    // A scale of 0 makes the path a point: it is crossed at once, or (with a
    // point speed of 0 too) not at all.
    if (std::isnan(step)) step = 0;
    double pos = std::isinf(step) ? (step > 0 ? 1 : 0) : inst.path_position + step;
    bool reached = false;
    if (pos >= 1 || pos <= 0) {
        reached = true;
        // Which end was passed; position 0 is the start even at a speed of 0.
        const bool at_end = pos >= 1;
        switch (inst.path_endaction) {
            case 1:
                pos += at_end ? -1 : 1;
                break;
            case 2: {
                const RPathPoint a = p->lookup(0), b = p->lookup(1);
                const double dx = b.x - a.x, dy = b.y - a.y;
                const double o = inst.path_orientation * std::numbers::pi / 180;
                const double k = inst.path_scale;
                const double rx = (std::cos(o) * dx + std::sin(o) * dy) * k;
                const double ry = (std::cos(o) * dy - std::sin(o) * dx) * k;
                if (at_end) {
                    inst.path_xstart += rx;
                    inst.path_ystart += ry;
                    pos -= 1;
                } else {
                    inst.path_xstart -= rx;
                    inst.path_ystart -= ry;
                    pos += 1;
                }
                break;
            }
            case 3:
                if (at_end) {
                    pos = 2 - pos;
                    inst.path_speed = -std::fabs(inst.path_speed);
                } else {
                    pos = -pos;
                    inst.path_speed = std::fabs(inst.path_speed);
                }
                break;
            default:
                pos = 1;
                inst.path_index = -1;
                break;
        }
    }
    inst.path_position = std::clamp(pos, 0.0, 1.0);
    const RPathPoint here = p->lookup(pos), first = p->lookup(0);
    const double px = here.x - first.x, py = here.y - first.y;
    const double o = inst.path_orientation * std::numbers::pi / 180;
    const double k = inst.path_scale;
    const double tx = (std::cos(o) * px + std::sin(o) * py) * k + inst.path_xstart;
    const double ty = (std::cos(o) * py - std::sin(o) * px) * k + inst.path_ystart;
    // The speeds are set so that direction points along the path, then
    // cleared so that the move by the speeds adds nothing.
    motion_rules::set_hspeed(inst, tx - inst.x);
    motion_rules::set_vspeed(inst, ty - inst.y);
    motion_rules::set_speed(inst, 0);
    set_position(r, inst, tx, ty);
    return reached;
}

void move_instance(Runtime& r, CInstance& inst) {
    motion_rules::friction_and_gravity(inst);
    if (path_step(r, inst)) perform_event_instance(r, &inst, &inst, ev::Other, ev::EndOfPath);
    set_position(r, inst, inst.x + inst.hspeed, inst.y + inst.vspeed);
}

void action_wrap(Runtime& r, CInstance& inst, bool horizontal, bool vertical) {
    const CSprite* s = r.get<SpriteState>().sprites.get(inst.sprite_index);
    const double w = s ? s->width() * inst.image_xscale : 0;
    const double ht = s ? s->height() * inst.image_yscale : 0;
    const CRoom* room = r.get<WorldState>().current;
    const double rw = room ? room->width : 0, rh = room ? room->height : 0;
    double x = inst.x, y = inst.y;
    if (horizontal) {
        if (inst.hspeed < 0 && x < 0)
            x += rw + w;
        else if (inst.hspeed > 0 && x >= rw)
            x -= rw + w;
    }
    if (vertical) {
        if (inst.vspeed < 0 && y < 0)
            y += rh + ht;
        else if (inst.vspeed > 0 && y >= rh)
            y -= rh + ht;
    }
    set_position(r, inst, x, y);
}

namespace {

void create(Runtime& r) {
    r.emplace<MotionState>();
}

void register_builtins(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    register_function_motion(st.functions);
    register_function_path(st.functions);
}

bool read_paths(Runtime& r, CStream& s) {
    return r.get<MotionState>().paths.read(s);
}

int32_t find_path(Runtime& r, std::string_view name) {
    const PathList& list = r.get<MotionState>().paths;
    for (int32_t i = 0; i < list.count(); ++i)
        if (list.exists(i) && list.name(i) == name) return i;
    return -1;
}

void motion_step(Runtime& r) {
    WorldState& w = r.get<WorldState>();
    for_each_listed(
        [&]() -> auto& { return room_instances(w).active(); },
        [&](CInstance* inst) {
            move_instance(r, *inst);
            return true;
        });
}

constexpr SectionReader kSectionReaders[] = {{Section::Paths, read_paths}};
constexpr ResourceFinder kFinders[] = {{ResourceKind::Path, find_path}};
constexpr PhaseStep kPhases[] = {{Phase::Motion, motion_step}};

}  // namespace

const Subsystem kMotionSubsystem{
    .name = "motion",
    .create = create,
    .register_builtins = register_builtins,
    .sections = kSectionReaders,
    .finders = kFinders,
    .phases = kPhases,
};

}  // namespace kx
