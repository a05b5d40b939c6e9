// The sound engine on OpenAL Soft: libsndfile decodes sample files,
// FluidSynth renders MIDI with a General MIDI soundfont, EFX gives the
// effects. A non-3D path plays each copy as two direct-channel sources, one
// per output channel, so that pan is the exact per-channel attenuation games
// expect rather than OpenAL's panning law.
#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>
#include <fcntl.h>
#include <fluidsynth.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"

namespace kx {

double gain_of_hundredths_db(double hundredths_db) {
    return std::pow(10.0, hundredths_db / 2000.0);
}

namespace {

namespace fs = std::filesystem;
constexpr int kRate = 44100;

// ---- decoding ---------------------------------------------------------------

struct MemoryFile {
    std::span<const uint8_t> bytes;
    sf_count_t pos = 0;
};
sf_count_t mf_length(void* u) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(u)->bytes.size());
}
sf_count_t mf_seek(sf_count_t off, int whence, void* u) {
    auto* m = static_cast<MemoryFile*>(u);
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : mf_length(u);
    m->pos = std::clamp<sf_count_t>(base + off, 0, mf_length(u));
    return m->pos;
}
sf_count_t mf_read(void* ptr, sf_count_t count, void* u) {
    auto* m = static_cast<MemoryFile*>(u);
    sf_count_t n = std::min(count, mf_length(u) - m->pos);
    if (n > 0) std::memcpy(ptr, m->bytes.data() + m->pos, static_cast<size_t>(n));
    m->pos += std::max<sf_count_t>(n, 0);
    return std::max<sf_count_t>(n, 0);
}
sf_count_t mf_write(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t mf_tell(void* u) {
    return static_cast<MemoryFile*>(u)->pos;
}

// Interleaved stereo float at the file's own rate.
struct Pcm {
    int rate = kRate;
    std::vector<float> lr;
    size_t frames() const { return lr.size() / 2; }
};

bool decode_sample_file(std::span<const uint8_t> bytes, Pcm& out, std::string* error) {
    MemoryFile mf{bytes};
    SF_VIRTUAL_IO io{mf_length, mf_seek, mf_read, mf_write, mf_tell};
    SF_INFO info{};
    SNDFILE* f = sf_open_virtual(&io, SFM_READ, &info, &mf);
    if (!f) {
        if (error) *error = sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1 || info.samplerate > 384000) {
        sf_close(f);
        if (error) *error = "unusable channel count or rate";
        return false;
    }
    std::vector<float> block(static_cast<size_t>(4096 * info.channels));
    out.rate = info.samplerate;
    out.lr.clear();
    for (;;) {
        sf_count_t n = sf_readf_float(f, block.data(), 4096);
        if (n <= 0) break;
        for (sf_count_t i = 0; i < n; ++i) {
            const float* fr = &block[static_cast<size_t>(i * info.channels)];
            out.lr.push_back(fr[0]);
            out.lr.push_back(info.channels > 1 ? fr[1] : fr[0]);
        }
    }
    sf_close(f);
    return true;
}

bool is_midi(std::span<const uint8_t> b) {
    if (b.size() >= 4 && std::memcmp(b.data(), "MThd", 4) == 0) return true;
    return b.size() >= 20 && std::memcmp(b.data(), "RIFF", 4) == 0 &&
           std::memcmp(b.data() + 8, "RMID", 4) == 0;
}

void quiet_fluid_log(int, const char*, void*) {}

// The soundfont: the one the command line names, else $KXRUN_SOUNDFONT when
// set (either even when it names no file: the user chose), else the user's
// folder, else the system's General MIDI font.
std::string find_soundfont(const std::string& chosen) {
    std::error_code ec;
    if (!chosen.empty()) return fs::exists(chosen, ec) ? chosen : "";
    if (const char* env = std::getenv("KXRUN_SOUNDFONT")) return fs::exists(env, ec) ? env : "";
    std::vector<fs::path> dirs;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
        dirs.push_back(fs::path(x) / "kxrun/soundfonts");
    else if (const char* h = std::getenv("HOME"))
        dirs.push_back(fs::path(h) / ".local/share/kxrun/soundfonts");
    for (const auto& d : dirs)
        for (const auto& e : fs::directory_iterator(d, ec))
            if (e.path().extension() == ".sf2" || e.path().extension() == ".sf3")
                return e.path().string();
    for (const char* p :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/soundfonts/default.sf2",
          "/usr/share/sounds/sf3/default-GM.sf3"})
        if (fs::exists(p, ec)) return p;
    return {};
}

class MidiRenderer {
public:
    MidiRenderer(IConsole* console, std::string soundfont)
        : m_console(console), m_soundfont(std::move(soundfont)) {}
    ~MidiRenderer() {
        if (m_synth) delete_fluid_synth(m_synth);
        if (m_settings) delete_fluid_settings(m_settings);
    }

    // The whole piece at the given tempo factor, with a short tail for the
    // notes' release. Without a soundfont the piece is silence of its length.
    void render(std::span<const uint8_t> midi, double tempo, Pcm& out) {
        start();
        out.rate = kRate;
        out.lr.clear();
        if (!m_synth) return;
        fluid_synth_system_reset(m_synth);
        fluid_player_t* player = new_fluid_player(m_synth);
        if (!player) return;
        fluid_player_add_mem(player, midi.data(), midi.size());
        fluid_player_set_tempo(player, FLUID_PLAYER_TEMPO_INTERNAL, tempo);
        fluid_player_play(player);
        constexpr int kBlock = 512;
        float l[kBlock], r[kBlock];
        const size_t limit = size_t(kRate) * 60 * 30;  // a broken file ends after 30 minutes
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && out.frames() < limit)
            block(l, r, kBlock, out);
        fluid_player_stop(player);
        fluid_synth_all_notes_off(m_synth, -1);
        for (int i = 0; i < kRate / 2 / kBlock; ++i) block(l, r, kBlock, out);
        delete_fluid_player(player);
    }

private:
    void block(float* l, float* r, int n, Pcm& out) {
        fluid_synth_write_float(m_synth, n, l, 0, 1, r, 0, 1);
        for (int i = 0; i < n; ++i) {
            out.lr.push_back(m_font ? l[i] : 0.f);
            out.lr.push_back(m_font ? r[i] : 0.f);
        }
    }
    void start() {
        if (m_started) return;
        m_started = true;
        for (int lvl : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(lvl, quiet_fluid_log, nullptr);
        m_settings = new_fluid_settings();
        if (!m_settings) return;
        fluid_settings_setnum(m_settings, "synth.sample-rate", kRate);
        fluid_settings_setstr(m_settings, "player.timing-source", "sample");
        fluid_settings_setint(m_settings, "synth.lock-memory", 0);
        fluid_settings_setint(m_settings, "synth.cpu-cores", 1);
        m_synth = new_fluid_synth(m_settings);
        const std::string sf = find_soundfont(m_soundfont);
        if (m_synth && !sf.empty() && fluid_synth_sfload(m_synth, sf.c_str(), 1) != FLUID_FAILED)
            m_font = true;
        if (!m_font && m_console)
            m_console->err_line(
                "kxrun: no General MIDI soundfont found (give --soundfont FILE or set "
                "KXRUN_SOUNDFONT); MIDI music is silent");
    }

    IConsole* m_console;
    std::string m_soundfont;
    bool m_started = false, m_font = false;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
};

// ---- effects ----------------------------------------------------------------

double clampd(double v, double lo, double hi) {
    return std::isnan(v) ? lo : std::clamp(v, lo, hi);
}

// Defaults of each effect, in the games' units.
EffectParams default_params(uint32_t fx) {
    EffectParams p;
    p.effect = fx;
    auto set = [&](std::initializer_list<double> v) { std::copy(v.begin(), v.end(), p.v); };
    switch (fx) {
        case effect::kChorus:
            set({50, 10, 25, 1.1, 1, 16, 3});
            break;
        case effect::kEcho:
            set({50, 50, 500, 500, 0});
            break;
        case effect::kFlanger:
            set({50, 100, -50, 0.25, 1, 2, 2});
            break;
        case effect::kGargle:
            set({20, 0});
            break;
        case effect::kEqualizer:
            set({8000, 12, 0});
            break;
        case effect::kReverb:
            set({0, 0, 1000, 0.001});
            break;
        case effect::kCompressor:
            set({0, 10, 200, -20, 3, 4});
            break;
        default:
            break;
    }
    return p;
}

ALenum al_effect_type(uint32_t fx) {
    switch (fx) {
        case effect::kChorus:
            return AL_EFFECT_CHORUS;
        case effect::kEcho:
            return AL_EFFECT_ECHO;
        case effect::kFlanger:
            return AL_EFFECT_FLANGER;
        case effect::kGargle:
            return AL_EFFECT_RING_MODULATOR;
        case effect::kEqualizer:
            return AL_EFFECT_EQUALIZER;
        case effect::kReverb:
            return AL_EFFECT_REVERB;
        case effect::kCompressor:
            return AL_EFFECT_COMPRESSOR;
        case effect::kDistortion:
            return AL_EFFECT_DISTORTION;
        case effect::kRoomReverb:
            return AL_EFFECT_EAXREVERB;
        default:
            return AL_EFFECT_NULL;
    }
}

// Maps a game's parameters onto the EFX effect; answers the slot gain (the
// wet share of the mix). Values beyond what EFX can do are clamped.
float apply_params(ALuint e, const EffectParams& p) {
    const double* v = p.v;
    auto modulation = [&](ALenum wave, ALenum phase, ALenum rate, ALenum depth, ALenum feedback,
                          ALenum delay, double max_delay_s) {
        // Games: triangle 0, sine 1; EFX: sine 0, triangle 1.
        alEffecti(e, wave, std::lround(v[4]) == 0 ? 1 : 0);
        alEffecti(e, phase,
                  static_cast<ALint>((std::clamp<long>(std::lround(v[6]), 0, 4) - 2) * 90));
        alEffectf(e, rate, float(clampd(v[3], 0, 10)));
        alEffectf(e, depth, float(clampd(v[1] / 100, 0, 1)));
        alEffectf(e, feedback, float(clampd(v[2] / 100, -1, 1)));
        alEffectf(e, delay, float(clampd(v[5] / 1000, 0, max_delay_s)));
        return float(clampd(v[0] / 100, 0, 1));
    };
    switch (p.effect) {
        case effect::kChorus:
            return modulation(AL_CHORUS_WAVEFORM, AL_CHORUS_PHASE, AL_CHORUS_RATE, AL_CHORUS_DEPTH,
                              AL_CHORUS_FEEDBACK, AL_CHORUS_DELAY, 0.016);
        case effect::kFlanger:
            return modulation(AL_FLANGER_WAVEFORM, AL_FLANGER_PHASE, AL_FLANGER_RATE,
                              AL_FLANGER_DEPTH, AL_FLANGER_FEEDBACK, AL_FLANGER_DELAY, 0.004);
        case effect::kEcho: {
            const double left = clampd(v[2], 1, 2000) / 1000, right = clampd(v[3], 1, 2000) / 1000;
            alEffectf(e, AL_ECHO_DELAY, float(std::min(left, 0.207)));
            alEffectf(e, AL_ECHO_LRDELAY, float(clampd(right - left, 0, 0.404)));
            alEffectf(e, AL_ECHO_DAMPING, 0.f);
            alEffectf(e, AL_ECHO_FEEDBACK, float(clampd(v[1] / 100, 0, 0.99)));
            // Pan delay swaps the sides of the taps.
            alEffectf(e, AL_ECHO_SPREAD, std::lround(v[4]) ? 1.f : -1.f);
            return float(clampd(v[0] / 100, 0, 1));
        }
        case effect::kGargle:
            alEffectf(e, AL_RING_MODULATOR_FREQUENCY, float(clampd(std::round(v[0]), 1, 1000)));
            alEffectf(e, AL_RING_MODULATOR_HIGHPASS_CUTOFF, 0.f);
            alEffecti(e, AL_RING_MODULATOR_WAVEFORM, std::lround(v[1]) == 1 ? 2 : 0);
            return 1.f;
        case effect::kEqualizer: {
            const double centre = clampd(v[0], 80, 16000);
            const float width = float(clampd(v[1] / 12, 0.01, 1));
            const float gain =
                float(clampd(std::pow(10.0, clampd(v[2], -15, 15) / 20), 0.126, 7.943));
            const bool low = centre <= 3000;
            alEffectf(e, AL_EQUALIZER_MID1_GAIN, low ? gain : 1.f);
            alEffectf(e, AL_EQUALIZER_MID2_GAIN, low ? 1.f : gain);
            if (low) {
                alEffectf(e, AL_EQUALIZER_MID1_CENTER, float(clampd(centre, 200, 3000)));
                alEffectf(e, AL_EQUALIZER_MID1_WIDTH, width);
            } else {
                alEffectf(e, AL_EQUALIZER_MID2_CENTER, float(clampd(centre, 1000, 8000)));
                alEffectf(e, AL_EQUALIZER_MID2_WIDTH, width);
            }
            alEffectf(e, AL_EQUALIZER_LOW_GAIN, 1.f);
            alEffectf(e, AL_EQUALIZER_HIGH_GAIN, 1.f);
            return 1.f;
        }
        case effect::kReverb:
            alEffectf(
                e, AL_REVERB_GAIN,
                float(clampd(std::pow(10.0, (clampd(v[0], -96, 0) + clampd(v[1], -96, 0)) / 20), 0,
                             1)));
            alEffectf(e, AL_REVERB_DECAY_TIME, float(clampd(v[2] / 1000, 0.1, 20)));
            // Below 0.2 the mixer's high-frequency filter fails on short decays.
            alEffectf(e, AL_REVERB_DECAY_HFRATIO, float(clampd(v[3], 0.2, 2)));
            return 1.f;
        case effect::kCompressor:
            // EFX's compressor has no controls but on/off; the gain sets its level.
            alEffecti(e, AL_COMPRESSOR_ONOFF, 1);
            return float(clampd(std::pow(10.0, clampd(v[0], -60, 60) / 20), 0, 1));
        default:
            return 1.f;
    }
}

// ---- the engine -------------------------------------------------------------

struct Buffer {
    ALuint left = 0, right = 0, mono = 0;  // left: (L, 0), right: (0, R) stereo buffers
    int rate = kRate;
    size_t frames = 0;
    bool midi = false;
    std::vector<uint8_t> midi_bytes;
    double tempo = 1;  // the tempo its MIDI rendering has
};

struct Voice {
    ALuint src[2] = {0, 0};
    int count = 0;
    int32_t buffer = -1;
};

// A path's place in one effect's slot.
struct Slot {
    uint32_t fx = 0;
    int pool = -1;  // index in the engine's slot pool
    ALuint slot = 0;
};

// One EFX effect slot with its parameters. Linear effects process the sum of
// their inputs as they would each input alone, so paths whose effect has the
// same parameters share one slot: 64 echoing sounds cost one echo.
struct PooledSlot {
    EffectParams params;
    ALuint effect = 0, slot = 0;
    int refs = 0;
};
bool shareable(uint32_t fx) {
    return fx != effect::kCompressor && fx != effect::kDistortion;
}

struct Path {
    bool three_d = false;
    float gain = 1, left = 1, right = 1;
    std::vector<Voice> voices;
    std::vector<Slot> slots;
    Vec3 pos, vel, cone_dir{0, 0, 1};
    double min_dist = 1, max_dist = 1e9;
    int cone_in = 360, cone_out = 360;
    float cone_gain = 1;
};

// Opening the default device probes every backend, and the ones that find no
// hardware write their complaints to stderr; a missing device is told once,
// in our own words, instead.
ALCdevice* open_device_quietly() {
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0) dup2(null, 2);
    ALCdevice* d = alcOpenDevice(nullptr);
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
    if (null >= 0) close(null);
    return d;
}

class OpenAlAudio final : public IAudio {
public:
    OpenAlAudio(const AudioOptions& o) : m_console(o.console), m_midi(o.console, o.soundfont) {}

    bool open(bool in_memory) {
        ALCint attrs[] = {ALC_MAX_AUXILIARY_SENDS,
                          9,
                          ALC_OUTPUT_LIMITER_SOFT,
                          ALC_FALSE,
                          ALC_HRTF_SOFT,
                          ALC_FALSE,
                          0,
                          0,
                          0,
                          0,
                          0,
                          0,
                          0};
        if (!in_memory) {
            m_device = open_device_quietly();
            if (m_device) m_context = alcCreateContext(m_device, attrs);
            if (!m_context) {
                if (m_device) alcCloseDevice(m_device);
                m_device = nullptr;
                if (m_console)
                    m_console->err_line("kxrun: no sound device; the game plays without sound");
            }
        }
        if (!m_context) {
            m_in_memory = true;
            // A mix in memory needs no sound server; without this the library
            // probes them all on first use, and the sound servers' clients
            // complain on stderr (or stall) where there is no session.
            if (in_memory) setenv("ALSOFT_DRIVERS", "null", 0);
            m_device = alcLoopbackOpenDeviceSOFT(nullptr);
            if (!m_device) return false;
            attrs[6] = ALC_FORMAT_CHANNELS_SOFT;
            attrs[7] = ALC_STEREO_SOFT;
            attrs[8] = ALC_FORMAT_TYPE_SOFT;
            attrs[9] = ALC_FLOAT_SOFT;
            attrs[10] = ALC_FREQUENCY;
            attrs[11] = kRate;
            m_context = alcCreateContext(m_device, attrs);
            if (!m_context) {
                alcCloseDevice(m_device);
                m_device = nullptr;
                return false;
            }
        }
        alcMakeContextCurrent(m_context);
        alcGetIntegerv(m_device, ALC_MAX_AUXILIARY_SENDS, 1, &m_sends);
        alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
        // Games' 3D space looks along +z; OpenAL's along -z (z is mirrored).
        const ALfloat orient[] = {0, 0, -1, 0, 1, 0};
        alListenerfv(AL_ORIENTATION, orient);
        set_master_volume(1000);
        return true;
    }

    ~OpenAlAudio() override {
        end_dump();
        if (!m_context) return;
        alcMakeContextCurrent(m_context);
        for (size_t i = 0; i < m_paths.size(); ++i)
            if (m_path_used[i]) path_free(int32_t(i));
        for (size_t i = 0; i < m_buffers.size(); ++i)
            if (m_buffer_used[i]) buffer_free(int32_t(i));
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(m_context);
        alcCloseDevice(m_device);
    }

    bool in_memory() const override { return m_in_memory; }

    void advance_to(int64_t us) override {
        if (!m_in_memory || us <= 0) return;
        const int64_t target = (us * kRate + 500000) / 1000000;
        std::vector<float> chunk;
        while (m_rendered < target) {
            const int n = int(std::min<int64_t>(target - m_rendered, 4096));
            chunk.resize(size_t(n) * 2);
            alcRenderSamplesSOFT(m_device, chunk.data(), n);
            if (m_dump) sf_writef_float(m_dump, chunk.data(), n);
            m_rendered += n;
        }
    }

    bool dump_to(const std::string& path, std::string* error) override {
        end_dump();
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        m_dump = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!m_dump && error) *error = sf_strerror(nullptr);
        return m_dump != nullptr;
    }
    void end_dump() override {
        if (m_dump) sf_close(m_dump);
        m_dump = nullptr;
    }
    bool make_current() override { return m_context && alcMakeContextCurrent(m_context); }

    int32_t buffer_create(std::span<const uint8_t> bytes, std::string* error) override {
        Buffer b;
        Pcm pcm;
        if (is_midi(bytes)) {
            b.midi = true;
            b.midi_bytes.assign(bytes.begin(), bytes.end());
            b.tempo = m_tempo;
            m_midi.render(bytes, m_tempo, pcm);
        } else if (!decode_sample_file(bytes, pcm, error)) {
            return -1;
        }
        fill(b, pcm);
        return put(m_buffers, m_buffer_used, std::move(b));
    }

    void buffer_free(int32_t id) override {
        Buffer* b = buffer(id);
        if (!b) return;
        for (size_t i = 0; i < m_paths.size(); ++i) {
            if (!m_path_used[i]) continue;
            auto& vs = m_paths[i].voices;
            for (auto it = vs.begin(); it != vs.end();) {
                if (it->buffer == id) {
                    delete_voice(*it);
                    it = vs.erase(it);
                } else {
                    ++it;
                }
            }
        }
        ALuint ids[] = {b->left, b->right, b->mono};
        alDeleteBuffers(3, ids);
        m_buffer_used[size_t(id)] = false;
    }

    double buffer_length_ms(int32_t id) const override {
        if (id < 0 || size_t(id) >= m_buffers.size() || !m_buffer_used[size_t(id)]) return 0;
        const Buffer& b = m_buffers[size_t(id)];
        return double(b.frames) * 1000.0 / b.rate;
    }

    int32_t path_create(bool three_d) override {
        Path p;
        p.three_d = three_d;
        return put(m_paths, m_path_used, std::move(p));
    }

    void path_free(int32_t id) override {
        Path* p = path(id);
        if (!p) return;
        path_stop(id);
        for (auto& s : p->slots) release_slot(*p, s);
        p->slots.clear();
        m_path_used[size_t(id)] = false;
    }

    void path_play(int32_t id, int32_t buf, bool loop, double start_ms) override {
        Path* p = path(id);
        Buffer* b = buffer(buf);
        if (!p || !b) return;
        reap(*p);
        Voice v;
        v.buffer = buf;
        v.count = p->three_d ? 1 : 2;
        alGenSources(v.count, v.src);
        if (alGetError() != AL_NO_ERROR) return;  // out of sources: this copy stays silent
        for (int k = 0; k < v.count; ++k) {
            ALuint s = v.src[k];
            alSourcei(s, AL_BUFFER, ALint(p->three_d ? b->mono : k == 0 ? b->left : b->right));
            alSourcei(s, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
            if (!p->three_d) {
                alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
                alSourcei(s, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
                alSourcef(s, AL_ROLLOFF_FACTOR, 0.f);
            }
        }
        if (start_ms > 0) {
            const ALint off =
                ALint(std::min<double>(start_ms * b->rate / 1000.0, double(b->frames)));
            if (off >= ALint(b->frames)) {  // past the end: nothing sounds
                alDeleteSources(v.count, v.src);
                return;
            }
            for (int k = 0; k < v.count; ++k) alSourcei(v.src[k], AL_SAMPLE_OFFSET, off);
        }
        p->voices.push_back(v);
        apply(*p, p->voices.back());
        alSourcePlayv(v.count, v.src);
    }

    void path_stop(int32_t id) override {
        Path* p = path(id);
        if (!p) return;
        for (auto& v : p->voices) delete_voice(v);
        p->voices.clear();
    }

    bool path_playing(int32_t id) override {
        Path* p = path(id);
        if (!p) return false;
        reap(*p);
        return !p->voices.empty();
    }

    double path_position_ms(int32_t id) override {
        Path* p = path(id);
        if (!p) return 0;
        reap(*p);
        if (p->voices.empty()) return 0;
        const Voice& v = p->voices.back();
        ALfloat sec = 0;
        alGetSourcef(v.src[0], AL_SEC_OFFSET, &sec);
        return sec * 1000.0;
    }

    void path_set_volume(int32_t id, int32_t mb) override {
        if (Path* p = path(id)) {
            p->gain = float(gain_of_hundredths_db(std::clamp(mb, -10000, 0)));
            apply_all(*p);
        }
    }
    void path_set_pan(int32_t id, int32_t pan) override {
        Path* p = path(id);
        if (!p || p->three_d) return;
        pan = std::clamp(pan, -10000, 10000);
        p->left = pan > 0 ? float(gain_of_hundredths_db(-pan)) : 1.f;
        p->right = pan < 0 ? float(gain_of_hundredths_db(pan)) : 1.f;
        apply_all(*p);
    }

    void path_set_effects(int32_t id, uint32_t flags) override {
        Path* p = path(id);
        if (!p) return;
        for (auto& s : p->slots) release_slot(*p, s);
        p->slots.clear();
        for (uint32_t fx : kEffectOrder) {
            if (!(flags & fx) || int(p->slots.size()) >= m_sends) continue;
            const int k = acquire(default_params(fx));
            if (k >= 0) p->slots.push_back(Slot{fx, k, m_pool[size_t(k)].slot});
        }
        apply_all(*p);
    }

    bool path_set_effect(int32_t id, const EffectParams& params) override {
        Path* p = path(id);
        if (!p) return false;
        for (auto& s : p->slots)
            if (s.fx == params.effect) {
                const int k = acquire(params);
                if (k < 0) return true;
                release_slot(*p, s);
                s = Slot{params.effect, k, m_pool[size_t(k)].slot};
                apply_all(*p);
                return true;
            }
        return false;
    }

    void path_set_position(int32_t id, Vec3 v) override {
        set3d(id, [&](Path& p) { p.pos = v; });
    }
    void path_set_velocity(int32_t id, Vec3 v) override {
        set3d(id, [&](Path& p) { p.vel = v; });
    }
    void path_set_distance(int32_t id, double mn, double mx) override {
        set3d(id, [&](Path& p) {
            p.min_dist = mn;
            p.max_dist = mx;
        });
    }
    void path_set_cone(int32_t id, Vec3 o, int32_t in, int32_t out, int32_t outside_mb) override {
        set3d(id, [&](Path& p) {
            p.cone_dir = o;
            p.cone_in = std::clamp(in, 0, 360);
            p.cone_out = std::clamp(out, 0, 360);
            p.cone_gain = float(gain_of_hundredths_db(std::clamp(outside_mb, -10000, 0)));
        });
    }

    void set_master_volume(int32_t mb) override {
        alListenerf(AL_GAIN, float(gain_of_hundredths_db(std::clamp(mb, -10000, 1000) - 1000)));
    }

    void set_midi_tempo(double factor) override {
        if (factor == m_tempo) return;
        m_tempo = factor;
        for (size_t i = 0; i < m_buffers.size(); ++i) {
            Buffer& b = m_buffers[i];
            if (!m_buffer_used[i] || !b.midi) continue;
            // Copies that play carry on from the same place in the music.
            struct Playing {
                Path* path;
                size_t voice;
                double at;  // share of the piece
                bool loop;
            };
            std::vector<Playing> playing;
            for (size_t k = 0; k < m_paths.size(); ++k) {
                if (!m_path_used[k]) continue;
                Path& p = m_paths[k];
                reap(p);
                for (size_t vi = 0; vi < p.voices.size(); ++vi) {
                    Voice& v = p.voices[vi];
                    if (v.buffer != int32_t(i)) continue;
                    ALint off = 0, looping = 0;
                    alGetSourcei(v.src[0], AL_SAMPLE_OFFSET, &off);
                    alGetSourcei(v.src[0], AL_LOOPING, &looping);
                    alSourceStopv(v.count, v.src);
                    for (int c = 0; c < v.count; ++c) alSourcei(v.src[c], AL_BUFFER, 0);
                    playing.push_back(
                        {&p, vi, b.frames ? double(off) / double(b.frames) : 0.0, looping != 0});
                }
            }
            ALuint old[] = {b.left, b.right, b.mono};
            alDeleteBuffers(3, old);
            Pcm pcm;
            m_midi.render(b.midi_bytes, m_tempo, pcm);
            b.tempo = m_tempo;
            fill(b, pcm);
            for (const auto& pl : playing) {
                Voice& v = pl.path->voices[pl.voice];
                const ALint off = ALint(pl.at * double(b.frames));
                for (int c = 0; c < v.count; ++c) {
                    alSourcei(v.src[c], AL_BUFFER,
                              ALint(pl.path->three_d ? b.mono
                                    : c == 0         ? b.left
                                                     : b.right));
                    alSourcei(v.src[c], AL_LOOPING, pl.loop);
                    alSourcei(v.src[c], AL_SAMPLE_OFFSET, off);
                }
                alSourcePlayv(v.count, v.src);
            }
        }
    }

private:
    template <class T>
    static int32_t put(std::vector<T>& list, std::vector<bool>& used, T&& item) {
        for (size_t i = 0; i < list.size(); ++i)
            if (!used[i]) {
                list[i] = std::move(item);
                used[i] = true;
                return int32_t(i);
            }
        list.push_back(std::move(item));
        used.push_back(true);
        return int32_t(list.size() - 1);
    }
    Path* path(int32_t id) {
        return id >= 0 && size_t(id) < m_paths.size() && m_path_used[size_t(id)]
                   ? &m_paths[size_t(id)]
                   : nullptr;
    }
    Buffer* buffer(int32_t id) {
        return id >= 0 && size_t(id) < m_buffers.size() && m_buffer_used[size_t(id)]
                   ? &m_buffers[size_t(id)]
                   : nullptr;
    }

    static void fill(Buffer& b, const Pcm& pcm) {
        b.rate = pcm.rate;
        b.frames = pcm.frames();
        std::vector<float> left(pcm.lr.size()), right(pcm.lr.size()), mono(b.frames);
        for (size_t i = 0; i < b.frames; ++i) {
            left[2 * i] = pcm.lr[2 * i];
            right[2 * i + 1] = pcm.lr[2 * i + 1];
            mono[i] = 0.5f * (pcm.lr[2 * i] + pcm.lr[2 * i + 1]);
        }
        if (b.frames == 0) {  // OpenAL needs a sample; one of silence
            left.assign(2, 0.f);
            right.assign(2, 0.f);
            mono.assign(1, 0.f);
        }
        alGenBuffers(1, &b.left);
        alGenBuffers(1, &b.right);
        alGenBuffers(1, &b.mono);
        const ALsizei st = ALsizei(left.size() * sizeof(float));
        alBufferData(b.left, AL_FORMAT_STEREO_FLOAT32, left.data(), st, b.rate);
        alBufferData(b.right, AL_FORMAT_STEREO_FLOAT32, right.data(), st, b.rate);
        alBufferData(b.mono, AL_FORMAT_MONO_FLOAT32, mono.data(),
                     ALsizei(mono.size() * sizeof(float)), b.rate);
    }

    static void delete_voice(Voice& v) {
        alSourceStopv(v.count, v.src);
        alDeleteSources(v.count, v.src);
        v.count = 0;
    }

    // Copies that ended are let go.
    void reap(Path& p) {
        for (auto it = p.voices.begin(); it != p.voices.end();) {
            ALint st = AL_STOPPED;
            alGetSourcei(it->src[0], AL_SOURCE_STATE, &st);
            if (st == AL_STOPPED) {
                delete_voice(*it);
                it = p.voices.erase(it);
            } else {
                ++it;
            }
        }
    }

    void apply(const Path& p, const Voice& v) {
        for (int k = 0; k < v.count; ++k) {
            ALuint s = v.src[k];
            if (p.three_d) {
                alSourcef(s, AL_GAIN, p.gain);
                alSource3f(s, AL_POSITION, float(p.pos.x), float(p.pos.y), float(-p.pos.z));
                alSource3f(s, AL_VELOCITY, float(p.vel.x), float(p.vel.y), float(-p.vel.z));
                alSource3f(s, AL_DIRECTION, float(p.cone_dir.x), float(p.cone_dir.y),
                           float(-p.cone_dir.z));
                alSourcef(s, AL_REFERENCE_DISTANCE, float(std::max(p.min_dist, 0.0)));
                alSourcef(s, AL_MAX_DISTANCE, float(std::max(p.max_dist, 0.0)));
                alSourcef(s, AL_CONE_INNER_ANGLE, float(p.cone_in));
                alSourcef(s, AL_CONE_OUTER_ANGLE, float(p.cone_out));
                alSourcef(s, AL_CONE_OUTER_GAIN, p.cone_gain);
            } else {
                alSourcef(s, AL_GAIN, p.gain * (k == 0 ? p.left : p.right));
            }
            for (int send = 0; send < m_sends; ++send) {
                const ALint slot =
                    send < int(p.slots.size()) ? ALint(p.slots[size_t(send)].slot) : 0;
                alSource3i(s, AL_AUXILIARY_SEND_FILTER, slot, send, AL_FILTER_NULL);
            }
        }
    }
    void apply_all(Path& p) {
        for (auto& v : p.voices) apply(p, v);
    }
    template <class F>
    void set3d(int32_t id, F f) {
        Path* p = path(id);
        if (!p || !p->three_d) return;
        f(*p);
        apply_all(*p);
    }

    // A slot with these parameters, shared when the effect allows; -1 when
    // the mixer has none left.
    int acquire(const EffectParams& params) {
        if (shareable(params.effect))
            for (size_t i = 0; i < m_pool.size(); ++i) {
                PooledSlot& q = m_pool[i];
                if (q.refs > 0 && q.params.effect == params.effect &&
                    std::equal(std::begin(q.params.v), std::end(q.params.v),
                               std::begin(params.v))) {
                    ++q.refs;
                    return int(i);
                }
            }
        PooledSlot q;
        q.params = params;
        q.refs = 1;
        alGetError();
        alGenEffects(1, &q.effect);
        alEffecti(q.effect, AL_EFFECT_TYPE, al_effect_type(params.effect));
        alGenAuxiliaryEffectSlots(1, &q.slot);
        if (alGetError() != AL_NO_ERROR) {
            if (q.slot) alDeleteAuxiliaryEffectSlots(1, &q.slot);
            if (q.effect) alDeleteEffects(1, &q.effect);
            return -1;
        }
        const float wet = apply_params(q.effect, params);
        alAuxiliaryEffectSloti(q.slot, AL_EFFECTSLOT_EFFECT, ALint(q.effect));
        alAuxiliaryEffectSlotf(q.slot, AL_EFFECTSLOT_GAIN, wet);
        for (size_t i = 0; i < m_pool.size(); ++i)
            if (m_pool[i].refs == 0) {
                m_pool[i] = q;
                return int(i);
            }
        m_pool.push_back(q);
        return int(m_pool.size() - 1);
    }
    void release_slot(Path& p, Slot& s) {
        // The path's sources still sending to the slot would keep it alive.
        for (auto& v : p.voices)
            for (int k = 0; k < v.count; ++k)
                for (int send = 0; send < m_sends; ++send)
                    alSource3i(v.src[k], AL_AUXILIARY_SEND_FILTER, 0, send, AL_FILTER_NULL);
        if (s.pool >= 0 && size_t(s.pool) < m_pool.size() && --m_pool[size_t(s.pool)].refs == 0) {
            PooledSlot& q = m_pool[size_t(s.pool)];
            alDeleteAuxiliaryEffectSlots(1, &q.slot);
            alDeleteEffects(1, &q.effect);
            q.slot = q.effect = 0;
        }
        s = Slot{};
    }

    IConsole* m_console;
    MidiRenderer m_midi;
    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    bool m_in_memory = false;
    ALCint m_sends = 0;
    int64_t m_rendered = 0;
    SNDFILE* m_dump = nullptr;
    double m_tempo = 1;
    std::vector<Buffer> m_buffers;
    std::vector<bool> m_buffer_used;
    std::vector<Path> m_paths;
    std::vector<bool> m_path_used;
    std::vector<PooledSlot> m_pool;
};

}  // namespace

std::unique_ptr<IAudio> create_audio(const AudioOptions& opts) {
    auto a = std::make_unique<OpenAlAudio>(opts);
    if (!a->open(opts.in_memory)) return nullptr;
    return a;
}

}  // namespace kx
