#pragma once
// The runner's spine: load, compile and prepare, run, shut down.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/runtime.h"

namespace kx {

class ILoadWindow;
class TempFolder;

// Exit status of a run: 0 when the game ran and ended, 1 when loading or
// preparing failed (after its message was shown), kExitGameErrors when a
// headless game reported errors while it ran (so scripts and CI can tell).
// The run's options are the runtime's.
constexpr int kExitGameErrors = 3;

class Runner {
public:
    Runner(Runtime& rt, TempFolder& temp);
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
    std::unique_ptr<ILoadWindow> m_load_window;
    bool m_label_visible = false;
};

}  // namespace kx
