#include "app/command_line.h"

#include <charconv>
#include <cstring>
#include <vector>

namespace kx {

const char* usage_text() {
    return "usage: kxrun [options] GAME [game arguments...]\n"
           "       kxrun --eval CODE [GAME] | --eval-file FILE [GAME]\n"
           "       kxrun --help | --version | --list-functions\n"
           "options:\n"
           "  --headless          no window, no sound device (sound is mixed in memory); dialogs "
           "print on stderr\n"
           "  --no-headless       use a window (the default when a display exists)\n"
           "  --answers FILE      answers for dialogs in headless mode, one a line\n"
           "  --steps N           end the game after N steps\n"
           "  --seed N            fixed seed for the random generator\n"
           "  --input FILE        replay input recorded with --record\n"
           "  --record FILE       write every input event with its step to FILE\n"
           "  --dump-frames DIR   write every presented frame to DIR as a PNG file\n"
           "  --dump-audio FILE   write the whole sound mix to FILE as a WAV file\n"
           "  --soundfont FILE    the General MIDI soundfont for MIDI music\n"
           "  --fullscreen        start in full screen\n"
           "  --scale N           region scale in percent (0 stretch, -1 fit) in place of the "
           "game's\n"
           "  --eval CODE         compile and run CODE, print its result\n"
           "  --eval-file FILE    the same with the code read from FILE\n"
           "  --list-functions    print every built-in function, variable and constant\n"
           "  -h, --help          print this help\n"
           "  -V, --version       print the version and the commit it was built from\n"
           "  --                  ends the options: the next argument is the game file\n"
           "KXRUN_OPTIONS holds options read before the command line's.\n";
}

const char* usage_hint() {
    return "usage: kxrun [options] GAME [game arguments...]; kxrun --help lists the options\n";
}

namespace {
template <class T>
bool parse_number(const char* s, T& out) {
    const char* end = s + std::strlen(s);
    auto [p, ec] = std::from_chars(s, end, out);
    return ec == std::errc() && p == end;
}
}  // namespace

static std::vector<std::string> split_words(const char* text) {
    std::vector<std::string> words;
    std::string w;
    for (const char* p = text ? text : "";; ++p) {
        if (*p == 0 || *p == ' ' || *p == '\t' || *p == '\n') {
            if (!w.empty()) words.push_back(std::move(w));
            w.clear();
            if (*p == 0) break;
        } else {
            w += *p;
        }
    }
    return words;
}

bool parse_command_line(int argc, char** argv, bool own_game, CommandLine& out, std::string& error,
                        const char* env_options) {
    // The environment's options come first, so the command line beats them;
    // they name no game and take no "--".
    std::vector<std::string> env = split_words(env_options);
    std::vector<char*> args{argv[0]};
    for (std::string& w : env) args.push_back(w.data());
    const int env_end = static_cast<int>(args.size());
    for (int k = 1; k < argc; ++k) args.push_back(argv[k]);
    if (own_game) {
        // A runner with its own game hands the whole command line to it.
        args.resize(static_cast<size_t>(env_end));
        for (int k = 1; k < argc; ++k) out.game_args.push_back(argv[k]);
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    int i = 1;
    auto value = [&](const char* opt) -> const char* {
        // An option of the environment takes its value from the environment.
        if (i + 1 >= (i < env_end ? env_end : argc)) {
            error = std::string(opt) + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (i < env_end && (a == "--" || a.empty() || a[0] != '-')) {
            error = "KXRUN_OPTIONS holds " + a + ", which is not an option";
            return false;
        }
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "-h") a = "--help";
        if (a == "-V") a = "--version";
        if (a.size() < 2 || a[0] != '-') break;
        if (a[1] != '-') {
            error = "unknown option " + a;
            return false;
        }
        // --opt=value is the same as --opt value.
        std::string val_inline;
        bool has_inline = false;
        if (auto eq = a.find('='); eq != std::string::npos) {
            val_inline = a.substr(eq + 1);
            a = a.substr(0, eq);
            has_inline = true;
        }
        auto val = [&](const char* opt) -> const char* {
            if (has_inline) return val_inline.c_str();
            return value(opt);
        };
        if (a == "--help") {
            out.help = true;
        } else if (a == "--version") {
            out.version = true;
        } else if (a == "--list-functions") {
            out.list_functions = true;
            if (has_inline) {
                if (val_inline != "text" && val_inline != "markdown") {
                    error = "--list-functions takes text or markdown";
                    return false;
                }
                out.list_format = val_inline;
            }
        } else if (a == "--headless") {
            out.headless = true;
        } else if (a == "--no-headless") {
            out.headless = false;
        } else if (a == "--answers") {
            const char* v = val("--answers");
            if (!v) return false;
            out.answers_file = v;
        } else if (a == "--steps") {
            const char* v = val("--steps");
            if (!v) return false;
            if (!parse_number(v, out.steps) || out.steps < 0) {
                error = "--steps needs a whole number of 0 or more";
                return false;
            }
        } else if (a == "--seed") {
            const char* v = val("--seed");
            if (!v) return false;
            unsigned long long s;
            if (!parse_number(v, s)) {
                error = "--seed needs a whole number of 0 or more";
                return false;
            }
            out.seed = s;
        } else if (a == "--input" || a == "--record" || a == "--dump-frames") {
            const char* v = val(a.c_str());
            if (!v) return false;
            (a == "--input"    ? out.input_file
             : a == "--record" ? out.record_file
                               : out.dump_frames_dir) = v;
        } else if (a == "--dump-audio") {
            const char* v = val("--dump-audio");
            if (!v) return false;
            out.dump_audio = v;
        } else if (a == "--soundfont") {
            const char* v = val("--soundfont");
            if (!v) return false;
            out.soundfont = v;
        } else if (a == "--fullscreen") {
            out.fullscreen = true;
        } else if (a == "--scale") {
            const char* v = val("--scale");
            if (!v) return false;
            long long n;
            if (!parse_number(v, n) || n < -1 || n > 10000) {
                error = "--scale needs a whole number from -1 to 10000";
                return false;
            }
            out.scale = static_cast<double>(n);
        } else if (a == "--eval") {
            const char* v = val("--eval");
            if (!v) return false;
            out.eval_code = v;
        } else if (a == "--eval-file") {
            const char* v = val("--eval-file");
            if (!v) return false;
            out.eval_file = v;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (own_game) return true;
    if (i < argc) out.game_file = argv[i++];
    for (; i < argc; ++i) out.game_args.push_back(argv[i]);
    return true;
}

}  // namespace kx
