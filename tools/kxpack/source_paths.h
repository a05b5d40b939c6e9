#pragma once
// Paths of a game source: paths/NAME.json, to and from the runner's path
// list and the game data's path section.
#include <filesystem>
#include <nlohmann/json.hpp>

#include "motion/path_class.h"

namespace kx::pack {

// `list` is game.json's "paths" array: names, null for an empty slot.
// Throws SourceError naming the file and the problem.
PathList load_paths(const nlohmann::ordered_json& list, const std::filesystem::path& folder);
// Writes FOLDER/paths/NAME.json and answers the array for game.json.
nlohmann::ordered_json save_paths(const PathList& paths, const std::filesystem::path& folder);

}  // namespace kx::pack
