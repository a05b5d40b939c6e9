#pragma once
// A world with sprites and the collision subsystem, for in-process tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "collision/collision_main.h"
#include "core/runtime.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "sprites/sprite_state.h"
#include "support/sprite_support.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/game_loop.h"
#include "world/instance_main.h"
#include "world/object_class.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx::test {

class CollisionWorld {
public:
    // A one-image sprite drawn with '#' for set pixels; its box is that of
    // the set pixels.
    int32_t sprite(const std::vector<std::string>& rows, int32_t xo = 0, int32_t yo = 0,
                   bool precise = true, bool transparent = true) {
        return add_sprite(r, rows, xo, yo, precise, transparent);
    }
    int32_t object(const std::string& name, int32_t spr = -1, bool solid = false,
                   int32_t parent = -1) {
        const int32_t o = add_object(r, name, parent);
        CObject& obj = *world().objects[static_cast<size_t>(o)];
        obj.sprite = spr;
        obj.solid = solid;
        return o;
    }
    void set_code(int32_t obj, int32_t type, int32_t n, const std::string& code) {
        ASSERT_TRUE(add_code(r, obj, type, n, code));
    }
    void enter(int32_t width = 640, int32_t height = 480) {
        add_rooms(r, 1, width, height);
        start_game(r);
    }
    CInstance* make(int32_t obj, double x, double y) { return create_in_room(r, obj, x, y); }
    RValue eval(const std::string& code, CInstance* self, CInstance* other = nullptr) {
        CCode c(code, false);
        EXPECT_TRUE(c.compile(script())) << pending_message(script());
        RValue result;
        EXPECT_TRUE(execute_reporting(r, self, other ? other : self, c, result)) << code;
        return result;
    }
    double real(const std::string& code, CInstance* self, CInstance* other = nullptr) {
        return eval(code, self, other).real;
    }
    std::vector<std::string> take_out() { return t.take_out(); }

    WorldState& world() { return r.get<WorldState>(); }
    ScriptState& script() { return r.get<ScriptState>(); }
    SpriteList& sprites() { return r.get<SpriteState>().sprites; }
    CollisionState& collision() { return r.get<CollisionState>(); }

    TestRuntime t;
    Runtime& r = t.runtime();
};

}  // namespace kx::test
