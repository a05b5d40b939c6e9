#include "app/subsystems.h"

#include "collision/collision_main.h"
#include "core/runtime.h"
#include "drawing/drawing_state.h"
#include "external/external_main.h"
#include "gamedata/gamedata_state.h"
#include "graphics/graphics_state.h"
#include "input/input_main.h"
#include "motion/motion_main.h"
#include "resources/resources_main.h"
#include "script/script_state.h"
#include "sound/sound_main.h"
#include "sprites/sprite_state.h"
#include "world/world_state.h"

namespace kx {

namespace {

const Subsystem* const kSubsystems[] = {
    &kGameDataSubsystem,
    &kScriptSubsystem,
    &kSpritesSubsystem,
    &kWorldSubsystem,
    &kMotionSubsystem,
    &kCollisionSubsystem,
    &kGraphicsSubsystem,
    &kInputSubsystem,
    &kDrawingSubsystem,
    &kResourcesSubsystem,
    &kSoundSubsystem,
    // Last, so that its libraries are released before any device they used goes.
    &kExternalSubsystem,
};

}  // namespace

std::span<const Subsystem* const> kxrun_subsystems() {
    return kSubsystems;
}

void start_kxrun(Runtime& r) {
    r.start(kSubsystems);
}

}  // namespace kx
