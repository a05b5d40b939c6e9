#include "platform/platform.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "platform/audio.h"
#include "platform/dynamic_library.h"
#include "platform/joystick.h"

namespace kx {

Platform::Platform() = default;
Platform::~Platform() = default;

namespace {
// Signal handlers cannot carry state through arguments; this is the one place
// the process keeps the cleanup to run on SIGINT/SIGTERM.
std::function<void()>* g_cleanup = nullptr;

extern "C" void on_termination_signal(int sig) {
    if (g_cleanup && *g_cleanup) (*g_cleanup)();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}
}  // namespace

std::string executable_path() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

void install_termination_cleanup(std::function<void()> fn) {
    static std::function<void()> holder;
    holder = std::move(fn);
    g_cleanup = &holder;
    std::signal(SIGINT, on_termination_signal);
    std::signal(SIGTERM, on_termination_signal);
}

}  // namespace kx
