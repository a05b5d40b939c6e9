#pragma once
// The seam to the operating system. Runner code above this folder sees only
// these interfaces; the backends (SDL2, OpenGL, POSIX, headless) live below.
// A slot that a backend cannot fill is null: callers ask, never #ifdef.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class IAudio;
class IInputSink;
class IJoysticks;
class IDynamicLibraries;

// Message boxes and questions. Headless: texts go to stderr and answers come
// from the answers file, one a line.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    // What the stderr copy of a box names before its text (the game file while
    // it loads); empty: nothing.
    void set_subject(std::string subject) { m_subject = std::move(subject); }
    const std::string& subject() const { return m_subject; }
    // A plain information box with an OK button.
    virtual void message(std::string_view caption, std::string_view text) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(std::string_view caption, std::string_view text) = 0;
    // A box with the given button captions ("&Abort", "&Ignore"); answers the
    // index of the pressed button.
    virtual int buttons(std::string_view caption, std::string_view text,
                        const std::vector<std::string>& captions) = 0;

protected:
    std::string m_subject;
};

// Pixels lent across the seam: rows top to bottom, width pixels a row, each
// A<<24 | R<<16 | G<<8 | B. Null pixels: a picture with no contents.
struct PixelView {
    int32_t width = 0;
    int32_t height = 0;
    const uint32_t* pixels = nullptr;
};

// The loading window: a picture, a two-part progress bar and a label. The
// pixels need to live only until create_load_window returns.
struct LoadWindowSpec {
    std::optional<PixelView> picture;  // none: default picture size
    std::optional<PixelView> bar_back;
    std::optional<PixelView> bar_front;
    bool bar_visible = false;
    bool stretch_front = true;
    bool label_visible = false;
    bool transparent = false;  // key colour: picture's bottom-left pixel
    int alpha = 255;
};

class ILoadWindow {
public:
    virtual ~ILoadWindow() = default;
    // Client-area geometry after layout (for tests and the progress formula).
    virtual int client_width() const = 0;
    virtual int client_height() const = 0;
    virtual void set_progress(int bar_width, std::string_view message) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
};

// The game window. Coordinates are desktop pixels; the client rectangle is
// the drawing area inside the frame.
struct WindowRect {
    int x = 0, y = 0, w = 0, h = 0;
};

class IGameWindow {
public:
    virtual ~IGameWindow() = default;
    // What the drawing device presents into (an SDL_Window*); null headless.
    virtual void* native_handle() const = 0;
    virtual void set_visible(bool on) = 0;
    virtual bool visible() const = 0;
    virtual void set_style(bool border, bool caption_buttons, bool sizeable, bool topmost) = 0;
    // Full screen covers the whole desktop without a frame.
    virtual void set_fullscreen(bool on) = 0;
    virtual void set_client_rect(const WindowRect& r) = 0;
    virtual WindowRect client_rect() const = 0;
    // The smallest client size a user resize may reach (0, 0: none).
    virtual void set_min_client_size(int w, int h) = 0;
    virtual void set_title(const std::string& text) = 0;
    // A system cursor number of the game (cr_* constants); -1 hides it.
    virtual void set_cursor(int cursor) = 0;
    // Mouse in desktop coordinates; moving it is a request the desktop may refuse.
    virtual void mouse_position(int& x, int& y) const = 0;
    virtual void move_mouse(int x, int y) = 0;
    // Called from process_messages when the window must be drawn again or
    // its client size changed (user resize, full screen).
    void set_repaint_handler(std::function<void()> fn) { m_repaint = std::move(fn); }

protected:
    std::function<void()> m_repaint;
};

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;
    virtual bool headless() const = 0;
    // Pumps pending window messages into their handlers.
    virtual void process_messages() = 0;
    virtual int screen_width() const = 0;
    virtual int screen_height() const = 0;
    virtual std::unique_ptr<ILoadWindow> create_load_window(const LoadWindowSpec& desc) = 0;
    // The one game window, hidden until shown. device_flags are the drawing
    // device's window flags (gl_window_flags); null when it cannot be made.
    virtual std::unique_ptr<IGameWindow> create_game_window(uint32_t device_flags,
                                                            std::string* error) = 0;
    // Desktop refresh rate in Hz (0 when unknown).
    virtual int screen_frequency() const { return 60; }
    // Where process_messages delivers input; null drops it.
    void set_input_sink(IInputSink* sink) { m_input_sink = sink; }
    // The physical state of a virtual key now (keyboard_check_direct).
    virtual bool key_down_now(int /*virtual_key*/) const { return false; }
    virtual bool numlock_on() const { return false; }

protected:
    IInputSink* m_input_sink = nullptr;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual int64_t now_us() = 0;
    virtual void sleep_us(int64_t us) = 0;
    // Headless runs use virtual time: sleeping advances the clock at once.
    virtual bool is_virtual() const = 0;
};

class IConsole {
public:
    virtual ~IConsole() = default;
    virtual void out_line(std::string_view text) = 0;  // stdout
    virtual void err_line(std::string_view text) = 0;  // stderr
};

class Platform {
public:
    Platform();
    ~Platform();
    IDialogs* dialogs() const { return m_dialogs.get(); }
    IWindowSystem* windows() const { return m_windows.get(); }
    IClock* clock() const { return m_clock.get(); }
    IConsole* console() const { return m_console.get(); }
    IJoysticks* joysticks() const { return m_joysticks.get(); }         // null: none
    IDynamicLibraries* libraries() const { return m_libraries.get(); }  // null: none
    IAudio* audio() const { return m_audio.get(); }                     // null: no sound at all
    bool headless() const { return m_headless; }

    std::unique_ptr<IDialogs> m_dialogs;
    std::unique_ptr<IWindowSystem> m_windows;
    std::unique_ptr<IClock> m_clock;
    std::unique_ptr<IConsole> m_console;
    std::unique_ptr<IJoysticks> m_joysticks;
    std::unique_ptr<IDynamicLibraries> m_libraries;
    std::unique_ptr<IAudio> m_audio;
    bool m_headless = true;
};

struct PlatformOptions {
    bool headless = false;
    // Dialog texts on stderr start with this (the program's name).
    std::string message_prefix = "kxrun: ";
    std::string answers_file;  // headless dialog answers, one a line
    std::string soundfont;     // MIDI soundfont given on the command line
};

// Fills every slot with the real backends, or the headless ones. Without a
// display, or when it cannot be opened, answers null with an error text that
// says how to run headless: a window that nobody sees would be a silent run.
std::unique_ptr<Platform> create_platform(const PlatformOptions& opts, std::string* error);

// A fully headless platform whose dialogs answer from the given list; for tests.
std::unique_ptr<Platform> create_headless_platform(std::vector<std::string> answers = {});

// Full path of the running program's own file (empty when unknown).
std::string executable_path();

// Runs fn on SIGINT/SIGTERM before the process exits (temporary-folder cleanup).
void install_termination_cleanup(std::function<void()> fn);

}  // namespace kx
