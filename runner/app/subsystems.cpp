#include "app/subsystems.h"

#include "collision/collision_main.h"
#include "core/runtime.h"
#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "input/input_main.h"
#include "motion/motion_main.h"
#include "script/script_state.h"
#include "sound/sound_main.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

const Subsystem* const kSubsystems[] = {
    &kGameDataSubsystem, &kScriptSubsystem,    &kSpritesSubsystem,  &kWorldSubsystem,
    &kMotionSubsystem,   &kCollisionSubsystem, &kGraphicsSubsystem, &kInputSubsystem,
    &kSoundSubsystem,
};

}  // namespace

std::span<const Subsystem* const> kxrun_subsystems() {
    return kSubsystems;
}

void start_kxrun(Runtime& r) {
    r.start(kSubsystems);
}

}  // namespace kx
