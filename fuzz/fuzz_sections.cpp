// libFuzzer target for the section readers: the first byte chooses one of
// the sections a subsystem reads, the rest is that section's bytes, fed to
// its reader directly (past the container and the unscrambling). A reader
// answers false or throws StreamError for data it cannot take; any other
// exception escaping it, a crash or a sanitizer report is a finding.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/subsystems.h"
#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "platform/headless.h"
#include "quiet_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kx;
    static Platform platform;
    static std::vector<SectionReader> readers;
    if (readers.empty()) {
        fuzz::make_quiet(platform);
        for (const Subsystem* s : kxrun_subsystems())
            for (const SectionReader& r : s->sections) readers.push_back(r);
    }
    if (size == 0) return 0;
    // One runtime for every input: each reader replaces what it reads, and
    // starting a runtime would cost more than most readers take.
    static Runtime* rt = [] {
        auto* r = new Runtime;  // lives for the whole fuzzing process
        r->platform = &platform;
        start_kxrun(*r);
        return r;
    }();
    RuntimeScope scope(*rt);
    const SectionReader& reader = readers[data[0] % readers.size()];
    CStream s(std::vector<uint8_t>(data + 1, data + size));
    try {
        reader.read(*rt, s);
    } catch (const StreamError&) {
    }
    return 0;
}
