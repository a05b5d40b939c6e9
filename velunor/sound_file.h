#pragma once
// Reading a sound file held in memory into 16-bit samples, keeping the
// layout of its own sample data: positions and lengths that games see are
// bytes of that data.
#include <cstdint>
#include <optional>
#include <vector>

namespace velunor {

struct DecodedSound {
    int channels = 0;          // 1 or 2
    int rate = 0;              // samples per second
    int block_align = 0;       // bytes of one frame in the file's own format
    uint32_t length = 0;       // bytes of sample data in that format
    std::vector<int16_t> pcm;  // whole frames, interleaved
    int frames() const { return channels ? static_cast<int>(pcm.size()) / channels : 0; }
};

// A WAV file ("RIFF" with "fmt " at byte 12) or, for anything not starting
// with "RIFF", an Ogg Vorbis stream. Nothing for files it cannot play.
std::optional<DecodedSound> decode_sound(const std::vector<uint8_t>& file);

}  // namespace velunor
