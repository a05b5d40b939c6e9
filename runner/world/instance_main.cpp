#include "world/instance_main.h"

#include <cmath>
#include <string>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/record_io.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "script/code_operator.h"
#include "script/script_state.h"
#include "script/tokens.h"
#include "sprites/sprite_state.h"
#include "world/instance_box.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {

namespace {
const std::vector<CInstance*> kNone;

template <class F>
void for_self_and_ancestors(const WorldState& w, int32_t object, F f) {
    const CObject* o = object_get(w, object);
    if (!o) return;
    f(object);
    for (size_t guard = w.objects.size(); guard > 0; --guard) {
        const int32_t p = o->parent;
        o = object_get(w, p);
        if (!o) break;
        f(p);
    }
}
}  // namespace

const std::vector<CInstance*>& RoomInstances::exact(int32_t object_index) const {
    if (object_index < 0 || static_cast<size_t>(object_index) >= m_exact.size()) return kNone;
    return m_exact[static_cast<size_t>(object_index)];
}

const std::vector<CInstance*>& RoomInstances::family(int32_t object_index) const {
    if (object_index < 0 || static_cast<size_t>(object_index) >= m_family.size()) return kNone;
    return m_family[static_cast<size_t>(object_index)];
}

void RoomInstances::index(const WorldState& w, CInstance* inst) {
    const size_t objects = w.objects.size();
    if (m_exact.size() < objects) {
        m_exact.resize(objects);
        m_family.resize(objects);
    }
    m_by_id[inst->id()] = inst;
    const int32_t o = inst->object_index();
    if (o < 0 || static_cast<size_t>(o) >= objects) return;
    m_exact[static_cast<size_t>(o)].push_back(inst);
    for_self_and_ancestors(w, o,
                           [&](int32_t a) { m_family[static_cast<size_t>(a)].push_back(inst); });
}

CInstance* RoomInstances::append(const WorldState& w, std::unique_ptr<CInstance> inst) {
    CInstance* raw = inst.get();
    m_active.push_back(std::move(inst));
    index(w, raw);
    return raw;
}

CInstance* RoomInstances::find_id(int32_t id) const {
    auto it = m_by_id.find(id);
    if (it == m_by_id.end() || it->second->destroyed() || it->second->deactivated) return nullptr;
    return it->second;
}

void RoomInstances::rebuild(const WorldState& w) {
    m_exact.assign(w.objects.size(), {});
    m_family.assign(w.objects.size(), {});
    m_by_id.clear();
    for (auto& i : m_active) {
        // A destroyed copy never hides a living instance with the same id.
        if (i->destroyed() && m_by_id.count(i->id())) {
            const int32_t o = i->object_index();
            if (o >= 0 && static_cast<size_t>(o) < m_exact.size()) {
                m_exact[static_cast<size_t>(o)].push_back(i.get());
                for_self_and_ancestors(
                    w, o, [&](int32_t a) { m_family[static_cast<size_t>(a)].push_back(i.get()); });
            }
            continue;
        }
        index(w, i.get());
    }
}

void RoomInstances::remove_destroyed(const WorldState& w) {
    size_t kept = 0;
    for (size_t i = 0; i < m_active.size(); ++i)
        if (!m_active[i]->destroyed()) m_active[kept++] = std::move(m_active[i]);
    if (kept == m_active.size()) return;
    m_active.resize(kept);
    rebuild(w);
}

void RoomInstances::update_activation(const WorldState& w) {
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
    rebuild(w);
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

int image_count(const Runtime& r, const CInstance& inst) {
    const CSprite* s = r.get<SpriteState>().sprites.get(inst.sprite_index);
    return s ? s->subimage_count() : 0;
}

void compute_bbox(Runtime& r, CInstance& inst) {
    compute_instance_bbox(r.get<SpriteState>().sprites, inst);
    r.get<WorldState>().grid.moved(inst);
}

void set_sprite(Runtime& r, CInstance& inst, int32_t sprite) {
    inst.sprite_index = sprite;
    if (std::floor(inst.image_index) >= image_count(r, inst)) inst.image_index = 0;
    compute_bbox(r, inst);
}

void set_object(Runtime& r, CInstance& inst, int32_t object_index) {
    inst.set_object_index(object_index);
    CObject* o = object_get(r.get<WorldState>(), object_index);
    inst.object = o;
    if (o) {
        set_sprite(r, inst, o->sprite);
        inst.mask_index = o->mask;
        inst.depth = o->depth;
        inst.solid = o->solid;
        inst.visible = o->visible;
        inst.persistent = o->persistent;
    }
    compute_bbox(r, inst);
}

void set_position(Runtime& r, CInstance& inst, double x, double y) {
    if (inst.x == x && inst.y == y) return;
    inst.x = x;
    inst.y = y;
    compute_bbox(r, inst);
}

std::unique_ptr<CInstance> make_instance(Runtime& r, int32_t id, int32_t object_index, double x,
                                         double y) {
    auto inst = std::make_unique<CInstance>(id, object_index);
    set_object(r, *inst, object_index);
    inst->x = inst->xstart = inst->xprevious = x;
    inst->y = inst->ystart = inst->yprevious = y;
    compute_bbox(r, *inst);
    return inst;
}

CInstance* create_in_room(Runtime& r, int32_t object_index, double x, double y) {
    WorldState& w = r.get<WorldState>();
    auto inst = make_instance(r, ++w.last_instance_id, object_index, x, y);
    return room_instances(w).append(w, std::move(inst));
}

void copy_state(Runtime& r, CInstance& target, const CInstance& source) {
    const double px = target.path_xstart, py = target.path_ystart;
    static_cast<RInstanceState&>(target) = source;
    target.path_xstart = px;
    target.path_ystart = py;
    target.set_id(source.id());
    target.set_object_index(source.object_index());
    target.set_destroyed(source.destroyed());
    target.vars().assign(source.vars());
    // The grid sees the copied box.
    compute_bbox(r, target);
}

namespace {

// The instance save record after its id; one field list for both directions.
template <class IO, class Inst>
void instance_fields(IO& io, Inst& i) {
    io.i(i.sprite_index);
    for (auto* v : {&i.image_index, &i.image_speed, &i.image_xscale, &i.image_yscale,
                    &i.image_angle, &i.image_alpha})
        io.r(*v);
    io.i(i.image_blend);
    io.i(i.mask_index);
    io.r(i.depth);
    io.b(i.precise);
    for (auto* v : {&i.x, &i.y, &i.xstart, &i.ystart, &i.xprevious, &i.yprevious, &i.direction,
                    &i.speed, &i.friction, &i.gravity_direction, &i.gravity, &i.hspeed, &i.vspeed})
        io.r(*v);
    for (auto* v : {&i.bbox_left, &i.bbox_right, &i.bbox_top, &i.bbox_bottom}) io.i(*v);
    io.b(i.visible);
    io.b(i.solid);
    io.b(i.persistent);
    int32_t object = i.object_index();
    io.i(object);
    for (auto& a : i.alarm) io.i(a);
    bool destroyed = i.destroyed();
    io.b(destroyed);
    if constexpr (IO::kReads) {
        i.set_object_index(object);
        i.set_destroyed(destroyed);
    }
    io.b(i.deactivated);
    io.i(i.path_index);
    for (auto* v : {&i.path_position, &i.path_positionprevious, &i.path_speed, &i.path_scale,
                    &i.path_orientation})
        io.r(*v);
    io.i(i.path_endaction);
    io.r(i.path_xstart);
    io.r(i.path_ystart);
    io.i(i.timeline_index);
    io.r(i.timeline_position);
    io.r(i.timeline_speed);
    io.str(i.creation_code);
}

}  // namespace

void write_instance(CStream& s, const CInstance& i) {
    s.write_int(i.id());
    RecordWriter io{s};
    instance_fields(io, i);
    i.vars().save(s);
}

std::unique_ptr<CInstance> read_instance(const WorldState& w, CStream& s) {
    auto p = std::make_unique<CInstance>(s.read_int(), -1);
    RecordReader io{s};
    instance_fields(io, *p);
    p->object = object_get(w, p->object_index());
    p->vars().load(s);
    return p;
}

// ---- the instance functions ----

namespace {

bool alive(const CInstance* i) {
    return i && !i->destroyed() && !i->deactivated;
}

// Calls f for every instance that an object designator (-3 or an object index)
// names, not destroyed; f answers false to stop.
template <class F>
void each_of(RoomInstances& list, int32_t obj, F f) {
    if (obj == scope::All) {
        for (int i = 0; i < list.count(); ++i)
            if (!list.at(i)->destroyed() && !f(list.at(i))) return;
    } else if (obj >= 0 && obj < kInstanceIdBase) {
        const std::vector<CInstance*> family = list.family(obj);
        for (CInstance* i : family)
            if (!i->destroyed() && !f(i)) return;
    }
}

KX_HANDLER(f_instance_create) {
    Runtime& r = rt();
    const int32_t obj = arg_held_i32(args[2]);
    if (!object_exists(r.get<WorldState>(), obj)) {
        report_with_context(r, "Creating instance for non-existing object: " + std::to_string(obj),
                            false);
        result.set_real(scope::Noone);  // no instance was made
        return;
    }
    CInstance* inst = create_in_room(r, obj, args[0].real, args[1].real);
    const int32_t id = inst->id();
    perform_event(r, inst, inst, obj, ev::Create, 0);
    result.set_real(id);
}

KX_HANDLER(f_instance_copy) {
    if (!self) return;
    Runtime& r = rt();
    CInstance* inst = create_in_room(r, self->object_index(), self->x, self->y);
    const int32_t id = inst->id();
    copy_state(r, *inst, *self);
    inst->set_id(id);
    if (args[0].real >= 0.5) perform_event(r, inst, inst, inst->object_index(), ev::Create, 0);
    result.set_real(id);
}

KX_HANDLER(f_instance_destroy) {
    if (!self || self->destroyed()) return;
    perform_event(rt(), self, self, self->object_index(), ev::Destroy, 0);
    self->mark_destroyed();
}

KX_HANDLER(f_instance_change) {
    Runtime& r = rt();
    const int32_t obj = arg_held_i32(args[0]);
    if (!self) return;
    WorldState& w = r.get<WorldState>();
    if (!object_exists(w, obj)) {
        report_with_context(r, "Asking to change into non-existing object: " + std::to_string(obj),
                            false);
        return;
    }
    const bool events = args[1].real >= 0.5;
    if (events) perform_event(r, self, self, self->object_index(), ev::Destroy, 0);
    CInstance* inst = create_in_room(r, obj, self->x, self->y);
    copy_state(r, *inst, *self);
    set_object(r, *inst, obj);
    self->mark_destroyed();
    room_instances(w).note_id(inst);
    if (events) perform_event(r, inst, inst, obj, ev::Create, 0);
}

KX_HANDLER(f_instance_sprite) {
    Runtime& r = rt();
    const int32_t spr = arg_held_i32(args[0]);
    if (r.get<SpriteState>().sprites.exists(spr)) {
        if (self) set_sprite(r, *self, spr);
    } else {
        report_with_context(r, "Setting instance to non-existing sprite: " + std::to_string(spr),
                            false);
    }
}

bool designator_present(RoomInstances& list, CInstance* self, CInstance* other, int32_t obj) {
    if (obj == scope::Self) return alive(self);
    if (obj == scope::Other) return alive(other);
    bool any = false;
    if (obj >= kInstanceIdBase) return list.find_id(obj) != nullptr;
    each_of(list, obj, [&](CInstance*) {
        any = true;
        return false;
    });
    return any;
}

RoomInstances& current_list() {
    return room_instances(rt().get<WorldState>());
}

KX_HANDLER(f_instance_exists) {
    result.set_real(designator_present(current_list(), self, other, arg_held_i32(args[0])) ? 1 : 0);
}

KX_HANDLER(f_instance_number) {
    RoomInstances& list = current_list();
    const int32_t obj = arg_held_i32(args[0]);
    if (obj == scope::Self || obj == scope::Other || obj >= kInstanceIdBase) {
        result.set_real(designator_present(list, self, other, obj) ? 1 : 0);
        return;
    }
    int n = 0;
    each_of(list, obj, [&](CInstance*) {
        ++n;
        return true;
    });
    result.set_real(n);
}

KX_HANDLER(f_instance_find) {
    RoomInstances& list = current_list();
    const int32_t obj = arg_held_i32(args[0]);
    const int32_t n = arg_held_i32(args[1]);
    result.set_real(scope::Noone);
    if (obj >= kInstanceIdBase) {
        if (n == 0 && list.find_id(obj)) result.set_real(obj);
        return;
    }
    int k = 0;
    each_of(list, obj, [&](CInstance* i) {
        if (k++ == n) {
            result.set_real(i->id());
            return false;
        }
        return true;
    });
}

void nearest_or_furthest(const RValue* a, RValue& r, bool nearest) {
    const double x = a[0].real, y = a[1].real;
    double best = nearest ? 1e10 : -1;
    int32_t id = scope::Noone;
    each_of(current_list(), arg_held_i32(a[2]), [&](CInstance* i) {
        const double d = (i->x - x) * (i->x - x) + (i->y - y) * (i->y - y);
        if (nearest ? d < best : d > best) {
            best = d;
            id = i->id();
        }
        return true;
    });
    r.set_real(id);
}
KX_HANDLER(f_instance_nearest) {
    nearest_or_furthest(args, result, true);
}
KX_HANDLER(f_instance_furthest) {
    nearest_or_furthest(args, result, false);
}

bool in_region(const CInstance& i, const RValue* a) {
    const double left = a[0].real, top = a[1].real, w = a[2].real, h = a[3].real;
    return i.bbox_right >= left && i.bbox_left <= left + w && i.bbox_bottom >= top &&
           i.bbox_top <= top + h;
}

KX_HANDLER(f_instance_deactivate_all) {
    WorldState& w = rt().get<WorldState>();
    RoomInstances& list = room_instances(w);
    for (auto& i : list.active()) i->deactivated = true;
    if (args[0].real >= 0.5 && self) self->deactivated = false;
    list.update_activation(w);
}

KX_HANDLER(f_instance_deactivate_object) {
    WorldState& w = rt().get<WorldState>();
    RoomInstances& list = room_instances(w);
    const int32_t obj = arg_held_i32(args[0]);
    if (obj == scope::Self) {
        if (self) self->deactivated = true;
    } else if (obj == scope::Other) {
        if (other) other->deactivated = true;
    } else if (obj == scope::All) {
        for (auto& i : list.active()) i->deactivated = true;
    } else if (obj >= kInstanceIdBase) {
        for (auto& i : list.active())
            if (i->id() == obj) i->deactivated = true;
    } else if (obj >= 0) {
        for (CInstance* i : list.family(obj)) i->deactivated = true;
    }
    list.update_activation(w);
}

KX_HANDLER(f_instance_deactivate_region) {
    WorldState& w = rt().get<WorldState>();
    RoomInstances& list = room_instances(w);
    const bool inside = args[4].real >= 0.5;
    for (auto& i : list.active())
        if (in_region(*i, args) == inside) i->deactivated = true;
    if (args[5].real >= 0.5 && self) self->deactivated = false;
    list.update_activation(w);
}

KX_HANDLER(f_instance_activate_all) {
    WorldState& w = rt().get<WorldState>();
    RoomInstances& list = room_instances(w);
    for (auto& i : list.deactivated()) i->deactivated = false;
    list.update_activation(w);
}

KX_HANDLER(f_instance_activate_object) {
    WorldState& w = rt().get<WorldState>();
    RoomInstances& list = room_instances(w);
    const int32_t obj = arg_held_i32(args[0]);
    if (obj == scope::Self) {
        if (self) self->deactivated = false;
    } else if (obj == scope::Other) {
        if (other) other->deactivated = false;
    } else {
        for (auto& i : list.deactivated()) {
            if (obj == scope::All || (obj >= kInstanceIdBase && i->id() == obj) ||
                (obj >= 0 && obj < kInstanceIdBase &&
                 (i->object_index() == obj || object_is_ancestor(w, i->object_index(), obj))))
                i->deactivated = false;
        }
    }
    list.update_activation(w);
}

KX_HANDLER(f_instance_activate_region) {
    WorldState& w = rt().get<WorldState>();
    RoomInstances& list = room_instances(w);
    const bool inside = args[4].real >= 0.5;
    for (auto& i : list.deactivated())
        if (in_region(*i, args) == inside) i->deactivated = false;
    list.update_activation(w);
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
