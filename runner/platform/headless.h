#pragma once
// Headless backends: dialogs answered from a list, stdout/stderr console,
// virtual clock, load window that only keeps its geometry.
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kx {

class HeadlessDialogs : public IDialogs {
public:
    HeadlessDialogs(IConsole& console, std::vector<std::string> answers);
    void message(std::string_view caption, std::string_view text) override;
    bool question(std::string_view caption, std::string_view text) override;
    int buttons(std::string_view caption, std::string_view text,
                const std::vector<std::string>& captions) override;

private:
    bool next_answer(std::string& out);
    IConsole& m_console;
    std::deque<std::string> m_answers;
};

class StdConsole : public IConsole {
public:
    void out_line(std::string_view text) override;
    void err_line(std::string_view text) override;
};

class RealClock : public IClock {
public:
    int64_t now_us() override;
    void sleep_us(int64_t us) override;
    bool is_virtual() const override { return false; }
};

class VirtualClock : public IClock {
public:
    int64_t now_us() override { return m_now; }
    void sleep_us(int64_t us) override {
        if (us > 0) m_now += us;
    }
    bool is_virtual() const override { return true; }

private:
    int64_t m_now = 0;
};

class HeadlessWindowSystem : public IWindowSystem {
public:
    bool headless() const override { return true; }
    void process_messages() override {}
    int screen_width() const override { return 1024; }
    int screen_height() const override { return 768; }
    std::unique_ptr<ILoadWindow> create_load_window(const LoadWindowSpec& desc) override;
};

// Reads an answers file: one answer a line, CR stripped. False when unreadable.
bool read_answers_file(const std::string& path, std::vector<std::string>& out);

}  // namespace kx
