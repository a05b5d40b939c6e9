#pragma once
// A small interpreter of multimedia command strings ("open FILE alias NAME",
// "play NAME repeat", "status NAME mode", ...) that plays through the sound
// engine. It knows sound files only: "cdaudio" is a device this machine does
// not have, and what it cannot do is answered with an error code and an
// empty reply, as the command interface does.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kx {

class IAudio;

namespace mci {
// Error codes of the command interface.
constexpr int kOk = 0;
constexpr int kUnrecognizedCommand = 261;
constexpr int kInvalidDevice = 263;
constexpr int kUnsupportedFunction = 274;
constexpr int kFileNotFound = 275;
constexpr int kBadArgument = 276;  // an argument it does not know
constexpr int kCannotLoad = 277;   // the file is not a sound it can play
constexpr int kAliasInUse = 289;
constexpr int kNoDeviceName = 290;
}  // namespace mci

class MciPlayer {
public:
    explicit MciPlayer(IAudio* audio) : m_audio(audio) {}
    ~MciPlayer() { close_all(); }
    MciPlayer(const MciPlayer&) = delete;
    MciPlayer& operator=(const MciPlayer&) = delete;

    // Runs one command; the reply text, and the error code in *error.
    std::string send(std::string_view command, int* error = nullptr);
    void close_all();

private:
    struct Device {
        std::string file;
        int32_t buffer = -1, path = -1;
        bool playing = false, paused = false, repeat = false;
        double position_ms = 0;  // where a stopped or paused device stands
    };
    Device* find(const std::string& name);
    void close(Device& d);
    double position(Device& d);
    // Brings playing to false when the sound ended by itself.
    void settle(Device& d);

    IAudio* m_audio;
    std::map<std::string, Device> m_devices;  // by lower-case alias
};

}  // namespace kx
