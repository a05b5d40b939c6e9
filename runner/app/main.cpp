// kxrun: plays a game whose data sits at a fixed offset of a file: its own
// executable, or the game file named on the command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/command_line.h"
#include "app/runner.h"
#include "app/subsystems.h"
#include "app/temp_folder.h"
#include "app/vocabulary.h"
#include "gamedata/game_data.h"
#include "kx_version.h"
#include "platform/platform.h"
#include "script/eval.h"

namespace {

// Help and version go to stdout; a full disk or a closed pipe is a failure.
int print_stdout(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "kxrun: cannot write to the standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

int command_line_error(const std::string& error) {
    std::fprintf(stderr, "kxrun: %s\n%s", error.c_str(), kx::usage_hint());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kx;
    std::string self = executable_path();
    bool own_game = !self.empty() && has_game_data(self);

    CommandLine cl;
    std::string error;
    if (!parse_command_line(argc, argv, own_game, cl, error, std::getenv("KXRUN_OPTIONS")))
        return command_line_error(error);
    if (cl.help) return print_stdout(usage_text());
    if (cl.version) return print_stdout("kxrun " KX_VERSION " (commit " KX_COMMIT ")\n");
    if (cl.list_functions) {
        std::unique_ptr<Platform> quiet = create_headless_platform();  // outlives rt
        Runtime rt;
        rt.platform = quiet.get();
        start_kxrun(rt);
        return print_stdout(cl.list_format == "markdown" ? vocabulary_markdown(rt)
                                                         : vocabulary_text(rt));
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
    if (cl.game_file.empty() && !eval) return command_line_error("no game file given");
    if (!cl.game_file.empty() && !own_game) {
        std::error_code ec;
        if (std::filesystem::is_directory(cl.game_file, ec)) {
            std::fprintf(stderr, "kxrun: %s is a folder, not a game file\n", cl.game_file.c_str());
            return 1;
        }
    }

    // The temporary folder comes before any window.
    TempFolder temp;
    install_termination_cleanup([&temp] { temp.remove(); });

    PlatformOptions popts;
    popts.headless = cl.headless;
    popts.answers_file = cl.answers_file;
    popts.soundfont = cl.soundfont;
    std::unique_ptr<Platform> platform = create_platform(popts, &error);
    if (!platform) {
        std::fprintf(stderr, "kxrun: %s\n", error.c_str());
        return 1;
    }
    if (!temp.ok())
        platform->dialogs()->message(
            "", "Failed to create temp dir. This can create serious problems with sounds, etc.");

    Runtime rt;
    rt.platform = platform.get();
    RunOptions& o = rt.options;
    o.game_file = cl.game_file;
    // The game runs in its own folder, as it would where it was made; a game
    // given by name only, and code without a game, run in this one.
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    const std::filesystem::path game_dir = std::filesystem::path(cl.game_file).parent_path();
    o.working_dir =
        (cl.game_file.empty() || game_dir.empty() ? here : std::filesystem::absolute(game_dir, ec))
            .string();
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
