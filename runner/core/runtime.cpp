#include "core/runtime.h"

#include <cstdio>
#include <cstdlib>

namespace kx {

namespace {
// The ambient runtime of built-in handlers (see rt()).
Runtime* g_current = nullptr;
}  // namespace

namespace detail {

int next_state_slot() noexcept {
    // Types, not runs, own the slots: the numbering is fixed once per process.
    static int next = 0;
    return next++;
}

void missing_state() {
    std::fputs("kxrun: internal error: a subsystem's state is missing\n", stderr);
    std::abort();
}

}  // namespace detail

Runtime::~Runtime() {
    shutdown();
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) m_states[*it].reset();
}

void Runtime::start(std::span<const Subsystem* const> list) {
    m_subsystems.assign(list.begin(), list.end());
    m_shut_down = false;
    for (auto& fns : m_phases) fns.clear();
    for (const Subsystem* s : m_subsystems)
        for (const PhaseStep& p : s->phases)
            m_phases[static_cast<size_t>(p.phase)].push_back(p.run);
    for (const Subsystem* s : m_subsystems)
        if (s->create) s->create(*this);
    for (const Subsystem* s : m_subsystems)
        if (s->register_builtins) s->register_builtins(*this);
}

void Runtime::shutdown() {
    if (m_shut_down) return;
    m_shut_down = true;
    for (auto it = m_subsystems.rbegin(); it != m_subsystems.rend(); ++it)
        if ((*it)->shutdown) (*it)->shutdown(*this);
}

Runtime& rt() {
    if (!g_current) {
        std::fputs("kxrun: internal error: no runtime is active\n", stderr);
        std::abort();
    }
    return *g_current;
}

bool has_runtime() noexcept {
    return g_current != nullptr;
}

RuntimeScope::RuntimeScope(Runtime& r) : m_prev(g_current) {
    g_current = &r;
}
RuntimeScope::~RuntimeScope() {
    g_current = m_prev;
}

}  // namespace kx
