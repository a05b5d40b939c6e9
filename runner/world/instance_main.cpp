#include "world/instance_main.h"

#include <cmath>
#include <string>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/code_operator.h"
#include "script/code_tokens.h"
#include "script/script_state.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

namespace {
const std::vector<CInstance*> kNone;

template <class F>
void for_self_and_ancestors(int32_t object, F f) {
    const CObject* o = object_get(object);
    if (!o) return;
    f(object);
    for (size_t guard = world().objects.size(); guard > 0; --guard) {
        const int32_t p = o->parent;
        o = object_get(p);
        if (!o) break;
        f(p);
    }
}
}  // namespace

int RoomInstances::object_count(int32_t object_index) const {
    return static_cast<int>(family(object_index).size());
}

CInstance* RoomInstances::object_at(int32_t object_index, int pos) const {
    return family(object_index)[static_cast<size_t>(pos)];
}

const std::vector<CInstance*>& RoomInstances::exact(int32_t object_index) const {
    if (object_index < 0 || static_cast<size_t>(object_index) >= m_exact.size()) return kNone;
    return m_exact[static_cast<size_t>(object_index)];
}

const std::vector<CInstance*>& RoomInstances::family(int32_t object_index) const {
    if (object_index < 0 || static_cast<size_t>(object_index) >= m_family.size()) return kNone;
    return m_family[static_cast<size_t>(object_index)];
}

void RoomInstances::index(CInstance* inst) {
    const size_t objects = world().objects.size();
    if (m_exact.size() < objects) {
        m_exact.resize(objects);
        m_family.resize(objects);
    }
    m_by_id[inst->id()] = inst;
    const int32_t o = inst->object_index();
    if (o < 0 || static_cast<size_t>(o) >= objects) return;
    m_exact[static_cast<size_t>(o)].push_back(inst);
    for_self_and_ancestors(o, [&](int32_t a) { m_family[static_cast<size_t>(a)].push_back(inst); });
}

CInstance* RoomInstances::append(std::unique_ptr<CInstance> inst) {
    CInstance* raw = inst.get();
    m_active.push_back(std::move(inst));
    index(raw);
    return raw;
}

CInstance* RoomInstances::find_id(int32_t id) const {
    auto it = m_by_id.find(id);
    if (it == m_by_id.end() || it->second->destroyed() || it->second->deactivated) return nullptr;
    return it->second;
}

void RoomInstances::rebuild() {
    m_exact.assign(world().objects.size(), {});
    m_family.assign(world().objects.size(), {});
    m_by_id.clear();
    for (auto& i : m_active) {
        // A destroyed copy never hides a living instance with the same id.
        if (i->destroyed() && m_by_id.count(i->id())) {
            const int32_t o = i->object_index();
            if (o >= 0 && static_cast<size_t>(o) < m_exact.size()) {
                m_exact[static_cast<size_t>(o)].push_back(i.get());
                for_self_and_ancestors(
                    o, [&](int32_t a) { m_family[static_cast<size_t>(a)].push_back(i.get()); });
            }
            continue;
        }
        index(i.get());
    }
}

void RoomInstances::remove_destroyed() {
    size_t kept = 0;
    for (size_t i = 0; i < m_active.size(); ++i)
        if (!m_active[i]->destroyed()) m_active[kept++] = std::move(m_active[i]);
    if (kept == m_active.size()) return;
    m_active.resize(kept);
    rebuild();
}

void RoomInstances::update_activation() {
    size_t marked = 0, unmarked = 0;
    for (auto& i : m_active) marked += i->deactivated;
    for (auto& i : m_deactivated) unmarked += !i->deactivated;
    if (marked == 0 && unmarked == 0) return;
    std::vector<std::unique_ptr<CInstance>> keep;
    for (auto& i : m_deactivated) {
        if (i->deactivated)
            keep.push_back(std::move(i));
        else
            m_active.push_back(std::move(i));
    }
    m_deactivated = std::move(keep);
    std::vector<std::unique_ptr<CInstance>> active;
    for (auto& i : m_active) {
        if (i->deactivated)
            m_deactivated.push_back(std::move(i));
        else
            active.push_back(std::move(i));
    }
    m_active = std::move(active);
    rebuild();
}

void RoomInstances::sort_by_depth() {
    bool unordered = false;
    for (size_t i = 1; i < m_active.size() && !unordered; ++i)
        unordered = m_active[i]->depth > m_active[i - 1]->depth;
    if (!unordered) return;
    for (size_t i = 1; i < m_active.size(); ++i) {
        for (size_t j = i; j > 0 && m_active[j]->depth > m_active[j - 1]->depth; --j)
            std::swap(m_active[j], m_active[j - 1]);
    }
}

void RoomInstances::clear() {
    m_active.clear();
    m_deactivated.clear();
    m_exact.clear();
    m_family.clear();
    m_by_id.clear();
}

int image_count(const CInstance& inst) {
    const auto& f = world().hooks.sprite_image_count;
    return f ? f(inst.sprite_index) : 0;
}

void compute_bbox(CInstance& inst) {
    if (world().hooks.compute_bbox) {
        world().hooks.compute_bbox(inst);
        return;
    }
    // Without sprites an instance is a point.
    inst.bbox_left = inst.bbox_right = round_to_i32(inst.x);
    inst.bbox_top = inst.bbox_bottom = round_to_i32(inst.y);
}

void set_sprite(CInstance& inst, int32_t sprite) {
    inst.sprite_index = sprite;
    if (std::floor(inst.image_index) >= image_count(inst)) inst.image_index = 0;
    compute_bbox(inst);
}

void set_object(CInstance& inst, int32_t object_index) {
    inst.set_object_index(object_index);
    CObject* o = object_get(object_index);
    inst.object = o;
    if (o) {
        set_sprite(inst, o->sprite);
        inst.mask_index = o->mask;
        inst.depth = o->depth;
        inst.solid = o->solid;
        inst.visible = o->visible;
        inst.persistent = o->persistent;
    }
    compute_bbox(inst);
}

void set_position(CInstance& inst, double x, double y) {
    if (inst.x == x && inst.y == y) return;
    inst.x = x;
    inst.y = y;
    compute_bbox(inst);
}

std::unique_ptr<CInstance> make_instance(int32_t id, int32_t object_index, double x, double y) {
    auto inst = std::make_unique<CInstance>(id, object_index);
    set_object(*inst, object_index);
    inst->x = inst->xstart = inst->xprevious = x;
    inst->y = inst->ystart = inst->yprevious = y;
    compute_bbox(*inst);
    return inst;
}

CInstance* create_in_room(int32_t object_index, double x, double y) {
    WorldState& w = world();
    return room_instances().append(make_instance(++w.last_instance_id, object_index, x, y));
}

void copy_state(CInstance& target, const CInstance& source) {
    const double px = target.path_xstart, py = target.path_ystart;
    static_cast<RInstanceState&>(target) = source;
    target.path_xstart = px;
    target.path_ystart = py;
    target.set_id(source.id());
    target.set_object_index(source.object_index());
    target.set_destroyed(source.destroyed());
    target.vars().assign(source.vars());
    // Through the hook, so the collision index sees the copied box.
    compute_bbox(target);
}

void write_instance(CStream& s, const CInstance& i) {
    s.write_int(i.id());
    s.write_int(i.sprite_index);
    for (double v : {i.image_index, i.image_speed, i.image_xscale, i.image_yscale, i.image_angle,
                     i.image_alpha})
        s.write_real(v);
    s.write_int(i.image_blend);
    s.write_int(i.mask_index);
    s.write_real(i.depth);
    s.write_bool(i.precise);
    for (double v : {i.x, i.y, i.xstart, i.ystart, i.xprevious, i.yprevious, i.direction, i.speed,
                     i.friction, i.gravity_direction, i.gravity, i.hspeed, i.vspeed})
        s.write_real(v);
    for (int32_t v : {i.bbox_left, i.bbox_right, i.bbox_top, i.bbox_bottom}) s.write_int(v);
    s.write_bool(i.visible);
    s.write_bool(i.solid);
    s.write_bool(i.persistent);
    s.write_int(i.object_index());
    for (int32_t a : i.alarm) s.write_int(a);
    s.write_bool(i.destroyed());
    s.write_bool(i.deactivated);
    s.write_int(i.path_index);
    for (double v :
         {i.path_position, i.path_positionprevious, i.path_speed, i.path_scale, i.path_orientation})
        s.write_real(v);
    s.write_int(i.path_endaction);
    s.write_real(i.path_xstart);
    s.write_real(i.path_ystart);
    s.write_int(i.timeline_index);
    s.write_real(i.timeline_position);
    s.write_real(i.timeline_speed);
    s.write_string(i.creation_code);
    i.vars().save(s);
}

std::unique_ptr<CInstance> read_instance(CStream& s) {
    auto p = std::make_unique<CInstance>(s.read_int(), -1);
    CInstance& i = *p;
    i.sprite_index = s.read_int();
    for (double* v : {&i.image_index, &i.image_speed, &i.image_xscale, &i.image_yscale,
                      &i.image_angle, &i.image_alpha})
        *v = s.read_real();
    i.image_blend = s.read_int();
    i.mask_index = s.read_int();
    i.depth = s.read_real();
    i.precise = s.read_bool();
    for (double* v :
         {&i.x, &i.y, &i.xstart, &i.ystart, &i.xprevious, &i.yprevious, &i.direction, &i.speed,
          &i.friction, &i.gravity_direction, &i.gravity, &i.hspeed, &i.vspeed})
        *v = s.read_real();
    for (int32_t* v : {&i.bbox_left, &i.bbox_right, &i.bbox_top, &i.bbox_bottom}) *v = s.read_int();
    i.visible = s.read_bool();
    i.solid = s.read_bool();
    i.persistent = s.read_bool();
    i.set_object_index(s.read_int());
    i.object = object_get(i.object_index());
    for (int32_t& a : i.alarm) a = s.read_int();
    i.set_destroyed(s.read_bool());
    i.deactivated = s.read_bool();
    i.path_index = s.read_int();
    for (double* v : {&i.path_position, &i.path_positionprevious, &i.path_speed, &i.path_scale,
                      &i.path_orientation})
        *v = s.read_real();
    i.path_endaction = s.read_int();
    i.path_xstart = s.read_real();
    i.path_ystart = s.read_real();
    i.timeline_index = s.read_int();
    i.timeline_position = s.read_real();
    i.timeline_speed = s.read_real();
    i.creation_code = s.read_string();
    i.vars().load(s);
    return p;
}

// ---- the instance functions ----

namespace {

RoomInstances& ri() {
    return room_instances();
}
bool alive(const CInstance* i) {
    return i && !i->destroyed() && !i->deactivated;
}

// Calls f for every instance that an object designator (-3 or an object index)
// names, not destroyed; f answers false to stop.
template <class F>
void each_of(int32_t obj, F f) {
    if (obj == scope::All) {
        RoomInstances& r = ri();
        for (int i = 0; i < r.count(); ++i)
            if (!r.at(i)->destroyed() && !f(r.at(i))) return;
    } else if (obj >= 0 && obj < kInstanceIdBase) {
        const std::vector<CInstance*> list = ri().family(obj);
        for (CInstance* i : list)
            if (!i->destroyed() && !f(i)) return;
    }
}

void f_instance_create(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    const int32_t obj = arg_held_i32(a[2]);
    if (!object_exists(obj)) {
        report_with_context("Creating instance for non-existing object: " + std::to_string(obj),
                            false);
        r.set_real(-4);  // noone: no instance was made
        return;
    }
    CInstance* inst = create_in_room(obj, a[0].real, a[1].real);
    const int32_t id = inst->id();
    perform_event(inst, inst, obj, ev::Create, 0);
    r.set_real(id);
}

void f_instance_copy(CInstance* self, CInstance*, int, RValue& r, const RValue* a) {
    if (!self) return;
    CInstance* inst = create_in_room(self->object_index(), self->x, self->y);
    const int32_t id = inst->id();
    copy_state(*inst, *self);
    inst->set_id(id);
    if (a[0].real >= 0.5) perform_event(inst, inst, inst->object_index(), ev::Create, 0);
    r.set_real(id);
}

void f_instance_destroy(CInstance* self, CInstance*, int, RValue&, const RValue*) {
    if (!self || self->destroyed()) return;
    perform_event(self, self, self->object_index(), ev::Destroy, 0);
    self->mark_destroyed();
}

void f_instance_change(CInstance* self, CInstance*, int, RValue&, const RValue* a) {
    const int32_t obj = arg_held_i32(a[0]);
    if (!self) return;
    if (!object_exists(obj)) {
        report_with_context("Asking to change into non-existing object: " + std::to_string(obj),
                            false);
        return;
    }
    const bool events = a[1].real >= 0.5;
    if (events) perform_event(self, self, self->object_index(), ev::Destroy, 0);
    CInstance* inst = create_in_room(obj, self->x, self->y);
    copy_state(*inst, *self);
    set_object(*inst, obj);
    self->mark_destroyed();
    ri().note_id(inst);
    if (events) perform_event(inst, inst, obj, ev::Create, 0);
}

void f_instance_sprite(CInstance* self, CInstance*, int, RValue&, const RValue* a) {
    const int32_t spr = arg_held_i32(a[0]);
    const auto& exists = world().hooks.sprite_exists;
    if (exists && exists(spr)) {
        if (self) set_sprite(*self, spr);
    } else {
        report_with_context("Setting instance to non-existing sprite: " + std::to_string(spr),
                            false);
    }
}

bool designator_present(CInstance* self, CInstance* other, int32_t obj) {
    if (obj == scope::Self) return alive(self);
    if (obj == scope::Other) return alive(other);
    bool any = false;
    if (obj >= kInstanceIdBase) return ri().find_id(obj) != nullptr;
    each_of(obj, [&](CInstance*) {
        any = true;
        return false;
    });
    return any;
}

void f_instance_exists(CInstance* self, CInstance* other, int, RValue& r, const RValue* a) {
    r.set_real(designator_present(self, other, arg_held_i32(a[0])) ? 1 : 0);
}

void f_instance_number(CInstance* self, CInstance* other, int, RValue& r, const RValue* a) {
    const int32_t obj = arg_held_i32(a[0]);
    if (obj == scope::Self || obj == scope::Other || obj >= kInstanceIdBase) {
        r.set_real(designator_present(self, other, obj) ? 1 : 0);
        return;
    }
    int n = 0;
    each_of(obj, [&](CInstance*) {
        ++n;
        return true;
    });
    r.set_real(n);
}

void f_instance_find(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    const int32_t obj = arg_held_i32(a[0]);
    const int32_t n = arg_held_i32(a[1]);
    r.set_real(scope::Noone);
    if (obj >= kInstanceIdBase) {
        if (n == 0 && ri().find_id(obj)) r.set_real(obj);
        return;
    }
    int k = 0;
    each_of(obj, [&](CInstance* i) {
        if (k++ == n) {
            r.set_real(i->id());
            return false;
        }
        return true;
    });
}

void nearest_or_furthest(const RValue* a, RValue& r, bool nearest) {
    const double x = a[0].real, y = a[1].real;
    double best = nearest ? 1e10 : -1;
    int32_t id = scope::Noone;
    each_of(arg_held_i32(a[2]), [&](CInstance* i) {
        const double d = (i->x - x) * (i->x - x) + (i->y - y) * (i->y - y);
        if (nearest ? d < best : d > best) {
            best = d;
            id = i->id();
        }
        return true;
    });
    r.set_real(id);
}
void f_instance_nearest(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    nearest_or_furthest(a, r, true);
}
void f_instance_furthest(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    nearest_or_furthest(a, r, false);
}

bool in_region(const CInstance& i, const RValue* a) {
    const double left = a[0].real, top = a[1].real, w = a[2].real, h = a[3].real;
    return i.bbox_right >= left && i.bbox_left <= left + w && i.bbox_bottom >= top &&
           i.bbox_top <= top + h;
}

void f_instance_deactivate_all(CInstance* self, CInstance*, int, RValue&, const RValue* a) {
    for (auto& i : ri().active()) i->deactivated = true;
    if (a[0].real >= 0.5 && self) self->deactivated = false;
    ri().update_activation();
}

void f_instance_deactivate_object(CInstance* self, CInstance* other, int, RValue&,
                                  const RValue* a) {
    const int32_t obj = arg_held_i32(a[0]);
    if (obj == scope::Self) {
        if (self) self->deactivated = true;
    } else if (obj == scope::Other) {
        if (other) other->deactivated = true;
    } else if (obj == scope::All) {
        for (auto& i : ri().active()) i->deactivated = true;
    } else if (obj >= kInstanceIdBase) {
        for (auto& i : ri().active())
            if (i->id() == obj) i->deactivated = true;
    } else if (obj >= 0) {
        for (CInstance* i : ri().family(obj)) i->deactivated = true;
    }
    ri().update_activation();
}

void f_instance_deactivate_region(CInstance* self, CInstance*, int, RValue&, const RValue* a) {
    const bool inside = a[4].real >= 0.5;
    for (auto& i : ri().active())
        if (in_region(*i, a) == inside) i->deactivated = true;
    if (a[5].real >= 0.5 && self) self->deactivated = false;
    ri().update_activation();
}

void f_instance_activate_all(CInstance*, CInstance*, int, RValue&, const RValue*) {
    for (auto& i : ri().deactivated()) i->deactivated = false;
    ri().update_activation();
}

void f_instance_activate_object(CInstance* self, CInstance* other, int, RValue&, const RValue* a) {
    const int32_t obj = arg_held_i32(a[0]);
    if (obj == scope::Self) {
        if (self) self->deactivated = false;
    } else if (obj == scope::Other) {
        if (other) other->deactivated = false;
    } else {
        for (auto& i : ri().deactivated()) {
            if (obj == scope::All || (obj >= kInstanceIdBase && i->id() == obj) ||
                (obj >= 0 && obj < kInstanceIdBase &&
                 (i->object_index() == obj || object_is_ancestor(i->object_index(), obj))))
                i->deactivated = false;
        }
    }
    ri().update_activation();
}

void f_instance_activate_region(CInstance*, CInstance*, int, RValue&, const RValue* a) {
    const bool inside = a[4].real >= 0.5;
    for (auto& i : ri().deactivated())
        if (in_region(*i, a) == inside) i->deactivated = false;
    ri().update_activation();
}

constexpr BuiltinDef kFunctions[] = {
    {"instance_create", f_instance_create, 3},
    {"instance_copy", f_instance_copy, 1},
    {"instance_destroy", f_instance_destroy, 0},
    {"instance_change", f_instance_change, 2},
    {"instance_sprite", f_instance_sprite, 1},
    {"instance_exists", f_instance_exists, 1},
    {"instance_number", f_instance_number, 1},
    {"instance_find", f_instance_find, 2},
    {"instance_nearest", f_instance_nearest, 3},
    {"instance_furthest", f_instance_furthest, 3},
    {"instance_deactivate_all", f_instance_deactivate_all, 1},
    {"instance_deactivate_object", f_instance_deactivate_object, 1},
    {"instance_deactivate_region", f_instance_deactivate_region, 6},
    {"instance_activate_all", f_instance_activate_all, 0},
    {"instance_activate_object", f_instance_activate_object, 1},
    {"instance_activate_region", f_instance_activate_region, 5},
};

}  // namespace

void register_function_instance(FunctionTable& table) {
    table.add(kFunctions);
}

}  // namespace kx
