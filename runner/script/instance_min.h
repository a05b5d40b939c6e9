#pragma once
// The part of an instance the language needs: its id, its object, its own
// variables and the destroyed mark. The world completes the class.
#include <cstdint>
#include <memory>
#include <vector>

#include "script/variable_class.h"

namespace kx {

// Scope values from here on are instance ids; below, object indices.
constexpr int32_t kInstanceIdBase = 100000;

class CInstance {
public:
    CInstance(int32_t id, int32_t object_index) : m_id(id), m_object_index(object_index) {}
    int32_t id() const { return m_id; }
    int32_t object_index() const { return m_object_index; }
    bool destroyed() const { return m_destroyed; }
    void mark_destroyed() { m_destroyed = true; }
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
