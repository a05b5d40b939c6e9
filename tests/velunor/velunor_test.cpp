// velunor's exports, answered as texts and heard through an OpenAL loopback
// device that the test opens and makes current, as the runner does: every
// result for good and bad handles and number texts, the files it takes and
// refuses, and the levels, sides and speeds of what it plays.
#include "velunor.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "sound_fixtures.h"

using namespace velunor_test;
namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;

class Velunor : public ::testing::Test {
protected:
    void SetUp() override {
        auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        m_render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
            alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        ASSERT_TRUE(open && m_render);
        m_device = open(nullptr);
        ASSERT_TRUE(m_device);
        const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT,
                                ALC_STEREO_SOFT,
                                ALC_FORMAT_TYPE_SOFT,
                                ALC_FLOAT_SOFT,
                                ALC_FREQUENCY,
                                kRate,
                                0};
        m_context = alcCreateContext(m_device, attrs);
        ASSERT_TRUE(m_context);
        alcMakeContextCurrent(m_context);
        m_dir = fs::path(::testing::TempDir()) /
                ("velunor_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        alcMakeContextCurrent(nullptr);
        if (m_context) alcDestroyContext(m_context);
        if (m_device) alcCloseDevice(m_device);
        fs::remove_all(m_dir);
    }

    std::string file(const std::string& name, const std::string& bytes) {
        const std::string p = (m_dir / name).string();
        write_file(p, bytes);
        return p;
    }
    // A mono 16-bit tone at half of full scale.
    std::string tone(int frames, double freq = 441, int rate = kRate) {
        return file("tone.wav", wav_bytes(1, rate, 16, frames,
                                          [&](int f, int) { return sine(freq, 0.5, rate, f); }));
    }
    std::string load(const std::string& path) {
        EXPECT_STREQ(VN_Init(), "Yes");
        return VN_LoadSound(path.c_str());
    }

    struct Levels {
        double left = 0, right = 0;  // RMS
        int crossings = 0;           // upward zero crossings on the left
    };
    Levels render(int frames) {
        std::vector<float> out(size_t(frames) * 2);
        m_render(m_device, out.data(), frames);
        Levels l;
        for (int f = 0; f < frames; ++f) {
            l.left += out[size_t(f) * 2] * out[size_t(f) * 2];
            l.right += out[size_t(f) * 2 + 1] * out[size_t(f) * 2 + 1];
            if (f > 0 && out[size_t(f - 1) * 2] < 0 && out[size_t(f) * 2] >= 0) ++l.crossings;
        }
        l.left = std::sqrt(l.left / frames);
        l.right = std::sqrt(l.right / frames);
        return l;
    }

    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    LPALCRENDERSAMPLESSOFT m_render = nullptr;
    fs::path m_dir;
};

// The RMS of a sine at half of full scale.
const double kFull = 0.5 / std::sqrt(2.0);

TEST_F(Velunor, NothingWorksBeforeInit) {
    const std::string path = tone(1000);
    EXPECT_STREQ(VN_LoadSound(path.c_str()), "No");
    EXPECT_STREQ(VN_IsSoundPlaying("1"), "-1");
    EXPECT_STREQ(VN_GetSoundVol("1", ""), "-1");
    EXPECT_STREQ(VN_SetSoundVol("1", "0"), "0");
    EXPECT_STREQ(VN_PauseSound("1"), "0");
}

TEST_F(Velunor, EveryExportAnswersAsTheTableSays) {
    const std::string h = load(tone(4410));  // 8820 bytes
    ASSERT_NE(h, "No");
    ASSERT_GT(std::stoi(h), 0);
    const std::string bad = std::to_string(std::stoi(h) + 1000);
    struct Case {
        const char* (*fn)(const char*, const char*);
        const char* name;
        std::string handle, arg, want;
    };
#define ONE(f) [](const char* a, const char*) { return f(a); }, #f
#define TWO(f) [](const char* a, const char* b) { return f(a, b); }, #f
    const Case cases[] = {
        // A bad handle, and number texts that read as no handle at all.
        {ONE(VN_PlaySound), bad, "", "0"},
        {ONE(VN_LoopSound), bad, "", "0"},
        {ONE(VN_StopSound), bad, "", "0"},
        {ONE(VN_PauseSound), bad, "", "0"},
        {ONE(VN_ResumeSound), bad, "", "0"},
        {ONE(VN_IsSoundPaused), bad, "", "0"},
        {ONE(VN_IsSoundPlaying), bad, "", "-1"},
        {ONE(VN_IsSoundLooping), "abc", "", "-1"},
        {ONE(VN_FreeSound), bad, "", "0"},
        {TWO(VN_SetSoundVol), bad, "-100", "0"},
        {TWO(VN_GetSoundVol), "", "", "-1"},
        {TWO(VN_SetSoundPan), bad, "100", "0"},
        {ONE(VN_GetSoundPan), bad, "", "0"},
        {TWO(VN_SetSoundFreq), bad, "8000", "0"},
        {ONE(VN_GetSoundFreq), "-" + h, "", "-1"},
        {TWO(VN_SetSoundPosition), bad, "0", "0"},
        {ONE(VN_GetSoundPosition), bad, "", "-1"},
        {ONE(VN_GetSoundLength), "x" + h, "", "-1"},
        // The good handle, written with blanks, a sign and trailing letters.
        {ONE(VN_GetSoundLength), h, "", "8820"},
        {ONE(VN_GetSoundLength), " \t" + h + "xyz", "", "8820"},
        {ONE(VN_GetSoundLength), "+" + h, "", "8820"},
        {ONE(VN_GetSoundFreq), h, "", "44100"},
        {TWO(VN_GetSoundVol), h, "anything", "0"},
        {ONE(VN_GetSoundPan), h, "", "0"},
        {ONE(VN_IsSoundPlaying), h, "", "0"},
        {ONE(VN_IsSoundLooping), h, "", "0"},
        {ONE(VN_GetSoundPosition), h, "", "0"},
        // Setters answer "1" for a good handle even when the value is refused.
        {TWO(VN_SetSoundVol), h, " -600dB", "1"},
        {TWO(VN_GetSoundVol), h, "", "-600"},
        {TWO(VN_SetSoundVol), h, "5", "1"},
        {TWO(VN_GetSoundVol), h, "", "-600"},
        {TWO(VN_SetSoundVol), h, "-10001", "1"},
        {TWO(VN_GetSoundVol), h, "", "-600"},
        {TWO(VN_SetSoundVol), h, "loud", "1"},  // no digits: 0
        {TWO(VN_GetSoundVol), h, "", "0"},
        {TWO(VN_SetSoundPan), h, "-10000", "1"},
        {ONE(VN_GetSoundPan), h, "", "-10000"},
        {TWO(VN_SetSoundPan), h, "10001", "1"},
        {ONE(VN_GetSoundPan), h, "", "-10000"},
        {TWO(VN_SetSoundPan), h, "+2500", "1"},
        {ONE(VN_GetSoundPan), h, "", "2500"},
        {TWO(VN_SetSoundFreq), h, "22050", "1"},
        {ONE(VN_GetSoundFreq), h, "", "22050"},
        {TWO(VN_SetSoundFreq), h, "99", "1"},
        {ONE(VN_GetSoundFreq), h, "", "22050"},
        {TWO(VN_SetSoundFreq), h, "0", "1"},  // back to the sound's own
        {ONE(VN_GetSoundFreq), h, "", "44100"},
        {TWO(VN_SetSoundPosition), h, "1001", "1"},  // whole samples only
        {ONE(VN_GetSoundPosition), h, "", "1000"},
        {TWO(VN_SetSoundPosition), h, "8820", "1"},  // past the end: refused
        {ONE(VN_GetSoundPosition), h, "", "1000"},
        {ONE(VN_StopSound), h, "", "0"},
        {ONE(VN_GetSoundPosition), h, "", "0"},
        {ONE(VN_FreeSound), h, "", "0"},
        {ONE(VN_GetSoundLength), h, "", "-1"},
        {ONE(VN_GetSoundPan), h, "", "0"},
    };
#undef ONE
#undef TWO
    for (const Case& c : cases)
        EXPECT_STREQ(c.fn(c.handle.c_str(), c.arg.c_str()), c.want.c_str())
            << c.name << "(\"" << c.handle << "\", \"" << c.arg << "\")";
}

TEST_F(Velunor, TakesWavAndOggAndRefusesTheRest) {
    ASSERT_STREQ(VN_Init(), "Yes");
    const auto mono = [](int f, int) { return sine(441, 0.5, 22050, f); };
    const std::string wav16 = wav_bytes(1, 22050, 16, 100, mono);
    // The chunks after the format are walked to the data, odd sizes as
    // they are.
    std::string listed = wav16.substr(0, 36) + "LIST";
    put32(listed, 3);
    listed += "abc" + wav16.substr(36);
    std::string long_data = wav16.substr(0, 40);
    put32(long_data, 100000);  // more than the file holds: what is there
    long_data += wav16.substr(44);
    std::string no_data = wav16.substr(0, 36) + "LIST";
    put32(no_data, 4);
    no_data += "abcd";
    std::string fmt_later = "RIFF" + wav16.substr(4, 8) + "JUNK" + wav16.substr(16);
    std::string ext = wav16;  // "WAVE" need not be there
    ext.replace(8, 4, "XXXX");

    struct Case {
        const char* what;
        std::string bytes;
        const char* length;  // "No" when refused
        const char* freq;
    } cases[] = {
        {"16-bit mono", wav16, "200", "22050"},
        {"8-bit stereo",
         wav_bytes(2, 11025, 8, 50, [](int f, int) { return sine(441, 0.5, 11025, f); }), "100",
         "11025"},
        {"16-bit stereo", wav_bytes(2, 48000, 16, 10, mono), "40", "48000"},
        {"a chunk of odd size before the data", listed, "200", "22050"},
        {"a data size past the end", long_data, "200", "22050"},
        {"any form type", ext, "200", "22050"},
        {"three channels", wav_bytes(3, 22050, 16, 10, mono), "No", ""},
        {"no data chunk", no_data, "No", ""},
        {"RIFF without the format at byte 12", fmt_later, "No", ""},
        {"too little sample data", wav_bytes(1, 22050, 16, 1, mono), "No", ""},
        {"an empty file", "", "No", ""},
        {"not a sound", "hello, this is text and no sound at all", "No", ""},
    };
    for (const Case& c : cases) {
        const std::string h = VN_LoadSound(file("f.wav", c.bytes).c_str());
        if (std::string(c.length) == "No") {
            EXPECT_EQ(h, "No") << c.what;
            continue;
        }
        ASSERT_NE(h, "No") << c.what;
        EXPECT_STREQ(VN_GetSoundLength(h.c_str()), c.length) << c.what;
        EXPECT_STREQ(VN_GetSoundFreq(h.c_str()), c.freq) << c.what;
    }
    EXPECT_STREQ(VN_LoadSound((m_dir / "missing.wav").c_str()), "No");
    // A game's Windows path: backslashes, a drive, another case.
    fs::create_directories(m_dir / "Snd");
    write_file((m_dir / "Snd" / "Boom.wav").string(), wav16);
    EXPECT_STRNE(VN_LoadSound((m_dir.string() + "\\snd\\BOOM.WAV").c_str()), "No");
    EXPECT_STRNE(VN_LoadSound(("C:" + m_dir.string() + "/SND/boom.wav").c_str()), "No");
    EXPECT_STREQ(VN_LoadSound((m_dir.string() + "\\snd\\other.wav").c_str()), "No");

    // Ogg Vorbis: 16-bit samples of the stream's length and rate.
    const std::string ogg = (m_dir / "tone.ogg").string();
    ASSERT_TRUE(write_ogg(ogg, 22050, 11025, 441, 0.5));
    const std::string h = VN_LoadSound(ogg.c_str());
    ASSERT_NE(h, "No");
    EXPECT_STREQ(VN_GetSoundLength(h.c_str()), "22050");
    EXPECT_STREQ(VN_GetSoundFreq(h.c_str()), "22050");
    VN_PlaySound(h.c_str());
    const Levels l = render(4410);
    EXPECT_NEAR(l.left, kFull, 0.05);
    EXPECT_NEAR(l.right, kFull, 0.05);
}

TEST_F(Velunor, VolumeAndPanSetEachSidesLevel) {
    const std::string h = load(tone(kRate));
    struct Case {
        const char* volume;
        const char* pan;
        double left, right;  // gains of each side
    } cases[] = {
        {"0", "0", 1, 1},         {"-600", "0", 0.50119, 0.50119},
        {"0", "-10000", 1, 0},    {"0", "10000", 0, 1},
        {"0", "600", 0.50119, 1}, {"-2000", "-1200", 0.1, 0.1 * 0.25119},
        {"-10000", "0", 0, 0},
    };
    VN_LoopSound(h.c_str());
    for (const Case& c : cases) {
        VN_SetSoundVol(h.c_str(), c.volume);
        VN_SetSoundPan(h.c_str(), c.pan);
        render(256);  // let the gain changes settle
        const Levels l = render(4410);
        EXPECT_NEAR(l.left, kFull * c.left, 0.005) << c.volume << " " << c.pan;
        EXPECT_NEAR(l.right, kFull * c.right, 0.005) << c.volume << " " << c.pan;
    }
}

TEST_F(Velunor, StereoSidesStayApart) {
    ASSERT_STREQ(VN_Init(), "Yes");
    const std::string h = VN_LoadSound(
        file("left.wav",
             wav_bytes(2, kRate, 16, kRate,
                       [](int f, int c) { return c == 0 ? sine(441, 0.5, kRate, f) : 0.0; }))
            .c_str());
    VN_PlaySound(h.c_str());
    const Levels l = render(4410);
    EXPECT_NEAR(l.left, kFull, 0.005);
    EXPECT_LT(l.right, 0.001);
}

TEST_F(Velunor, PlayLoopStopAndPosition) {
    const std::string h = load(tone(4410));  // 0.1 s, 8820 bytes
    VN_PlaySound(h.c_str());
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "1");
    EXPECT_STREQ(VN_IsSoundLooping(h.c_str()), "0");
    EXPECT_GT(render(2205).left, 0.3);
    const int at = std::stoi(VN_GetSoundPosition(h.c_str()));
    EXPECT_NEAR(at, 4410, 64);
    render(4410);  // past the end
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "0");
    EXPECT_LT(render(1000).left, 0.001);

    VN_LoopSound(h.c_str());
    render(4410 * 2 + 1000);
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "1");
    EXPECT_STREQ(VN_IsSoundLooping(h.c_str()), "1");
    EXPECT_GT(render(1000).left, 0.3);
    // Playing again starts over.
    VN_PlaySound(h.c_str());
    EXPECT_STREQ(VN_IsSoundLooping(h.c_str()), "0");
    EXPECT_LT(std::stoi(VN_GetSoundPosition(h.c_str())), 64);
    VN_StopSound(h.c_str());
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "0");
    EXPECT_LT(render(1000).left, 0.001);
}

TEST_F(Velunor, FrequencySetsTheSpeed) {
    const std::string h = load(tone(kRate));  // 441 Hz
    VN_SetSoundFreq(h.c_str(), "22050");
    VN_PlaySound(h.c_str());
    const Levels l = render(kRate / 2);
    EXPECT_NEAR(l.crossings, 110, 2);  // 220.5 Hz for half a second
    EXPECT_NEAR(std::stoi(VN_GetSoundPosition(h.c_str())), kRate / 2, 128);
}

TEST_F(Velunor, PauseKeepsThePlaceAndTheLoop) {
    const std::string h = load(tone(4410));
    VN_LoopSound(h.c_str());
    render(4410 + 1000);
    EXPECT_STREQ(VN_PauseSound(h.c_str()), "1");
    EXPECT_STREQ(VN_PauseSound(h.c_str()), "0");  // already paused
    EXPECT_STREQ(VN_IsSoundPaused(h.c_str()), "1");
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "0");
    const int held = std::stoi(VN_GetSoundPosition(h.c_str()));
    EXPECT_NEAR(held, 2000, 128);
    EXPECT_LT(render(1000).left, 0.001);
    EXPECT_STREQ(VN_GetSoundPosition(h.c_str()), std::to_string(held).c_str());

    EXPECT_STREQ(VN_ResumeSound(h.c_str()), "1");
    EXPECT_STREQ(VN_ResumeSound(h.c_str()), "0");
    EXPECT_STREQ(VN_IsSoundPaused(h.c_str()), "0");
    EXPECT_STREQ(VN_IsSoundLooping(h.c_str()), "1");
    EXPECT_NEAR(std::stoi(VN_GetSoundPosition(h.c_str())), held, 64);
    render(4410 * 2);
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "1");  // still looping

    // A freed sound keeps its paused entry until the handle is played.
    VN_PauseSound(h.c_str());
    VN_FreeSound(h.c_str());
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "-1");
    EXPECT_STREQ(VN_IsSoundPaused(h.c_str()), "1");
    VN_PlaySound(h.c_str());
    EXPECT_STREQ(VN_IsSoundPaused(h.c_str()), "0");
}

TEST_F(Velunor, ASecondInitStartsAnEmptyTable) {
    const std::string h = load(tone(kRate));
    VN_LoopSound(h.c_str());
    EXPECT_STREQ(VN_Init(), "Yes");
    EXPECT_STREQ(VN_IsSoundPlaying(h.c_str()), "-1");
    // The sound it can no longer reach plays on.
    EXPECT_GT(render(2000).left, 0.3);
    const std::string h2 = VN_LoadSound(tone(100).c_str());
    EXPECT_NE(h2, "No");
    EXPECT_NE(h2, h);
}

// The program's context went (its sound output was made again): the next
// VN_Init plays into the new one, and the old sounds are dropped quietly.
TEST_F(Velunor, InitFollowsANewContext) {
    const std::string h = load(tone(kRate));
    VN_LoopSound(h.c_str());
    EXPECT_STREQ(VN_GetSoundLength(h.c_str()), "88200");
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(m_context);
    const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT,
                            ALC_STEREO_SOFT,
                            ALC_FORMAT_TYPE_SOFT,
                            ALC_FLOAT_SOFT,
                            ALC_FREQUENCY,
                            kRate,
                            0};
    m_context = alcCreateContext(m_device, attrs);
    ASSERT_TRUE(m_context);
    alcMakeContextCurrent(m_context);
    EXPECT_LT(render(1000).left, 0.001);
    const std::string h2 = load(tone(kRate));
    ASSERT_NE(h2, "No");
    VN_PlaySound(h2.c_str());
    EXPECT_GT(render(2000).left, 0.3);
}

}  // namespace
