#include "sound/sound_class.h"

#include "gamedata/cstream.h"

namespace kx {

namespace {
constexpr int32_t kSectionVersion = 400;
constexpr int32_t kRecordVersion = 600;
const std::string kNoName;
}  // namespace

bool CSound::read(CStream& s) {
    if (s.read_int() != kRecordVersion) return false;
    kind = s.read_int();
    file_type = s.read_string();
    file_name = s.read_string();
    data.reset();
    if (s.read_bool()) data = std::move(s.read_compressed().data());
    effects = s.read_int();
    volume = s.read_real();
    pan = s.read_real();
    preload = s.read_bool();
    return true;
}

void CSound::write(CStream& s) const {
    s.write_int(kRecordVersion);
    s.write_int(kind);
    s.write_string(file_type);
    s.write_string(file_name);
    s.write_bool(data.has_value());
    if (data) s.write_compressed(*data);
    s.write_int(effects);
    s.write_real(volume);
    s.write_real(pan);
    s.write_bool(preload);
}

CSound* SoundList::get(int64_t index) {
    return exists(index) ? &m_slots[static_cast<size_t>(index)]->sound : nullptr;
}
const CSound* SoundList::get(int64_t index) const {
    return exists(index) ? &m_slots[static_cast<size_t>(index)]->sound : nullptr;
}
const std::string& SoundList::name(int64_t index) const {
    return exists(index) ? m_slots[static_cast<size_t>(index)]->name : kNoName;
}
int32_t SoundList::add(std::string name, CSound sound) {
    m_slots.push_back(Slot{std::move(name), std::move(sound)});
    return count() - 1;
}
int32_t SoundList::add_empty() {
    m_slots.emplace_back();
    return count() - 1;
}
void SoundList::assign(int32_t index, std::string name, CSound sound) {
    if (index < 0 || index >= count()) return;
    m_slots[static_cast<size_t>(index)] = Slot{std::move(name), std::move(sound)};
}
void SoundList::remove(int32_t index) {
    if (index >= 0 && index < count()) m_slots[static_cast<size_t>(index)].reset();
}

bool SoundList::read(CStream& s) {
    m_slots.clear();
    if (s.read_int() != kSectionVersion) return false;
    const int32_t n = s.read_int();
    if (n < 0 || static_cast<size_t>(n) > s.remaining() / 4) return false;
    for (int32_t i = 0; i < n; ++i) {
        if (!s.read_bool()) {
            add_empty();
            continue;
        }
        Slot slot;
        slot.name = s.read_string();
        if (!slot.sound.read(s)) return false;
        m_slots.push_back(std::move(slot));
    }
    return true;
}

void SoundList::write(CStream& s) const {
    s.write_int(kSectionVersion);
    s.write_int(count());
    for (const auto& slot : m_slots) {
        s.write_bool(slot.has_value());
        if (!slot) continue;
        s.write_string(slot->name);
        slot->sound.write(s);
    }
}

std::string new_sound_name(int32_t index) {
    return "__newsound" + std::to_string(index);
}

}  // namespace kx
