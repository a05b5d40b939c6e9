#pragma once
// Sprites and backgrounds of a game source: sprites/NAME.json and
// backgrounds/NAME.json with the picture files they name, to and from the
// in-memory records and the game data's sections.
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "gamedata/cstream.h"
#include "image/bitmap32.h"

namespace kx::pack {

// One sprite as stored in the game data.
struct SpriteSource {
    std::string name;
    std::vector<std::string> warnings;  // what kxpack build prints; not stored
    int32_t width = 1, height = 1;
    int32_t xorig = 0, yorig = 0;
    int32_t bbox_mode = 0;  // 0 automatic, 1 full image, 2 manual
    BitmapBox bbox{0, 0, 0, 0};
    bool transparent = true, smooth = false, preload = true, precise = true;
    std::vector<CBitmap32> frames;  // a frame may be a non-existing image
};

// One background as stored in the game data.
struct BackgroundSource {
    std::string name;
    std::vector<std::string> warnings;  // what kxpack build prints; not stored
    int32_t width = 0, height = 0;
    bool transparent = false, smooth = false, preload = false;
    CBitmap32 image;  // non-existing: no image
};

// `list` is game.json's "sprites" (or "backgrounds") array: names, null for
// an empty slot. Reads FOLDER/sprites/NAME.json and the frames it names.
// Throws SourceError naming the file and the problem.
std::vector<std::optional<SpriteSource>> load_sprites(const nlohmann::ordered_json& list,
                                                      const std::filesystem::path& folder);
std::vector<std::optional<BackgroundSource>> load_backgrounds(const nlohmann::ordered_json& list,
                                                              const std::filesystem::path& folder);
// Writes the JSON files and PNG pictures under FOLDER and answers the array
// for game.json. Throws SourceError for a name that cannot be a file name.
nlohmann::ordered_json save_sprites(const std::vector<std::optional<SpriteSource>>& sprites,
                                    const std::filesystem::path& folder);
nlohmann::ordered_json save_backgrounds(
    const std::vector<std::optional<BackgroundSource>>& backgrounds,
    const std::filesystem::path& folder);

// The sections, through the runner's own records and lists.
void write_sprites_section(CStream& st, const std::vector<std::optional<SpriteSource>>& sprites);
void write_backgrounds_section(CStream& st,
                               const std::vector<std::optional<BackgroundSource>>& backgrounds);
// The runner's reader; false (out partly filled) where the runner refuses
// the section. Damaged data throws StreamError.
bool read_sprites_section(CStream& st, std::vector<std::optional<SpriteSource>>& out);
bool read_backgrounds_section(CStream& st, std::vector<std::optional<BackgroundSource>>& out);

}  // namespace kx::pack
