#pragma once
// The container appended at a fixed offset of the runner's executable, and the
// inner game data with its header and thirteen sections.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/subsystem.h"
#include "gamedata/cstream.h"

namespace kx {

class IDialogs;

constexpr size_t kGameDataOffset = 1600000;
constexpr int32_t kContainerMagic = 1234321;
constexpr int32_t kGameDataMagic = 1230600;
constexpr int32_t kFormatVersion = 600;
constexpr const char* kFileListEnd = "READY";

// The game's own messages for container and section failures.
namespace msg {
constexpr const char* kCannotRead = "Error: Cannot read the file.";
constexpr const char* kNotValid = "Error: Not a valid Korvax 6 file.";
constexpr const char* kWrongVersion = "Error: Wrong version number.";
constexpr const char* kResourceData = "Error: Error in resource data.";
constexpr const char* kCorrupted = "Failed to load the game data. File seems corrupted.";
}  // namespace msg

// True when the file has the container magic at the game-data offset.
bool has_game_data(const std::string& path);

struct ExtraFile {
    std::string name;
    std::vector<uint8_t> content;
};

struct ContainerOptions {
    std::string temp_dir;     // extension library, and extra files when the game asks
    std::string working_dir;  // extra files otherwise
    bool write_files = true;  // false: only read (kxpack info and unpack)
    bool keep_contents = false;
};

struct ContainerInfo {
    bool delete_extra_files = false;
    bool overwrite_extra_files = false;
    bool extra_to_temp = true;
    std::string extension_library;         // name as stored
    std::vector<std::string> extra_files;  // every target path, written or not
    // With keep_contents: the stored names and bytes, and the library's bytes.
    std::vector<ExtraFile> extra_contents;
    std::vector<uint8_t> extension_library_content;
    CStream game_data;  // inflated, positioned at 0
};

// The file name an extra file from the game data is written under: its base
// name (after the last '/' or '\'), or "" when nothing safe is left.
std::string safe_extra_file_name(std::string_view stored);

// Reads the container from the file at path, writes the extension library and
// the extra files, and inflates the game data. Shows its own message and
// answers false on the failures it knows; faults (a read past the end, a
// corrupt compressed block) escape as StreamError.
bool read_container(const std::string& path, const ContainerOptions& opts, IDialogs& dialogs,
                    ContainerInfo& out);
// The same for a file already in memory.
bool read_container(CStream& file, const ContainerOptions& opts, IDialogs& dialogs,
                    ContainerInfo& out);

struct GameHeader {
    bool debug_mode = false;
    int32_t game_id = 0;
    std::array<uint8_t, 16> identifier{};
};

// Section (stream order) indexes kSections.
constexpr size_t kSectionCount = static_cast<size_t>(Section::Count);

struct SectionInfo {
    const char* name;  // for kxpack info
    int32_t version;
    int progress;  // -1: no progress report before it
    const char* message;
    bool resource_list;
};
extern const std::array<SectionInfo, kSectionCount> kSections;

struct GameDataHandlers {
    // One reader per section, answering false for a wrong version or a bad
    // record. An empty slot, a section nobody reads, accepts only an empty
    // one.
    std::array<std::function<bool(CStream&)>, kSectionCount> readers;
    std::function<void(int percent, std::string_view message)> progress;
    std::function<void()> after_settings;  // show the loading window
};

// Reads the inner game data. Unscrambles in place. Same failure contract as
// read_container.
bool read_game_data(CStream& data, GameDataHandlers& handlers, IDialogs& dialogs,
                    GameHeader& header);

// Readers of sections whose resources do not exist yet: a resource list with
// no existing entry (rooms: then the two counters).
bool read_empty_section(Section s, CStream& st);

// Writer side, kept beside the readers so the layouts stay one.
struct ContainerSpec {
    bool delete_extra_files = false;
    bool overwrite_extra_files = false;
    bool extra_to_temp = true;
    std::string extension_library = "D3DX8.dll";
    std::vector<uint8_t> extension_library_content;
    std::vector<ExtraFile> extra_files;
};
// Appends the container (magic at the stream's current position) with the
// already scrambled game data.
void write_container(CStream& out, const ContainerSpec& desc, const CStream& game_data);

// The inner layout up to the sections, with filler counts and seed; scrambles
// everything after the header's marker. `sections` is the plain section bytes.
struct GameDataSpec {
    int32_t seed = 0;
    int32_t filler_a = 0, filler_b = 0;
    GameHeader header;
};
CStream build_game_data(const GameDataSpec& desc, const CStream& sections);

// A game file as kxpack writes it: a launcher prefix padded to the offset.
std::vector<uint8_t> launcher_prefix();

}  // namespace kx
