// Runs one benchmark program in the language: kx_script_bench MAIN SCRIPTS_DIR INSTANCES.
// A runtime starts as kxrun starts one, on a headless platform. Every NAME.kxs
// in SCRIPTS_DIR becomes a script; INSTANCES instances of object 0 stand in
// the room, each with v = 0. Prints the result like --eval does.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/subsystems.h"
#include "core/runtime.h"
#include "platform/platform.h"
#include "script/eval.h"
#include "script/script_main.h"
#include "script/script_state.h"
#include "script/variable_main.h"
#include "world/instance_main.h"
#include "world/object_class.h"
#include "world/world_state.h"

namespace fs = std::filesystem;

static std::string read_text(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: kx_script_bench MAIN SCRIPTS_DIR INSTANCES\n";
        return 2;
    }
    auto platform = kx::create_headless_platform();
    kx::Runtime rt;
    rt.platform = platform.get();
    kx::start_kxrun(rt);
    kx::RuntimeScope scope(rt);
    kx::ScriptState& st = rt.get<kx::ScriptState>();
    std::vector<fs::path> files;
    if (fs::is_directory(argv[2]))
        for (const auto& e : fs::directory_iterator(argv[2]))
            if (e.path().extension() == ".kxs") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) st.scripts.add(f.stem().string(), read_text(f));
    if (!kx::compile_scripts(rt)) return 1;
    const int n = std::stoi(argv[3]);
    const int32_t v = kx::variable_index(st, "v");
    kx::WorldState& w = rt.get<kx::WorldState>();
    w.objects.push_back(std::make_unique<kx::CObject>());
    w.objects.back()->name = "obj_bench";
    for (int i = 0; i < n; ++i) kx::create_in_room(rt, 0, 0, 0)->vars().set(v, 0, kx::RValue(0.0));
    return kx::eval_program(rt, read_text(argv[1]));
}
