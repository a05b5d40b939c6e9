#pragma once
// What a subsystem brings to the runtime. Each subsystem defines one
// Subsystem, a plain aggregate of what it has (absent parts stay empty), and
// app/ lists them once, in the order they start. Nothing else about a
// subsystem is known outside its folder: the game-data reader hands it its
// sections, the load sequence runs its steps, the game loop calls it at the
// phases it joins, the room drawing pass merges its items by depth, and saved
// games carry its chunks.
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace kx {

struct Runtime;
class CStream;

// The game data's sections in stream order (the order is the file's).
enum class Section : int {
    Settings,
    Sounds,
    Sprites,
    Backgrounds,
    Paths,
    Scripts,
    Fonts,
    TimeLines,
    Objects,
    Rooms,
    GameInfo,
    LibraryInit,
    RoomOrder,
    Count
};

// The resource kinds in the order name resolution searches them.
enum class ResourceKind : int {
    Object,
    Sprite,
    Sound,
    Background,
    Path,
    Font,
    TimeLine,
    Script,
    Room,
    Count
};

// The stages of the load sequence after the game data is read, in the order
// the runner runs them; each stage has its progress report and its failure
// message in the runner.
enum class LoadStage : int {
    Constants,  // the game's constants are defined
    TimeLines,  // time line actions compiled
    Scripts,    // scripts compiled
    Objects,    // object actions compiled
    Sounds,     // sounds prepared
    Graphics,   // the window, the drawing device and every texture
    Input,      // the input handlers, recorded input opened
    Count
};

// The moments of the game loop that subsystems join, in the order the loop
// reaches them. A phase inside the step stops early when a transition becomes
// pending; the loop checks after each subsystem.
enum class Phase : int {
    GameStart,     // the game starts, before its first room
    RoomEnter,     // a room became current, before its instances are made
    SpecialKeys,   // a step begins: the keys the runner itself answers
    InputEvents,   // after the alarms: keyboard, joystick and mouse events
    Motion,        // after the step event: friction, gravity, paths, moves
    Boundary,      // outside-room and boundary events
    Collision,     // collision events
    AfterEndStep,  // after the end step event, before destroyed instances go
    Draw,          // the room is drawn (automatic drawing on)
    StepEnd,       // the step is over
    Present,       // the drawn frame is shown
    Messages,      // the loop processed pending window messages
    GameLoaded,    // a saved game replaced the game's state
    GameEnd,       // the game ended
    Count
};

struct SectionReader {
    Section section;
    // False for a version it does not know or a bad record; damaged data
    // throws StreamError.
    bool (*read)(Runtime&, CStream&);
};

struct ResourceFinder {
    ResourceKind kind;
    // The index of the first existing resource with exactly this name, or -1.
    int32_t (*find)(Runtime&, std::string_view name);
};

struct LoadStep {
    LoadStage stage;
    // False after the subsystem showed its own message, or for the stage's.
    bool (*run)(Runtime&);
};

struct PhaseStep {
    Phase phase;
    void (*run)(Runtime&);
};

// One thing drawn in the room's depth merge: at its depth, ahead of instances
// and tiles of the same depth, in the order the items were added.
struct DepthItem {
    double depth;
    void (*draw)(Runtime&, const void* item);
    const void* item;
};

// A subsystem's part of a saved game, after the world's own record. Reading
// stages the chunk without changing anything; the staged chunks are applied
// only when the whole file read cleanly.
struct SaveChunk {
    uint32_t tag;  // four characters, unique among subsystems
    void (*write)(Runtime&, CStream&);
    // Null for a chunk it refuses; damaged data throws StreamError.
    std::shared_ptr<void> (*read)(Runtime&, CStream&);
    void (*apply)(Runtime&, const std::shared_ptr<void>& staged);
};

constexpr uint32_t chunk_tag(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) | uint32_t(uint8_t(t[1])) << 8 | uint32_t(uint8_t(t[2])) << 16 |
           uint32_t(uint8_t(t[3])) << 24;
}

struct Subsystem {
    const char* name;
    // Makes the subsystem's state in the runtime. Every state exists before
    // any subsystem registers its built-ins.
    void (*create)(Runtime&) = nullptr;
    // Adds its built-in functions, variables and constants (subsystems
    // register in list order, which fixes the tables' order).
    void (*register_builtins)(Runtime&) = nullptr;
    std::span<const SectionReader> sections = {};
    std::span<const ResourceFinder> finders = {};
    std::span<const LoadStep> load_steps = {};
    std::span<const PhaseStep> phases = {};
    // Adds what it draws in the depth merge of the view being drawn.
    void (*draw_items)(Runtime&, std::vector<DepthItem>& out) = nullptr;
    // The drawing device was made again: surfaces and render targets are gone.
    void (*device_reset)(Runtime&) = nullptr;
    std::span<const SaveChunk> save_chunks = {};
    // The run is over: release devices and files before the states go
    // (subsystems shut down in reverse list order).
    void (*shutdown)(Runtime&) = nullptr;
};

}  // namespace kx
