#pragma once
// The game's settings record, read once from the first section of the game data.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image/bitmap32.h"

namespace kx {

class CStream;

constexpr int32_t kSettingsVersion = 600;

struct GameConstant {
    std::string name;
    std::string value;  // the value's code text
};

struct GameSettings {
    bool FullScreen = false;
    bool Interpolate = false;
    bool NoBorder = false;
    bool ShowCursor = true;
    int32_t Scaling = 100;
    bool AllowResize = false;
    bool AlwaysOnTop = false;
    int32_t ColorOutsideRoom = 16777215;
    bool SetResolution = false;
    int32_t ColorDepth = 0;
    int32_t Resolution = 0;
    int32_t Frequency = 0;
    bool NoButtons = false;
    bool UseVSync = false;
    bool KeyF4Fullscreen = true;
    bool KeyF1Info = true;
    bool KeyEscEnd = true;
    bool KeyF5F6SaveLoad = true;
    int32_t Priority = 0;
    bool FreezeOnLoseFocus = false;
    bool ShowProgressBar = true;
    std::optional<CBitmap32> ProgressBarBack;
    std::optional<CBitmap32> ProgressBarFront;
    std::optional<CBitmap32> LoadingImage;
    bool LoadingImageTransparent = false;
    int32_t LoadingImageAlpha = 255;
    bool ScaleProgressBar = true;
    bool DisplayErrors = true;
    bool WriteErrorLog = false;
    bool AbortOnError = false;
    bool UninitializedAsZero = false;
    std::vector<GameConstant> constants;
};

// Resets to the defaults, then reads the section. False for a wrong version.
// Throws StreamError when the section runs past the end.
// With raw, the stored bitmap files are kept as they are (kxpack unpack).
struct SettingsRawPictures {
    std::optional<std::vector<uint8_t>> bar_back, bar_front, loading;
};
bool read_settings(CStream& s, GameSettings& out, SettingsRawPictures* raw = nullptr);

// The writer side, for kxpack and tests. Pictures are Windows bitmap files.
struct SettingsPictures {
    const std::vector<uint8_t>* bar_back = nullptr;
    const std::vector<uint8_t>* bar_front = nullptr;
    const std::vector<uint8_t>* loading = nullptr;
};
void write_settings(CStream& s, const GameSettings& in, const SettingsPictures& pics);

}  // namespace kx
