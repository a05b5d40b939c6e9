// Writes seeds for fuzz_sections: every section of a game file that a
// subsystem reads, as the fuzzer takes it (the reader's number, then the
// section's bytes).
// Usage: section_seeds GAME_FILE OUT_DIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/subsystems.h"
#include "app/temp_folder.h"
#include "core/runtime.h"
#include "gamedata/game_data.h"
#include "gamedata/gamedata_state.h"
#include "platform/headless.h"

int main(int argc, char** argv) {
    using namespace kx;
    if (argc != 3) {
        std::fputs("usage: section_seeds GAME_FILE OUT_DIR\n", stderr);
        return 2;
    }
    std::unique_ptr<Platform> platform = create_headless_platform();
    TempFolder temp;
    Runtime rt;
    rt.platform = platform.get();
    start_kxrun(rt);
    RuntimeScope scope(rt);
    ContainerInfo info;
    if (!read_container(argv[1], {temp.path(), temp.path(), false, false}, *platform->dialogs(),
                        info))
        return 1;
    std::vector<SectionReader> readers;
    for (const Subsystem* s : kxrun_subsystems())
        for (const SectionReader& r : s->sections) readers.push_back(r);
    GameDataHandlers h;
    for (size_t k = 0; k < readers.size(); ++k) {
        const SectionReader r = readers[k];
        h.readers[static_cast<size_t>(r.section)] = [&, r, k](CStream& s) {
            const size_t from = s.position();
            const bool ok = r.read(rt, s);
            std::vector<uint8_t> seed{static_cast<uint8_t>(k)};
            seed.insert(seed.end(), s.data().begin() + static_cast<std::ptrdiff_t>(from),
                        s.data().begin() + static_cast<std::ptrdiff_t>(s.position()));
            std::ofstream out(std::string(argv[2]) + "/section-" + std::to_string(k) + ".bin",
                              std::ios::binary);
            out.write(reinterpret_cast<const char*>(seed.data()),
                      static_cast<std::streamsize>(seed.size()));
            return ok;
        };
    }
    GameHeader header;
    return read_game_data(info.game_data, h, *platform->dialogs(), header) ? 0 : 1;
}
