#pragma once
// The sound engine behind the seam. Callers see buffers (decoded sound files)
// and paths (what every copy played through one path shares: volume, pan,
// effects, 3D parameters) as ids; levels travel in hundredths of a decibel.
//
// Two kinds of output: a sound device that mixes on its own clock, and an
// in-memory mix that advances only when advance_to renders it (headless runs,
// and windowed runs without a usable device), so time is the caller's clock.
//
// Other code in the process may play into the same mix: the engine keeps its
// context current on the thread that created it (see make_current).
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kx {

class IConsole;

// Effect flags as games give them; the chain order is kEffectOrder's.
namespace effect {
constexpr uint32_t kChorus = 1, kEcho = 2, kFlanger = 4, kGargle = 8, kReverb = 16,
                   kCompressor = 32, kEqualizer = 64, kDistortion = 128, kRoomReverb = 256;
}
constexpr uint32_t kEffectOrder[] = {effect::kChorus,     effect::kEcho,       effect::kFlanger,
                                     effect::kGargle,     effect::kEqualizer,  effect::kReverb,
                                     effect::kCompressor, effect::kDistortion, effect::kRoomReverb};

// One effect's parameters in the units games use, in the order games pass
// them (a chorus: wetdry, depth, feedback, frequency, wave, delay, phase).
struct EffectParams {
    uint32_t effect = 0;  // one flag
    double v[8] = {};
};

// 3D parameters of a path, as games give them (left-handed, z into the screen).
struct Vec3 {
    double x = 0, y = 0, z = 0;
};

class IAudio {
public:
    virtual ~IAudio() = default;

    // True when the mix advances only through advance_to.
    virtual bool in_memory() const = 0;
    // Renders the in-memory mix up to `us` microseconds after the engine
    // started (a sound device ignores it). Never renders backwards.
    virtual void advance_to(int64_t us) = 0;
    // Every rendered sample from now on also goes to this WAV file (32-bit
    // float stereo at 44,100 Hz). False with a reason when it cannot be made.
    virtual bool dump_to(const std::string& path, std::string* error) = 0;
    // Closes the dump file, complete.
    virtual void end_dump() = 0;
    // Makes the engine's context current on the calling thread; false when
    // there is none.
    virtual bool make_current() = 0;

    // Decodes a sound file (WAV, Ogg Vorbis, FLAC, MP3, MIDI, ...) into a
    // buffer; -1 with a reason when the data is not a sound it can read.
    virtual int32_t buffer_create(std::span<const uint8_t> file_bytes, std::string* error) = 0;
    virtual void buffer_free(int32_t buffer) = 0;
    virtual double buffer_length_ms(int32_t buffer) const = 0;

    virtual int32_t path_create(bool three_d) = 0;
    // Stops everything playing on it.
    virtual void path_free(int32_t path) = 0;
    // Starts one more copy of the buffer on the path, start_ms into it.
    virtual void path_play(int32_t path, int32_t buffer, bool loop, double start_ms) = 0;
    virtual void path_stop(int32_t path) = 0;
    virtual bool path_playing(int32_t path) = 0;
    // Milliseconds into the copy started last (0 when none plays).
    virtual double path_position_ms(int32_t path) = 0;
    virtual void path_set_volume(int32_t path, int32_t hundredths_db) = 0;
    // -10000 (right silent) ... 10000 (left silent), hundredths of a decibel.
    virtual void path_set_pan(int32_t path, int32_t pan) = 0;
    virtual void path_set_effects(int32_t path, uint32_t flags) = 0;
    // False when the effect is not on the path.
    virtual bool path_set_effect(int32_t path, const EffectParams& params) = 0;
    virtual void path_set_position(int32_t path, Vec3 p) = 0;
    virtual void path_set_velocity(int32_t path, Vec3 v) = 0;
    virtual void path_set_distance(int32_t path, double min_dist, double max_dist) = 0;
    virtual void path_set_cone(int32_t path, Vec3 orientation, int32_t angle_in, int32_t angle_out,
                               int32_t outside_hundredths_db) = 0;

    // Hundredths of a decibel; 1000 (the value games start with) is full scale.
    virtual void set_master_volume(int32_t hundredths_db) = 0;
    // Speeds MIDI music up or down without changing its pitch.
    virtual void set_midi_tempo(double factor) = 0;
};

struct AudioOptions {
    bool in_memory = false;       // headless: render only through advance_to
    IConsole* console = nullptr;  // where the one-time warnings go
    std::string soundfont;        // the MIDI soundfont the user named, if any
};

// The OpenAL Soft engine. Without a usable sound device it falls back to the
// in-memory mix and warns once; null only when OpenAL cannot run at all.
std::unique_ptr<IAudio> create_audio(const AudioOptions& opts);

// Gain factor of a level in hundredths of a decibel.
double gain_of_hundredths_db(double hundredths_db);

}  // namespace kx
