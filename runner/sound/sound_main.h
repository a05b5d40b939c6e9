#pragma once
// The sound subsystem: the game's sounds, the engine entries that play them,
// the multimedia player and its repeat timer, and the fades in progress.
// Sound time is the platform clock's: with a virtual clock the in-memory mix
// is rendered in step with it.
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/subsystem.h"
#include "sound/mci_player.h"
#include "sound/sound_class.h"

namespace kx {

class IAudio;
class FunctionTable;
struct Runtime;

// An engine entry (its index is the handle a CSound keeps).
struct RSoundSample {
    bool used = false;
    int32_t kind = kSoundNormal;
    int32_t buffer = -1;    // the decoded sound; -1 for multimedia
    int32_t path = -1;      // where it plays; -1 for multimedia
    std::string file_name;  // multimedia only
    // Volume in hundredths of a decibel, and a fade toward target.
    double volume_mb = 0, target_mb = 0, fade_left_ms = 0;
};

struct SoundState {
    SoundList sounds;
    std::vector<RSoundSample> samples;
    IAudio* audio = nullptr;  // null: the engine did not start (multimedia only)
    std::unique_ptr<MciPlayer> player;
    // The multimedia player's repeat timer.
    bool timer_on = false;
    double timer_interval_ms = 0, timer_elapsed_ms = 0;
    std::string player_file;  // the file the player has open
    int32_t primary = -1;     // the entry playing as background music
    std::minstd_rand temp_names{12345};
    // Sound time: the clock when the game started and when it was last seen.
    bool clock_started = false;
    int64_t origin_us = 0, last_us = 0;
    bool dumping = false;
};

extern const Subsystem kSoundSubsystem;

// The operations the action library shares with the script functions.
// index names a sound of the list; a missing one does nothing.
void sound_play(Runtime& r, int64_t index, bool loop);
void sound_stop(Runtime& r, int64_t index);
bool sound_isplaying(Runtime& r, int64_t index);
// Replaces the sound from a file; false when the file does not exist.
bool sound_replace(Runtime& r, int32_t index, const std::string& file, int32_t kind, bool preload);

// Engine steps.
bool sound_load(Runtime& r, CSound& s);  // makes the entry when it can
void sound_free_entry(Runtime& r, CSound& s);
void sound_close_engine(Runtime& r);
// Sets the entry's volume now, or fades to it over duration_ms of sound time.
void sound_set_volume(Runtime& r, RSoundSample& e, double hundredths_db, double duration_ms);
// Advances fades, the repeat timer and the in-memory mix to the clock's now.
void sound_update(Runtime& r);
// The entry of a sound, loading it on first use; null when there is none.
RSoundSample* sound_entry(Runtime& r, int64_t index);

void register_function_sound(FunctionTable& table);
void register_function_cd(FunctionTable& table);

}  // namespace kx
