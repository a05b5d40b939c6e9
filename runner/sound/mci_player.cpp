#include "sound/mci_player.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/audio.h"

namespace kx {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Words separated by blanks; a double-quoted word may hold blanks.
std::vector<std::string> words(std::string_view s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i >= s.size()) break;
        std::string w;
        if (s[i] == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos) end = s.size();
            w = std::string(s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) w += s[i++];
        }
        out.push_back(std::move(w));
    }
    return out;
}

bool number(const std::string& w, double& out) {
    long long n = 0;
    auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), n);
    if (ec != std::errc() || p != w.data() + w.size() || n < 0) return false;
    out = static_cast<double>(n);
    return true;
}

std::string whole(double ms) {
    return std::to_string(static_cast<long long>(std::max(0.0, ms)));
}

}  // namespace

MciPlayer::Device* MciPlayer::find(const std::string& name) {
    auto it = m_devices.find(lower(name));
    return it == m_devices.end() ? nullptr : &it->second;
}

void MciPlayer::close(Device& d) {
    if (!m_audio) return;
    m_audio->path_free(d.path);
    m_audio->buffer_free(d.buffer);
}

void MciPlayer::close_all() {
    for (auto& [name, d] : m_devices) close(d);
    m_devices.clear();
}

void MciPlayer::settle(Device& d) {
    if (d.playing && !m_audio->path_playing(d.path)) {
        d.playing = false;
        d.position_ms = m_audio->buffer_length_ms(d.buffer);
    }
}

double MciPlayer::position(Device& d) {
    settle(d);
    return d.playing ? m_audio->path_position_ms(d.path) : d.position_ms;
}

std::string MciPlayer::send(std::string_view command, int* error) {
    int dummy = 0;
    int& err = error ? *error : dummy;
    err = mci::kOk;
    std::vector<std::string> w = words(command);
    if (w.empty()) {
        err = mci::kUnrecognizedCommand;
        return {};
    }
    const std::string verb = lower(w[0]);
    static const char* const kVerbs[] = {"open",   "close", "play",   "stop", "pause",
                                         "resume", "seek",  "status", "set"};
    if (std::none_of(std::begin(kVerbs), std::end(kVerbs),
                     [&](const char* v) { return verb == v; })) {
        err = mci::kUnrecognizedCommand;
        return {};
    }
    if (w.size() < 2) {
        err = mci::kNoDeviceName;
        return {};
    }
    // Flags that change nothing here: we answer when the work is done.
    std::vector<std::string> args;
    for (size_t i = 2; i < w.size(); ++i) {
        std::string a = lower(w[i]);
        if (a != "wait" && a != "notify") args.push_back(a);
    }
    const std::string dev = lower(w[1]);
    // This machine has no CD drive.
    if (dev == "cdaudio" ||
        (verb == "open" && std::find(args.begin(), args.end(), "cdaudio") != args.end())) {
        err = mci::kInvalidDevice;
        return {};
    }
    if (!m_audio) {
        err = mci::kInvalidDevice;
        return {};
    }

    if (verb == "open") {
        std::string alias = dev, type;
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "alias" && i + 1 < args.size()) {
                alias = args[++i];
            } else if (args[i] == "type" && i + 1 < args.size()) {
                type = args[++i];
            } else if (args[i] != "shareable") {
                err = mci::kBadArgument;
                return {};
            }
        }
        if (type == "cdaudio") {
            err = mci::kInvalidDevice;
            return {};
        }
        if (m_devices.count(alias)) {
            err = mci::kAliasInUse;
            return {};
        }
        std::ifstream f(std::string(w[1]), std::ios::binary);
        if (!f) {
            err = mci::kFileNotFound;
            return {};
        }
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f),
                                   std::istreambuf_iterator<char>()};
        Device d;
        d.file = w[1];
        d.buffer = m_audio->buffer_create(bytes, nullptr);
        if (d.buffer < 0) {
            err = mci::kCannotLoad;
            return {};
        }
        d.path = m_audio->path_create(false);
        m_devices.emplace(alias, d);
        return {};
    }
    if (verb == "close" && dev == "all") {
        close_all();
        return {};
    }
    Device* d = find(dev);
    if (!d) {
        err = mci::kInvalidDevice;
        return {};
    }
    if (verb == "close") {
        close(*d);
        m_devices.erase(dev);
        return {};
    }
    if (verb == "play" || verb == "resume") {
        double from = -1;
        bool repeat = false;
        for (size_t i = 0; i < args.size(); ++i) {
            if (verb == "play" && args[i] == "repeat") {
                repeat = true;
            } else if (verb == "play" && args[i] == "from" && i + 1 < args.size() &&
                       number(args[i + 1], from)) {
                ++i;
            } else {
                err = args[i] == "to" ? mci::kUnsupportedFunction : mci::kBadArgument;
                return {};
            }
        }
        const double at = from >= 0 ? from : position(*d);
        m_audio->path_stop(d->path);
        const double len = m_audio->buffer_length_ms(d->buffer);
        d->repeat = repeat;
        d->paused = false;
        // Playing from the end plays nothing, unless it repeats from the start.
        const double start = at >= len ? (repeat ? 0 : len) : at;
        m_audio->path_play(d->path, d->buffer, repeat, start);
        d->playing = start < len;
        d->position_ms = start;
        return {};
    }
    if (verb == "stop" || verb == "pause") {
        if (!args.empty()) {
            err = mci::kBadArgument;
            return {};
        }
        const double at = position(*d);
        m_audio->path_stop(d->path);
        d->paused = verb == "pause" && d->playing;
        d->playing = false;
        d->position_ms = at;
        return {};
    }
    if (verb == "seek") {
        double to = 0;
        if (args.size() != 2 || args[0] != "to") {
            err = mci::kBadArgument;
            return {};
        }
        const double len = m_audio->buffer_length_ms(d->buffer);
        if (args[1] == "start")
            to = 0;
        else if (args[1] == "end")
            to = len;
        else if (!number(args[1], to)) {
            err = mci::kBadArgument;
            return {};
        }
        m_audio->path_stop(d->path);
        d->playing = d->paused = false;
        d->position_ms = std::min(to, len);
        return {};
    }
    if (verb == "status") {
        std::string what;
        for (const auto& a : args) what += (what.empty() ? "" : " ") + a;
        if (what == "mode") {
            settle(*d);
            return d->playing ? "playing" : d->paused ? "paused" : "stopped";
        }
        if (what == "position") return whole(position(*d));
        if (what == "length") return whole(m_audio->buffer_length_ms(d->buffer));
        if (what == "ready") return "true";
        if (what == "time format") return "milliseconds";
        if (what == "media present") return "true";
        err = mci::kUnsupportedFunction;
        return {};
    }
    // set: milliseconds is the one time format.
    if (args.size() == 3 && args[0] == "time" && args[1] == "format" &&
        (args[2] == "milliseconds" || args[2] == "ms"))
        return {};
    err = mci::kUnsupportedFunction;
    return {};
}

}  // namespace kx
