// libFuzzer target for the saved-game reader: a small game is loaded and
// started once; every input is written as a save file and loaded into it.
// A bad save must give the game's message and leave a playable game.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <vector>

#include "app/runner.h"
#include "app/subsystems.h"
#include "app/temp_folder.h"
#include "core/runtime.h"
#include "platform/headless.h"
#include "quiet_platform.h"
#include "world/function_game.h"
#include "world/game_loop.h"
#include "world/world_state.h"

#ifndef KX_FUZZ_GAME
#error "KX_FUZZ_GAME names the game file the saves are loaded into"
#endif

namespace {

struct Game {
    kx::TempFolder temp;
    kx::Platform platform;
    kx::Runtime rt;
    std::unique_ptr<kx::Runner> runner;
    std::string save;

    Game() {
        using namespace kx;
        fuzz::make_quiet(platform);
        rt.platform = &platform;
        rt.options.game_file = KX_FUZZ_GAME;
        rt.options.working_dir = rt.options.temp_dir = temp.path();
        start_kxrun(rt);
        RuntimeScope scope(rt);
        runner = std::make_unique<Runner>(rt, temp);
        if (!runner->load() || !runner->compile_and_prepare(true)) std::abort();
        rt.get<WorldState>().game.running = true;
        start_game(rt);
        save = temp.path() + "/fuzz.sav";
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kx;
    static Game game;
    RuntimeScope scope(game.rt);
    {
        std::ofstream f(game.save, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        load_game(game.rt, game.save);
        // The game goes on from whatever it holds now.
        perform_step(game.rt);
    } catch (const std::exception&) {
        // The loop reports a fault inside a step and goes on.
    }
    return 0;
}
