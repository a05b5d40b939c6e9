#pragma once
// One Runtime owns the state of every subsystem. Subsystems reach each other
// through it; there are no file-level mutable globals. A subsystem's state is
// created by that subsystem (its init function) and held by shared_ptr so this
// header needs only forward declarations.
#include <memory>

namespace kx {

class Platform;
struct RunnerState;
struct GameSettings;
struct ScriptState;
struct WorldState;
struct GraphicsState;
struct CollisionState;
struct MotionState;
struct InputDevices;

struct Runtime {
    Platform* platform = nullptr;               // not owned; outlives the runtime
    std::shared_ptr<RunnerState> runner;        // app: header facts, temp folder, extra files
    std::shared_ptr<GameSettings> settings;     // gamedata: the game's settings record
    std::shared_ptr<ScriptState> script;        // script: variables, functions, errors, scripts
    std::shared_ptr<WorldState> world;          // world: objects, instances, rooms, loop
    std::shared_ptr<GraphicsState> graphics;    // graphics: device, textures, sprites
    std::shared_ptr<CollisionState> collision;  // collision: spatial index, test settings
    std::shared_ptr<MotionState> motion;        // motion: paths
    std::shared_ptr<InputDevices> input;        // world input: keys, mouse, joysticks, replay
};

// The runtime that built-in function handlers and platform callbacks act on.
// Set by whoever owns the Runtime (main, a test fixture) for the duration of its use.
Runtime& rt();
bool has_runtime() noexcept;

class RuntimeScope {
public:
    explicit RuntimeScope(Runtime& r);
    ~RuntimeScope();
    RuntimeScope(const RuntimeScope&) = delete;
    RuntimeScope& operator=(const RuntimeScope&) = delete;

private:
    Runtime* m_prev;
};

}  // namespace kx
