#pragma once
// Fonts of a game source: fonts/NAME.json, to and from the runner's font
// records and the game data's font section. A font is rendered here exactly
// as the runner renders one at run time (the same code), from a system font
// name or a font file; a sprite font becomes a page of its characters.
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "gamedata/cstream.h"
#include "kxpack/source_sprites.h"
#include "sprites/font_class.h"

namespace kx::pack {

struct FontSource {
    std::string name;
    std::shared_ptr<CFont> font;  // shared so that a source stays copyable
};

// `list` is game.json's "fonts" array: names, null for an empty slot. Reads
// FOLDER/fonts/NAME.json; sprite fonts name one of `sprites`. Throws
// SourceError naming the file and the problem.
std::vector<std::optional<FontSource>> load_fonts(
    const nlohmann::ordered_json& list, const std::filesystem::path& folder,
    const std::vector<std::optional<SpriteSource>>& sprites);
// Writes every font in its stored form (metrics and page picture).
nlohmann::ordered_json save_fonts(const std::vector<std::optional<FontSource>>& fonts,
                                  const std::filesystem::path& folder);

void write_fonts_section(CStream& st, const std::vector<std::optional<FontSource>>& fonts);
bool read_fonts_section(CStream& st, std::vector<std::optional<FontSource>>& out);

}  // namespace kx::pack
