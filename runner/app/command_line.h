#pragma once
// kxrun's own options. Everything after the game file reaches the game.
#include <optional>
#include <string>
#include <vector>

namespace kx {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool list_functions = false;  // --list-functions[=text|markdown]: the built-in vocabulary
    std::string list_format = "text";
    bool headless = false;
    std::string answers_file;
    long long steps = -1;
    std::optional<unsigned long long> seed;
    std::optional<std::string> eval_code;  // --eval CODE or --eval-file FILE (its text)
    std::string eval_file;
    std::string input_file;       // --input: replay recorded input
    std::string record_file;      // --record: write the input to this file
    std::string dump_frames_dir;  // --dump-frames: every presented frame as PNG
    std::string soundfont;        // --soundfont: the General MIDI soundfont
    std::string dump_audio;       // --dump-audio: the whole mix as a WAV file
    bool fullscreen = false;
    std::optional<double> scale;  // --scale: region scale in place of the game's
    std::string game_file;
    std::vector<std::string> game_args;
};

// Parses argv after the options of env_options (the KXRUN_OPTIONS variable,
// words split at white space). When own_game is true the program carries its
// own game and every argument of argv is the game's. Answers false with an
// error text.
bool parse_command_line(int argc, char** argv, bool own_game, CommandLine& out, std::string& error,
                        const char* env_options = nullptr);

const char* usage_text();
// The one line printed under a command-line error.
const char* usage_hint();

}  // namespace kx
