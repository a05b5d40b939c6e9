#include "app/runner.h"

#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>

#include "app/game_folder.h"
#include "app/temp_folder.h"
#include "collision/collision_main.h"
#include "gamedata/game_data.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/eval.h"
#include "script/script_state.h"
#include "world/game_loop.h"

namespace kx {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUnexpected = "Unexpected error occured when running the game.";

// The load sequence after the game data: each stage's progress report (none
// below 0) and the message shown when one of its steps fails (none: the step
// showed its own).
struct StageInfo {
    LoadStage stage;
    int progress;
    const char* text;
    const char* failure;
};
constexpr StageInfo kStages[] = {
    {LoadStage::Constants, -1, nullptr, "Failed to define the constants."},
    {LoadStage::TimeLines, 50, "Compiling time line actions", "Failed to compile the time lines."},
    {LoadStage::Scripts, 60, "Compiling scripts", "Failed to compile the scripts."},
    {LoadStage::Objects, 70, "Compiling object actions", "Failed to compile the object actions."},
    {LoadStage::Sounds, 80, "Preparing sounds", nullptr},
    {LoadStage::Graphics, 90, "Preparing graphics", nullptr},
    {LoadStage::Input, 100, "Ready", nullptr},
};

std::optional<PixelView> pixel_view(const std::optional<CBitmap32>& b) {
    if (!b) return std::nullopt;
    return PixelView{b->width, b->height, b->exists ? b->pixels.data() : nullptr};
}
}  // namespace

Runner::Runner(Runtime& rt, TempFolder& temp) : m_rt(rt), m_temp(temp) {}

Runner::~Runner() = default;

void Runner::message(const char* text) {
    m_rt.platform->dialogs()->message("", text);
}

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
    GameDataState& gd = m_rt.get<GameDataState>();
    GameSettings& s = gd.settings;
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
    desc.label_visible = gd.header.debug_mode && s.ShowProgressBar;
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
    m_rt.get<GameDataState>().settings.LoadingImage.reset();
}

bool Runner::load(const std::vector<uint8_t>* bytes) {
    GameDataState& gd = m_rt.get<GameDataState>();
    IDialogs& dialogs = *m_rt.platform->dialogs();
    ContainerOptions copts{m_temp.path(), m_rt.options.working_dir};
    ContainerInfo info;
    // The stderr copy of the load messages names the file; the boxes keep the
    // game's own texts.
    struct Subject {
        IDialogs& d;
        ~Subject() { d.set_subject({}); }
    } subject{dialogs};
    if (!bytes) dialogs.set_subject(m_rt.options.game_file);
    if (bytes) {
        CStream file(*bytes);
        if (!read_container(file, copts, dialogs, info)) return false;
    } else if (!read_container(m_rt.options.game_file, copts, dialogs, info)) {
        return false;
    }
    gd.delete_extra_files = info.delete_extra_files;
    gd.extra_files = info.extra_files;

    GameDataHandlers h = section_readers(m_rt);
    h.progress = [&](int pct, std::string_view msg) { progress(pct, std::string(msg)); };
    // The header's debug flag, read before the settings, decides the label.
    h.after_settings = [&] { show_load_window(); };
    if (!read_game_data(info.game_data, h, dialogs, gd.header)) return false;
    // The game id names the writable folder a read-only game writes to.
    if (!bytes)
        m_rt.options.write_dir = choose_write_dir(m_rt.options.working_dir, gd.header.game_id);
    return true;
}

bool Runner::compile_and_prepare(bool compile_only) {
    // Thread priority (setting Priority) is left to the desktop: raising it
    // needs privileges a game should not ask for.
    for (const StageInfo& stage : kStages) {
        if (compile_only && stage.stage == LoadStage::Sounds) break;
        if (stage.progress >= 0) progress(stage.progress, stage.text);
        for (const Subsystem* sub : m_rt.subsystems())
            for (const LoadStep& step : sub->load_steps) {
                if (step.stage != stage.stage || step.run(m_rt)) continue;
                if (stage.failure) message(stage.failure);
                return false;
            }
    }
    hide_load_window();
    return true;
}

void Runner::shutdown() {
    m_rt.shutdown();
    const GameDataState& gd = m_rt.get<GameDataState>();
    if (gd.delete_extra_files) {
        std::error_code ec;
        for (const auto& f : gd.extra_files) fs::remove(f, ec);
    }
}

int Runner::run_eval(const std::string& code) {
    RuntimeScope scope(m_rt);
    try {
        bool loaded;
        try {
            loaded = load();
        } catch (const std::exception&) {
            // Damaged data the section readers did not catch themselves.
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
            // Damaged data the section readers did not catch themselves.
            message(msg::kCorrupted);
            loaded = false;
        }
        if (!loaded || !compile_and_prepare()) {
            hide_load_window();
            return 1;
        }
    } catch (const std::exception&) {
        message(kUnexpected);
        return 1;
    }
    try {
        run_game(m_rt);
    } catch (const std::exception&) {
        message(kUnexpected);
    }
    shutdown();
    const ScriptState* st = m_rt.find<ScriptState>();
    if (m_rt.platform->headless() && st && st->errors.reported > 0) return kExitGameErrors;
    return 0;
}

}  // namespace kx
