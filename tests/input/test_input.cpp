// Input in-process: the state the window's events leave, the input functions,
// the events a step raises, and the recorded-input format.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/runtime.h"
#include "input/input_main.h"
#include "input/input_record.h"
#include "platform/joystick.h"
#include "script/code_error.h"
#include "script/code_main.h"
#include "script/script_state.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/game_loop.h"
#include "world/object_main.h"
#include "world/world_state.h"

namespace kx {
namespace {

using Kind = InputEvent::Kind;

class FakeJoysticks : public IJoysticks {
public:
    JoystickState pads[2];
    JoystickState state(int id) override { return pads[id == 2 ? 1 : 0]; }
};

// Delivers queued events when messages are processed, as a real window would.
class QueueWindows : public HeadlessWindowSystem {
public:
    std::deque<InputEvent> queue;
    void process_messages() override {
        while (!queue.empty()) {
            const InputEvent e = queue.front();
            queue.pop_front();
            if (m_input_sink) m_input_sink->on_input(e);
        }
    }
};

class InputTest : public ::testing::Test {
protected:
    InputTest() {
        auto j = std::make_unique<FakeJoysticks>();
        joy = j.get();
        t.cp.platform->m_joysticks = std::move(j);
        // The window system is the test's: input hears it as it heard the
        // one it started with.
        auto w = std::make_unique<QueueWindows>();
        windows = w.get();
        windows->set_input_sink(devices().sink.get());
        t.cp.platform->m_windows = std::move(w);
    }

    // Objects whose events print "NAME type,number"; then the game starts in
    // one room.
    int32_t add_object(const std::string& name) { return test::add_object(r, name); }
    void say_on(int32_t obj, int32_t type, int32_t n) {
        ASSERT_TRUE(test::add_code(r, obj, type, n,
                                   "show_debug_message(\"" +
                                       world().objects[static_cast<size_t>(obj)]->name + " " +
                                       std::to_string(type) + "," + std::to_string(n) + "\")"));
    }
    void start() {
        test::add_rooms(r, 1);
        start_game(r);
    }
    void send(Kind k, int code = 0, int x = 0, int y = 0) {
        devices().sink->on_input({k, code, x, y});
    }
    // The input subsystem's parts of a step: its events, and the end of the step.
    void step_events() { run_phase(r, Phase::InputEvents); }
    void step_end() { run_phase(r, Phase::StepEnd); }
    double num(const std::string& expr) {
        const RValue v = eval(expr);
        EXPECT_TRUE(v.is_real()) << expr;
        return v.real;
    }
    RValue eval(const std::string& expr) { return run("return " + expr); }
    RValue run(const std::string& code) {
        CCode c(code, false);
        EXPECT_TRUE(c.compile(script())) << pending_message(script());
        CInstance temp(0, -1);
        RValue result;
        EXPECT_TRUE(execute_reporting(r, &temp, &temp, c, result)) << code;
        return result;
    }
    static std::string temp_file(const std::string& what) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return (std::filesystem::temp_directory_path() /
                ("kx_input_" + what + "_" + info->name() + ".txt"))
            .string();
    }
    std::vector<std::string> take_out() { return t.take_out(); }
    WorldState& world() { return r.get<WorldState>(); }
    ScriptState& script() { return r.get<ScriptState>(); }
    InputDevices& devices() { return r.get<InputDevices>(); }

    test::TestRuntime t;
    Runtime& r = t.runtime();
    FakeJoysticks* joy = nullptr;
    QueueWindows* windows = nullptr;
};

TEST_F(InputTest, KeyStatesOverStepsAndQueries) {
    start();
    send(Kind::KeyDown, 37);
    send(Kind::KeyDown, 37);  // auto-repeat: already held, pressed once
    EXPECT_EQ(num("keyboard_check(vk_left)"), 1);
    EXPECT_EQ(num("keyboard_check_pressed(vk_left)"), 1);
    EXPECT_EQ(num("keyboard_check(vk_anykey)"), 1);
    EXPECT_EQ(num("keyboard_check(vk_nokey)"), 0);
    EXPECT_EQ(num("keyboard_key"), 37);
    step_end();
    EXPECT_EQ(num("keyboard_check_pressed(vk_left)"), 0);
    EXPECT_EQ(num("keyboard_check(vk_left)"), 1);  // held stays
    send(Kind::KeyDown, 39);
    send(Kind::KeyUp, 37);  // not the current key: keyboard_key stays
    EXPECT_EQ(num("keyboard_key"), 39);
    EXPECT_EQ(num("keyboard_lastkey"), 39);
    send(Kind::KeyUp, 39);
    EXPECT_EQ(num("keyboard_key"), 0);
    EXPECT_EQ(num("keyboard_check_released(vk_left) + keyboard_check_released(vk_right)"), 2);
    EXPECT_EQ(num("keyboard_check(vk_nokey)"), 1);
    // Out of range: read as 0, and events for such keys change nothing.
    for (const char* q : {"keyboard_check(256)", "keyboard_check_pressed(-1)",
                          "keyboard_check_released(1000)", "keyboard_check_direct(300)"})
        EXPECT_EQ(num(q), 0) << q;
    send(Kind::KeyDown, 300);
    EXPECT_EQ(num("keyboard_lastkey"), 39);
}

TEST_F(InputTest, KeyMapRedirectsStatesButNotTheDirectCheck) {
    start();
    eval("keyboard_set_map(65, 66)");
    eval("keyboard_set_map(256, 1)");  // ignored
    EXPECT_EQ(num("keyboard_get_map(65)"), 66);
    EXPECT_EQ(num("keyboard_get_map(300)"), 300);
    send(Kind::KeyDown, 65);
    EXPECT_EQ(num("keyboard_check(66)"), 1);
    EXPECT_EQ(num("keyboard_check(65)"), 0);
    EXPECT_EQ(num("keyboard_lastkey"), 66);
    EXPECT_EQ(num("keyboard_check_direct(65)"), 1);
    EXPECT_EQ(num("keyboard_check_direct(66)"), 0);
    send(Kind::KeyUp, 65);
    EXPECT_EQ(num("keyboard_check_released(66)"), 1);
    // A key mapped outside 0..255 is dropped by the handlers.
    eval("keyboard_set_map(67, 400)");
    send(Kind::KeyDown, 67);
    EXPECT_EQ(num("keyboard_lastkey"), 66);
    eval("keyboard_unset_map()");
    EXPECT_EQ(num("keyboard_get_map(65)"), 65);
    // The map survives clearing; only the game's input state goes.
    eval("keyboard_set_map(65, 70)");
    eval("io_clear()");
    EXPECT_EQ(num("keyboard_get_map(65)"), 70);
    EXPECT_EQ(num("keyboard_check_released(66)"), 0);
}

TEST_F(InputTest, TypedText) {
    start();
    for (int i = 0; i < 1100; ++i) send(Kind::Char, 'a' + i % 26);
    EXPECT_EQ(world().game.input.keyboard_string.size(), 1025u);
    EXPECT_EQ(world().game.input.keyboard_string.back(), 'a' + 1099 % 26);
    run("keyboard_string = \"ab\"");
    send(Kind::Char, 8);
    EXPECT_EQ(world().game.input.keyboard_string, "a");
    send(Kind::Char, 8);
    send(Kind::Char, 8);   // nothing left to remove
    send(Kind::Char, 13);  // control characters are not text
    EXPECT_EQ(world().game.input.keyboard_string, "");
    EXPECT_EQ(world().game.input.keyboard_lastchar, "\r");
    send(Kind::Char, 0xE9);
    EXPECT_EQ(world().game.input.keyboard_string, "\xE9");
}

TEST_F(InputTest, MouseButtonsAndClose) {
    start();
    send(Kind::MouseDown, 1, 5, 6);
    send(Kind::MouseDown, 2, 5, 6);
    send(Kind::MouseUp, 2, 5, 6);
    EXPECT_EQ(num("mouse_button"), 0);  // the left one is still down
    EXPECT_EQ(num("mouse_lastbutton"), 2);
    EXPECT_EQ(num("mouse_check_button(mb_left)"), 1);
    EXPECT_EQ(num("mouse_check_button(mb_any)"), 1);
    EXPECT_EQ(num("mouse_check_button(mb_none)"), 0);
    EXPECT_EQ(num("mouse_check_button_released(mb_right)"), 1);
    EXPECT_EQ(num("mouse_check_button_pressed(mb_right)"), 1);
    EXPECT_EQ(num("mouse_check_button(4) + mouse_check_button_pressed(-2)"), 0);
    EXPECT_EQ(num("mouse_x") * 100 + num("mouse_y"), 506);  // without views: the window point
    eval("mouse_clear(mb_left)");
    EXPECT_EQ(num("mouse_check_button(mb_none)"), 1);
    send(Kind::CloseRequest);
    EXPECT_EQ(num("keyboard_check(vk_escape)"), 1);
    EXPECT_EQ(num("keyboard_check_pressed(vk_escape)"), 0);
    EXPECT_EQ(num("keyboard_lastkey"), 27);
}

TEST_F(InputTest, SynthesisedKeysAndNumLock) {
    start();
    eval("keyboard_key_press(vk_space)");
    EXPECT_EQ(num("keyboard_check_pressed(vk_space)"), 1);
    EXPECT_EQ(num("keyboard_check_direct(vk_space)"), 1);
    eval("keyboard_key_release(vk_space)");
    EXPECT_EQ(num("keyboard_check(vk_space)"), 0);
    EXPECT_EQ(num("keyboard_get_numlock()"), 0);
    eval("keyboard_set_numlock(0)");  // already off: nothing happens
    EXPECT_EQ(num("keyboard_check_pressed(144)"), 0);
    eval("keyboard_set_numlock(1)");
    EXPECT_EQ(num("keyboard_get_numlock()"), 1);
    EXPECT_EQ(num("keyboard_check_pressed(144) + keyboard_check_released(144)"), 2);
}

TEST_F(InputTest, JoystickFunctions) {
    JoystickState& p = joy->pads[1];
    p.present = true;
    p.name = std::string(40, 'n');
    p.axis_count = 3;
    p.button_count = 12;
    p.has_pov = true;
    p.axes[0] = 0;
    p.axes[1] = 65535;
    p.axes[2] = 32767;
    p.buttons = 1u | 1u << 31;
    p.pov = 9000;
    EXPECT_EQ(num("joystick_exists(2)"), 1);
    EXPECT_EQ(eval("joystick_name(2)").str.str(), std::string(32, 'n'));
    EXPECT_EQ(num("joystick_axes(2) * 100 + joystick_buttons(2)"), 312);
    EXPECT_EQ(num("joystick_has_pov(2)"), 1);
    EXPECT_EQ(num("joystick_xpos(2)"), -1);
    EXPECT_DOUBLE_EQ(num("joystick_ypos(2)"), 65535.0 / 32767 - 1);
    EXPECT_EQ(num("joystick_zpos(2)"), 0);
    EXPECT_EQ(num("joystick_pov(2)"), 90);
    EXPECT_EQ(num("joystick_check_button(2, 1) + joystick_check_button(2, 32)"), 2);
    EXPECT_EQ(num("joystick_check_button(2, 2) + joystick_check_button(2, 0) + "
                  "joystick_check_button(2, 33)"),
              0);
    p.pov = -1;
    EXPECT_EQ(num("joystick_pov(2)"), -1);
    p.pov = 36001;
    EXPECT_EQ(num("joystick_pov(2)"), -1);
    struct Case {
        int x, y, direction;
    };
    for (const Case& c : {Case{19999, 19999, 103}, Case{20000, 19999, 104}, Case{44000, 20000, 101},
                          Case{44001, 44000, 102}, Case{0, 44001, 97}, Case{65535, 65535, 99}}) {
        p.axes[0] = c.x;
        p.axes[1] = c.y;
        EXPECT_EQ(num("joystick_direction(2)"), c.direction) << c.x << "," << c.y;
    }
    // Joystick 1 is absent; any number but 2 names it.
    for (const char* q : {"joystick_exists(1)", "joystick_axes(3)", "joystick_buttons(0)",
                          "joystick_has_pov(1)", "joystick_xpos(1)", "joystick_check_button(1, 1)"})
        EXPECT_EQ(num(q), 0) << q;
    EXPECT_EQ(eval("joystick_name(1)").str.str(), "");
    EXPECT_EQ(num("joystick_pov(1)"), -1);
    EXPECT_EQ(num("joystick_direction(1)"), 101);
}

TEST_F(InputTest, StepRaisesKeyboardJoystickAndMouseEvents) {
    const int32_t o = add_object("o");
    for (int n : {1, 0}) say_on(o, ev::Keyboard, n);
    say_on(o, ev::Keyboard, 40);
    for (int n : {16, 17, 18, 19, 21, 28, 31, 36, 3, 0, 4, 12, 53}) say_on(o, ev::Mouse, n);
    start();
    CInstance* in = create_in_room(r, o, 10, 10);
    in->bbox_left = in->bbox_top = 10;
    in->bbox_right = in->bbox_bottom = 20;
    JoystickState& p = joy->pads[0];
    p.present = true;
    p.axes[0] = 10000;                   // left
    p.axes[1] = 30000;                   // neither up nor down
    p.buttons = 1u | 1u << 7 | 1u << 8;  // buttons 1, 8 and 9 (only 1..8 raise events)
    joy->pads[1].present = false;
    take_out();
    send(Kind::KeyDown, 200);  // above the event lists, but a key for "any key"
    send(Kind::MouseMove, 0, 30, 30);
    step_events();
    EXPECT_EQ(take_out(), (std::vector<std::string>{"o 5,1", "o 6,16", "o 6,21", "o 6,28"}));
    step_end();
    send(Kind::KeyUp, 200);
    send(Kind::MouseMove, 0, 15, 15);
    send(Kind::MouseDown, 1, 15, 15);
    p.present = false;
    step_events();
    EXPECT_EQ(take_out(),
              (std::vector<std::string>{"o 5,0", "o 6,0", "o 6,4", "o 6,12", "o 6,53"}));
    step_end();
    send(Kind::MouseUp, 1, 15, 15);
    step_events();
    EXPECT_EQ(take_out(), (std::vector<std::string>{"o 5,0", "o 6,3"}));
}

TEST_F(InputTest, RecordedLines) {
    struct Good {
        const char* line;
        const char* formatted;  // null: blank or comment
    };
    for (const Good& g :
         {Good{"0 keydown 37", "0 keydown 37"},
          Good{"  12:3  keyup  vk_space  # released", "12:3 keyup 32"},
          Good{"4 keydown A", "4 keydown 65"}, Good{"4 char 0", "4 char 0"},
          Good{"5 mousedown mb_right", "5 mousedown 2"},
          Good{"5 mouseup 3 -4 700", "5 mouseup 3 -4 700"},
          Good{"6 mousemove 10 20", "6 mousemove 10 20"}, Good{"7 wheelup", "7 wheelup"},
          Good{"7 close", "7 close"}, Good{"8 focusout", "8 focusout"}, Good{"   ", nullptr},
          Good{"# only a comment", nullptr},
          // Joysticks: omitted fields take their defaults, which are not written.
          Good{"9 joystick 1", "9 joystick 1"},
          Good{"9:2 joystick 2 absent # unplugged", "9:2 joystick 2 absent"},
          Good{"9 joystick 1 read=1 x=32768 naxes=2 nbuttons=8", "9 joystick 1"},
          Good{"9 joystick 1 v=0 buttons=32,1 pov=0 read=3",
               "9 joystick 1 read=3 v=0 buttons=1,32 pov=0"},
          Good{"9 joystick 1 naxes=0 nbuttons=0 x=65535 y=0 z=1 pov=-1",
               "9 joystick 1 naxes=0 nbuttons=0 x=65535 y=0 z=1 pov=-1"},
          Good{"9 joystick 1 name=Pad", "9 joystick 1 name=\"Pad\""},
          Good{"9 joystick 1 name=\"a # \\\"b\\\\ \\x09\" # note",
               "9 joystick 1 name=\"a # \\\"b\\\\ \\x09\""}}) {
        std::optional<RecordedInput> rec;
        std::string error;
        ASSERT_TRUE(parse_input_line(g.line, rec, error)) << g.line << ": " << error;
        if (!g.formatted) {
            EXPECT_FALSE(rec) << g.line;
            continue;
        }
        ASSERT_TRUE(rec) << g.line;
        EXPECT_EQ(format_input_line(*rec), g.formatted);
        // What is written reads back as the same thing.
        std::optional<RecordedInput> again;
        ASSERT_TRUE(parse_input_line(g.formatted, again, error)) << g.formatted << ": " << error;
        EXPECT_EQ(format_input_line(*again), g.formatted);
        EXPECT_TRUE(same_joystick_state(again->pad, rec->pad)) << g.formatted;
    }
    struct Bad {
        std::string line;
        const char* error;
    };
    for (const Bad& b : {Bad{"x keydown 1", "bad step \"x\""},
                         Bad{"-1 keydown 1", "bad step \"-1\""},
                         Bad{"1:0 keydown 1", "bad input call number in \"1:0\""},
                         Bad{"3", "missing event after the step"},
                         Bad{"3 press 1", "unknown event \"press\""},
                         Bad{"3 keydown", "wrong number of arguments for keydown"},
                         Bad{"3 wheelup 1", "wrong number of arguments for wheelup"},
                         Bad{"3 mousedown 1 2", "wrong number of arguments for mousedown"},
                         Bad{"3 keydown 256", "code 256 out of range for keydown"},
                         Bad{"3 mousedown 4", "code 4 out of range for mousedown"},
                         Bad{"3 keydown vk_nothing", "bad code \"vk_nothing\" for keydown"},
                         Bad{"3 mousemove 1 y", "bad position for mousemove"},
                         Bad{"3 joystick", "missing joystick number"},
                         Bad{"3 joystick 3", "bad joystick \"3\" (1 or 2)"},
                         Bad{"3 joystick 1 w=1", "unknown joystick field \"w\""},
                         Bad{"3 joystick 1 pressed", "unknown joystick field \"pressed\""},
                         Bad{"3 joystick 1 x=1 x=2", "joystick field x given twice"},
                         Bad{"3 joystick 1 x=65536", "x 65536 out of range (0..65535)"},
                         Bad{"3 joystick 1 y=-1", "y -1 out of range (0..65535)"},
                         Bad{"3 joystick 1 x=", "bad value \"\" for x"},
                         Bad{"3 joystick 1 naxes=7", "naxes 7 out of range (0..6)"},
                         Bad{"3 joystick 1 nbuttons=33", "nbuttons 33 out of range (0..32)"},
                         Bad{"3 joystick 1 buttons=1,,2", "bad value \"1,,2\" for buttons"},
                         Bad{"3 joystick 1 buttons=0", "button 0 out of range (1..32)"},
                         Bad{"3 joystick 1 pov=36001", "pov 36001 out of range (-1..36000)"},
                         Bad{"3 joystick 1 read=0", "bad read \"0\" (1 or more)"},
                         Bad{"3 joystick 1 absent x=0", "an absent joystick takes no other fields"},
                         Bad{"3 joystick 1 name=\"Pad", "unterminated quote"},
                         Bad{"3 joystick 1 name=\"a\\q\"", "bad name \"a\\q\""},
                         Bad{"3 joystick 1 name=\"\\x4\"", "bad name \"\\x4\""},
                         Bad{"3 joystick 1 name=\"" + std::string(33, 'n') + "\"",
                             "name longer than 32 characters"}}) {
        std::optional<RecordedInput> rec;
        std::string error;
        EXPECT_FALSE(parse_input_line(b.line, rec, error)) << b.line;
        EXPECT_EQ(error, b.error) << b.line;
    }
}

TEST_F(InputTest, RecordingTagsEventsWithTheirStepAndInputCall) {
    const std::string path = temp_file("rec");
    std::string error;
    ASSERT_TRUE(open_input_files(r, "", path, error)) << error;
    send(Kind::KeyDown, 40);         // before the first room: wiped by entering it
    send(Kind::MouseMove, 0, 3, 4);  // the mouse position is not
    start();
    send(Kind::KeyDown, 37);
    world().game.steps_done = 4;
    windows->queue = {{Kind::KeyUp, 37}};
    eval("io_handle()");
    windows->queue = {{Kind::Char, 65}};
    eval("keyboard_clear(0)");
    send(Kind::MouseDown, 1, 7, 8);
    script().transition.set_room(0);  // pending room change: key events are dropped
    send(Kind::KeyDown, 38);
    send(Kind::MouseMove, 0, 9, 9);
    devices().record.reset();
    std::ifstream f(path);
    std::stringstream all;
    all << f.rdbuf();
    std::filesystem::remove(path);
    EXPECT_EQ(all.str(),
              "# kxrun input: STEP[:CALL] EVENT [ARGUMENTS]\n"
              "0 mousemove 3 4\n0 keydown 37\n4:1 keyup 37\n4:2 char 65\n4 mousedown 1 7 8\n"
              "4 mousemove 9 9\n");
}

TEST_F(InputTest, ReplayDeliversAtStepEndsAndInsideInputCalls) {
    const std::string path = temp_file("play");
    std::ofstream(path) << "0 keydown 37\n1 keydown 38\n1:2 keydown 39\n2 keydown 40\n";
    std::string error;
    ASSERT_TRUE(open_input_files(r, path, "", error)) << error;
    std::filesystem::remove(path);
    start();
    auto held = [&](int k) { return world().game.input.key_held[static_cast<size_t>(k)]; };
    step_events();  // step 1: what arrived before it is overdue
    EXPECT_TRUE(held(37));
    EXPECT_FALSE(held(38));
    step_end();  // end of step 1: what arrived after it
    EXPECT_TRUE(held(38));
    EXPECT_FALSE(held(39));
    world().game.steps_done = 1;
    EXPECT_TRUE(input_may_arrive(r));
    eval("io_handle()");
    EXPECT_FALSE(held(39));
    eval("io_handle()");
    EXPECT_TRUE(held(39));
    EXPECT_FALSE(held(40));
    EXPECT_FALSE(input_may_arrive(r));  // the next event belongs after this step
    step_end();
    EXPECT_TRUE(held(40));
}

TEST_F(InputTest, RecordingWritesAJoystickStateOnceWhereTheGameFirstReadsIt) {
    const std::string path = temp_file("joyrec");
    std::string error;
    ASSERT_TRUE(open_input_files(r, "", path, error)) << error;
    start();
    EXPECT_EQ(num("joystick_exists(1) + joystick_exists(2)"), 0);  // absent as at the start
    JoystickState& p = joy->pads[0];
    p.present = true;
    p.axis_count = 2;
    p.button_count = 8;
    p.axes[0] = 0;
    EXPECT_EQ(num("joystick_xpos(1)"), -1);  // the second read here
    EXPECT_EQ(num("joystick_xpos(1)"), -1);  // unchanged: not written again
    p.buttons = 2;
    EXPECT_EQ(num("joystick_check_button(1, 2)"), 1);
    world().game.steps_done = 3;
    eval("io_handle()");
    p.axes[0] = 32768;
    EXPECT_EQ(num("joystick_xpos(1) + joystick_exists(2)"), 32768 / 32767.0 - 1);
    // What the platform gives beyond the ranges is written as the game reads it.
    p.name = std::string(40, 'n');
    p.has_pov = true;
    p.pov = 36001;
    p.axes[1] = 70000;
    EXPECT_EQ(num("joystick_ypos(1)"), 65535 / 32767.0 - 1);
    p.present = false;
    EXPECT_EQ(num("joystick_buttons(1)"), 0);
    devices().record.reset();
    std::ifstream f(path);
    std::stringstream all;
    all << f.rdbuf();
    EXPECT_EQ(all.str(),
              "# kxrun input: STEP[:CALL] EVENT [ARGUMENTS]\n"
              "0 joystick 1 read=2 x=0\n"
              "0 joystick 1 read=4 x=0 buttons=2\n"
              "3:1 joystick 1 buttons=2\n"
              "3:1 joystick 1 read=2 name=\"" +
                  std::string(32, 'n') +
                  "\" y=65535 buttons=2 pov=-1\n"
                  "3:1 joystick 1 read=3 absent\n");
    std::vector<RecordedInput> back;
    EXPECT_TRUE(read_input_file(path, back, error)) << error;
    EXPECT_EQ(back.size(), 5u);
    std::filesystem::remove(path);
}

TEST_F(InputTest, ReplayedJoysticksStandInForTheDevices) {
    const int32_t o = add_object("o");
    for (int n : {16, 21, 31, 36}) say_on(o, ev::Mouse, n);
    const std::string path = temp_file("joyplay");
    std::ofstream(path) << "0 keydown 37\n"
                           "0 joystick 2 name=\"a\\x09b\" x=0 buttons=1\n"
                           "1 joystick 2 read=2 x=65535\n"
                           "1:1 joystick 2 absent\n";
    std::string error;
    ASSERT_TRUE(open_input_files(r, path, "", error)) << error;
    std::filesystem::remove(path);
    // The devices say otherwise; a replay never asks them.
    for (JoystickState& p : joy->pads) {
        p.present = true;
        p.axes[0] = 0;
        p.buttons = 1;
    }
    start();
    create_in_room(r, o, 0, 0);
    take_out();
    step_events();
    EXPECT_EQ(take_out(), (std::vector<std::string>{"o 6,31", "o 6,36"}));
    EXPECT_TRUE(world().game.input.key_held[37]);  // the window's events replay beside them
    EXPECT_EQ(eval("joystick_name(2)").str.str(), "a\tb");
    EXPECT_EQ(num("joystick_exists(1)"), 0);
    world().game.steps_done = 1;
    EXPECT_EQ(num("joystick_xpos(2)"), -1);  // its state changes at the second read
    EXPECT_EQ(num("joystick_xpos(2)"), 65535 / 32767.0 - 1);
    EXPECT_EQ(num("joystick_check_button(2, 1)"), 0);  // a line is the whole state
    eval("io_handle()");
    EXPECT_EQ(num("joystick_exists(2)"), 0);
}

TEST_F(InputTest, JoystickLinesMayNotGoBack) {
    const std::string path = temp_file("joyback");
    std::ofstream(path) << "2 joystick 1 read=2\n2 joystick 2\n2 joystick 1 x=0\n";
    std::vector<RecordedInput> out;
    std::string error;
    EXPECT_FALSE(read_input_file(path, out, error));
    EXPECT_EQ(error, path + ":3: joystick 1 at 2 comes after its state at 2 read 2");
    std::ofstream(path) << "2:1 joystick 1\n2 keydown 37\n2 joystick 1\n";
    EXPECT_FALSE(read_input_file(path, out, error));
    EXPECT_EQ(error, path + ":3: joystick 1 at 2 comes after its state at 2:1");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace kx
