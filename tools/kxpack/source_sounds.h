#pragma once
// Sounds of a game source: sounds/NAME.json and the sound file it names, to
// and from the runner's sound list.
#include <filesystem>
#include <nlohmann/json.hpp>

#include "sound/sound_class.h"

namespace kx::pack {

// `list` is game.json's "sounds" array: names, null for an empty slot.
// Throws SourceError naming the file and the problem.
SoundList load_sounds(const nlohmann::ordered_json& list, const std::filesystem::path& folder);
// Writes FOLDER/sounds/NAME.json and the sound files; answers the array for game.json.
nlohmann::ordered_json save_sounds(const SoundList& sounds, const std::filesystem::path& folder);

}  // namespace kx::pack
