#include "sound/sound_main.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "platform/audio.h"
#include "platform/platform.h"
#include "script/script_state.h"

namespace kx {

namespace fs = std::filesystem;

namespace {

// The multimedia player's one device.
constexpr const char* kPlayerAlias = "kxsound";

bool uses_engine(int32_t kind) {
    return kind == kSoundNormal || kind == kSoundBackground || kind == kSound3D;
}

int32_t new_entry(SoundState& st, int32_t kind) {
    for (size_t i = 0; i < st.samples.size(); ++i)
        if (!st.samples[i].used) {
            st.samples[i] = RSoundSample{};
            st.samples[i].used = true;
            st.samples[i].kind = kind;
            return static_cast<int32_t>(i);
        }
    st.samples.push_back(RSoundSample{});
    st.samples.back().used = true;
    st.samples.back().kind = kind;
    return static_cast<int32_t>(st.samples.size() - 1);
}

RSoundSample* entry_of(SoundState& st, const CSound& s) {
    if (s.sample < 0 || static_cast<size_t>(s.sample) >= st.samples.size()) return nullptr;
    RSoundSample& e = st.samples[static_cast<size_t>(s.sample)];
    return e.used ? &e : nullptr;
}

std::string temporary_file(SoundState& st, const Runtime& r, const std::string& ext) {
    const fs::path dir =
        r.options.temp_dir.empty() ? fs::temp_directory_path() : fs::path(r.options.temp_dir);
    // Only the extension comes from the game: it must not lead elsewhere.
    std::string safe;
    for (char c : ext)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.') safe += c;
    std::error_code ec;
    for (;;) {
        fs::path p = dir / ("a" + std::to_string(st.temp_names() % 100000) + safe);
        if (!fs::exists(p, ec)) return p.string();
    }
}

void apply_volume(SoundState& st, RSoundSample& e) {
    if (st.audio && e.path >= 0)
        st.audio->path_set_volume(e.path, static_cast<int32_t>(std::lround(e.volume_mb)));
}

void set_volume(SoundState& st, RSoundSample& e, double mb, double duration_ms) {
    e.target_mb = mb;
    e.fade_left_ms = duration_ms > 0 ? duration_ms : 0;
    if (e.fade_left_ms == 0) {
        e.volume_mb = mb;
        apply_volume(st, e);
    }
}

std::string player_send(SoundState& st, const std::string& cmd) {
    return st.player ? st.player->send(cmd) : std::string();
}

void player_stop(SoundState& st) {
    if (player_send(st, std::string("status ") + kPlayerAlias + " mode") == "playing")
        player_send(st, std::string("stop ") + kPlayerAlias);
    st.timer_on = false;
}

}  // namespace

bool sound_load(Runtime& r, CSound& s) {
    SoundState& st = r.get<SoundState>();
    if (entry_of(st, s)) return true;
    if (uses_engine(s.kind) && s.data) {
        int32_t kind = st.audio ? s.kind : kSoundMultimedia;
        int32_t buffer = -1, path = -1;
        if (kind != kSoundMultimedia) {
            buffer = st.audio->buffer_create(*s.data, nullptr);
            if (buffer < 0) kind = kSoundMultimedia;
        }
        if (kind != kSoundMultimedia) {
            path = st.audio->path_create(kind == kSound3D);
            if (path < 0) {
                st.audio->buffer_free(buffer);
                kind = kSoundMultimedia;
            }
        }
        if (kind == kSoundMultimedia) {
            s.kind = kSoundMultimedia;
        } else {
            const int32_t i = new_entry(st, kind);
            st.samples[size_t(i)].buffer = buffer;
            st.samples[size_t(i)].path = path;
            s.sample = i;
        }
    }
    if (s.kind == kSoundMultimedia) {
        if (s.data) {
            s.temporary_file = temporary_file(st, r, s.file_type);
            std::ofstream f(s.temporary_file, std::ios::binary | std::ios::trunc);
            f.write(reinterpret_cast<const char*>(s.data->data()),
                    static_cast<std::streamsize>(s.data->size()));
            s.data.reset();
        }
        std::error_code ec;
        if (!s.temporary_file.empty() && fs::exists(s.temporary_file, ec)) {
            const int32_t i = new_entry(st, kSoundMultimedia);
            st.samples[size_t(i)].file_name = s.temporary_file;
            s.sample = i;
        }
    }
    RSoundSample* e = entry_of(st, s);
    if (!e) return false;
    if (e->kind != kSoundMultimedia && st.audio) {
        if (s.effects > 0) st.audio->path_set_effects(e->path, static_cast<uint32_t>(s.effects));
        set_volume(st, *e, std::round(s.volume * 9600) - 9600, 0);
        st.audio->path_set_pan(e->path, static_cast<int32_t>(std::lround(s.pan * 10000)));
    }
    return true;
}

RSoundSample* sound_entry(Runtime& r, int64_t index) {
    SoundState& st = r.get<SoundState>();
    CSound* s = st.sounds.get(index);
    if (!s) return nullptr;
    if (!entry_of(st, *s)) sound_load(r, *s);
    return entry_of(st, *s);
}

void sound_play(Runtime& r, int64_t index, bool loop) {
    SoundState& st = r.get<SoundState>();
    RSoundSample* e = sound_entry(r, index);
    if (!e) return;
    if (e->kind != kSoundMultimedia) {
        if (e->kind == kSoundBackground) {
            // The background music is one piece at a time: a new one replaces it.
            if (st.primary >= 0 && static_cast<size_t>(st.primary) < st.samples.size() &&
                st.samples[size_t(st.primary)].used)
                st.audio->path_stop(st.samples[size_t(st.primary)].path);
            st.primary = static_cast<int32_t>(e - st.samples.data());
        }
        st.audio->path_play(e->path, e->buffer, loop, 0);
        return;
    }
    const std::string file = e->file_name;
    if (file.size() >= 127) {
        if (r.platform && r.platform->dialogs())
            r.platform->dialogs()->message("", "Music file name too long for player.");
        return;
    }
    std::error_code ec;
    if (!fs::exists(file, ec)) return;
    player_stop(st);
    player_send(st, std::string("close ") + kPlayerAlias);
    st.player_file.clear();
    int err = 0;
    if (st.player) st.player->send("open \"" + file + "\" alias " + kPlayerAlias, &err);
    if (!st.player || err) return;
    st.player_file = file;
    player_send(st, std::string("seek ") + kPlayerAlias + " to start");
    player_send(st, std::string("play ") + kPlayerAlias);
    st.timer_on = false;
    st.timer_interval_ms =
        std::atof(player_send(st, std::string("status ") + kPlayerAlias + " length").c_str());
    st.timer_elapsed_ms = 0;
    st.timer_on = loop && st.timer_interval_ms > 0;
}

void sound_stop(Runtime& r, int64_t index) {
    SoundState& st = r.get<SoundState>();
    RSoundSample* e = sound_entry(r, index);
    if (!e) return;
    if (e->kind != kSoundMultimedia) {
        st.audio->path_stop(e->path);
    } else if (st.player_file == e->file_name) {
        player_stop(st);
    }
}

bool sound_isplaying(Runtime& r, int64_t index) {
    SoundState& st = r.get<SoundState>();
    RSoundSample* e = sound_entry(r, index);
    if (!e) return false;
    if (e->kind != kSoundMultimedia) return st.audio->path_playing(e->path);
    return st.player_file == e->file_name &&
           player_send(st, std::string("status ") + kPlayerAlias + " mode") == "playing";
}

void sound_free_entry(Runtime& r, CSound& s) {
    SoundState& st = r.get<SoundState>();
    RSoundSample* e = entry_of(st, s);
    if (!e) {
        s.sample = -1;
        return;
    }
    if (e->kind != kSoundMultimedia) {
        if (st.audio) {
            st.audio->path_free(e->path);
            st.audio->buffer_free(e->buffer);
        }
        if (st.primary == s.sample) st.primary = -1;
    } else if (st.player_file == e->file_name) {
        player_stop(st);
    }
    *e = RSoundSample{};
    s.sample = -1;
}

bool sound_replace(Runtime& r, int32_t index, const std::string& file, int32_t kind, bool preload) {
    SoundState& st = r.get<SoundState>();
    CSound* s = st.sounds.get(index);
    if (!s) return false;
    sound_free_entry(r, *s);
    *s = CSound{};
    std::ifstream f(file, std::ios::binary);
    if (!f) return false;
    const fs::path p(file);
    s->kind = kind;
    s->file_type = p.extension().string();
    s->file_name = p.filename().string();
    s->data =
        std::vector<uint8_t>{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    s->preload = preload;
    if (preload) sound_load(r, *s);
    return true;
}

void sound_close_engine(Runtime& r) {
    SoundState& st = r.get<SoundState>();
    for (int32_t i = 0; i < st.sounds.count(); ++i)
        if (CSound* s = st.sounds.get(i)) sound_free_entry(r, *s);
    st.samples.clear();
    st.primary = -1;
    if (st.player) {
        player_stop(st);
        st.player->close_all();
    }
    st.player_file.clear();
    st.timer_on = false;
}

void sound_update(Runtime& r) {
    SoundState& st = r.get<SoundState>();
    if (!st.clock_started || !r.platform || !r.platform->clock()) return;
    const int64_t now = r.platform->clock()->now_us();
    // What was set up to now sounds up to now; fades then move on.
    if (st.audio) st.audio->advance_to(now - st.origin_us);
    const double dt_ms = std::max<int64_t>(now - st.last_us, 0) / 1000.0;
    st.last_us = now;
    if (dt_ms > 0) {
        for (auto& e : st.samples) {
            if (!e.used || e.fade_left_ms <= 0) continue;
            const double step = std::min(dt_ms, e.fade_left_ms);
            e.volume_mb += (e.target_mb - e.volume_mb) * step / e.fade_left_ms;
            e.fade_left_ms -= step;
            if (e.fade_left_ms <= 0) e.volume_mb = e.target_mb;
            apply_volume(st, e);
        }
        if (st.timer_on) {
            st.timer_elapsed_ms += dt_ms;
            if (st.timer_elapsed_ms >= st.timer_interval_ms) {
                st.timer_elapsed_ms = std::fmod(st.timer_elapsed_ms, st.timer_interval_ms);
                player_send(st, std::string("seek ") + kPlayerAlias + " to start");
                player_send(st, std::string("play ") + kPlayerAlias);
            }
        }
    }
}

void sound_set_volume(Runtime& r, RSoundSample& e, double mb, double duration_ms) {
    set_volume(r.get<SoundState>(), e, mb, duration_ms);
}

namespace {

void create(Runtime& r) {
    r.emplace<SoundState>();
}

void register_builtins(Runtime& r) {
    ScriptState& st = r.get<ScriptState>();
    register_function_sound(st.functions);
    register_function_cd(st.functions);
}

bool read_sounds(Runtime& r, CStream& s) {
    return r.get<SoundState>().sounds.read(s);
}

int32_t find_sound(Runtime& r, std::string_view name) {
    const SoundList& list = r.get<SoundState>().sounds;
    for (int32_t i = 0; i < list.count(); ++i)
        if (list.exists(i) && list.name(i) == name) return i;
    return -1;
}

bool prepare_sounds(Runtime& r) {
    SoundState& st = r.get<SoundState>();
    sound_close_engine(r);
    st.audio = r.platform ? r.platform->audio() : nullptr;
    st.player = std::make_unique<MciPlayer>(st.audio);
    if (st.audio) {
        st.audio->make_current();
        st.audio->set_master_volume(1000);
        if (!r.options.dump_audio.empty() && !st.dumping) {
            std::string why;
            if (st.audio->dump_to(r.options.dump_audio, &why))
                st.dumping = true;
            else if (r.platform->console())
                r.platform->console()->err_line("kxrun: cannot write " + r.options.dump_audio +
                                                ": " + why);
        }
    }
    for (int32_t i = 0; i < st.sounds.count(); ++i)
        if (CSound* s = st.sounds.get(i); s && s->preload) sound_load(r, *s);
    return true;
}

void game_start(Runtime& r) {
    SoundState& st = r.get<SoundState>();
    if (st.clock_started || !r.platform || !r.platform->clock()) return;
    st.clock_started = true;
    st.origin_us = st.last_us = r.platform->clock()->now_us();
}

void game_end(Runtime& r) {
    sound_update(r);
}

void shutdown(Runtime& r) {
    SoundState& st = r.get<SoundState>();
    sound_update(r);
    sound_close_engine(r);
    st.player.reset();
    if (st.audio && st.dumping) st.audio->end_dump();
    st.dumping = false;
}

constexpr SectionReader kSectionReaders[] = {{Section::Sounds, read_sounds}};
constexpr ResourceFinder kFinders[] = {{ResourceKind::Sound, find_sound}};
constexpr LoadStep kLoadSteps[] = {{LoadStage::Sounds, prepare_sounds}};
constexpr PhaseStep kPhases[] = {
    {Phase::GameStart, game_start}, {Phase::Messages, sound_update}, {Phase::GameEnd, game_end}};

}  // namespace

const Subsystem kSoundSubsystem{
    .name = "sound",
    .create = create,
    .register_builtins = register_builtins,
    .sections = kSectionReaders,
    .finders = kFinders,
    .load_steps = kLoadSteps,
    .phases = kPhases,
    .shutdown = shutdown,
};

}  // namespace kx
