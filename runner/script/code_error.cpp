#include "script/code_error.h"

#include <fstream>
#include <string>

#include "core/game_paths.h"
#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/code_main.h"
#include "script/script_state.h"

namespace kx {

namespace {

// The settings that steer reporting; the defaults in a runtime without game data.
const GameSettings& settings(const Runtime& r) {
    static const GameSettings defaults;
    const GameDataState* gd = r.find<GameDataState>();
    return gd ? gd->settings : defaults;
}

// Every line end (CR LF, CR, LF) as CR LF.
std::string with_crlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

void write_log(const Runtime& r, ErrorState& e, std::string_view message) {
    auto mode = std::ios::binary | (e.log_started ? std::ios::app : std::ios::trunc);
    e.log_started = true;  // the first attempt counts, whatever happens
    std::ofstream f(game_write_path(r.options, "game_errors.log"), mode);
    if (!f) return;
    f << with_crlf(message) << "\r\n\r\n\r\n";
}

std::string name_or_undefined(const std::function<std::string(int32_t)>& fn, int32_t index) {
    if (!fn) return "<undefined>";
    std::string n = fn(index);
    return n.empty() ? "<undefined>" : n;
}

}  // namespace

void report(Runtime& r, std::string_view message, bool fatal) {
    ScriptState& st = r.get<ScriptState>();
    ErrorState& e = st.errors;
    if (e.ending) return;
    ++e.reported;
    const GameSettings& gs = settings(r);
    if (gs.AbortOnError) fatal = true;
    if (gs.DisplayErrors) {
        IDialogs* d = r.platform ? r.platform->dialogs() : nullptr;
        if (d) {
            std::vector<std::string> buttons{"&Abort"};
            if (!fatal) buttons.push_back("&Ignore");
            if (d->buttons("Error", message, buttons) == 0) fatal = true;
        }
    }
    if (gs.WriteErrorLog) write_log(r, e, message);
    e.last = std::string(message);
    e.occurred = true;
    if (fatal) {
        e.ending = true;
        st.transition.set(TransitionRequest::Abort);
    }
}

void report_with_context(Runtime& r, std::string_view message, bool fatal) {
    const ScriptState& st = r.get<ScriptState>();
    const EventContext& ev = st.event;
    std::string text = fatal ? "FATAL ERROR in\r\n" : "ERROR in\r\n";
    text += "action number " + std::to_string(ev.action_index + 1) + "\r\n";
    if (ev.event_type == kTimeLineEventType) {
        text += "at time step " + std::to_string(ev.event_number) + "\r\n";
        text += "of time line " + name_or_undefined(st.names.timeline_name, ev.owner_index);
    } else {
        std::string event = st.names.event_name
                                ? st.names.event_name(ev.event_type, ev.event_number)
                                : std::string("<Unknown Event>");
        text += "of " + event + "\r\n";
        text += "for object " + name_or_undefined(st.names.object_name, ev.owner_index);
    }
    text += ":\r\n\r\n";
    text += message;
    report(r, text, fatal);
}

void record_error(ScriptState& st, const CCode& code, int position, std::string_view message) {
    ErrorState& e = st.errors;
    if (e.pending) return;
    e.pending = true;
    e.recorded_position = position;
    e.recorded_detail = std::string(message);
    const std::string& t = code.text();
    const int len = static_cast<int>(t.size());
    int p = position;
    if (p > len) p = len;
    if (p < 1) p = len == 0 ? 0 : 1;
    int line = 1;
    int last_cr = 0;  // 1-based position of the last CR among the first p characters
    for (int i = 0; i < p; ++i) {
        if (t[static_cast<size_t>(i)] == '\r') {
            ++line;
            last_cr = i + 1;
        }
    }
    const int column = p - last_cr;
    // The line text starts after the last CR strictly before p.
    int start = 0;
    for (int i = 0; i < p - 1; ++i)
        if (t[static_cast<size_t>(i)] == '\r') start = i + 1;
    size_t stop = t.find('\r', static_cast<size_t>(start));
    if (stop == std::string::npos) stop = t.size();
    std::string_view line_text(t.data() + start, stop - static_cast<size_t>(start));

    std::string m;
    if (code.kind() == CodeKind::Program) {
        m = "Error in code at line " + std::to_string(line) + ":\r   ";
        m += line_text;
        m += "\r\rat position " + std::to_string(column) + ": ";
    } else {
        m = "Error in expression:" + t + "\r position " + std::to_string(column) + ": ";
    }
    m += message;
    e.message = std::move(m);
}

bool error_pending(const ScriptState& st) {
    return st.errors.pending;
}
const std::string& pending_message(const ScriptState& st) {
    return st.errors.message;
}

void clear_pending_error(ScriptState& st) {
    ErrorState& e = st.errors;
    if (!e.pending) return;
    e.pending = false;
    e.message.clear();
}

void set_pending_message(ScriptState& st, std::string message) {
    ErrorState& e = st.errors;
    e.pending = true;
    e.message = std::move(message);
}

}  // namespace kx
