#pragma once
// The sound resource and the sound list with its game-data record. The
// engine's part of a sound (its entry) lives in the sound subsystem.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class CStream;

// Sound kinds of the game data.
enum SoundKind : int32_t {
    kSoundEmpty = -1,
    kSoundNormal = 0,
    kSoundBackground = 1,
    kSound3D = 2,
    kSoundMultimedia = 3
};

class CSound {
public:
    int32_t kind = kSoundEmpty;
    std::string file_type;  // the source file's extension, with its dot
    std::string file_name;  // without folder
    std::optional<std::vector<uint8_t>> data;
    int32_t effects = 0;
    double volume = 1;
    double pan = 0;
    bool preload = true;
    int32_t sample = -1;  // engine entry, -1 when not loaded
    std::string temporary_file;

    // The record after the slot's name; false for a version it does not know.
    bool read(CStream& s);
    void write(CStream& s) const;
};

// Slots that may be empty, each with a name. Slots are never reused.
class SoundList {
public:
    struct Slot {
        std::string name;
        CSound sound;
    };
    int32_t count() const { return static_cast<int32_t>(m_slots.size()); }
    bool exists(int64_t index) const {
        return index >= 0 && index < count() && m_slots[static_cast<size_t>(index)].has_value();
    }
    CSound* get(int64_t index);
    const CSound* get(int64_t index) const;
    const std::string& name(int64_t index) const;  // "" for an empty slot
    int32_t add(std::string name, CSound sound);
    int32_t add_empty();
    void assign(int32_t index, std::string name, CSound sound);
    void remove(int32_t index);
    // Drops the slots from index on (a slot taken back at once).
    void truncate(int32_t index) {
        if (index >= 0 && index < count()) m_slots.resize(static_cast<size_t>(index));
    }
    void clear() { m_slots.clear(); }

    // The game data's sound section: version 400, slots with record version 600.
    bool read(CStream& s);
    void write(CStream& s) const;

private:
    std::vector<std::optional<Slot>> m_slots;
};

// The name a sound made at run time gets in its slot.
std::string new_sound_name(int32_t index);

}  // namespace kx
