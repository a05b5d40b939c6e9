// Runs one benchmark program in the language: kx_script_bench MAIN SCRIPTS_DIR INSTANCES.
// A runtime starts as kxrun starts one, on a headless platform. Every NAME.kxs
// in SCRIPTS_DIR becomes a script; INSTANCES instances of object 0 stand in
// the room, each with v = 0. Prints the result like --eval does.
// kx_script_bench --compile N SCRIPTS_DIR compiles N pieces of code made from
// the scripts (each piece one script's text with its own variable names) and
// prints the time of each compile phase.
#include <algorithm>
#include <chrono>
#include <cstdio>
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
#include "script/code_error.h"
#include "script/code_exec.h"
#include "script/eval.h"
#include "script/lexer.h"
#include "script/lowering.h"
#include "script/parser.h"
#include "script/resolver.h"
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

// Times the phases as CCode::compile runs them.
static int compile_bench(kx::Runtime& rt, int n, const std::vector<std::string>& texts) {
    using clock = std::chrono::steady_clock;
    kx::ScriptState& st = rt.get<kx::ScriptState>();
    double phase[5] = {};  // lex, resolve, parse, lower, link (seconds)
    size_t chars = 0;
    std::vector<std::unique_ptr<kx::Node>> trees;  // kept, as a game keeps its code
    for (int i = 0; i < n; ++i) {
        // Each piece names its own variables, as the pieces of a game do.
        std::string text = texts[static_cast<size_t>(i) % texts.size()];
        text += "\rv" + std::to_string(i) + " = w" + std::to_string(i) + " + 1";
        chars += text.size();
        kx::CCode code(text, false);
        std::vector<kx::Token> lexed;
        std::vector<kx::ResolvedToken> resolved;
        auto t0 = clock::now();
        bool ok = kx::tokenize(st, code, lexed);
        auto t1 = clock::now();
        ok = ok && kx::resolve_tokens(st, code, lexed, resolved);
        auto t2 = clock::now();
        std::unique_ptr<kx::Node> root = ok ? kx::parse_program(st, code, resolved) : nullptr;
        auto t3 = clock::now();
        ok = root && kx::lower_tree(st, code, *root);
        auto t4 = clock::now();
        if (ok) kx::link_tree(st, *root, true);
        auto t5 = clock::now();
        if (!ok) {
            std::cerr << "piece " << i << " does not compile: " << kx::pending_message(st) << "\n";
            return 1;
        }
        const std::chrono::duration<double> d[5] = {t1 - t0, t2 - t1, t3 - t2, t4 - t3, t5 - t4};
        for (int k = 0; k < 5; ++k) phase[k] += d[k].count();
        trees.push_back(std::move(root));
    }
    double total = 0;
    for (double p : phase) total += p;
    std::printf(
        "compiled %d pieces (%zu characters) in %.1f ms: lex %.1f, resolve %.1f, "
        "parse %.1f, lower %.1f, link %.1f\n",
        n, chars, total * 1e3, phase[0] * 1e3, phase[1] * 1e3, phase[2] * 1e3, phase[3] * 1e3,
        phase[4] * 1e3);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--compile") {
        auto platform = kx::create_headless_platform();
        kx::Runtime rt;
        rt.platform = platform.get();
        kx::start_kxrun(rt);
        kx::RuntimeScope scope(rt);
        std::vector<std::string> texts;
        for (const auto& e : fs::directory_iterator(argv[3])) {
            if (e.path().extension() != ".kxs") continue;
            texts.push_back(read_text(e.path()));
            rt.get<kx::ScriptState>().scripts.add(e.path().stem().string(), texts.back());
        }
        if (texts.empty()) return 1;
        return compile_bench(rt, std::stoi(argv[2]), texts);
    }
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
