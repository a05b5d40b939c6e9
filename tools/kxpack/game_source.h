#pragma once
// A game as kxpack sees it: everything a game file holds, in memory, read from
// a source folder (game.json and the files it names) or from a game file.
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gamedata/game_data.h"
#include "gamedata/game_info.h"
#include "gamedata/game_settings.h"
#include "kxpack/source_fonts.h"
#include "kxpack/source_paths.h"
#include "kxpack/source_sounds.h"
#include "kxpack/source_sprites.h"
#include "world/object_class.h"
#include "world/room_class.h"
#include "world/timeline_class.h"

namespace kx::pack {

class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The default scrambling seed when the source gives none.
constexpr int32_t kDefaultSeed = 20061;

struct ScriptSource {
    std::string name;
    std::string code;
};

struct GameSource {
    GameDataSpec data;        // seed, filler counts, header
    ContainerSpec container;  // flags, extension library, extra files
    GameSettings settings;    // pictures are held below as bitmap files
    std::optional<std::vector<uint8_t>> bar_back, bar_front, loading;
    GameInformation info;
    std::vector<std::string> library_init;
    std::vector<int32_t> room_order{0};
    std::vector<std::optional<ScriptSource>> scripts;
    std::vector<std::optional<SpriteSource>> sprites;
    std::vector<std::optional<BackgroundSource>> backgrounds;
    PathList paths;
    std::vector<std::optional<FontSource>> fonts;
    SoundList sounds;
    // Shared so that a source stays copyable; null for an empty slot.
    std::vector<std::shared_ptr<CTimeLine>> timelines;
    std::vector<std::shared_ptr<CObject>> objects;
    RoomSection rooms;
};

// Reads SRC/game.json and the files it names. Throws SourceError with a
// message that names the file and the problem.
GameSource load_source(const std::filesystem::path& folder);
// Writes the source folder back (game.json, pictures, extra files, texts).
void save_source(const GameSource& g, const std::filesystem::path& folder);

// The exact bytes of the game file: launcher, container, sections.
std::vector<uint8_t> build_game_file(const GameSource& g);

// Reads a game file back into a source. Throws SourceError for a file the
// runner would refuse, with the runner's message.
struct SectionStat {
    int32_t version = 0;
    int32_t count = -1;  // entries of a resource list; -1 for other sections
};
GameSource read_game_file(const std::filesystem::path& file,
                          std::array<SectionStat, kSectionCount>* stats = nullptr);

// The plain section bytes, for tests that want to corrupt one section.
CStream build_sections(const GameSource& g);

// The scripts section, through the runner's own record.
void write_scripts_section(CStream& st, const std::vector<std::optional<ScriptSource>>& scripts);
bool read_scripts_section(CStream& st, std::vector<std::optional<ScriptSource>>& out);

// The objects, rooms and time lines of a source folder (world_source.cpp).
void load_world_sources(const nlohmann::ordered_json& j, const std::filesystem::path& folder,
                        GameSource& g);
void save_world_sources(const GameSource& g, nlohmann::ordered_json& j,
                        const std::filesystem::path& folder);
void write_world_sections(CStream& st, Section s, const GameSource& g);

}  // namespace kx::pack
