// The library's one state: the device it plays on, the sound table and the
// paused list. Calls come from the game's one thread.
//
// Each sound is two sources, one for each side, fed by two stereo buffers
// that hold only that side's samples and reach the output channels
// directly: the pan then attenuates one side by exactly its hundredths of a
// decibel, as the units promise, whatever panning law the device uses.
#include "velunor.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sound_file.h"

namespace velunor {

namespace {

constexpr int kVolumeMin = -10000, kVolumeMax = 0;
constexpr int kPanMin = -10000, kPanMax = 10000;
constexpr int kFreqMin = 100, kFreqMax = 200000;  // 0 sets the sound's own rate

// Leading blanks and tabs, a sign, then digits up to the first other
// character; no digits read as 0 and overflow wraps.
int32_t parse_number(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    uint32_t n = 0;
    while (*p >= '0' && *p <= '9') n = n * 10u + uint32_t(*p++ - '0');
    return static_cast<int32_t>(negative ? 0u - n : n);
}

// Hundredths of a decibel of attenuation as a gain; the bottom is silence.
float attenuation_gain(int hundredths) {
    return hundredths <= kVolumeMin ? 0.0f
                                    : static_cast<float>(std::pow(10.0, hundredths / 2000.0));
}

// A file name as a game written for Windows gives it: either slash
// separates, a drive letter stands for the root, and a component that does
// not exist with its exact case matches one that differs only in case.
std::string local_path(const char* name) {
    namespace fs = std::filesystem;
    std::string text = name;
    std::error_code ec;
    if (fs::exists(text, ec)) return text;
    for (char& c : text)
        if (c == '\\') c = '/';
    if (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])))
        text = "/" + text.substr(2);
    const bool absolute = !text.empty() && text[0] == '/';
    fs::path at = absolute ? fs::path("/") : fs::path();
    for (const fs::path& part : fs::path(text).relative_path()) {
        const std::string p = part.string();
        const fs::path exact = at / part;
        if (p.empty() || p == "." || p == ".." || fs::exists(exact, ec)) {
            at = exact;
            continue;
        }
        fs::path found;
        auto lower = [](std::string v) {
            for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return v;
        };
        const fs::path dir = at.empty() ? fs::path(".") : at;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
            if (lower(it->path().filename().string()) == lower(p) &&
                (found.empty() || it->path() < found))
                found = it->path();
        if (found.empty()) return text;
        at = found;
    }
    return at.string();
}

struct Sound {
    ALuint buffers[2] = {0, 0};
    ALuint sources[2] = {0, 0};  // left, right
    int rate = 0;
    int block_align = 0;
    uint32_t length = 0;
    int frames = 0;
    int volume = 0, pan = 0, frequency = 0;
    bool looping = false;
    uint32_t held_position = 0;  // bytes, while not playing
    bool context_gone = false;   // its sources and buffers went with their context

    ~Sound() {
        if (context_gone) return;
        alSourceStopv(2, sources);
        alDeleteSources(2, sources);
        alDeleteBuffers(2, buffers);
    }
    bool playing() const {
        ALint state = AL_STOPPED;
        alGetSourcei(sources[0], AL_SOURCE_STATE, &state);
        return state == AL_PLAYING;
    }
    void apply_gains() {
        const float g = attenuation_gain(volume);
        alSourcef(sources[0], AL_GAIN, g * attenuation_gain(pan > 0 ? -pan : 0));
        alSourcef(sources[1], AL_GAIN, g * attenuation_gain(pan < 0 ? pan : 0));
    }
    void apply_pitch() {
        const float pitch = static_cast<float>(frequency) / static_cast<float>(rate);
        for (ALuint s : sources) alSourcef(s, AL_PITCH, pitch);
    }
    // Starts both sides together at a byte position.
    void play_from(uint32_t position, bool loop) {
        alSourceRewindv(2, sources);
        looping = loop;
        for (ALuint s : sources) {
            alSourcei(s, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
            alSourcei(s, AL_SAMPLE_OFFSET, static_cast<ALint>(position / uint32_t(block_align)));
        }
        alSourcePlayv(2, sources);
        held_position = 0;
    }
    void stop() {
        alSourceRewindv(2, sources);
        held_position = 0;
    }
    uint32_t position() const {
        if (!playing()) return held_position;
        ALint frame = 0;
        alGetSourcei(sources[0], AL_SAMPLE_OFFSET, &frame);
        return static_cast<uint32_t>(frame) * uint32_t(block_align);
    }
    void set_position(uint32_t bytes) {
        if (bytes >= length) return;  // the device refuses it
        bytes -= bytes % uint32_t(block_align);
        if (playing())
            play_from(bytes, looping);
        else
            held_position = bytes;
    }
};

struct Paused {
    int32_t handle;
    uint32_t position;
    bool looping;
};

// Makes the library's context current for one call and gives the caller's
// back afterwards; ok() is false when the context is gone.
class ContextScope {
public:
    explicit ContextScope(ALCcontext* ours) : m_previous(alcGetCurrentContext()) {
        m_ok = ours && (m_previous == ours || alcMakeContextCurrent(ours));
        m_switched = m_ok && m_previous != ours;
    }
    ~ContextScope() {
        if (m_switched) alcMakeContextCurrent(m_previous);
    }
    bool ok() const { return m_ok; }

private:
    ALCcontext* m_previous;
    bool m_ok = false, m_switched = false;
};

struct Library {
    ALCcontext* context = nullptr;    // where sounds play
    ALCdevice* own_device = nullptr;  // set when the library opened the device itself
    bool owns_context = false;
    bool direct_channels = false;
    bool ready = false;
    int32_t next_handle = 1;
    std::map<int32_t, std::unique_ptr<Sound>> sounds;
    // Sounds of an earlier table: no handle reaches them, they play on
    // until the library goes.
    std::vector<std::unique_ptr<Sound>> unreachable;
    std::vector<Paused> paused;
    std::string result;

    ~Library() {
        {
            ContextScope scope(context);
            if (!scope.ok()) {
                for (auto& [h, s] : sounds) s->context_gone = true;
                for (auto& s : unreachable) s->context_gone = true;
            }
            sounds.clear();
            unreachable.clear();
        }
        if (owns_context) {
            if (alcGetCurrentContext() == context) alcMakeContextCurrent(nullptr);
            alcDestroyContext(context);
        }
        if (own_device) alcCloseDevice(own_device);
    }

    const char* answer(std::string text) {
        result = std::move(text);
        return result.c_str();
    }
    const char* answer(int32_t n) { return answer(std::to_string(n)); }

    Sound* find(const char* handle) {
        if (!ready) return nullptr;
        auto it = sounds.find(parse_number(handle));
        return it == sounds.end() ? nullptr : it->second.get();
    }
    std::vector<Paused>::iterator paused_entry(int32_t handle) {
        auto it = paused.begin();
        while (it != paused.end() && it->handle != handle) ++it;
        return it;
    }
    void unpause(int32_t handle) {
        auto it = paused_entry(handle);
        if (it != paused.end()) paused.erase(it);
    }

    bool init() {
        for (auto& [h, s] : sounds) unreachable.push_back(std::move(s));
        sounds.clear();
        ready = false;
        if (!context || !ContextScope(context).ok()) {
            // A context that went took its sounds with it.
            for (auto& old : unreachable) old->context_gone = true;
            unreachable.clear();
            context = nullptr;
            // Play into the context the program already uses, else open the
            // default device.
            if (ALCcontext* current = alcGetCurrentContext()) {
                context = current;
            } else {
                if (!own_device) own_device = alcOpenDevice(nullptr);
                if (!own_device) return false;
                context = alcCreateContext(own_device, nullptr);
                if (!context) return false;
                owns_context = true;
            }
        }
        ContextScope scope(context);
        if (!scope.ok()) return false;
        direct_channels = alIsExtensionPresent("AL_SOFT_direct_channels");
        ready = true;
        return true;
    }

    const char* load(const char* file) {
        if (!ready || !file) return answer("No");
        std::ifstream in(local_path(file), std::ios::binary);
        if (!in) return answer("No");
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        std::optional<DecodedSound> d = decode_sound(bytes);
        if (!d) return answer("No");
        ContextScope scope(context);
        if (!scope.ok()) return answer("No");

        auto s = std::make_unique<Sound>();
        s->rate = d->rate;
        s->block_align = d->block_align;
        s->length = d->length;
        s->frames = d->frames();
        s->frequency = d->rate;
        alGetError();
        alGenBuffers(2, s->buffers);
        alGenSources(2, s->sources);
        if (alGetError() != AL_NO_ERROR) return answer("No");
        for (int side = 0; side < 2; ++side) {
            std::vector<int16_t> pcm(size_t(s->frames) * 2, 0);
            const int channel = d->channels == 2 ? side : 0;
            for (int f = 0; f < s->frames; ++f)
                pcm[size_t(f) * 2 + size_t(side)] =
                    d->pcm[size_t(f) * size_t(d->channels) + size_t(channel)];
            alBufferData(s->buffers[side], AL_FORMAT_STEREO16, pcm.data(),
                         static_cast<ALsizei>(pcm.size() * 2), d->rate);
            const ALuint src = s->sources[side];
            alSourcei(src, AL_BUFFER, static_cast<ALint>(s->buffers[side]));
            alSourcei(src, AL_SOURCE_RELATIVE, AL_TRUE);
            alSource3f(src, AL_POSITION, 0, 0, 0);
            alSourcef(src, AL_ROLLOFF_FACTOR, 0);
            if (direct_channels) alSourcei(src, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
        }
        if (alGetError() != AL_NO_ERROR) return answer("No");
        s->apply_gains();
        s->apply_pitch();
        if (next_handle <= 0) next_handle = 1;
        const int32_t h = next_handle++;
        sounds.emplace(h, std::move(s));
        return answer(h);
    }
};

Library& library() {
    static Library lib;
    return lib;
}

// Runs fn(sound) under the library's context for a valid handle; false for
// an invalid one.
template <class Fn>
bool with_sound(const char* handle, Fn fn) {
    Library& lib = library();
    Sound* s = lib.find(handle);
    if (!s) return false;
    ContextScope scope(lib.context);
    if (scope.ok()) fn(*s);
    return true;
}

}  // namespace

}  // namespace velunor

using velunor::library;
using velunor::parse_number;
using velunor::Sound;
using velunor::with_sound;

#define VN_EXPORT extern "C" __attribute__((visibility("default")))

VN_EXPORT const char* VN_Init(void) {
    return library().answer(library().init() ? "Yes" : "No");
}

VN_EXPORT const char* VN_LoadSound(const char* file) {
    return library().load(file);
}

VN_EXPORT const char* VN_PlaySound(const char* handle) {
    library().unpause(parse_number(handle));
    with_sound(handle, [](Sound& s) { s.play_from(0, false); });
    return library().answer("0");
}

VN_EXPORT const char* VN_LoopSound(const char* handle) {
    library().unpause(parse_number(handle));
    with_sound(handle, [](Sound& s) { s.play_from(0, true); });
    return library().answer("0");
}

VN_EXPORT const char* VN_StopSound(const char* handle) {
    library().unpause(parse_number(handle));
    with_sound(handle, [](Sound& s) { s.stop(); });
    return library().answer("0");
}

VN_EXPORT const char* VN_PauseSound(const char* handle) {
    auto& lib = library();
    const int32_t h = parse_number(handle);
    if (!lib.find(handle) || lib.paused_entry(h) != lib.paused.end()) return lib.answer("0");
    with_sound(handle, [&](Sound& s) {
        lib.paused.push_back({h, s.position(), s.playing() && s.looping});
        s.stop();
    });
    return lib.answer("1");
}

VN_EXPORT const char* VN_ResumeSound(const char* handle) {
    auto& lib = library();
    const int32_t h = parse_number(handle);
    auto it = lib.paused_entry(h);
    if (it == lib.paused.end()) return lib.answer("0");
    const velunor::Paused entry = *it;
    lib.paused.erase(it);
    with_sound(handle, [&](Sound& s) { s.play_from(entry.position, entry.looping); });
    return lib.answer("1");
}

VN_EXPORT const char* VN_IsSoundPaused(const char* handle) {
    auto& lib = library();
    return lib.answer(lib.paused_entry(parse_number(handle)) != lib.paused.end() ? "1" : "0");
}

VN_EXPORT const char* VN_IsSoundPlaying(const char* handle) {
    int32_t n = -1;
    with_sound(handle, [&](Sound& s) { n = s.playing() ? 1 : 0; });
    return library().answer(n);
}

VN_EXPORT const char* VN_IsSoundLooping(const char* handle) {
    int32_t n = -1;
    with_sound(handle, [&](Sound& s) { n = s.playing() && s.looping ? 1 : 0; });
    return library().answer(n);
}

VN_EXPORT const char* VN_FreeSound(const char* handle) {
    auto& lib = library();
    if (lib.find(handle)) {
        velunor::ContextScope scope(lib.context);
        auto it = lib.sounds.find(parse_number(handle));
        if (!scope.ok()) it->second->context_gone = true;
        lib.sounds.erase(it);
    }
    return lib.answer("0");
}

VN_EXPORT const char* VN_SetSoundVol(const char* handle, const char* volume) {
    const int32_t v = parse_number(volume);
    const bool valid = with_sound(handle, [&](Sound& s) {
        if (v < velunor::kVolumeMin || v > velunor::kVolumeMax) return;
        s.volume = v;
        s.apply_gains();
    });
    return library().answer(valid ? "1" : "0");
}

VN_EXPORT const char* VN_GetSoundVol(const char* handle, const char* /*unused*/) {
    int32_t n = -1;
    with_sound(handle, [&](Sound& s) { n = s.volume; });
    return library().answer(n);
}

VN_EXPORT const char* VN_SetSoundPan(const char* handle, const char* pan) {
    const int32_t v = parse_number(pan);
    const bool valid = with_sound(handle, [&](Sound& s) {
        if (v < velunor::kPanMin || v > velunor::kPanMax) return;
        s.pan = v;
        s.apply_gains();
    });
    return library().answer(valid ? "1" : "0");
}

VN_EXPORT const char* VN_GetSoundPan(const char* handle) {
    int32_t n = 0;
    with_sound(handle, [&](Sound& s) { n = s.pan; });
    return library().answer(n);
}

VN_EXPORT const char* VN_SetSoundFreq(const char* handle, const char* frequency) {
    const int32_t v = parse_number(frequency);
    const bool valid = with_sound(handle, [&](Sound& s) {
        if (v != 0 && (v < velunor::kFreqMin || v > velunor::kFreqMax)) return;
        s.frequency = v == 0 ? s.rate : v;
        s.apply_pitch();
    });
    return library().answer(valid ? "1" : "0");
}

VN_EXPORT const char* VN_GetSoundFreq(const char* handle) {
    int32_t n = -1;
    with_sound(handle, [&](Sound& s) { n = s.frequency; });
    return library().answer(n);
}

VN_EXPORT const char* VN_SetSoundPosition(const char* handle, const char* position) {
    const int32_t v = parse_number(position);
    const bool valid = with_sound(handle, [&](Sound& s) {
        if (v >= 0) s.set_position(static_cast<uint32_t>(v));
    });
    return library().answer(valid ? "1" : "0");
}

VN_EXPORT const char* VN_GetSoundPosition(const char* handle) {
    auto& lib = library();
    int32_t n = -1;
    with_sound(handle, [&](Sound& s) {
        auto it = lib.paused_entry(parse_number(handle));
        n = static_cast<int32_t>(it != lib.paused.end() ? it->position : s.position());
    });
    return lib.answer(n);
}

VN_EXPORT const char* VN_GetSoundLength(const char* handle) {
    int32_t n = -1;
    with_sound(handle, [&](Sound& s) { n = static_cast<int32_t>(s.length); });
    return library().answer(n);
}
