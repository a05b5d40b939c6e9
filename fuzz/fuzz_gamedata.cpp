// libFuzzer target for the game-data reader: the input is either the part of a
// game file from the container offset on, or an inner game-data block.
#include <cstdint>
#include <exception>
#include <vector>

#include "app/runner.h"
#include "app/subsystems.h"
#include "app/temp_folder.h"
#include "gamedata/game_data.h"
#include "platform/headless.h"
#include "quiet_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kx;
    static TempFolder temp;
    static std::vector<uint8_t> file(kGameDataOffset, 0);
    static Platform platform;
    static bool ready = false;
    if (!ready) {
        fuzz::make_quiet(platform);
        ready = true;
    }
    Runtime rt;
    rt.platform = &platform;
    rt.options.game_file = "fuzz.kx";
    rt.options.working_dir = rt.options.temp_dir = temp.path();
    start_kxrun(rt);
    RuntimeScope scope(rt);
    Runner runner(rt, temp);
    file.resize(kGameDataOffset);
    file.insert(file.end(), data, data + size);
    // Load and compile, but neither open a drawing device for every input nor
    // play: a damaged game with a room would run for ever.
    try {
        if (runner.load(&file)) runner.compile_and_prepare(true);
    } catch (const std::exception&) {
        // Faults escape load() as the runner's run() expects, which turns
        // them into its message; crashes and sanitizer reports are findings.
    }
    runner.shutdown();
    return 0;
}
