#pragma once
// Error recording and reporting, the two reporters every subsystem uses.
#include <string>
#include <string_view>

namespace kx {

class CCode;
struct Runtime;
struct ScriptState;

// The language's error state (lives on ScriptState).
struct ErrorState {
    bool pending = false;
    std::string message;       // the pending message
    bool occurred = false;     // error_occurred
    std::string last;          // error_last
    bool log_started = false;  // game_errors.log written during this run
    bool ending = false;       // a fatal error has been reported; never cleared
    int reported = 0;          // reports of this run; games cannot reset it (exit status)
    // The last recorded compile or run error before it was worded: its
    // 1-based position in the code's text and the bare message (tools that
    // name their own source lines read these).
    int recorded_position = 0;
    std::string recorded_detail;
};

// Adds the current-event context to the message, then report().
void report_with_context(Runtime& r, std::string_view message, bool fatal);
// Shows (dialog through the platform), logs to "game_errors.log", and records
// error_occurred / error_last; a fatal report ends the game.
void report(Runtime& r, std::string_view message, bool fatal);

// Records the first error of a compilation or execution, with the line and
// column of the 1-based position in the code's text. Later errors are ignored
// until the pending error is cleared.
void record_error(ScriptState& st, const CCode& code, int position, std::string_view message);
bool error_pending(const ScriptState& st);
const std::string& pending_message(const ScriptState& st);
void clear_pending_error(ScriptState& st);
// Replaces the pending message (script call frames wrap it).
void set_pending_message(ScriptState& st, std::string message);

}  // namespace kx
