#include "app/runner.h"

#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>

#include "app/runner_state.h"
#include "app/temp_folder.h"
#include "collision/collision_main.h"
#include "gamedata/game_data.h"
#include "gamedata/game_settings.h"
#include "graphics/frame_main.h"
#include "graphics/graphics_state.h"
#include "graphics/room_draw.h"
#include "graphics/texture_main.h"
#include "motion/motion_main.h"
#include "platform/platform.h"
#include "script/code_constant.h"
#include "script/eval.h"
#include "script/script_main.h"
#include "script/script_state.h"
#include "world/game_loop.h"
#include "world/input_main.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {

namespace fs = std::filesystem;

namespace {
constexpr const char* kUnexpected = "Unexpected error occured when running the game.";

GraphicsState& gfx() { return *kx::rt().graphics; }

std::optional<PixelView> pixel_view(const std::optional<CBitmap32>& b) {
    if (!b) return std::nullopt;
    return PixelView{b->width, b->height, b->exists ? b->pixels.data() : nullptr};
}

// The world asks about sprites and backgrounds through hooks, so that it does
// not depend on the graphics library.
void connect_world_to_graphics(Runtime& rt) {
    WorldHooks& h = rt.world->hooks;
    auto sprite = [](int32_t id) { return gfx().sprites.get(id); };
    h.sprite_exists = [sprite](int32_t id) { return sprite(id) != nullptr; };
    h.sprite_image_count = [sprite](int32_t id) {
        const CSprite* s = sprite(id);
        return s ? s->subimage_count() : 0;
    };
    h.sprite_metric = [sprite](int32_t id, int which) -> double {
        const CSprite* s = sprite(id);
        if (!s) return 0;
        switch (which) {
            case 0: return s->width();
            case 1: return s->height();
            case 2: return s->xoffset();
            default: return s->yoffset();
        }
    };
    h.draw_room = [&rt] { draw_room_pass(rt); };
    auto& finders = rt.script->resource_finders;
    finders[size_t(ResourceKind::Sprite)] = [](std::string_view n) {
        return gfx().sprites.find_by_name(n);
    };
    finders[size_t(ResourceKind::Background)] = [](std::string_view n) {
        return gfx().backgrounds.find_by_name(n);
    };
    h.background_size = [](int32_t id, bool height) {
        const CBackground* b = gfx().backgrounds.get(id);
        return b ? (height ? b->height() : b->width()) : 0;
    };
}
}  // namespace

void init_runtime(Runtime& rt) {
    rt.runner = std::make_shared<RunnerState>();
    rt.settings = std::make_shared<GameSettings>();
    RuntimeScope scope(rt);
    init_script(rt);
    init_graphics_resources(rt);
    register_function_texture(rt.script->functions);
    register_function_sprite(rt.script->functions);
    register_function_tile(rt.script->functions);
    register_function_display(rt.script->functions);
    init_world(rt);
    connect_world_to_graphics(rt);
    connect_world_to_display(rt);
    init_input(rt);
    init_collision(rt);
    init_motion(rt);
}

Runner::Runner(Runtime& rt, TempFolder& temp, RunnerOptions opts)
    : m_rt(rt), m_temp(temp), m_opts(std::move(opts)) {}

Runner::~Runner() = default;

void Runner::message(const char* text) { m_rt.platform->dialogs()->message("", text); }

void Runner::progress(int percent, const std::string& text) {
    if (m_load_window) {
        int empty_w = m_load_window->client_width() - 2 * 24;
        int w = static_cast<int>(std::lround(percent * static_cast<double>(empty_w) / 100.0));
        m_load_window->set_progress(w, text);
    }
    // The label is the only place progress messages appear; headless, they go
    // to stdout under the same condition.
    if (m_label_visible && m_rt.platform->headless()) m_rt.platform->console()->out_line(text);
    m_rt.platform->windows()->process_messages();
}

void Runner::show_load_window() {
    GameSettings& s = *m_rt.settings;
    LoadWindowSpec desc;
    desc.picture = pixel_view(s.LoadingImage);
    desc.transparent = s.LoadingImageTransparent && desc.picture;
    desc.alpha = s.LoadingImageAlpha;
    desc.bar_visible = s.ShowProgressBar;
    if (s.ShowProgressBar) {
        desc.bar_back = pixel_view(s.ProgressBarBack);
        desc.bar_front = pixel_view(s.ProgressBarFront);
    }
    desc.stretch_front = s.ScaleProgressBar;
    desc.label_visible = m_rt.runner->debug_mode && s.ShowProgressBar;
    m_label_visible = desc.label_visible;
    m_load_window = m_rt.platform->windows()->create_load_window(desc);
    // The window keeps its own copies; the settings' pictures are released.
    s.ProgressBarBack.reset();
    s.ProgressBarFront.reset();
    progress(0, "Loading");
    m_load_window->show();
}

void Runner::hide_load_window() {
    if (m_load_window) m_load_window->hide();
    m_load_window.reset();
    m_rt.settings->LoadingImage.reset();
}

bool Runner::load(const std::vector<uint8_t>* bytes) {
    RunnerState& rs = *m_rt.runner;
    IDialogs& dialogs = *m_rt.platform->dialogs();
    ContainerOptions copts{m_temp.path(), m_opts.working_dir};
    ContainerInfo info;
    if (bytes) {
        CStream file(*bytes);
        if (!read_container(file, copts, dialogs, info)) return false;
    } else if (!read_container(m_opts.game_file, copts, dialogs, info)) {
        return false;
    }
    rs.game_file = m_opts.game_file;
    rs.delete_extra_files = info.delete_extra_files;
    rs.extra_files = info.extra_files;

    GameDataHandlers h;
    h.readers[size_t(Section::Settings)] = [&](CStream& s) { return read_settings(s, *m_rt.settings); };
    h.readers[size_t(Section::Sprites)] = [](CStream& s) { return read_sprites_section(s); };
    h.readers[size_t(Section::Backgrounds)] = [](CStream& s) { return read_backgrounds_section(s); };
    h.readers[size_t(Section::Paths)] = [](CStream& s) { return read_paths_section(s); };
    h.readers[size_t(Section::Scripts)] = [](CStream& s) { return load_scripts(s); };
    h.readers[size_t(Section::GameInfo)] = [&](CStream& s) { return read_game_information(s, rs.game_info); };
    WorldState& w = *m_rt.world;
    h.readers[size_t(Section::TimeLines)] = [&](CStream& s) { return read_timeline_list(s, w.timelines); };
    h.readers[size_t(Section::Objects)] = [](CStream& s) { return load_objects(s); };
    h.readers[size_t(Section::Rooms)] = [](CStream& s) { return load_rooms(s); };
    h.readers[size_t(Section::LibraryInit)] = [&](CStream& s) { return read_library_init(s, w.library_init); };
    h.readers[size_t(Section::RoomOrder)] = [&](CStream& s) { return read_room_order(s, w.room_order); };
    h.progress = [&](int pct, std::string_view msg) { progress(pct, std::string(msg)); };
    GameHeader header;
    // The header's debug flag decides the label, and is read before the settings.
    h.after_settings = [&] {
        rs.debug_mode = header.debug_mode;
        rs.game_id = header.game_id;
        rs.game_identifier = header.identifier;
        show_load_window();
    };
    return read_game_data(info.game_data, h, dialogs, header);
}

bool Runner::compile_and_prepare(bool compile_only) {
    // Thread priority (setting Priority) is left to the desktop: raising it
    // needs privileges a game should not ask for.
    if (!define_game_constants(m_rt)) {
        message("Failed to define the constants.");
        return false;
    }
    progress(50, "Compiling time line actions");
    if (!compile_timelines()) {
        message("Failed to compile the time lines.");
        return false;
    }
    progress(60, "Compiling scripts");
    if (!compile_scripts()) {
        message("Failed to compile the scripts.");
        return false;
    }
    progress(70, "Compiling object actions");
    if (!compile_objects()) {
        message("Failed to compile the object actions.");
        return false;
    }
    if (compile_only) {
        hide_load_window();
        return true;
    }
    progress(80, "Preparing sounds");
    progress(90, "Preparing graphics");
    DisplayOptions display;
    display.fullscreen = m_opts.fullscreen;
    display.scale = m_opts.scale;
    display.dump_dir = m_opts.dump_frames_dir;
    if (!display.dump_dir.empty()) {
        std::error_code ec;
        fs::create_directories(display.dump_dir, ec);
        if (!fs::is_directory(display.dump_dir, ec)) {
            m_rt.platform->console()->err_line("kxrun: cannot make the folder " + display.dump_dir);
            return false;
        }
    }
    if (!prepare_graphics(m_rt, display)) return false;
    progress(100, "Ready");
    hide_load_window();
    return true;
}

void Runner::shutdown() {
    RunnerState& rs = *m_rt.runner;
    if (rs.delete_extra_files) {
        std::error_code ec;
        for (const auto& f : rs.extra_files) fs::remove(f, ec);
    }
}

int Runner::run_eval(const std::string& code) {
    RuntimeScope scope(m_rt);
    try {
        bool loaded;
        try {
            loaded = load();
        } catch (const std::exception&) {
            message(msg::kCorrupted);
            loaded = false;
        }
        if (!loaded || !compile_and_prepare(true)) {
            hide_load_window();
            return 1;
        }
    } catch (const std::exception&) {
        message(kUnexpected);
        return 1;
    }
    int status = eval_program(m_rt, code);
    shutdown();
    return status;
}

int Runner::run(const std::vector<uint8_t>* bytes) {
    RuntimeScope scope(m_rt);
    m_rt.platform->windows()->process_messages();
    try {
        bool loaded = false;
        try {
            loaded = load(bytes);
        } catch (const std::exception&) {
            message(msg::kCorrupted);
            loaded = false;
        }
        if (!loaded) {
            hide_load_window();
            return 1;
        }
        if (!compile_and_prepare()) {
            hide_load_window();
            return 1;
        }
    } catch (const std::exception&) {
        message(kUnexpected);
        return 1;
    }
    {
        std::string error;
        if (!open_input_files(m_opts.input_file, m_opts.record_file, error)) {
            m_rt.platform->console()->err_line("kxrun: " + error);
            return 1;
        }
    }
    GameState& g = m_rt.world->game;
    g.step_limit = m_opts.steps;
    g.fixed_seed = m_opts.seed;
    g.game_id = m_rt.runner->game_id;
    g.temp_directory = m_rt.runner->temp_dir;
    try {
        run_game();
    } catch (const std::exception&) {
        message(kUnexpected);
    }
    shutdown();
    return 0;
}

}  // namespace kx
