// CD audio and the multimedia command pass-through. The commands go to the
// same interpreter that plays multimedia sounds; on this machine "cdaudio" is
// a device that does not exist, so every CD function finds no CD.
#include <cctype>
#include <string>

#include "core/runtime.h"
#include "platform/platform.h"
#include "script/builtin_args.h"
#include "script/code_function.h"
#include "sound/sound_main.h"

namespace kx {
namespace {

// A reply buffer of `size` characters holds size - 1 of them.
std::string send(std::string_view cmd, size_t size = 20) {
    SoundState& st = rt().get<SoundState>();
    // Commands may come before the sounds are prepared (a game's own code at
    // load time, --eval): the player is the platform's all the same.
    if (!st.player)
        st.player = std::make_unique<MciPlayer>(rt().platform ? rt().platform->audio() : nullptr);
    std::string reply = st.player->send(cmd);
    if (reply.size() > size - 1) reply.resize(size - 1);
    return reply;
}

// A reply with a digit is read as a whole decimal number; one without is 0.
int64_t number(const std::string& reply) {
    bool digit = false;
    for (char c : reply) digit = digit || std::isdigit(static_cast<unsigned char>(c));
    if (!digit) return 0;
    try {
        return std::stoll(reply);
    } catch (...) {
        return 0;
    }
}

bool present() {
    send("open cdaudio");
    return send("status cdaudio media present") == "true";
}

int64_t cd_number() {
    send("open cdaudio");
    if (!present()) return 0;
    return number(send("status cdaudio number of tracks"));
}
bool cd_playing() {
    send("open cdaudio");
    if (!present()) return false;
    return send("status cdaudio mode") == "playing";
}
int64_t cd_track() {
    send("open cdaudio");
    send("set cdaudio time format tmsf wait");
    if (!present()) return 0;
    const std::string pos = send("status cdaudio position");
    return number(pos.substr(0, 2));
}

KX_HANDLER(fn_cd_init) {
    send("close cdaudio");
    send("open cdaudio");
}
KX_HANDLER(fn_cd_present) {
    result.set_real(present() ? 1 : 0);
}
KX_HANDLER(fn_cd_number) {
    result.set_real(static_cast<double>(cd_number()));
}
KX_HANDLER(fn_cd_playing) {
    result.set_real(cd_playing() ? 1 : 0);
}
KX_HANDLER(fn_cd_paused) {
    send("open cdaudio");
    if (!present()) return;
    const std::string mode = send("status cdaudio mode");
    result.set_real(mode == "paused" || send("status cdaudio mode") == "stopped" ? 1 : 0);
}
KX_HANDLER(fn_cd_track) {
    result.set_real(static_cast<double>(cd_track()));
}
KX_HANDLER(fn_cd_length) {
    send("open cdaudio");
    send("set cdaudio time format ms wait");
    if (!present()) return;
    result.set_real(static_cast<double>(number(send("status cdaudio length wait"))));
    send("set cdaudio time format tmsf wait");
}
KX_HANDLER(fn_cd_track_length) {
    send("open cdaudio");
    const int64_t n = arg_int(args[0]);
    if (n <= 0 || n > cd_number()) return;
    send("set cdaudio time format milliseconds wait");
    if (!present()) return;
    result.set_real(
        static_cast<double>(number(send("status cdaudio length track " + std::to_string(n)))));
    send("set cdaudio time format tmsf wait");
}
KX_HANDLER(fn_cd_position) {
    send("open cdaudio");
    send("set cdaudio time format milliseconds wait");
    if (!present()) return;
    result.set_real(static_cast<double>(number(send("status cdaudio position"))));
    send("set cdaudio time format tmsf wait");
}
KX_HANDLER(fn_cd_track_position) {
    send("open cdaudio");
    send("set cdaudio time format tmsf wait");
    if (!present()) return;
    const std::string p = send("status cdaudio position");
    if (p.size() < 8) return;
    result.set_real(
        static_cast<double>(number(p.substr(3, 2)) * 60000 + number(p.substr(6, 2)) * 1000));
}
KX_HANDLER(fn_cd_play) {
    if (!present()) return;
    send("set cdaudio time format tmsf wait");
    int64_t first = arg_int(args[0]);
    const int64_t last = arg_int(args[1]);
    if (last < first) return;
    first = std::max<int64_t>(first, 1);
    if (last < cd_number())
        send("play cdaudio from " + std::to_string(first) + " to " + std::to_string(last + 1));
    else
        send("play cdaudio from " + std::to_string(first));
}
KX_HANDLER(fn_cd_stop) {
    if (present()) send("stop cdaudio");
}
KX_HANDLER(fn_cd_pause) {
    if (present()) send("pause cdaudio");
}
KX_HANDLER(fn_cd_resume) {
    if (present()) send("play cdaudio");
}
KX_HANDLER(fn_cd_set_position) {
    if (!present()) return;
    const std::string pos = std::to_string(arg_int(args[0]));
    send("set cdaudio time format milliseconds wait");
    send(cd_playing() ? "play cdaudio from " + pos : "seek cdaudio to " + pos);
    send("set cdaudio time format tmsf");
}
KX_HANDLER(fn_cd_set_track_position) {
    if (!present()) return;
    const int64_t track = cd_track();
    if (track <= 0) return;
    const int64_t pos = arg_int(args[0]);
    const std::string target = std::to_string(track) + ":" + std::to_string(pos / 60000) + ":" +
                               std::to_string(pos % 60000 / 1000);
    send("set cdaudio time format tmsf wait");
    send(cd_playing() ? "play cdaudio from " + target : "seek cdaudio to " + target);
    send("set cdaudio time format tmsf");
}
KX_HANDLER(fn_cd_open_door) {
    send("open cdaudio");
    send("set cdaudio door open");
}
KX_HANDLER(fn_cd_close_door) {
    send("open cdaudio");
    send("set cdaudio door closed");
}
KX_HANDLER(fn_MCI_command) {
    result = RValue(std::string_view(send(arg_text(args[0]), 255)));
}

constexpr BuiltinDef kCdFunctions[] = {
    {"cd_init", fn_cd_init, 0},
    {"cd_present", fn_cd_present, 0},
    {"cd_number", fn_cd_number, 0},
    {"cd_playing", fn_cd_playing, 0},
    {"cd_paused", fn_cd_paused, 0},
    {"cd_track", fn_cd_track, 0},
    {"cd_length", fn_cd_length, 0},
    {"cd_track_length", fn_cd_track_length, 1},
    {"cd_position", fn_cd_position, 0},
    {"cd_track_position", fn_cd_track_position, 0},
    {"cd_play", fn_cd_play, 2},
    {"cd_stop", fn_cd_stop, 0},
    {"cd_pause", fn_cd_pause, 0},
    {"cd_resume", fn_cd_resume, 0},
    {"cd_set_position", fn_cd_set_position, 1},
    {"cd_set_track_position", fn_cd_set_track_position, 1},
    {"cd_open_door", fn_cd_open_door, 0},
    {"cd_close_door", fn_cd_close_door, 0},
    {"MCI_command", fn_MCI_command, 1},
};

}  // namespace

void register_function_cd(FunctionTable& table) {
    table.add(kCdFunctions);
}

}  // namespace kx
