// The sound functions of scripts.
#include <algorithm>
#include <cmath>

#include "core/runtime.h"
#include "platform/audio.h"
#include "script/builtin_args.h"
#include "script/code_error.h"
#include "script/code_function.h"
#include "sound/sound_main.h"

namespace kx {
namespace {

SoundState& state() {
    return rt().get<SoundState>();
}

// The entry of the sound named by the first argument; a missing sound is
// reported. Null also when the sound has no usable entry.
RSoundSample* checked(const RValue* args) {
    SoundState& st = state();
    const int64_t i = arg_int(args[0]);
    if (!st.sounds.exists(i)) {
        report_with_context(rt(), "Sound does not exist.", false);
        return nullptr;
    }
    return sound_entry(rt(), i);
}
// The same for functions that shape the engine's sound: multimedia ignores them.
RSoundSample* engine_sound(const RValue* args) {
    RSoundSample* e = checked(args);
    return e && e->kind != kSoundMultimedia && state().audio ? e : nullptr;
}

KX_HANDLER(fn_sound_play) {
    if (checked(args)) sound_play(rt(), arg_int(args[0]), false);
}
KX_HANDLER(fn_sound_loop) {
    if (checked(args)) sound_play(rt(), arg_int(args[0]), true);
}
KX_HANDLER(fn_sound_stop) {
    if (checked(args)) sound_stop(rt(), arg_int(args[0]));
}
KX_HANDLER(fn_sound_stop_all) {
    SoundState& st = state();
    for (int32_t i = 0; i < st.sounds.count(); ++i)
        if (const CSound* s = st.sounds.get(i); s && s->sample >= 0) sound_stop(rt(), i);
}
KX_HANDLER(fn_sound_isplaying) {
    result.set_real(sound_isplaying(rt(), arg_int(args[0])) ? 1 : 0);
}
KX_HANDLER(fn_sound_volume) {
    if (RSoundSample* e = engine_sound(args))
        sound_set_volume(rt(), *e, std::round(arg_real(args[1]) * 9600) - 9600, 0);
}
KX_HANDLER(fn_sound_fade) {
    if (RSoundSample* e = engine_sound(args))
        sound_set_volume(rt(), *e, std::round(arg_real(args[1]) * 9600) - 9600,
                         std::round(arg_real(args[2])));
}
KX_HANDLER(fn_sound_pan) {
    if (RSoundSample* e = engine_sound(args))
        state().audio->path_set_pan(e->path, round_to_i32(arg_real(args[1]) * 10000));
}
KX_HANDLER(fn_sound_effect_set) {
    if (RSoundSample* e = engine_sound(args))
        state().audio->path_set_effects(e->path,
                                        static_cast<uint32_t>(std::max(arg_i32(args[1]), 0)));
}

// Effect parameters: `ints` marks the arguments that are whole numbers.
void set_effect(const RValue* args, uint32_t fx, int n, std::initializer_list<int> ints) {
    RSoundSample* e = engine_sound(args);
    if (!e) return;
    EffectParams p;
    p.effect = fx;
    for (int i = 0; i < n; ++i) p.v[i] = arg_real(args[i + 1]);
    for (int i : ints) p.v[i] = static_cast<double>(arg_int(args[i + 1]));
    state().audio->path_set_effect(e->path, p);
}
KX_HANDLER(fn_sound_effect_chorus) {
    set_effect(args, effect::kChorus, 7, {4, 6});
}
KX_HANDLER(fn_sound_effect_compressor) {
    set_effect(args, effect::kCompressor, 6, {});
}
KX_HANDLER(fn_sound_effect_echo) {
    set_effect(args, effect::kEcho, 5, {4});
}
KX_HANDLER(fn_sound_effect_flanger) {
    set_effect(args, effect::kFlanger, 7, {4, 6});
}
KX_HANDLER(fn_sound_effect_gargle) {
    set_effect(args, effect::kGargle, 2, {0, 1});
}
KX_HANDLER(fn_sound_effect_equalizer) {
    set_effect(args, effect::kEqualizer, 3, {});
}
KX_HANDLER(fn_sound_effect_reverb) {
    set_effect(args, effect::kReverb, 4, {});
}

Vec3 vec(const RValue* args) {
    return {arg_real(args[1]), arg_real(args[2]), arg_real(args[3])};
}
RSoundSample* sound_3d(const RValue* args) {
    RSoundSample* e = engine_sound(args);
    return e && e->kind == kSound3D ? e : nullptr;
}
KX_HANDLER(fn_sound_3d_set_sound_position) {
    if (RSoundSample* e = sound_3d(args)) state().audio->path_set_position(e->path, vec(args));
}
KX_HANDLER(fn_sound_3d_set_sound_velocity) {
    if (RSoundSample* e = sound_3d(args)) state().audio->path_set_velocity(e->path, vec(args));
}
KX_HANDLER(fn_sound_3d_set_sound_distance) {
    if (RSoundSample* e = sound_3d(args))
        state().audio->path_set_distance(e->path, std::max(arg_real(args[1]), 0.0),
                                         arg_real(args[2]));
}
KX_HANDLER(fn_sound_3d_set_sound_cone) {
    if (RSoundSample* e = sound_3d(args))
        state().audio->path_set_cone(e->path, vec(args), arg_i32(args[4]), arg_i32(args[5]),
                                     round_to_i32(arg_real(args[6]) * 10000 - 10000));
}

KX_HANDLER(fn_sound_global_volume) {
    if (IAudio* a = state().audio) {
        const int64_t v = round_even(arg_real(args[0]) * 11000 - 10000);
        a->set_master_volume(static_cast<int32_t>(std::clamp<int64_t>(v, -10000, 1000)));
    }
}
KX_HANDLER(fn_sound_background_tempo) {
    if (IAudio* a = state().audio) {
        const float f = static_cast<float>(arg_real(args[0]));
        a->set_midi_tempo(std::isnan(f) ? 0.01 : std::clamp(static_cast<double>(f), 0.01, 100.0));
    }
}
// Sounds travel inside the game file, so there is nothing to search for.
KX_HANDLER(fn_sound_set_search_directory) {}

KX_HANDLER(fn_sound_name) {
    const int64_t i = arg_int(args[0]);
    result = state().sounds.exists(i) ? RValue(std::string_view(state().sounds.name(i)))
                                      : RValue("<undefined>");
}
KX_HANDLER(fn_sound_exists) {
    result.set_real(state().sounds.exists(arg_int(args[0])) ? 1 : 0);
}
KX_HANDLER(fn_sound_get_kind) {
    const CSound* s = state().sounds.get(arg_int(args[0]));
    result.set_real(s ? s->kind : -1);
}
KX_HANDLER(fn_sound_get_preload) {
    const CSound* s = state().sounds.get(arg_int(args[0]));
    result.set_real(s ? (s->preload ? 1 : 0) : -1);
}
KX_HANDLER(fn_sound_discard) {
    if (CSound* s = state().sounds.get(arg_int(args[0]))) sound_free_entry(rt(), *s);
}
KX_HANDLER(fn_sound_restore) {
    if (CSound* s = state().sounds.get(arg_int(args[0]))) sound_load(rt(), *s);
}
KX_HANDLER(fn_sound_add) {
    SoundList& list = state().sounds;
    const int32_t i = list.add_empty();
    list.assign(i, new_sound_name(i), CSound{});
    if (sound_replace(rt(), i, std::string(arg_text(args[0])), arg_i32(args[1]),
                      arg_bool(args[2]))) {
        result.set_real(i);
        return;
    }
    // The slot is taken back: the list ends where it did.
    list.remove(i);
    list.truncate(i);
    result.set_real(-1);
}
KX_HANDLER(fn_sound_replace) {
    const int64_t i = arg_int(args[0]);
    if (!state().sounds.exists(i)) {
        report_with_context(rt(), "Trying to replace non-existing sound.", false);
        return;
    }
    result.set_real(sound_replace(rt(), static_cast<int32_t>(i), std::string(arg_text(args[1])),
                                  arg_i32(args[2]), arg_bool(args[3]))
                        ? 1
                        : 0);
}
KX_HANDLER(fn_sound_delete) {
    const int64_t i = arg_int(args[0]);
    CSound* s = state().sounds.get(i);
    if (!s) {
        report_with_context(rt(), "Trying to delete non-existing sound.", false);
        return;
    }
    sound_free_entry(rt(), *s);
    state().sounds.remove(static_cast<int32_t>(i));
    result.set_real(1);
}

constexpr BuiltinDef kSoundFunctions[] = {
    {"sound_play", fn_sound_play, 1},
    {"sound_loop", fn_sound_loop, 1},
    {"sound_stop", fn_sound_stop, 1},
    {"sound_stop_all", fn_sound_stop_all, 0},
    {"sound_isplaying", fn_sound_isplaying, 1},
    {"sound_volume", fn_sound_volume, 2},
    {"sound_fade", fn_sound_fade, 3},
    {"sound_pan", fn_sound_pan, 2},
    {"sound_background_tempo", fn_sound_background_tempo, 1},
    {"sound_global_volume", fn_sound_global_volume, 1},
    {"sound_set_search_directory", fn_sound_set_search_directory, 1},
    {"sound_effect_set", fn_sound_effect_set, 2},
    {"sound_effect_chorus", fn_sound_effect_chorus, 8},
    {"sound_effect_compressor", fn_sound_effect_compressor, 7},
    {"sound_effect_echo", fn_sound_effect_echo, 6},
    {"sound_effect_flanger", fn_sound_effect_flanger, 8},
    {"sound_effect_gargle", fn_sound_effect_gargle, 3},
    {"sound_effect_equalizer", fn_sound_effect_equalizer, 4},
    {"sound_effect_reverb", fn_sound_effect_reverb, 5},
    {"sound_3d_set_sound_position", fn_sound_3d_set_sound_position, 4},
    {"sound_3d_set_sound_velocity", fn_sound_3d_set_sound_velocity, 4},
    {"sound_3d_set_sound_distance", fn_sound_3d_set_sound_distance, 3},
    {"sound_3d_set_sound_cone", fn_sound_3d_set_sound_cone, 7},
    {"sound_name", fn_sound_name, 1},
    {"sound_exists", fn_sound_exists, 1},
    {"sound_get_name", fn_sound_name, 1},
    {"sound_get_kind", fn_sound_get_kind, 1},
    {"sound_get_preload", fn_sound_get_preload, 1},
    {"sound_discard", fn_sound_discard, 1},
    {"sound_restore", fn_sound_restore, 1},
    {"sound_add", fn_sound_add, 3},
    {"sound_replace", fn_sound_replace, 4},
    {"sound_delete", fn_sound_delete, 1},
};

}  // namespace

void register_function_sound(FunctionTable& table) {
    table.add(kSoundFunctions);
}

}  // namespace kx
