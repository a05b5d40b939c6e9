#include "core/runtime.h"

#include <cstdio>
#include <cstdlib>

namespace kx {

namespace {
// The single process-wide pointer: handlers get the runtime through rt().
Runtime* g_current = nullptr;
}  // namespace

Runtime& rt() {
    if (!g_current) {
        std::fputs("kxrun: internal error: no runtime is active\n", stderr);
        std::abort();
    }
    return *g_current;
}

bool has_runtime() noexcept { return g_current != nullptr; }

RuntimeScope::RuntimeScope(Runtime& r) : m_prev(g_current) { g_current = &r; }
RuntimeScope::~RuntimeScope() { g_current = m_prev; }

}  // namespace kx
