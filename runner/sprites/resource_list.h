#pragma once
// The list shape that sprites and backgrounds share: slots addressed by index
// (the resource id), each holding an object or nothing, with a name beside it.
// Deleted slots stay reserved; new resources take the next index.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gamedata/cstream.h"
#include "gamedata/record_io.h"
#include "sprites/texture_link.h"

namespace kx {

inline constexpr int32_t kResourceSectionVersion = 400;

template <class T>
class ResourceList {
public:
    // kind names the defaults of new slots: "__new" + kind + index.
    explicit ResourceList(const char* kind) : m_kind(kind) {}

    // The items' way to the texture table (none: no textures).
    void set_texture_link(const TextureLink* link) { m_link = link; }

    int32_t count() const { return static_cast<int32_t>(m_items.size()); }
    bool exists(int32_t id) const { return get(id) != nullptr; }
    T* get(int32_t id) {
        return id >= 0 && id < count() ? m_items[static_cast<size_t>(id)].get() : nullptr;
    }
    const T* get(int32_t id) const {
        return id >= 0 && id < count() ? m_items[static_cast<size_t>(id)].get() : nullptr;
    }
    std::string name(int32_t id) const {
        return exists(id) ? m_names[static_cast<size_t>(id)] : std::string("<undefined>");
    }
    int32_t find_by_name(std::string_view name) const {
        for (int32_t i = 0; i < count(); ++i)
            if (m_items[static_cast<size_t>(i)] && m_names[static_cast<size_t>(i)] == name)
                return i;
        return -1;
    }

    void clear() {
        for (auto& item : m_items)
            if (item) free_textures_of(*item);
        m_items.clear();
        m_names.clear();
    }
    // Appends a slot: an object (or none, an empty slot) and its name.
    int32_t add(std::string name, std::unique_ptr<T> item) {
        if (item) item->set_texture_link(m_link);
        m_items.push_back(std::move(item));
        m_names.push_back(m_items.back() ? std::move(name) : std::string());
        return count() - 1;
    }
    int32_t add_empty() {
        const int32_t id = count();
        return add(default_name(id), std::make_unique<T>());
    }
    // Appends a fresh object and lets load fill it; when that fails the slot
    // goes again and the answer is -1.
    template <class Load>
    int32_t add_with(Load&& load) {
        const int32_t id = add_empty();
        if (!load(*m_items.back())) {
            free_textures_of(*m_items.back());
            m_items.pop_back();
            m_names.pop_back();
            return -1;
        }
        return id;
    }
    // Loads into slot id, creating its object when the slot is empty.
    template <class Load>
    bool replace_with(int32_t id, Load&& load) {
        if (id < 0 || id >= count()) return false;
        auto& slot = m_items[static_cast<size_t>(id)];
        if (!slot) {
            slot = std::make_unique<T>();
            slot->set_texture_link(m_link);
            if (m_names[static_cast<size_t>(id)].empty())
                m_names[static_cast<size_t>(id)] = default_name(id);
        }
        return load(*slot);
    }
    bool remove(int32_t id) {
        T* item = get(id);
        if (!item) return false;
        free_textures_of(*item);
        m_items[static_cast<size_t>(id)].reset();
        m_names[static_cast<size_t>(id)].clear();
        return true;
    }
    int32_t duplicate(int32_t id) {
        if (!exists(id)) return -1;
        const int32_t nid = add_empty();
        m_items.back()->assign(*m_items[static_cast<size_t>(id)]);
        return nid;
    }
    bool assign(int32_t id, int32_t source) {
        if (!exists(source) || id < 0 || id >= count()) return false;
        if (id == source) return true;
        auto& slot = m_items[static_cast<size_t>(id)];
        if (!slot) {
            slot = std::make_unique<T>();
            slot->set_texture_link(m_link);
            if (m_names[static_cast<size_t>(id)].empty())
                m_names[static_cast<size_t>(id)] = default_name(id);
        }
        slot->assign(*m_items[static_cast<size_t>(source)]);
        return true;
    }
    void set_name(int32_t id, std::string name) {
        if (exists(id)) m_names[static_cast<size_t>(id)] = std::move(name);
    }

    void make_all_textures() {
        for (auto& item : m_items)
            if (item) make_textures_of(*item);
    }

    // The section: version 400, count, then per slot exists and, for an
    // object, its name and record. The old list goes first.
    bool read_section(CStream& s) {
        clear();
        if (s.read_int() != kResourceSectionVersion) return false;
        const int32_t n = s.read_int();
        // Every slot takes at least its 4-byte flag.
        if (n < 0 || static_cast<size_t>(n) > s.remaining() / 4)
            throw StreamError("corrupt resource count");
        for (int32_t i = 0; i < n; ++i) {
            if (!s.read_bool()) {
                add({}, nullptr);
                continue;
            }
            std::string name = s.read_string();
            auto item = std::make_unique<T>();
            item->set_texture_link(m_link);
            if (!item->read(s)) return false;
            add(std::move(name), std::move(item));
        }
        return true;
    }
    void write_section(CStream& s) const {
        s.write_int(kResourceSectionVersion);
        s.write_int(count());
        for (size_t i = 0; i < m_items.size(); ++i) {
            s.write_bool(m_items[i] != nullptr);
            if (!m_items[i]) continue;
            s.write_string(m_names[i]);
            m_items[i]->write(s);
        }
    }

private:
    std::string default_name(int32_t id) const {
        return "__new" + std::string(m_kind) + std::to_string(id);
    }
    static void free_textures_of(T& item) {
        if constexpr (requires { item.free_textures(); })
            item.free_textures();
        else
            item.free_texture();
    }
    static void make_textures_of(T& item) {
        if constexpr (requires { item.make_textures(); })
            item.make_textures();
        else
            item.make_texture();
    }

    const char* m_kind;
    const TextureLink* m_link = nullptr;
    std::vector<std::unique_ptr<T>> m_items;
    std::vector<std::string> m_names;
};

}  // namespace kx
