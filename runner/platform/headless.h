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
    // Every text goes to the console's stderr after prefix.
    HeadlessDialogs(IConsole& console, std::vector<std::string> answers, std::string prefix = {});
    void message(std::string_view caption, std::string_view text) override;
    bool question(std::string_view caption, std::string_view text) override;
    int buttons(std::string_view caption, std::string_view text,
                const std::vector<std::string>& captions) override;

private:
    bool next_answer(std::string& out);
    void print(std::string_view text);
    IConsole& m_console;
    std::deque<std::string> m_answers;
    std::string m_prefix;
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
    std::unique_ptr<IGameWindow> create_game_window(uint32_t device_flags,
                                                    std::string* error) override;
};

// A window that only keeps its state: the drawing device renders offscreen.
class HeadlessGameWindow : public IGameWindow {
public:
    explicit HeadlessGameWindow(int desktop_w = 1024, int desktop_h = 768)
        : m_desktop_w(desktop_w), m_desktop_h(desktop_h) {}
    void* native_handle() const override { return nullptr; }
    void set_visible(bool on) override { m_visible = on; }
    bool visible() const override { return m_visible; }
    void set_style(bool, bool, bool, bool) override {}
    // Full screen covers the desktop, as a window manager would make it.
    void set_fullscreen(bool on) override { m_fullscreen = on; }
    void set_client_rect(const WindowRect& r) override { m_rect = r; }
    WindowRect client_rect() const override {
        return m_fullscreen ? WindowRect{0, 0, m_desktop_w, m_desktop_h} : m_rect;
    }
    void set_min_client_size(int, int) override {}
    void set_title(const std::string& text) override { m_title = text; }
    const std::string& title() const { return m_title; }
    void set_cursor(int) override {}
    void mouse_position(int& x, int& y) const override {
        x = m_mouse_x;
        y = m_mouse_y;
    }
    void move_mouse(int x, int y) override {
        m_mouse_x = x;
        m_mouse_y = y;
    }

private:
    int m_desktop_w, m_desktop_h;
    bool m_visible = false, m_fullscreen = false;
    WindowRect m_rect;
    std::string m_title;
    int m_mouse_x = 0, m_mouse_y = 0;
};

// The stderr copy of a dialog's text: prefix, the subject when there is one,
// and the text with its line breaks as LF.
std::string dialog_echo_text(std::string_view prefix, const std::string& subject,
                             std::string_view text);

// Reads an answers file: one answer a line, CR stripped. False when unreadable.
bool read_answers_file(const std::string& path, std::vector<std::string>& out);

}  // namespace kx
