#pragma once
// A headless platform whose console keeps every line, for tests that check
// what the runner prints.
#include <memory>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/headless.h"

namespace kx::test {

class CaptureConsole : public IConsole {
public:
    std::vector<std::string> out, err;
    void out_line(std::string_view t) override { out.emplace_back(t); }
    void err_line(std::string_view t) override { err.emplace_back(t); }
};

struct CapturePlatform {
    std::unique_ptr<Platform> platform = std::make_unique<Platform>();
    CaptureConsole* console = nullptr;

    explicit CapturePlatform(std::vector<std::string> answers = {}) {
        auto c = std::make_unique<CaptureConsole>();
        console = c.get();
        platform->m_console = std::move(c);
        platform->m_dialogs =
            std::make_unique<HeadlessDialogs>(*platform->m_console, std::move(answers));
        platform->m_windows = std::make_unique<HeadlessWindowSystem>();
        platform->m_clock = std::make_unique<VirtualClock>();
        platform->m_libraries = create_dynamic_libraries();
        platform->m_headless = true;
    }
};

}  // namespace kx::test
