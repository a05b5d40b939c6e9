#include "graphics/graphics_state.h"

#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "graphics/frame_main.h"
#include "graphics/room_draw.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

void create(Runtime& r) {
    r.emplace<GraphicsState>();
}

void register_builtins(Runtime& r) {
    FunctionTable& f = r.get<ScriptState>().functions;
    register_function_texture(f);
    register_function_sprite(f);
    register_function_tile(f);
    register_function_display(f);
    register_function_text(f);
    register_function_font(f);
}

bool prepare(Runtime& r) {
    return prepare_graphics(r);
}

void draw(Runtime& r) {
    draw_room_pass(r);
}

void present(Runtime& r) {
    present_transition(r, r.get<WorldState>().game.transition_kind);
    begin_frame(r);
}

// F4 when the game allows it, and Alt+Enter always, as desktop players expect.
void special_keys(Runtime& r) {
    InputState& in = r.get<WorldState>().game.input;
    const bool f4 = in.keyboard_lastkey == 115 && r.get<GameDataState>().settings.KeyF4Fullscreen;
    const bool alt_enter = in.keyboard_lastkey == 13 && in.key_held[18];
    if (!f4 && !alt_enter) return;
    in.keyboard_lastkey = 0;
    WindowState& w = r.get<GraphicsState>().window;
    w.set_fullscreen(!w.fullscreen());
}

void size_region(Runtime& r) {
    size_region_for_room(r);
}

void game_start(Runtime& r) {
    r.get<GraphicsState>().window.set_cursor(r.get<GameDataState>().settings.ShowCursor ? 0 : -1);
}

void game_end(Runtime& r) {
    r.get<GraphicsState>().window.set_cursor(0);
}

void shutdown(Runtime& r) {
    // Textures go with the device; the sprites, which outlive this state,
    // must not free into its table afterwards.
    GraphicsState& g = r.get<GraphicsState>();
    attach_drawing_device(g, r.get<SpriteState>(), nullptr, 0, 0);
    g.draw_device.reset();
    g.game_window.reset();
}

constexpr LoadStep kLoadSteps[] = {{LoadStage::Graphics, prepare}};
constexpr PhaseStep kPhases[] = {
    {Phase::GameStart, game_start},     {Phase::RoomEnter, size_region},
    {Phase::SpecialKeys, special_keys}, {Phase::Draw, draw},
    {Phase::Present, present},          {Phase::GameLoaded, size_region},
    {Phase::GameEnd, game_end},
};

}  // namespace

const Subsystem kGraphicsSubsystem{
    .name = "graphics",
    .create = create,
    .register_builtins = register_builtins,
    .load_steps = kLoadSteps,
    .phases = kPhases,
    .shutdown = shutdown,
};

}  // namespace kx
