#pragma once
// What the language knows of instances. The world owns the instance record
// (CInstance, which derives from ScriptInstance) and the room's lists; the
// language holds instances as CInstance* (the type of the handler
// convention) and reaches its part of one, and the room's lists, through
// IScriptWorld, which the world implements.
#include <cstddef>
#include <cstdint>
#include <new>

#include "script/variable_class.h"

namespace kx {

class CInstance;

// Scope values from here on are instance ids; below, object indices.
constexpr int32_t kInstanceIdBase = 100000;

// An instance's id, its object, its own variables and the destroyed mark.
class ScriptInstance {
public:
    int32_t id() const { return m_id; }
    int32_t object_index() const { return m_object_index; }
    bool destroyed() const { return m_destroyed; }
    void mark_destroyed() { m_destroyed = true; }
    CVariableList& vars() { return m_vars; }
    const CVariableList& vars() const { return m_vars; }

protected:
    ScriptInstance(int32_t id, int32_t object_index) : m_id(id), m_object_index(object_index) {}
    ~ScriptInstance() = default;
    ScriptInstance(const ScriptInstance&) = default;
    ScriptInstance& operator=(const ScriptInstance&) = default;

    int32_t m_id;
    int32_t m_object_index;
    bool m_destroyed = false;
    CVariableList m_vars;
};

class IScriptWorld {
public:
    // The current room's active instances in creation order (destroyed ones
    // included until they are removed).
    virtual int count() const = 0;
    virtual CInstance* at(int pos) const = 0;
    // Per object: the active instances of it and of its descendants.
    virtual int object_count(int32_t object_index) const = 0;
    virtual CInstance* object_at(int32_t object_index, int pos) const = 0;
    // The room's instance with this id that is not destroyed, or null; O(1).
    virtual CInstance* find_live_id(int32_t id) const = 0;
    // The language's part of an instance: the ScriptInstance base of the
    // world's record, found at the offset the world gave (the language never
    // sees CInstance's definition, and a virtual call per variable access or
    // `with` round would cost more than the rest of it).
    ScriptInstance& part(CInstance& inst) const {
        return *std::launder(
            reinterpret_cast<ScriptInstance*>(reinterpret_cast<char*>(&inst) + m_part_offset));
    }
    // A fresh instance of no room and no object (id 0), for code that runs
    // outside the game (constant values, --eval); see DetachedInstance.
    virtual CInstance* make_detached() = 0;
    virtual void release_detached(CInstance* inst) = 0;

protected:
    // part_offset: the ScriptInstance base's offset inside a CInstance.
    explicit IScriptWorld(std::ptrdiff_t part_offset) : m_part_offset(part_offset) {}
    ~IScriptWorld() = default;

private:
    std::ptrdiff_t m_part_offset;
};

// A detached instance for the length of a scope.
class DetachedInstance {
public:
    explicit DetachedInstance(IScriptWorld& w) : m_world(w), m_inst(w.make_detached()) {}
    ~DetachedInstance() { m_world.release_detached(m_inst); }
    DetachedInstance(const DetachedInstance&) = delete;
    DetachedInstance& operator=(const DetachedInstance&) = delete;
    CInstance* get() const { return m_inst; }

private:
    IScriptWorld& m_world;
    CInstance* m_inst;
};

}  // namespace kx
