#pragma once
// The runner's spine: load, compile and prepare, run, shut down.
#include <memory>
#include <optional>
#include <cstdint>
#include <string>
#include <vector>

#include "core/runtime.h"

namespace kx {

class ILoadWindow;
class TempFolder;

struct RunnerOptions {
    std::string game_file;
    std::string working_dir;   // extra files when the game does not ask for the temp folder
    long long steps = -1;      // end the game after this many steps (-1: no limit)
    std::optional<unsigned long long> seed;   // every game start seeds with it
    std::string input_file;                   // replay recorded input
    std::string record_file;                  // record the input
    std::string dump_frames_dir;              // every presented frame as PNG
    bool fullscreen = false;
    std::optional<double> scale;              // percent, in place of the game's setting
};

// Exit status of a run: 0 when the game ran and ended, 1 when loading or
// preparing failed (after its message was shown).
class Runner {
public:
    Runner(Runtime& rt, TempFolder& temp, RunnerOptions opts);
    ~Runner();
    // bytes, when given, stand for the game file's content (tests).
    int run(const std::vector<uint8_t>* bytes = nullptr);

    // Loads and compiles the game without running it, then runs code in it as
    // eval_program does; the game's load messages come first on failure.
    int run_eval(const std::string& code);

    // The steps of a run, public for tests.
    bool load(const std::vector<uint8_t>* bytes = nullptr);
    // With compile_only the devices are not prepared (eval).
    bool compile_and_prepare(bool compile_only = false);
    void shutdown();

private:
    void progress(int percent, const std::string& message);
    void show_load_window();
    void hide_load_window();
    void message(const char* text);

    Runtime& m_rt;
    TempFolder& m_temp;
    RunnerOptions m_opts;
    std::unique_ptr<ILoadWindow> m_load_window;
    bool m_label_visible = false;
};

// Creates the states of the subsystems that have landed.
void init_runtime(Runtime& rt);

}  // namespace kx
