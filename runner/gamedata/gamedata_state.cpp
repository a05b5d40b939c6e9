#include "gamedata/gamedata_state.h"

#include "core/runtime.h"

namespace kx {

namespace {

void create(Runtime& r) {
    r.emplace<GameDataState>();
}

bool read_settings_section(Runtime& r, CStream& s) {
    return read_settings(s, r.get<GameDataState>().settings);
}
bool read_info_section(Runtime& r, CStream& s) {
    return read_game_information(s, r.get<GameDataState>().info);
}

constexpr SectionReader kSectionReaders[] = {
    {Section::Settings, read_settings_section},
    {Section::GameInfo, read_info_section},
};

}  // namespace

const Subsystem kGameDataSubsystem{
    .name = "gamedata",
    .create = create,
    .sections = kSectionReaders,
};

GameDataHandlers section_readers(Runtime& r) {
    GameDataHandlers h;
    for (const Subsystem* sub : r.subsystems())
        for (const SectionReader& sr : sub->sections)
            h.readers[static_cast<size_t>(sr.section)] = [&r, read = sr.read](CStream& s) {
                return read(r, s);
            };
    return h;
}

}  // namespace kx
