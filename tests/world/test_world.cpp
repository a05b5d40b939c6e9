// The game world in-process: the action interpreter, event inheritance,
// instances, built-in variables, the step, time lines and the save file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/gamedata_state.h"
#include "kxpack/game_source.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "support/sprite_support.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/function_game.h"
#include "world/game_loop.h"
#include "world/object_main.h"
#include "world/room_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

using test::code_action;
CAction question(const std::string& code, int32_t applies_to = -1) {
    CAction a = code_action(code);
    a.is_question = true;
    a.applies_to = applies_to;
    return a;
}
CAction control(int32_t kind, std::vector<std::string> args = {}) {
    CAction a;
    a.kind = kind;
    a.args = std::move(args);
    a.arg_count = static_cast<int32_t>(a.args.size());
    return a;
}
CAction say(const std::string& text) {
    return code_action("show_debug_message(\"" + text + "\")");
}
// Actions hold compiled code and cannot be copied, so lists are built by moving.
template <class... A>
std::vector<CAction> acts(A&&... a) {
    std::vector<CAction> v;
    (v.push_back(std::forward<A>(a)), ...);
    return v;
}

class WorldTest : public ::testing::Test {
protected:
    int32_t add_object(const std::string& name, int32_t parent = -1) {
        return test::add_object(r, name, parent);
    }
    void set_event(int32_t obj, int32_t type, int32_t n, std::vector<CAction> actions) {
        CEvent& e = world().objects[static_cast<size_t>(obj)]->event_at(type, n);
        e.actions = std::move(actions);
        for (CAction& a : e.actions) ASSERT_TRUE(compile_action(r, a)) << pending_message(script());
    }
    // Rooms to play in, the first entered as the game's first room.
    void enter(int rooms = 1) {
        test::add_rooms(r, rooms);
        start_game(r);
    }
    RValue eval(const std::string& code, CInstance* self = nullptr) {
        CCode c(code, false);
        EXPECT_TRUE(c.compile(script())) << pending_message(script());
        CInstance temp(0, -1);
        if (!self) self = &temp;
        RValue result;
        EXPECT_TRUE(execute_reporting(r, self, self, c, result)) << code;
        return result;
    }
    std::vector<std::string> take_out() { return t.take_out(); }
    WorldState& world() { return r.get<WorldState>(); }
    ScriptState& script() { return r.get<ScriptState>(); }
    RoomInstances& instances() { return room_instances(world()); }

    test::TestRuntime t;
    Runtime& r = t.runtime();
};

TEST_F(WorldTest, ActionListsRunByTheControlRules) {
    struct Case {
        const char* name;
        std::vector<CAction> actions;
        std::vector<std::string> out;
    };
    const int32_t none = 1;  // an object without instances
    std::vector<Case> cases;
    cases.push_back(
        Case{"false question runs the else branch",
             acts(question("return 0"), say("B"), control(act::Else), say("C"), say("after")),
             {"C", "after"}});
    cases.push_back(
        Case{"true question skips the else branch",
             acts(question("return 1"), say("B"), control(act::Else), say("C"), say("after")),
             {"B", "after"}});
    cases.push_back(Case{"not negates",
                         acts(
                             [] {
                                 CAction q = question("return 1");
                                 q.negate = true;
                                 return q;
                             }(),
                             say("B"), say("after")),
                         {"after"}});
    cases.push_back(
        Case{"a skipped block skips nested blocks",
             acts(question("return 0"), control(act::Begin), control(act::Begin), say("in"),
                  control(act::End), say("in2"), control(act::End), say("after")),
             {"after"}});
    cases.push_back(Case{"repeat runs its block and continues",
                         acts(control(act::Repeat, {"3"}), control(act::Begin), say("r"),
                              control(act::End), say("after")),
                         {"r", "r", "r", "after"}});
    cases.push_back(Case{"repeat 0 and -2 run nothing",
                         acts(control(act::Repeat, {"0"}), say("x"), control(act::Repeat, {"-2"}),
                              say("y"), say("after")),
                         {"after"}});
    cases.push_back(
        Case{"exit ends the event", acts(say("a"), control(act::Exit), say("b")), {"a"}});
    cases.push_back(Case{"a question about no instances is true",
                         acts(question("return 0", none), say("vacuous")),
                         {"vacuous"}});
    const int32_t obj = add_object("obj_a");
    add_object("obj_none");
    enter();
    CInstance* inst = create_in_room(r, obj, 0, 0);
    for (auto& c : cases) {
        set_event(obj, ev::Other, ev::User0, std::move(c.actions));
        take_out();
        perform_event(r, inst, inst, obj, ev::Other, ev::User0);
        EXPECT_EQ(take_out(), c.out) << c.name;
    }
}

TEST_F(WorldTest, QuestionsAboutAnObjectNeedEveryInstanceAndSkipDestroyedOnes) {
    const int32_t a = add_object("obj_a");
    const int32_t b = add_object("obj_b");
    enter();
    CInstance* self = create_in_room(r, a, 0, 0);
    CInstance* b1 = create_in_room(r, b, 1, 0);
    create_in_room(r, b, 2, 0);
    set_event(a, ev::Other, ev::User0,
              acts(question("return x < 2", b), say("all"), control(act::Else), say("not all")));
    perform_event(r, self, self, a, ev::Other, ev::User0);
    b1->mark_destroyed();
    set_event(a, ev::Other, ev::User0,
              acts(question("return x > 1", b), say("all"), control(act::Else), say("not all")));
    perform_event(r, self, self, a, ev::Other, ev::User0);
    EXPECT_EQ(take_out(), (std::vector<std::string>{"not all", "all"}));
}

TEST_F(WorldTest, EventsAreFoundThroughParentsAndCollisionAncestors) {
    const int32_t base = add_object("base");
    const int32_t child = add_object("child", base);
    const int32_t wall_base = add_object("wall_base");
    const int32_t wall = add_object("wall", wall_base);
    set_event(base, ev::Step, 0, acts(say("base step")));
    world().objects[static_cast<size_t>(child)]->event_at(ev::Step, 0);  // empty: not present
    set_event(base, ev::Collision, wall_base, acts(say("hit")));
    int32_t owner = -1;
    EXPECT_NE(find_event(world(), child, ev::Step, 0, &owner), nullptr);
    EXPECT_EQ(owner, base);
    EXPECT_NE(find_event(world(), child, ev::Collision, wall, &owner), nullptr)
        << "X's parent's collision event";
    EXPECT_EQ(find_event(world(), child, ev::Step, 7), nullptr) << "above the stored numbers";
    EXPECT_TRUE(object_is_ancestor(world(), child, base));
    EXPECT_FALSE(object_is_ancestor(world(), base, base));
    // A parent cycle in the data ends the walk.
    world().objects[static_cast<size_t>(base)]->parent = child;
    EXPECT_EQ(find_event(world(), child, ev::Draw, 0), nullptr);
    EXPECT_TRUE(object_is_ancestor(world(), child, child));
}

TEST_F(WorldTest, InstanceFunctionsKeepIdsListsAndCopies) {
    const int32_t a = add_object("obj_a");
    const int32_t b = add_object("obj_b");
    enter();
    const int32_t first = static_cast<int32_t>(eval("return instance_create(10, 10, obj_a)").real);
    CInstance* inst = instances().find_id(first);
    ASSERT_NE(inst, nullptr);
    eval("hp = 3; instance_change(obj_b, 0)", inst);
    EXPECT_EQ(eval("return instance_find(obj_b, 0)").real, first) << "the change keeps the id";
    EXPECT_EQ(eval("return instance_number(obj_a)").real, 0);
    EXPECT_EQ(eval("return instance_count").real, 2)
        << "the old record waits for the end of the step";
    EXPECT_EQ(eval("return instance_create(0, 0, obj_a)").real, first + 2);

    CInstance* changed = instances().find_id(first);
    const int32_t copy = static_cast<int32_t>(eval("return instance_copy(0)", changed).real);
    eval("hp = 9", instances().find_id(copy));
    EXPECT_EQ(eval("return hp", changed).real, 3) << "the copy's variables are its own";

    EXPECT_EQ(eval("return instance_nearest(0, 10, obj_b)").real, first) << "a tie keeps the first";
    EXPECT_EQ(eval("return instance_create(5, 5, 99)").real, -4);
    EXPECT_EQ(eval("return error_occurred").real, 1);
    (void)a;
    (void)b;
}

TEST_F(WorldTest, DeactivatedInstancesLeaveTheListsUntilActivated) {
    const int32_t a = add_object("obj_a");
    // A one-pixel sprite: each instance's box is its position.
    world().objects[static_cast<size_t>(a)]->sprite = test::add_sprite(r, {"#"});
    enter();
    CInstance* in = create_in_room(r, a, 10, 10);    // inside the rectangle
    CInstance* edge = create_in_room(r, a, 20, 20);  // touches its corner
    create_in_room(r, a, 50, 50);                    // outside
    eval("instance_deactivate_region(0, 0, 20, 20, 0, 0)");
    EXPECT_EQ(eval("return instance_number(obj_a)").real, 2)
        << "only the one that does not meet it goes";
    eval("instance_deactivate_object(obj_a)");
    EXPECT_EQ(eval("return instance_exists(obj_a)").real, 0);
    eval("instance_activate_region(0, 0, 20, 20, 1)");
    ASSERT_EQ(instances().count(), 2);
    EXPECT_EQ(instances().at(0), in);
    EXPECT_EQ(instances().at(1), edge);
}

TEST_F(WorldTest, BuiltinVariablesFollowTheirWriteRules) {
    const int32_t a = add_object("obj_a");
    set_event(a, ev::Other, ev::NoMoreLives, acts(say("no more lives")));
    enter();
    CInstance* i = create_in_room(r, a, 0, 0);
    eval("alarm[12] = 5", i);
    EXPECT_EQ(i->alarm[0], 5);
    eval("visible = 0.5", i);
    EXPECT_FALSE(i->visible);
    eval("visible = 0.51", i);
    EXPECT_TRUE(i->visible);
    eval("image_single = 2", i);
    EXPECT_EQ(i->image_index, 2);
    EXPECT_EQ(i->image_speed, 0);
    eval("room_speed = 0.6");
    EXPECT_EQ(eval("return room_speed").real, 1);
    eval("room_speed = 0.4");
    EXPECT_EQ(eval("return room_speed").real, 1);
    EXPECT_NE(script().errors.last.find("Trying to set the room speed to a value <= 0."),
              std::string::npos);
    eval("lives = 1; lives = 0; lives = -1");
    EXPECT_EQ(take_out(), std::vector<std::string>{"no more lives"});
    eval("mouse_button = 2; mouse_button = 0");
    EXPECT_EQ(eval("return mouse_button").real, 2);
    eval("direction = -90; speed = 2", i);
    EXPECT_EQ(i->direction, 270);
    EXPECT_NEAR(i->vspeed, 2, 1e-9);
}

TEST_F(WorldTest, AlarmsCountDownInTheStepAndATransitionEndsTheStep) {
    const int32_t a = add_object("obj_a");
    set_event(a, ev::Alarm, 0, acts(say("alarm")));
    set_event(a, ev::Step, ev::StepBegin, acts(code_action("if (go) room_goto(1)")));
    set_event(a, ev::Step, ev::StepNormal, acts(say("step")));
    enter(2);
    CInstance* three = create_in_room(r, a, 0, 0);
    CInstance* zero = create_in_room(r, a, 0, 0);
    build_event_lists(r);
    three->alarm[0] = 3;
    zero->alarm[0] = 0;
    std::vector<std::string> all;
    for (int s = 0; s < 3; ++s) {
        perform_step(r);
        for (auto& l : take_out()) all.push_back(std::to_string(s + 1) + " " + l);
    }
    EXPECT_EQ(all, (std::vector<std::string>{"1 step", "1 step", "2 step", "2 step", "3 alarm",
                                             "3 step", "3 step"}));
    EXPECT_EQ(zero->alarm[0], -1);
    eval("go = 1", three);
    perform_step(r);
    EXPECT_TRUE(take_out().empty()) << "a room change in begin step skips the rest";
    EXPECT_EQ(script().transition.code(), 1);
}

TEST_F(WorldTest, TimeLineMomentsRunWhenThePositionPassesThem) {
    const int32_t a = add_object("obj_a");
    enter();
    auto tl = std::make_unique<CTimeLine>();
    tl->name = "tl";
    world().timelines.push_back(std::move(tl));
    for (int t : {0, 10, 20})
        ASSERT_TRUE(
            add_code_moment(r, 0, t, "show_debug_message(string(" + std::to_string(t) + "))"));
    ASSERT_TRUE(add_code_moment(r, 0, 10, "show_debug_message(\"again\")"));
    EXPECT_EQ(world().timelines[0]->count(), 3) << "an existing time takes the action";
    build_event_lists(r);
    CInstance* i = create_in_room(r, a, 0, 0);
    i->timeline_index = 0;
    std::vector<std::string> when;
    for (int s = 1; s <= 12; ++s) {
        perform_step(r);
        for (auto& l : take_out()) when.push_back(std::to_string(s) + ":" + l);
    }
    EXPECT_EQ(when, (std::vector<std::string>{"1:0", "11:10", "11:again"}));
    i->timeline_position = 4;
    i->timeline_speed = 2;
    world().timelines[0]->remove(10);
    world().timelines[0]->add(5).actions.push_back(code_action("show_debug_message(\"five\")"));
    ASSERT_TRUE(compile_action(r, world().timelines[0]->add(5).actions.back()));
    perform_step(r);
    EXPECT_EQ(take_out(), std::vector<std::string>{"five"});
    world().timelines[0]->remove(7);  // no such moment
    EXPECT_EQ(world().timelines[0]->count(), 3);
}

TEST_F(WorldTest, ObjectRecordsRoundTripAndRefuseCorruptData) {
    CObject o;
    o.parent = 3;
    o.event_at(ev::KeyPress, 32).actions.push_back(code_action("x = 1"));
    o.event_at(ev::KeyPress, 32).stored = true;
    CStream good;
    write_object(good, o);
    good.seek(0);
    CObject back;
    ASSERT_TRUE(read_object(good, back));
    ASSERT_NE(back.present_event(ev::KeyPress, 32), nullptr);
    EXPECT_EQ(back.present_event(ev::KeyPress, 32)->actions[0].args[0], "x = 1");
    EXPECT_EQ(back.parent, 3);

    auto event_with = [](int32_t count, bool old_first) {
        CStream s;
        s.write_int(kEventVersion);
        s.write_int(count);
        if (old_first) s.write_int(439);  // an action of another version: only its number
        write_action(s, code_action("y = 2"));
        s.seek(0);
        return s;
    };
    CEvent e;
    CStream s1 = event_with(2, true);
    ASSERT_TRUE(read_event(s1, e));
    EXPECT_EQ(e.actions[0].exec_type, act::ExecNone);
    EXPECT_EQ(e.actions[1].args[0], "y = 2");
    CStream s2 = event_with(1 << 30, false);
    EXPECT_FALSE(read_event(s2, e)) << "a count the data cannot hold";

    CStream bad_version;
    bad_version.write_int(999);
    bad_version.seek(0);
    EXPECT_FALSE(read_object(bad_version, back));
    CStream huge_number;
    for (int32_t v : {430, -1, 0, 1, 0, 0, -1, -1, 0, 50000000}) huge_number.write_int(v);
    huge_number.seek(0);
    EXPECT_FALSE(read_object(huge_number, back)) << "an event number that would make a huge table";
}

TEST_F(WorldTest, SaveFilesRestoreTheGameAndTruncatedOnesChangeNothing) {
    const int32_t a = add_object("obj_a");
    enter();
    r.get<GameDataState>().header.game_id = 7;
    EXPECT_EQ(default_save_name(r), "_save7.sav");
    CInstance* i = create_in_room(r, a, 3, 4);
    const int32_t id = i->id();
    eval("hp = 5; alarm[2] = 9", i);
    eval("score = 11; global.g = \"kept\"");
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("kx_world_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "s.sav").string();
    ASSERT_TRUE(save_game(r, file));
    CStream image;
    write_save(r, image);

    eval("score = 1; global.g = 0; with (obj_a) instance_destroy()");
    instances().remove_destroyed(world());
    ASSERT_TRUE(load_game(r, file));
    EXPECT_EQ(eval("return score").real, 11);
    EXPECT_EQ(eval("return global.g").str.str(), "kept");
    CInstance* back = instances().find_id(id);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(eval("return hp", back).real, 5);
    EXPECT_EQ(back->alarm[2], 9);
    EXPECT_EQ(back->x, 3);
    CStream again;
    write_save(r, again);
    EXPECT_TRUE(std::equal(image.bytes().begin(), image.bytes().end(), again.bytes().begin(),
                           again.bytes().end()));

    eval("score = 2");
    const auto& bytes = image.bytes();
    for (size_t len = 0; len < bytes.size(); len += 7) {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(len));
        EXPECT_FALSE(load_game(r, file)) << len;
        ASSERT_EQ(eval("return score").real, 2)
            << "a refused load leaves the game alone, length " << len;
    }
    EXPECT_NE(script().errors.last.find("Failed to load game from file"), std::string::npos);
    r.get<GameDataState>().header.game_id = 8;
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_FALSE(load_game(r, file));
    EXPECT_EQ(script().errors.last, "This is a save file for a different game!");
    EXPECT_FALSE(load_game(r, (dir / "missing.sav").string()));
    std::filesystem::remove_all(dir);
}

TEST_F(WorldTest, ATransitionDuringRoomStartStopsTheRestOfIt) {
    const int32_t a = add_object("obj_a");
    set_event(a, ev::Create, 0,
              acts(code_action(
                  "show_debug_message(\"create \" + string(x)); if (x == 1) room_goto(1);")));
    set_event(a, ev::Other, ev::RoomStart,
              acts(code_action("show_debug_message(\"room start \" + string(room))")));
    set_event(a, ev::Step, 0, acts(say("step")));
    for (int k = 0; k < 2; ++k) {
        world().rooms.push_back(std::make_unique<CRoom>());
        world().room_order.push_back(k);
    }
    for (int x : {0, 1, 2})
        world().rooms[0]->instances.append(world(), make_instance(r, 100001 + x, a, x, 0));
    world().rooms[0]->code = "show_debug_message(\"room code\")";
    world().rooms[1]->instances.append(world(), make_instance(r, 100010, a, 5, 0));
    r.options.steps = 1;
    run_game(r);
    EXPECT_EQ(take_out(), (std::vector<std::string>{"create 0", "create 1", "create 5",
                                                    "room start 1", "step"}));
}

TEST_F(WorldTest, F5SavesAndF6LoadsTheGameFileOfTheGameId) {
    const auto dir = std::filesystem::temp_directory_path() / "kx_world_keys_test";
    std::filesystem::create_directories(dir);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    add_object("obj_a");
    enter();
    r.get<GameDataState>().header.game_id = 7;
    eval("score = 3; keyboard_lastkey = 116");
    perform_step(r);
    EXPECT_TRUE(std::filesystem::exists(dir / "_save7.sav"));
    EXPECT_EQ(eval("return keyboard_lastkey").real, 0);
    eval("score = 4; keyboard_lastkey = 117");
    perform_step(r);
    EXPECT_EQ(eval("return score").real, 3);
    r.get<GameDataState>().settings.KeyF5F6SaveLoad = false;
    eval("score = 5; keyboard_lastkey = 117");
    perform_step(r);
    EXPECT_EQ(eval("return score").real, 5) << "the setting turns the keys off";
    std::filesystem::current_path(here);
    std::filesystem::remove_all(dir);
}

TEST_F(WorldTest, PausedGamesStepOneAtATimeAndStop) {
    const int32_t a = add_object("obj_a");
    set_event(a, ev::Step, 0,
              acts(code_action("n += 1; show_debug_message(\"step \" + string(n)); if (n == 2) { "
                               "instance_destroy(); }")));
    set_event(a, ev::Create, 0, acts(code_action("n = 0; show_debug_message(\"create\")")));
    set_event(a, ev::Step, ev::StepEnd,
              acts(code_action("if (n == 1) { show_debug_message(\"pausing\"); }")));
    world().rooms.push_back(std::make_unique<CRoom>());
    world().room_order.push_back(0);
    world().rooms[0]->instances.append(world(), make_instance(r, 100001, a, 0, 0));
    world().game.running = true;
    start_game(r);
    world().game.paused = true;
    loop_single_step(r);
    loop_single_step(r);
    EXPECT_EQ(take_out(), (std::vector<std::string>{"create", "step 1", "pausing", "step 2"}));
    EXPECT_EQ(instances().count(), 0) << "the step ran to its end";
    loop_stop(r);
    EXPECT_FALSE(world().game.running);
    EXPECT_EQ(world().current, nullptr);
}

TEST_F(WorldTest, DamagedSectionsAndSavesAreRefusedWithoutHarm) {
    const pack::GameSource g = pack::load_source(KX_SOURCE_DIR "/tests/world/games/world_order");
    std::mt19937 rng(12345);
    for (Section sec : {Section::TimeLines, Section::Objects, Section::Rooms}) {
        CStream clean;
        pack::write_world_sections(clean, sec, g);
        const auto& bytes = clean.bytes();
        for (int round = 0; round < 400; ++round) {
            std::vector<uint8_t> b(bytes.begin(), bytes.end());
            for (int k = 0; k < 1 + round % 4; ++k)
                b[rng() % b.size()] = static_cast<uint8_t>(rng());
            if (round % 3 == 0) b.resize(rng() % b.size());
            CStream s(std::move(b));
            try {
                if (sec == Section::TimeLines) {
                    std::vector<std::unique_ptr<CTimeLine>> t;
                    read_timeline_list(s, t);
                } else if (sec == Section::Objects) {
                    std::vector<std::unique_ptr<CObject>> o;
                    read_object_list(s, o);
                } else {
                    RoomSection r;
                    read_room_section(s, r);
                }
            } catch (const StreamError&) {
            }
        }
    }
    // A damaged save either loads or is refused; the game stays playable.
    add_object("obj_a");
    enter();
    for (int k = 0; k < 5; ++k) create_in_room(r, 0, k, k);
    CStream image;
    write_save(r, image);
    const std::string file =
        (std::filesystem::temp_directory_path() / "kx_world_damaged.sav").string();
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> b(image.bytes().begin(), image.bytes().end());
        for (int k = 0; k < 1 + round % 3; ++k)
            b[8 + rng() % (b.size() - 8)] = static_cast<uint8_t>(rng());
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        load_game(r, file);
        perform_step(r);
    }
    std::filesystem::remove(file);
}

TEST_F(WorldTest, VirtualTimeGivesEachStepOnePeriodAndCountsFps) {
    add_object("obj_a");
    world().rooms.push_back(std::make_unique<CRoom>());
    world().rooms[0]->speed = 30;
    world().room_order.push_back(0);
    const int64_t start = r.platform->clock()->now_us();
    r.options.steps = 31;
    run_game(r);
    EXPECT_EQ(r.platform->clock()->now_us() - start, 31 * 33333);
    EXPECT_EQ(world().game.fps, 30) << "the steps of the first whole second";
    EXPECT_EQ(world().game.steps_done, 31);
    EXPECT_FALSE(world().game.running);
}

TEST_F(WorldTest, LibraryCodeRunsAtGameStartAndAFailureEndsTheGame) {
    add_object("obj_a");
    world().rooms.push_back(std::make_unique<CRoom>());
    world().room_order.push_back(0);
    world().library_init = {"global.lib = object_index + 1", "", "show_debug_message(\"second\")"};
    r.options.steps = 1;
    run_game(r);
    EXPECT_EQ(eval("return global.lib").real, 1) << "a temporary instance of object 0";
    EXPECT_EQ(take_out(), std::vector<std::string>{"second"});

    world().library_init = {"x = ;"};
    r.options.steps = -1;
    run_game(r);  // would never end without the fatal report
    EXPECT_EQ(world().game.steps_done, 0);
    EXPECT_NE(script().errors.last.find("COMPILATION ERROR in library initialization code"),
              std::string::npos);
}

TEST_F(WorldTest, ATransitionEndsTheStepAfterThePhaseThatAskedForIt) {
    const int32_t a = add_object("obj_a");
    auto phase = [](const char* name) {
        return code_action(std::string("show_debug_message(\"") + name +
                           "\"); if (global.stop == \"" + name + "\") room_goto(1);");
    };
    set_event(a, ev::Step, ev::StepBegin, acts(phase("begin")));
    set_event(a, ev::Alarm, 0, acts(phase("alarm")));
    set_event(a, ev::Step, ev::StepNormal, acts(phase("step")));
    set_event(a, ev::Step, ev::StepEnd, acts(phase("end")));
    set_event(a, ev::Other, ev::AnimationEnd, acts(phase("animation")));
    enter(2);
    world().timelines.push_back(std::make_unique<CTimeLine>());
    world().timelines[0]->add(0).actions.push_back(phase("timeline"));
    ASSERT_TRUE(compile_action(r, world().timelines[0]->add(0).actions.back()));
    build_event_lists(r);
    const std::vector<std::string> all = {"begin", "timeline", "alarm", "step", "end", "animation"};
    for (size_t stop = 0; stop < all.size(); ++stop) {
        script().transition.clear();
        eval("global.stop = \"" + all[stop] + "\"");
        CInstance* i = create_in_room(r, a, 0, 0);
        i->alarm[0] = 1;
        i->timeline_index = 0;
        perform_step(r);
        const std::vector<std::string> want(all.begin(),
                                            all.begin() + static_cast<std::ptrdiff_t>(stop) + 1);
        EXPECT_EQ(take_out(), want) << "stopped in " << all[stop];
        i->mark_destroyed();
        instances().remove_destroyed(world());
    }
}

}  // namespace
}  // namespace kx
