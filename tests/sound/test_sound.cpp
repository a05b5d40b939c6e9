// The engine's decoding of sound files in every encoding it takes, made here
// with libsndfile's own encoders, and the level conversion.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

// Half a second of a 440 Hz tone in the given format, as file bytes; empty
// when this libsndfile cannot write it.
std::vector<uint8_t> encode(int format, int channels, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info)) return {};
    const fs::path p =
        fs::temp_directory_path() / ("kx_sound_test_" + std::to_string(format) + ".snd");
    SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
    if (!f) return {};
    std::vector<float> frames(static_cast<size_t>(rate / 2 * channels));
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = 0.5f * static_cast<float>(
                               std::sin(2 * M_PI * 440 * double(i / size_t(channels)) / rate));
    sf_writef_float(f, frames.data(), rate / 2);
    sf_close(f);
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    fs::remove(p);
    return bytes;
}

TEST(SoundDecoding, EveryCommonEncodingDecodesToItsLength) {
    auto platform = create_headless_platform();
    IAudio* audio = platform->audio();
    ASSERT_NE(audio, nullptr);
    struct Case {
        const char* name;
        int format, channels, rate;
        bool required;  // Debian's libsndfile writes these
    };
    const Case cases[] = {
        {"WAV 8-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 22050, true},
        {"WAV 16-bit stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, true},
        {"WAV 24-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 48000, true},
        {"WAV 32-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 44100, true},
        {"WAV float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, true},
        {"WAV mu-law", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1, 8000, true},
        {"WAV A-law", SF_FORMAT_WAV | SF_FORMAT_ALAW, 1, 8000, true},
        {"WAV IMA ADPCM", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1, 22050, true},
        {"WAV MS ADPCM", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 2, 22050, true},
        {"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, true},
        {"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, true},
        {"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 44100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = encode(c.format, c.channels, c.rate);
        if (bytes.empty()) {
            EXPECT_FALSE(c.required) << "cannot make the fixture";
            continue;
        }
        std::string why;
        const int32_t b = audio->buffer_create(bytes, &why);
        ASSERT_GE(b, 0) << why;
        // Block codecs pad the end a little.
        EXPECT_NEAR(audio->buffer_length_ms(b), 500, 60);
        audio->buffer_free(b);
    }
}

TEST(SoundDecoding, DataThatIsNoSoundIsRefusedWithAReason) {
    auto platform = create_headless_platform();
    const std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E', 0, 0};
    std::string why;
    EXPECT_EQ(platform->audio()->buffer_create(junk, &why), -1);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(platform->audio()->buffer_create({}, &why), -1);
}

TEST(SoundLevels, HundredthsOfADecibelBecomeGain) {
    EXPECT_DOUBLE_EQ(gain_of_hundredths_db(0), 1.0);
    EXPECT_NEAR(gain_of_hundredths_db(-600), 0.501187, 1e-6);
    EXPECT_NEAR(gain_of_hundredths_db(-9600), 1.584893e-5, 1e-10);
    EXPECT_NEAR(gain_of_hundredths_db(1000), 3.162278, 1e-6);
}

}  // namespace
}  // namespace kx
