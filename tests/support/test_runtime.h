#pragma once
// A runtime started exactly as kxrun starts one (every subsystem, in the
// program's order) on a headless platform whose console and dialogs the test
// can read, active as the built-ins' runtime for the fixture's life. Tests
// that need a game load it from a kxpack source, or fill the states
// directly.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/subsystems.h"
#include "core/runtime.h"
#include "script/code_error.h"
#include "script/code_exec.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "support/capture_platform.h"

namespace kx::test {

class TestRuntime {
public:
    // answers: what the headless dialogs answer, in order; extra: subsystems
    // of the test's own, started after kxrun's.
    explicit TestRuntime(std::vector<std::string> answers = {},
                         std::vector<const Subsystem*> extra = {})
        : cp(std::move(answers)), r(start(cp, std::move(extra))), scope(*r) {}
    TestRuntime(const TestRuntime&) = delete;
    TestRuntime& operator=(const TestRuntime&) = delete;

    Runtime& runtime() { return *r; }
    ScriptState& script() { return r->get<ScriptState>(); }
    template <class T>
    T& state() {
        return r->get<T>();
    }
    // The console's lines so far, taken.
    std::vector<std::string> take_out() { return std::exchange(cp.console->out, {}); }
    std::vector<std::string> take_err() { return std::exchange(cp.console->err, {}); }

    // Compiles and runs a program with self and other (a detached instance
    // when null); the pending message when it does not compile or run.
    std::string run(const std::string& text, RValue* result = nullptr, CInstance* self = nullptr,
                    CInstance* other = nullptr) {
        ScriptState& st = script();
        CCode code(text, false);
        if (!code.compile(st)) {
            const std::string m = "compile: " + pending_message(st);
            clear_pending_error(st);
            return m;
        }
        DetachedInstance temp(*st.instances);
        CInstance* s = self ? self : temp.get();
        RValue out;
        const bool ok = execute(st, s, other ? other : s, code, out);
        if (result) *result = out;
        if (ok) return "";
        const std::string m = pending_message(st);
        clear_pending_error(st);
        return m;
    }

    CapturePlatform cp;

private:
    static std::unique_ptr<Runtime> start(CapturePlatform& cp,
                                          std::vector<const Subsystem*> extra) {
        auto rt = std::make_unique<Runtime>();
        rt->platform = cp.platform.get();
        if (extra.empty()) {
            start_kxrun(*rt);
        } else {
            std::vector<const Subsystem*> all(kxrun_subsystems().begin(),
                                              kxrun_subsystems().end());
            all.insert(all.end(), extra.begin(), extra.end());
            rt->start(all);
        }
        return rt;
    }

    std::unique_ptr<Runtime> r;
    RuntimeScope scope;
};

}  // namespace kx::test
