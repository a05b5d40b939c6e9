// kxrun: plays a game whose data sits at a fixed offset of a file: its own
// executable, or the game file named on the command line.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/command_line.h"
#include "app/runner.h"
#include "app/subsystems.h"
#include "app/temp_folder.h"
#include "gamedata/game_data.h"
#include "platform/platform.h"
#include "script/eval.h"

#ifndef KX_VERSION
#define KX_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    using namespace kx;
    std::string self = executable_path();
    bool own_game = !self.empty() && has_game_data(self);

    CommandLine cl;
    std::string error;
    if (!parse_command_line(argc, argv, own_game, cl, error)) {
        std::fprintf(stderr, "kxrun: %s\n%s", error.c_str(), usage_text());
        return 2;
    }
    if (cl.help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }
    if (cl.version) {
        std::printf("kxrun %s\n", KX_VERSION);
        return 0;
    }
    if (own_game) cl.game_file = self;
    if (!cl.eval_file.empty()) {
        std::ifstream f(cl.eval_file, std::ios::binary);
        if (!f) {
            std::fprintf(stderr, "kxrun: cannot read %s\n", cl.eval_file.c_str());
            return 2;
        }
        cl.eval_code = std::string(std::istreambuf_iterator<char>(f), {});
    }
    const bool eval = cl.eval_code.has_value();
    // Eval prints its result and needs no window.
    if (eval) cl.headless = true;
    if (cl.game_file.empty() && !eval) {
        std::fputs(usage_text(), stderr);
        return 2;
    }

    // The temporary folder comes before any window.
    TempFolder temp;
    install_termination_cleanup([&temp] { temp.remove(); });

    PlatformOptions popts;
    popts.headless = cl.headless;
    popts.answers_file = cl.answers_file;
    std::unique_ptr<Platform> platform = create_platform(popts, &error);
    if (!platform) {
        std::fprintf(stderr, "kxrun: %s\n", error.c_str());
        return 2;
    }
    if (!temp.ok())
        platform->dialogs()->message(
            "", "Failed to create temp dir. This can create serious problems with sounds, etc.");

    Runtime rt;
    rt.platform = platform.get();
    RunOptions& o = rt.options;
    o.game_file = cl.game_file;
    std::error_code ec;
    o.working_dir = std::filesystem::current_path(ec).string();
    o.temp_dir = temp.path();
    o.parameters = cl.game_args;
    o.steps = cl.steps;
    o.seed = cl.seed;
    o.input_file = cl.input_file;
    o.record_file = cl.record_file;
    o.dump_frames_dir = cl.dump_frames_dir;
    o.dump_audio = cl.dump_audio;
    o.fullscreen = cl.fullscreen;
    o.scale = cl.scale;
    start_kxrun(rt);
    if (eval && cl.game_file.empty()) return eval_program(rt, *cl.eval_code);

    Runner runner(rt, temp);
    // The start timer: loading begins 100 ms after the message loop starts.
    IClock& clock = *platform->clock();
    for (int64_t t0 = clock.now_us(); clock.now_us() - t0 < 100000;) {
        platform->windows()->process_messages();
        clock.sleep_us(10000);
    }
    int status = eval ? runner.run_eval(*cl.eval_code) : runner.run();
    temp.remove();
    return status;
}
