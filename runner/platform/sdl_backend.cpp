// SDL2 backends: the window system (message pump, loading window) and message
// boxes. Only this folder sees SDL.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "platform/audio.h"
#include "platform/dynamic_library.h"
#include "platform/headless.h"
#include "platform/input_events.h"
#include "platform/joystick.h"
#include "platform/keymap.h"
#include "platform/load_window_layout.h"
#include "platform/system_font.h"

namespace kx {

namespace {

std::string plain_caption(const std::string& c) {
    std::string r;
    for (char ch : c)
        if (ch != '&') r += ch;
    return r;
}

// Desktop message boxes. Every text also goes to stderr first: the box needs a
// helper program or a window manager that may be missing, and when it cannot
// be shown the default answer is taken.
class SdlDialogs : public IDialogs {
public:
    SdlDialogs(IConsole& console, std::string prefix)
        : m_console(console), m_prefix(std::move(prefix)) {}
    void message(std::string_view caption, std::string_view text) override {
        echo(text);
        std::string c(caption), t(text);
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, c.c_str(), t.c_str(), nullptr);
    }
    bool question(std::string_view caption, std::string_view text) override {
        return buttons(caption, text, {"&Yes", "&No"}) == 0;
    }
    int buttons(std::string_view caption, std::string_view text,
                const std::vector<std::string>& captions) override {
        echo(text);
        std::string c(caption), t(text);
        std::vector<std::string> plain;
        for (const auto& b : captions) plain.push_back(plain_caption(b));
        std::vector<SDL_MessageBoxButtonData> bd;
        for (size_t i = 0; i < plain.size(); ++i) {
            Uint32 flags = 0;
            if (i == 0) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
            if (i + 1 == plain.size()) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            bd.push_back({flags, static_cast<int>(i), plain[i].c_str()});
        }
        SDL_MessageBoxData data{SDL_MESSAGEBOX_INFORMATION,  nullptr,   c.c_str(), t.c_str(),
                                static_cast<int>(bd.size()), bd.data(), nullptr};
        int pressed = -1;
        // No box: the answer a headless run takes, the last button.
        if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0)
            return captions.empty() ? 0 : static_cast<int>(captions.size()) - 1;
        return pressed;
    }

private:
    void echo(std::string_view text) {
        m_console.err_line(dialog_echo_text(m_prefix, m_subject, text));
    }
    IConsole& m_console;
    std::string m_prefix;
};

SDL_Texture* make_texture(SDL_Renderer* r, const std::optional<PixelView>& b) {
    if (!b || !b->pixels || b->width <= 0 || b->height <= 0) return nullptr;
    SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                       b->width, b->height);
    if (!t) return nullptr;
    SDL_UpdateTexture(t, nullptr, b->pixels, b->width * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

class SdlLoadWindow : public ILoadWindow {
public:
    SdlLoadWindow(const LoadWindowSpec& s, int screen_w, int screen_h)
        : m_spec(s), m_layout(layout_load_window(s, screen_w, screen_h)) {
        m_window = SDL_CreateWindow("Loading", m_layout.left, m_layout.top, m_layout.client_w,
                                    m_layout.client_h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        if (!m_window) return;
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
        if (!m_renderer) m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_SOFTWARE);
        if (!m_renderer) return;
        m_picture = make_texture(m_renderer, s.picture);
        m_back = make_texture(m_renderer, s.bar_back);
        m_front = make_texture(m_renderer, s.bar_front);
        if (s.alpha < 255) SDL_SetWindowOpacity(m_window, static_cast<float>(s.alpha) / 255.0f);
        SDL_Cursor* wait = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
        if (wait) SDL_SetCursor(wait);
        m_cursor = wait;
        if (s.label_visible) m_label_font = open_system_font("Arial", 8, false, false);
    }
    ~SdlLoadWindow() override {
        for (SDL_Texture* t : {m_picture, m_back, m_front, m_label})
            if (t) SDL_DestroyTexture(t);
        if (m_renderer) SDL_DestroyRenderer(m_renderer);
        if (m_window) SDL_DestroyWindow(m_window);
        if (m_cursor) SDL_FreeCursor(m_cursor);
    }
    int client_width() const override { return m_layout.client_w; }
    int client_height() const override { return m_layout.client_h; }
    void set_progress(int bar_width, std::string_view message) override {
        m_bar = bar_width;
        if (m_window && m_spec.label_visible && message != m_message) {
            m_message = std::string(message);
            SDL_SetWindowTitle(m_window, m_message.c_str());
            make_label();
        }
        paint();
    }
    void show() override {
        if (!m_window) return;
        SDL_ShowWindow(m_window);
        paint();
    }
    void hide() override {
        if (m_window) SDL_HideWindow(m_window);
    }

private:
    // The message as black text whose alpha is the glyphs' coverage, on a
    // transparent ground.
    void make_label() {
        if (m_label) SDL_DestroyTexture(m_label);
        m_label = nullptr;
        if (!m_renderer || !m_label_font || m_message.empty()) return;
        ISystemFont& f = *m_label_font;
        std::vector<GlyphImage> glyphs(m_message.size());
        int width = 0;
        for (size_t i = 0; i < m_message.size(); ++i) {
            f.glyph(static_cast<uint8_t>(m_message[i]), glyphs[i]);
            width += glyphs[i].advance;
        }
        const int height = f.ascent() + f.descent();
        if (width <= 0 || height <= 0) return;
        std::vector<uint32_t> px(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        int pen = 0;
        for (const GlyphImage& g : glyphs) {
            for (int y = 0; y < g.height; ++y)
                for (int x = 0; x < g.width; ++x) {
                    const int tx = pen + g.left + x, ty = f.ascent() - g.top + y;
                    if (tx < 0 || ty < 0 || tx >= width || ty >= height) continue;
                    const uint32_t a =
                        g.coverage[static_cast<size_t>(y) * static_cast<size_t>(g.width) +
                                   static_cast<size_t>(x)];
                    uint32_t& p = px[static_cast<size_t>(ty) * static_cast<size_t>(width) +
                                     static_cast<size_t>(tx)];
                    p = std::max(p, a << 24);
                }
            pen += g.advance;
        }
        m_label = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                    width, height);
        if (!m_label) return;
        SDL_UpdateTexture(m_label, nullptr, px.data(), width * 4);
        SDL_SetTextureBlendMode(m_label, SDL_BLENDMODE_BLEND);
        m_label_w = width;
        m_label_h = height;
    }

    void paint() {
        if (!m_renderer) return;
        SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
        SDL_RenderClear(m_renderer);
        if (m_picture) SDL_RenderCopy(m_renderer, m_picture, nullptr, nullptr);
        if (m_spec.bar_visible) {
            const auto& l = m_layout;
            SDL_Rect back{l.bar_left, l.bar_top, l.bar_w, l.bar_h};
            if (m_back) {
                SDL_RenderCopy(m_renderer, m_back, nullptr, &back);
            } else {
                SDL_SetRenderDrawColor(m_renderer, 64, 64, 64, 255);
                SDL_RenderFillRect(m_renderer, &back);
            }
            SDL_Rect front{l.bar_left, l.front_top, m_bar, l.front_h};
            if (m_front && m_bar > 0) {
                if (m_spec.stretch_front) {
                    SDL_RenderCopy(m_renderer, m_front, nullptr, &front);
                } else {
                    int fw = m_spec.bar_front->width;
                    SDL_Rect src{0, 0, std::min(fw, m_bar), m_spec.bar_front->height};
                    SDL_Rect dst{l.bar_left, l.front_top, src.w, l.front_h};
                    SDL_RenderCopy(m_renderer, m_front, &src, &dst);
                }
            } else if (m_bar > 0) {
                SDL_SetRenderDrawColor(m_renderer, 40, 120, 220, 255);
                SDL_RenderFillRect(m_renderer, &front);
            }
        }
        if (m_label) {
            // Centred vertically on the bar's line, from the bar's left margin.
            const auto& l = m_layout;
            SDL_Rect at{l.bar_left, l.label_top + (l.bar_h - m_label_h) / 2, m_label_w, m_label_h};
            SDL_RenderCopy(m_renderer, m_label, nullptr, &at);
        }
        SDL_RenderPresent(m_renderer);
    }

    LoadWindowSpec m_spec;
    LoadWindowLayout m_layout;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture *m_picture = nullptr, *m_back = nullptr, *m_front = nullptr;
    SDL_Cursor* m_cursor = nullptr;
    int m_bar = 0;
    std::unique_ptr<ISystemFont> m_label_font;
    std::string m_message;
    SDL_Texture* m_label = nullptr;
    int m_label_w = 0, m_label_h = 0;
};

// Games see 8-bit text: code points above 255 are dropped.
std::vector<int> latin1_from_utf8(const char* s) {
    std::vector<int> out;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        unsigned cp;
        int extra;
        if (*p < 0x80) {
            cp = *p;
            extra = 0;
        } else if ((*p & 0xE0) == 0xC0) {
            cp = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            cp = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            cp = *p & 0x07;
            extra = 3;
        } else {
            ++p;
            continue;
        }
        ++p;
        bool ok = true;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (*p & 0x3F);
        }
        if (ok && cp >= 32 && cp < 256) out.push_back(static_cast<int>(cp));
    }
    return out;
}

std::optional<InputEvent> translate(const SDL_Event& e) {
    using K = InputEvent::Kind;
    auto button = [](Uint8 b) {
        return b == SDL_BUTTON_RIGHT ? 2 : b == SDL_BUTTON_MIDDLE ? 3 : 1;
    };
    bool numlock = (SDL_GetModState() & KMOD_NUM) != 0;
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int code = virtual_key_from_scancode(e.key.keysym.scancode, numlock);
            if (!code) return std::nullopt;
            return InputEvent{e.type == SDL_KEYDOWN ? K::KeyDown : K::KeyUp, code};
        }
        case SDL_MOUSEBUTTONDOWN:
            return InputEvent{K::MouseDown, button(e.button.button), e.button.x, e.button.y};
        case SDL_MOUSEBUTTONUP:
            return InputEvent{K::MouseUp, button(e.button.button), e.button.x, e.button.y};
        case SDL_MOUSEWHEEL:
            if (e.wheel.y == 0) return std::nullopt;
            return InputEvent{e.wheel.y > 0 ? K::WheelUp : K::WheelDown};
        case SDL_MOUSEMOTION:
            return InputEvent{K::MouseMove, 0, e.motion.x, e.motion.y};
        case SDL_QUIT:
            return InputEvent{K::CloseRequest};
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) return InputEvent{K::CloseRequest};
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) return InputEvent{K::FocusGained};
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) return InputEvent{K::FocusLost};
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::string utf8_from_latin1(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

SDL_SystemCursor system_cursor(int cursor) {
    switch (cursor) {
        case -3:
            return SDL_SYSTEM_CURSOR_CROSSHAIR;
        case -4:
            return SDL_SYSTEM_CURSOR_IBEAM;
        case -6:
            return SDL_SYSTEM_CURSOR_SIZENESW;
        case -7:
        case -15:
            return SDL_SYSTEM_CURSOR_SIZENS;
        case -8:
            return SDL_SYSTEM_CURSOR_SIZENWSE;
        case -9:
        case -14:
            return SDL_SYSTEM_CURSOR_SIZEWE;
        case -11:
        case -17:
            return SDL_SYSTEM_CURSOR_WAIT;
        case -13:
        case -18:
            return SDL_SYSTEM_CURSOR_NO;
        case -19:
            return SDL_SYSTEM_CURSOR_WAITARROW;
        case -21:
            return SDL_SYSTEM_CURSOR_HAND;
        case -22:
            return SDL_SYSTEM_CURSOR_SIZEALL;
        default:
            return SDL_SYSTEM_CURSOR_ARROW;  // default, arrow, up arrow, drag, help
    }
}

class SdlGameWindow : public IGameWindow {
public:
    static constexpr int kMaxSide = 8192;
    SdlGameWindow(SDL_Window* w, SdlGameWindow** slot) : m_window(w), m_slot(slot) { *slot = this; }
    ~SdlGameWindow() override {
        if (*m_slot == this) *m_slot = nullptr;
        if (m_cursor) SDL_FreeCursor(m_cursor);
        SDL_DestroyWindow(m_window);
    }
    void* native_handle() const override { return m_window; }
    uint32_t id() const { return SDL_GetWindowID(m_window); }
    void set_visible(bool on) override {
        if (on)
            SDL_ShowWindow(m_window);
        else
            SDL_HideWindow(m_window);
        m_visible = on;
    }
    bool visible() const override { return m_visible; }
    void set_style(bool border, bool, bool sizeable, bool topmost) override {
        // SDL offers no separate control of the caption buttons; a window
        // without a border has none anyway.
        SDL_SetWindowBordered(m_window, border ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(m_window, sizeable ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowAlwaysOnTop(m_window, topmost ? SDL_TRUE : SDL_FALSE);
    }
    void set_fullscreen(bool on) override {
        if (on) {
            // The window covers its display by itself first: without a window
            // manager nobody honours the full-screen request below, and the
            // window would stay as small as it was.
            SDL_Rect b;
            if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(m_window), 0), &b) == 0) {
                SDL_SetWindowBordered(m_window, SDL_FALSE);
                SDL_SetWindowMinimumSize(m_window, 0, 0);
                SDL_SetWindowPosition(m_window, b.x, b.y);
                SDL_SetWindowSize(m_window, b.w, b.h);
            }
        }
        SDL_SetWindowFullscreen(m_window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    }
    void set_client_rect(const WindowRect& r) override {
        // A game's wild sizes must not reach the window system: X11 takes 16-bit
        // coordinates and the software rasteriser fails on windows of gigabytes.
        SDL_SetWindowSize(m_window, std::clamp(r.w, 1, kMaxSide), std::clamp(r.h, 1, kMaxSide));
        SDL_SetWindowPosition(m_window, std::clamp(r.x, -16384, 16384),
                              std::clamp(r.y, -16384, 16384));
    }
    WindowRect client_rect() const override {
        WindowRect r;
        SDL_GetWindowPosition(m_window, &r.x, &r.y);
        SDL_GetWindowSize(m_window, &r.w, &r.h);
        return r;
    }
    void set_min_client_size(int w, int h) override {
        SDL_SetWindowMinimumSize(m_window, std::clamp(w, 0, kMaxSide), std::clamp(h, 0, kMaxSide));
    }
    void set_title(const std::string& text) override {
        if (text == m_title) return;
        m_title = text;
        SDL_SetWindowTitle(m_window, utf8_from_latin1(text).c_str());
    }
    void set_cursor(int cursor) override {
        SDL_ShowCursor(cursor == -1 ? SDL_DISABLE : SDL_ENABLE);
        if (cursor == -1) return;
        SDL_Cursor* c = SDL_CreateSystemCursor(system_cursor(cursor));
        if (!c) return;
        SDL_SetCursor(c);
        if (m_cursor) SDL_FreeCursor(m_cursor);
        m_cursor = c;
    }
    void mouse_position(int& x, int& y) const override { SDL_GetGlobalMouseState(&x, &y); }
    void move_mouse(int x, int y) override {
        if (SDL_WarpMouseGlobal(x, y) != 0) {
            const WindowRect r = client_rect();
            SDL_WarpMouseInWindow(m_window, x - r.x, y - r.y);
        }
    }
    void repaint() {
        if (m_repaint) m_repaint();
    }

private:
    SDL_Window* m_window;
    SdlGameWindow** m_slot;  // the window system's pointer to this window
    SDL_Cursor* m_cursor = nullptr;
    bool m_visible = false;
    std::string m_title;
};

class SdlWindowSystem : public IWindowSystem {
public:
    ~SdlWindowSystem() override { SDL_Quit(); }
    bool headless() const override { return false; }
    void process_messages() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (m_game && e.type == SDL_WINDOWEVENT && e.window.windowID == m_game->id()) {
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        m_game->repaint();
                        break;
                    default:
                        break;
                }
            }
            if (!m_input_sink) continue;
            if (auto in = translate(e)) m_input_sink->on_input(*in);
            // Keys that type a control character have no text event of their own.
            if (e.type == SDL_KEYDOWN) {
                int ch = 0;
                switch (e.key.keysym.scancode) {
                    case SDL_SCANCODE_BACKSPACE:
                        ch = 8;
                        break;
                    case SDL_SCANCODE_TAB:
                        ch = 9;
                        break;
                    case SDL_SCANCODE_RETURN:
                    case SDL_SCANCODE_KP_ENTER:
                        ch = 13;
                        break;
                    case SDL_SCANCODE_ESCAPE:
                        ch = 27;
                        break;
                    default:
                        break;
                }
                if (ch) m_input_sink->on_input({InputEvent::Kind::Char, ch});
            } else if (e.type == SDL_TEXTINPUT) {
                for (int c : latin1_from_utf8(e.text.text))
                    m_input_sink->on_input({InputEvent::Kind::Char, c});
            }
        }
    }
    bool key_down_now(int code) const override {
        int n = 0;
        const Uint8* state = SDL_GetKeyboardState(&n);
        return virtual_key_down(code, state, n, numlock_on());
    }
    bool numlock_on() const override { return (SDL_GetModState() & KMOD_NUM) != 0; }
    int screen_width() const override {
        SDL_DisplayMode m;
        return SDL_GetDesktopDisplayMode(0, &m) == 0 ? m.w : 1024;
    }
    int screen_height() const override {
        SDL_DisplayMode m;
        return SDL_GetDesktopDisplayMode(0, &m) == 0 ? m.h : 768;
    }
    std::unique_ptr<ILoadWindow> create_load_window(const LoadWindowSpec& desc) override {
        return std::make_unique<SdlLoadWindow>(desc, screen_width(), screen_height());
    }
    std::unique_ptr<IGameWindow> create_game_window(uint32_t device_flags,
                                                    std::string* error) override {
        SDL_Window* w = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 8, 8,
                                         SDL_WINDOW_HIDDEN | device_flags);
        if (!w) {
            if (error) *error = SDL_GetError();
            return nullptr;
        }
        return std::make_unique<SdlGameWindow>(w, &m_game);
    }
    int screen_frequency() const override {
        SDL_DisplayMode m;
        return SDL_GetDesktopDisplayMode(0, &m) == 0 && m.refresh_rate > 0 ? m.refresh_rate : 60;
    }

private:
    SdlGameWindow* m_game = nullptr;  // owned by the runner; clears this when it goes
};

}  // namespace

namespace {
std::unique_ptr<Platform> headless_platform(std::vector<std::string> answers, std::string prefix,
                                            const std::string& soundfont = {}) {
    auto p = std::make_unique<Platform>();
    p->m_console = std::make_unique<StdConsole>();
    p->m_dialogs =
        std::make_unique<HeadlessDialogs>(*p->m_console, std::move(answers), std::move(prefix));
    p->m_windows = std::make_unique<HeadlessWindowSystem>();
    p->m_clock = std::make_unique<VirtualClock>();
    p->m_libraries = create_dynamic_libraries();
    p->m_headless = true;
    p->m_audio =
        create_audio({.in_memory = true, .console = p->m_console.get(), .soundfont = soundfont});
    return p;
}
}  // namespace

std::unique_ptr<Platform> create_headless_platform(std::vector<std::string> answers) {
    return headless_platform(std::move(answers), {});
}

std::unique_ptr<Platform> create_platform(const PlatformOptions& opts, std::string* error) {
    std::vector<std::string> answers;
    if (!opts.answers_file.empty() && !read_answers_file(opts.answers_file, answers)) {
        if (error) *error = "cannot read the answers file " + opts.answers_file;
        return nullptr;
    }
    if (opts.headless)
        return headless_platform(std::move(answers), opts.message_prefix, opts.soundfont);
    const char* x11 = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    if (!(x11 && *x11) && !(wl && *wl)) {
        if (error)
            *error =
                "no display (DISPLAY and WAYLAND_DISPLAY are unset); use --headless to run without "
                "a window";
        return nullptr;
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
        if (error)
            *error = std::string("cannot open the display: ") + SDL_GetError() +
                     "; use --headless to run without a window";
        return nullptr;
    }
    auto p = std::make_unique<Platform>();
    p->m_console = std::make_unique<StdConsole>();
    p->m_dialogs = std::make_unique<SdlDialogs>(*p->m_console, opts.message_prefix);
    p->m_windows = std::make_unique<SdlWindowSystem>();
    p->m_clock = std::make_unique<RealClock>();
    p->m_joysticks = create_sdl_joysticks();
    p->m_libraries = create_dynamic_libraries();
    p->m_audio = create_audio(
        {.in_memory = false, .console = p->m_console.get(), .soundfont = opts.soundfont});
    p->m_headless = false;
    return p;
}

}  // namespace kx
