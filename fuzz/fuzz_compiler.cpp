// libFuzzer target for the compiler: any text, as a program and as an
// expression, must compile or fail with a message, never crash or hang.
#include <cstdint>
#include <string>

#include "app/subsystems.h"
#include "core/runtime.h"
#include "platform/platform.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kx;
    static std::unique_ptr<Platform> platform = create_headless_platform();
    static Runtime* rt = [] {
        auto* r = new Runtime;  // lives for the whole fuzzing process
        r->platform = platform.get();
        start_kxrun(*r);
        return r;
    }();
    RuntimeScope scope(*rt);
    ScriptState& st = rt->get<ScriptState>();
    std::string text(reinterpret_cast<const char*>(data), size);
    for (bool expression : {false, true}) {
        CCode code(text, expression);
        code.compile(st);
        clear_pending_error(st);
    }
    return 0;
}
