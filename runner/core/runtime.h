#pragma once
// One Runtime owns the state of every subsystem and the ordered list of the
// subsystems that made them. A state is one struct per subsystem, found by
// its type: a subsystem creates it (emplace) and others reach it (get), so
// this header names no subsystem. States are destroyed in reverse order of
// creation.
//
// Code takes the Runtime (or its own state) as a parameter. The one ambient
// pointer, rt(), serves the built-in function handlers and the getters and
// setters of built-in variables, whose convention carries no runtime.
#include <array>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "core/run_options.h"
#include "core/subsystem.h"

namespace kx {

class Platform;

namespace detail {
int next_state_slot() noexcept;
// One slot number per state type, handed out on first use.
template <class T>
int state_slot() noexcept {
    static const int slot = next_state_slot();
    return slot;
}
[[noreturn]] void missing_state();
}  // namespace detail

struct Runtime {
    using PhaseFn = void (*)(Runtime&);

    Runtime() = default;
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    Platform* platform = nullptr;  // not owned; outlives the runtime
    RunOptions options;

    // Makes the state of type T, replacing one there was.
    template <class T, class... Args>
    T& emplace(Args&&... args) {
        const size_t slot = static_cast<size_t>(detail::state_slot<T>());
        if (slot >= m_states.size()) m_states.resize(slot + 1);
        if (!m_states[slot]) m_created.push_back(slot);
        auto state = std::make_shared<T>(std::forward<Args>(args)...);
        T& ref = *state;
        m_states[slot] = std::move(state);
        return ref;
    }
    // The state of type T, or null when nobody made it.
    template <class T>
    T* find() const noexcept {
        const size_t slot = static_cast<size_t>(detail::state_slot<T>());
        return slot < m_states.size() ? static_cast<T*>(m_states[slot].get()) : nullptr;
    }
    // The state of type T, which must exist.
    template <class T>
    T& get() const {
        T* state = find<T>();
        if (!state) detail::missing_state();
        return *state;
    }

    // Gives the runtime its subsystems in start order: every subsystem makes
    // its state, then every one registers its built-ins.
    void start(std::span<const Subsystem* const> list);
    // Runs every subsystem's shutdown, in reverse order, once; the
    // destructor does it when nobody did.
    void shutdown();
    std::span<const Subsystem* const> subsystems() const noexcept { return m_subsystems; }
    // What the subsystems run at a phase, in list order.
    std::span<const PhaseFn> phase(Phase p) const noexcept {
        return m_phases[static_cast<size_t>(p)];
    }

private:
    std::vector<std::shared_ptr<void>> m_states;  // by state slot
    std::vector<size_t> m_created;                // slots in creation order
    std::vector<const Subsystem*> m_subsystems;
    bool m_shut_down = false;
    std::array<std::vector<PhaseFn>, static_cast<size_t>(Phase::Count)> m_phases;
};

// The runtime that built-in handlers act on, set by whoever runs code
// (the program, a test) for the duration of its use.
Runtime& rt();
bool has_runtime() noexcept;

class RuntimeScope {
public:
    explicit RuntimeScope(Runtime& r);
    ~RuntimeScope();
    RuntimeScope(const RuntimeScope&) = delete;
    RuntimeScope& operator=(const RuntimeScope&) = delete;

private:
    Runtime* m_prev;
};

}  // namespace kx
