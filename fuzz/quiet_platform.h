#pragma once
// A headless platform that prints nothing, for the fuzz targets: thousands of
// inputs a second must not fill the terminal with the game's messages.
#include <memory>
#include <string>
#include <vector>

#include "platform/headless.h"

namespace kx::fuzz {

class NullConsole : public IConsole {
public:
    void out_line(std::string_view) override {}
    void err_line(std::string_view) override {}
};

// Fills platform with the quiet console, headless dialogs answering from no
// list, a headless window system and the virtual clock.
inline void make_quiet(Platform& platform) {
    platform.m_console = std::make_unique<NullConsole>();
    platform.m_dialogs =
        std::make_unique<HeadlessDialogs>(*platform.m_console, std::vector<std::string>{});
    platform.m_windows = std::make_unique<HeadlessWindowSystem>();
    platform.m_clock = std::make_unique<VirtualClock>();
}

}  // namespace kx::fuzz
