// Unit tests for the parts of the language that case tables cannot reach:
// stream records, token positions, scripts, instances, reporting, constants.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "gamedata/game_settings.h"
#include "gamedata/gamedata_state.h"
#include "platform/platform.h"
#include "script/code_constant.h"
#include "script/code_error.h"
#include "script/code_exec.h"
#include "script/code_main.h"
#include "script/lexer.h"
#include "script/script_main.h"
#include "script/script_state.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/instance.h"
#include "world/instance_main.h"
#include "world/world_state.h"

using namespace kx;

namespace {

struct Shown {
    std::string caption, text;
    std::vector<std::string> buttons;
};

class RecordingDialogs : public IDialogs {
public:
    void message(std::string_view caption, std::string_view text) override {
        shown.push_back({std::string(caption), std::string(text), {}});
    }
    bool question(std::string_view, std::string_view) override { return false; }
    int buttons(std::string_view caption, std::string_view text,
                const std::vector<std::string>& captions) override {
        shown.push_back({std::string(caption), std::string(text), captions});
        if (!answers.empty()) {
            const std::string a = answers.front();
            answers.erase(answers.begin());
            for (size_t i = 0; i < captions.size(); ++i)
                if (captions[i] == a) return static_cast<int>(i);
        }
        return static_cast<int>(captions.size()) - 1;
    }
    std::vector<Shown> shown;
    std::vector<std::string> answers;
};

// The runtime of the program, its dialogs recorded in place of the headless ones.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto d = std::make_unique<RecordingDialogs>();
        dialogs = d.get();
        t.cp.platform->m_dialogs = std::move(d);
        st().builtins.set_dialogs(dialogs);
    }
    Runtime& r() { return t.runtime(); }
    ScriptState& st() { return t.script(); }
    GameSettings& settings() { return t.state<GameDataState>().settings; }
    std::string pending() { return pending_message(st()); }

    // Compiles and runs a program with self (the fixture's instance when null)
    // and other; the pending message on failure.
    std::string run(const std::string& text, RValue* result_out = nullptr,
                    CInstance* self = nullptr, CInstance* other = nullptr) {
        return t.run(text, result_out, self ? self : &temp, other);
    }
    double real_of(const std::string& text, CInstance* self = nullptr) {
        RValue v;
        const std::string err = run(text, &v, self);
        EXPECT_EQ(err, "") << text;
        EXPECT_TRUE(v.is_real()) << text;
        return v.real;
    }
    void add_script(const std::string& name, const std::string& text) {
        st().scripts.add(name, text);
    }

    test::TestRuntime t;
    RecordingDialogs* dialogs = nullptr;
    CInstance temp{0, -1};
};

// ------------------------------------------------------------ variable lists

TEST_F(ScriptTest, VariableListRoundTripsThroughItsStreamRecord) {
    CVariableList a;
    a.set(100000, 0, RValue(1.5));
    a.set(100001, 0, RValue("text"));
    a.set(100001, 3, RValue(7.0));
    a.set(100002, 2 * kArrayDim + 1, RValue("cell"));
    CStream s;
    a.save(s);
    s.seek(0);
    CVariableList b;
    b.set(5, 0, RValue(9.0));  // replaced by the load
    b.load(s);
    EXPECT_TRUE(s.at_end());
    ASSERT_EQ(b.count(), 3);
    EXPECT_EQ(b.get(5, 0), nullptr);
    EXPECT_EQ(b.get(100000, 0)->real, 1.5);
    EXPECT_EQ(b.get(100001, 0)->str.view(), "text");
    EXPECT_EQ(b.get(100001, 3)->real, 7.0);
    EXPECT_EQ(b.get(100001, 4), nullptr);
    EXPECT_EQ(b.get(100002, 2 * kArrayDim + 1)->str.view(), "cell");
    EXPECT_EQ(b.find(100002)->rows.size(), 3u);
    EXPECT_TRUE(b.find(100002)->rows[1].empty());
    EXPECT_EQ(b.get(100002, kArrayDim), nullptr);  // row 1 exists but is empty
}

TEST_F(ScriptTest, VariableListLoadRejectsWrongFormatAndCorruptCounts) {
    CStream wrong;
    wrong.write_int(441);
    wrong.write_int(1);
    wrong.seek(0);
    CVariableList l;
    l.set(100000, 0, RValue(1.0));
    l.load(wrong);
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(wrong.position(), 4u);  // nothing more is read

    CStream huge;
    huge.write_int(440);
    huge.write_int(0x7fffffff);  // far more variables than bytes
    huge.seek(0);
    EXPECT_THROW(l.load(huge), StreamError);
    EXPECT_EQ(l.count(), 0);
}

TEST_F(ScriptTest, BuiltinVariableTableStopsAtFiveHundred) {
    BuiltinVariableTable table;
    table.set_dialogs(dialogs);
    auto getter = [](CInstance*, int32_t, RValue&) { return true; };
    for (int i = 0; i < kMaxBuiltinVariables; ++i)
        ASSERT_EQ(table.add(BuiltinVarDef{"v", getter, nullptr, false}), i);
    EXPECT_TRUE(dialogs->shown.empty());
    EXPECT_EQ(table.add(BuiltinVarDef{"extra", getter, nullptr, false}), -1);
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].text, "INTERNAL ERROR: Adding too many variables");
    EXPECT_EQ(table.find("v"), 0);  // first match
    EXPECT_EQ(table.find("extra"), -1);
    EXPECT_EQ(table.name(500), "<unknown built-in variable>");
    EXPECT_EQ(st().user_names.name(100000 + st().user_names.count()), "<unknown variable>");
}

// ------------------------------------------------------------------- lexer

TEST_F(ScriptTest, TokensCarryKindTextAndPosition) {
    CCode code("a<>b /*c*/ 'x y'\r\n$1F 1.2.3 begin Begin x=-1 .5", false);
    std::vector<Token> t;
    ASSERT_TRUE(tokenize(st(), code, t));
    struct Want {
        int32_t kind;
        const char* text;
        int32_t position;
    };
    const Want want[] = {
        {tok::Ident, "a", 1},      {tok::NotEqual, "<>", 2},  {tok::Ident, "b", 4},
        {tok::String, "x y", 12},  {tok::Number, "$1F", 19},  {tok::Number, "1.2.3", 23},
        {tok::Begin, "begin", 29}, {tok::Ident, "Begin", 35}, {tok::Ident, "x", 41},
        {tok::Assign, "=", 42},    {tok::Minus, "-", 43},     {tok::Number, "1", 44},
        {tok::Number, ".5", 46},   {tok::End, "", 48},
    };
    ASSERT_EQ(t.size(), std::size(want));
    for (size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i].kind, want[i].kind) << i;
        EXPECT_EQ(t[i].text, want[i].text) << i;
        EXPECT_EQ(t[i].position, want[i].position) << i;
    }
    EXPECT_EQ(number_value("$1F"), 31);
    EXPECT_EQ(number_value("1.2.3"), 1.23);
    EXPECT_EQ(number_value("$"), 0);
}

TEST_F(ScriptTest, NonAsciiOutsideStringsIsAnError) {
    CCode ok("s = '\xe9'", false);
    std::vector<Token> t;
    EXPECT_TRUE(tokenize(st(), ok, t));
    CCode bad("s = \xe9", false);
    EXPECT_FALSE(tokenize(st(), bad, t));
    EXPECT_EQ(pending(),
              "Error in code at line 1:\r   s = \xe9\r\rat position 5: Unexpected symbol.");
}

// ---------------------------------------------------------- error positions

TEST_F(ScriptTest, ErrorLinesCountCarriageReturnsAndTheLineFeedIsAColumn) {
    EXPECT_EQ(run("x = 1;\r\ny = z;"),
              "Error in code at line 2:\r   \ny = z;\r\rat position 6: Unknown variable z");
    EXPECT_EQ(run("a = 1;\r\nb = 2;\r\nc"),
              "compile: Error in code at line 3:\r   \nc\r\rat position 2: Assignment operator "
              "expected.");
}

TEST_F(ScriptTest, ExpressionCodeHasItsOwnFrameAndIgnoresTrailingTokens) {
    CCode c("1 2", true);
    ASSERT_TRUE(c.compile(st()));
    EXPECT_EQ(c.kind(), CodeKind::Constant);
    EXPECT_EQ(c.constant_value().real, 1);
    RValue v;
    EXPECT_TRUE(execute(st(), nullptr, nullptr, c, v));  // a constant needs no instance
    EXPECT_EQ(v.real, 1);

    CCode e("", true);
    ASSERT_TRUE(e.compile(st()));
    EXPECT_EQ(e.kind(), CodeKind::Constant);
    EXPECT_EQ(e.constant_value().real, 0);

    CCode x("3 + q", true);
    ASSERT_TRUE(x.compile(st()));
    EXPECT_EQ(x.kind(), CodeKind::Expression);
    EXPECT_FALSE(execute(st(), &temp, &temp, x, v));
    EXPECT_EQ(pending(), "Error in expression:3 + q\r position 5: Unknown variable q");
    EXPECT_FALSE(x.compile(st()));  // the first error still counts
    EXPECT_EQ(pending(), "Error in expression:3 + q\r position 5: Unknown variable q");
    clear_pending_error(st());
    EXPECT_FALSE(x.compile(st()));
    EXPECT_EQ(pending(),
              "Error in expression:3 + q\r position 1: Internal Error: Recompiling compiled code.");
}

TEST_F(ScriptTest, ExecuteChecksItsCodeAndInstances) {
    CCode c("x = 1", false);
    RValue v;
    EXPECT_FALSE(execute(st(), &temp, &temp, c, v));
    EXPECT_NE(pending().find("Internal Error: Executing non-compiled code."), std::string::npos);
    ASSERT_TRUE(c.compile(st()));
    EXPECT_FALSE(execute(st(), nullptr, &temp, c, v));
    EXPECT_NE(pending().find("Internal Error: Executing code for nil instance."),
              std::string::npos);
    EXPECT_TRUE(execute(st(), &temp, &temp, c, v));
    EXPECT_FALSE(error_pending(st()));
}

TEST_F(ScriptTest, DeepNestingFailsToCompileInsteadOfOverflowing) {
    const std::string parens = std::string(100000, '(') + "1" + std::string(100000, ')');
    EXPECT_NE(run("x = " + parens).find("Code nested too deeply."), std::string::npos);
    std::string chain = "x = a";
    for (int i = 0; i < 100000; ++i) chain += "+a";
    EXPECT_NE(run(chain).find("Expression too complex."), std::string::npos);
    EXPECT_NE(run(std::string(100000, '{')).find("Code nested too deeply."), std::string::npos);
    std::string fine = "x = 1";
    for (int i = 0; i < 500; ++i) fine += "+1";
    EXPECT_EQ(real_of(fine + "; return x"), 501);
}

// Token soup and raw bytes: every text compiles or fails with a message, and
// what compiles as an expression runs (expressions cannot loop).
TEST_F(ScriptTest, ArbitraryTextNeverBreaksTheCompiler) {
    static const char* const pieces[] = {
        "x",         "a[",         "]",
        "(",         ")",          "{",
        "}",         "begin",      "end",
        "if",        "then",       "else",
        "while",     "do",         "until",
        "for",       "repeat",     "with",
        "switch",    "case",       "default",
        ":",         ";",          ",",
        ".",         "var",        "return",
        "exit",      "break",      "continue",
        "=",         "+=",         "-",
        "*",         "/",          "div",
        "mod",       "&&",         "^^",
        "<<",        ">>",         "~",
        "!",         "1",          "0.5",
        "$F",        "'s'",        "\"t",
        "self",      "other",      "all",
        "noone",     "global",     "local",
        "argument0", "argument[",  "script_execute(",
        "/*",        "*/",         "//",
        "\r\n",      "#",          "\xff",
        "c_red",     "error_last",
    };
    std::mt19937 gen(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = static_cast<int>(gen() % 24);
        for (int i = 0; i < n; ++i) {
            if (gen() % 8 == 0) {
                text += static_cast<char>(gen() % 256);
            } else {
                text += pieces[gen() % std::size(pieces)];
                text += ' ';
            }
        }
        CCode program(text, false);
        if (!program.compile(st())) {
            EXPECT_TRUE(error_pending(st())) << text;
        }
        CCode expr(text, true);
        if (!expr.compile(st())) {
            EXPECT_TRUE(error_pending(st())) << text;
            continue;
        }
        RValue v;
        if (!execute(st(), &temp, &temp, expr, v)) {
            EXPECT_FALSE(pending().empty()) << text;
        }
    }
}

TEST_F(ScriptTest, UninitializedAsZeroReadsMissingValuesAsZero) {
    settings().UninitializedAsZero = true;
    EXPECT_EQ(real_of("a[5] = 1; return w + a[9] + noone.z + global.q + b[1,1]"), 0);
    EXPECT_EQ(real_of("c += 2; return c"), 2);
}

// ----------------------------------------------------------------- scripts

TEST_F(ScriptTest, ScriptsReturnTheirLastValueAndRestoreTheArgumentSlots) {
    add_script("scr_last", "x = 4");
    add_script(
        "scr_args",
        "return string(argument0) + string(argument1) + string(argument2) + string(argument3)");
    add_script("scr_outer",
               "a = argument0; b = scr_args(1, 2, 3); return b + string(argument0) + string(a)");
    ASSERT_TRUE(compile_scripts(r()));
    EXPECT_EQ(real_of("return scr_last()"), 4);
    RValue v;
    EXPECT_EQ(run("return scr_outer(9)", &v), "");
    EXPECT_EQ(v.str.view(), "123099");
    EXPECT_EQ(real_of("argument0 = 5; scr_args(1); return argument0"), 5);
    // A call statement hands its own result slot to the script.
    EXPECT_EQ(run("s = 'before'; scr_args(7)", &v), "");
    EXPECT_EQ(v.str.view(), "7000");
    // A script name without ( is its index.
    EXPECT_EQ(real_of("return scr_outer"), 2);
    EXPECT_EQ(real_of("return script_exists(1) + script_exists(3)"), 1);
    EXPECT_EQ(run("return script_get_name(2) + script_get_text(0)", &v), "");
    EXPECT_EQ(v.str.view(), "scr_outerx = 4");
    EXPECT_EQ(run("return script_execute(1, 'a', 'b')", &v), "");
    EXPECT_EQ(v.str.view(), "ab00");
}

TEST_F(ScriptTest, ScriptErrorsNestFromTheOutermostAndGetTheEventFrame) {
    add_script("inner", "return zz");
    add_script("outer", "return inner()");
    ASSERT_TRUE(compile_scripts(r()));
    st().event = EventContext{3, 0, 0, 0, false};
    st().names.object_name = [](int32_t i) {
        return i == 3 ? std::string("obj_player") : std::string();
    };
    st().names.event_name = [](int32_t type, int32_t) {
        return type == 0 ? std::string("Create Event") : std::string("<Unknown Event>");
    };
    CCode code("x = outer()", false);
    ASSERT_TRUE(code.compile(st()));
    RValue v;
    EXPECT_FALSE(execute_reporting(r(), &temp, &temp, code, v));
    EXPECT_FALSE(error_pending(st()));
    ASSERT_EQ(dialogs->shown.size(), 1u);
    const Shown& d = dialogs->shown[0];
    EXPECT_EQ(d.caption, "Error");
    EXPECT_EQ(d.buttons, (std::vector<std::string>{"&Abort", "&Ignore"}));
    EXPECT_EQ(d.text,
              "ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj_player:\r\n\r\n"
              "In script outer:\rIn script inner:\r"
              "Error in code at line 1:\r   return zz\r\rat position 8: Unknown variable zz");
    EXPECT_EQ(st().errors.last, d.text);
    EXPECT_TRUE(st().errors.occurred);
    EXPECT_EQ(st().transition.code(), TransitionRequest::None);

    // Through script_execute the caller goes on with "ERROR".
    EXPECT_EQ(run("s = script_execute(1); return s + '!'", &v), "");
    EXPECT_EQ(v.str.view(), "ERROR!");
    EXPECT_EQ(dialogs->shown.size(), 2u);
}

TEST_F(ScriptTest, TimeLineContextAndMissingNames) {
    st().event = EventContext{7, kTimeLineEventType, 30, 2, false};
    report_with_context(r(), "m", true);
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].text,
              "FATAL ERROR in\r\naction number 3\r\nat time step 30\r\nof time line "
              "<undefined>:\r\n\r\nm");
    EXPECT_EQ(dialogs->shown[0].buttons, std::vector<std::string>{"&Abort"});
}

TEST_F(ScriptTest, RunawayRecursionEndsWithAnError) {
    add_script("rec", "return rec(argument0 + 1)");
    add_script("rec2", "script_execute(1)");
    ASSERT_TRUE(compile_scripts(r()));
    const std::string err = run("x = rec(0)");
    EXPECT_EQ(err.rfind("In script rec:\r", 0), 0u);
    EXPECT_NE(err.find("Script calls nested too deeply."), std::string::npos);
    EXPECT_EQ(st().call_depth, 0);
    // Through script_execute every level reports and goes on; nothing overflows.
    settings().DisplayErrors = false;
    EXPECT_EQ(run("script_execute(1)"), "");
    EXPECT_NE(st().errors.last.find("Script calls nested too deeply."), std::string::npos);
}

// Runs code that calls this function again, as handlers that run code do.
void test_reenter(CInstance* self, CInstance* other, int, RValue& r, const RValue*) {
    ScriptState& st = rt().get<ScriptState>();
    CCode code("depth += 1; test_reenter()", false);
    if (!code.compile(st)) return;
    RValue result;
    if (!execute_quiet(st, self, other, code, result)) {
        const int32_t var = variable_index(st, "reenter_error");
        if (!st.globals.get(var, 0))
            st.globals.set(var, 0, RValue(std::string_view(pending_message(st))));
    }
    r.set_real(1);
}

TEST_F(ScriptTest, NestedExecutionsThroughHandlersEndWithAnError) {
    st().functions.add(BuiltinDef{"test_reenter", test_reenter, 0});
    RValue v;
    EXPECT_EQ(run("depth = 0; test_reenter(); return depth", &v), "");
    EXPECT_GT(v.real, 100);
    const RValue* e = st().globals.get(variable_index(st(), "reenter_error"), 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->str.view(),
              "Error in code at line 1:\r   depth += 1; test_reenter()\r\rat position 1: Code "
              "executions nested too deeply.");
    EXPECT_EQ(st().exec_depth, 0);
}

TEST_F(ScriptTest, CompileErrorInAScriptIsFatal) {
    add_script("good", "x = 1");
    add_script("bad", "x = ");
    EXPECT_FALSE(compile_scripts(r()));
    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(
        dialogs->shown[0].text,
        "COMPILATION ERROR in Script: bad\rError in code at line 1:\r   x = \r\rat position 4: "
        "Unexpected symbol in expression.");
    EXPECT_EQ(st().transition.code(), TransitionRequest::Abort);
    EXPECT_TRUE(st().errors.ending);
}

TEST_F(ScriptTest, ScriptSectionRoundTripsScrambled) {
    ScriptList list;
    list.add("first", "return 1");
    list.add(std::nullopt);
    list.add("third", "a = 'x';\r\nreturn a");
    CStream s;
    save_scripts(s, list);
    const std::string raw(reinterpret_cast<const char*>(s.bytes().data()), s.size());
    s.seek(0);
    ASSERT_TRUE(load_scripts(st().scripts, s));
    EXPECT_EQ(st().scripts.count(), 3);
    EXPECT_FALSE(st().scripts.exists(1));
    EXPECT_EQ(st().scripts.name(1), "<undefined>");
    EXPECT_EQ(st().scripts.text(2), "a = 'x';\r\nreturn a");
    EXPECT_EQ(st().scripts.find("third"), 2);

    CStream wrong;
    wrong.write_int(401);
    wrong.seek(0);
    EXPECT_FALSE(load_scripts(st().scripts, wrong));

    CStream corrupt;
    corrupt.write_int(400);
    corrupt.write_int(1000000000);
    corrupt.seek(0);
    EXPECT_THROW(load_scripts(st().scripts, corrupt), StreamError);
}

// --------------------------------------------------------------- instances

// Objects 0 and 1 with three instances, in no room.
class WorldTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        test::add_object(r(), "obj_a");
        test::add_object(r(), "obj_b");
        a1 = create_in_room(r(), 0, 0, 0);  // 100001
        b1 = create_in_room(r(), 1, 0, 0);  // 100002
        a2 = create_in_room(r(), 0, 0, 0);  // 100003
    }
    CInstance *a1, *b1, *a2;
};

TEST_F(WorldTest, ScopesRouteToInstancesObjectsAndAll) {
    EXPECT_EQ(run("all.v = 1; (0).w = 2; (100002).w = 3; (100009).w = 4; (5).w = 5"), "");
    for (CInstance* i : {a1, b1, a2})
        EXPECT_EQ(i->vars().get(variable_index(st(), "v"), 0)->real, 1);
    EXPECT_EQ(a1->vars().get(variable_index(st(), "w"), 0)->real, 2);
    EXPECT_EQ(a2->vars().get(variable_index(st(), "w"), 0)->real, 2);
    EXPECT_EQ(b1->vars().get(variable_index(st(), "w"), 0)->real, 3);
    a1->vars().set(variable_index(st(), "u"), 0, RValue(10.0));
    a2->vars().set(variable_index(st(), "u"), 0, RValue(20.0));
    EXPECT_EQ(real_of("return (0).u"), 10);
    EXPECT_EQ(real_of("return all.u"), 10);
    a1->mark_destroyed();
    EXPECT_EQ(real_of("return (0).u + (100003).u"), 40);
    EXPECT_NE(run("return (100001).u").find("Unknown variable u"), std::string::npos);
    EXPECT_NE(run("return (1).u").find("Unknown variable u"), std::string::npos);
    EXPECT_EQ(real_of("return (100002).w"), 3);
    EXPECT_EQ(real_of("i = 100002; return i.w"), 3);
}

TEST_F(WorldTest, InstanceLookupUsesTheTwoPositionCache) {
    auto expect = [&](int32_t id, CInstance* want, int last, int previous) {
        EXPECT_EQ(find_instance_by_id(st(), id), want) << id;
        EXPECT_EQ(st().id_cache_last, last) << id;
        EXPECT_EQ(st().id_cache_previous, previous) << id;
    };
    expect(100003, a2, 2, 0);  // scanned from the end
    expect(100002, b1, 1, 2);  // scanned; the old last becomes previous
    expect(100003, a2, 1, 2);  // found at previous: no change
    expect(100001, a1, 0, 1);
    expect(100050, nullptr, 0, 0);  // a miss keeps last
}

void test_create(CInstance*, CInstance*, int, RValue& r, const RValue* a) {
    r.set_real(create_in_room(rt(), static_cast<int32_t>(a[0].real), 0, 0)->id());
}
void test_destroy(CInstance* self, CInstance*, int, RValue&, const RValue*) {
    self->mark_destroyed();
}

TEST_F(WorldTest, WithVisitsTheInstancesThatExistedAndSwapsOther) {
    st().functions.add(BuiltinDef{"test_create", test_create, 1});
    st().functions.add(BuiltinDef{"test_destroy", test_destroy, 0});
    temp.vars().set(variable_index(st(), "n"), 0, RValue(0.0));
    EXPECT_EQ(real_of("with (all) { other.n += 1; test_create(0) } return n"), 3);
    EXPECT_EQ(room_instances(t.state<WorldState>()).count(), 6);
    EXPECT_EQ(real_of("n = 0; with (0) { other.n += 1; test_create(0) } return n"), 5);
    // Destroyed during the loop: only marked, skipped when reached.
    EXPECT_EQ(real_of("n = 0; with (all) { other.n += 1; with (100003) test_destroy() } return n"),
              10);
    EXPECT_EQ(real_of("n = 0; with (100003) n = 1; return n"), 0);
    // self inside, the runner outside as other; restored afterwards.
    EXPECT_EQ(real_of("k = 1; with (100002) { k = 2; other.k += 10 } return k"), 11);
    EXPECT_EQ(b1->vars().get(variable_index(st(), "k"), 0)->real, 2);
}

TEST_F(WorldTest, BreakInWithAllEndsOnlyTheWith) {
    EXPECT_EQ(real_of("n = 0; m = 0; repeat (3) { m += 1; with (all) { other.n += 1; break } } "
                      "return n * 10 + m"),
              33);
}

// --------------------------------------------------------------- reporting

TEST_F(ScriptTest, ReportHonoursTheGameSettings) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() /
        ("kx_report_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    {
        std::ofstream pre("game_errors.log");
        pre << "old run";
    }
    settings().DisplayErrors = false;
    settings().WriteErrorLog = true;
    report(r(), "first\rline", false);
    report(r(), "second", false);
    EXPECT_TRUE(dialogs->shown.empty());
    std::ifstream f("game_errors.log", std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    EXPECT_EQ(ss.str(), "first\r\nline\r\n\r\n\r\nsecond\r\n\r\n\r\n");
    EXPECT_EQ(st().errors.last, "second");
    EXPECT_EQ(st().transition.code(), TransitionRequest::None);
    fs::current_path(old);
    fs::remove_all(dir);

    // Abort in the dialog makes the report fatal; later reports are dropped.
    settings().WriteErrorLog = false;
    settings().DisplayErrors = true;
    dialogs->answers = {"&Abort"};
    report(r(), "third", false);
    EXPECT_EQ(st().transition.code(), TransitionRequest::Abort);
    EXPECT_TRUE(st().errors.ending);
    report(r(), "fourth", false);
    EXPECT_EQ(st().errors.last, "third");
    EXPECT_EQ(dialogs->shown.size(), 1u);
}

TEST_F(ScriptTest, AbortOnErrorEndsTheGameWithoutADialog) {
    settings().DisplayErrors = false;
    settings().AbortOnError = true;
    CCode code("x = q", false);
    ASSERT_TRUE(code.compile(st()));
    RValue v;
    EXPECT_FALSE(execute_reporting(r(), &temp, &temp, code, v));
    EXPECT_TRUE(dialogs->shown.empty());
    EXPECT_EQ(st().transition.code(), TransitionRequest::Abort);
    // The frame was written before the setting made the report fatal.
    EXPECT_EQ(st().errors.last.rfind("ERROR in\r\n", 0), 0u);
}

// --------------------------------------------------------------- constants

TEST_F(ScriptTest, GameConstantsAreDefinedInOrder) {
    settings().constants = {{" c_red ", "1"},
                            {"left3", "3*vk_left"},
                            {"empty", ""},
                            {"twice", "left3 * 2"},
                            {"txt", "'a' + 'b'"}};
    ASSERT_TRUE(define_game_constants(r()));
    EXPECT_TRUE(dialogs->shown.empty());
    EXPECT_EQ(st().constants.count(), 285 + 5);
    RValue v;
    EXPECT_EQ(run("return string(c_red) + ' ' + string(left3) + ' ' + string(empty) + ' ' + "
                  "string(twice) + ' ' + txt",
                  &v),
              "");
    EXPECT_EQ(v.str.view(), "255 111 0 222 ab");
}

TEST_F(ScriptTest, GameConstantMessages) {
    struct Case {
        const char* name;
        const char* value;
        const char* message;
    };
    const Case cases[] = {
        {"2x", "1", "Constant name 2x  is not valid."},
        {"a b", "1", "Constant name a b  is not valid."},
        {"", "1", "Constant name   is not valid."},
        {"v", "1 +", "Value for constant v  is not valid."},
        {"w", "nothere", "Value for constant w  is not valid."},
    };
    for (const Case& c : cases) {
        dialogs->shown.clear();
        settings().constants = {{"ok1", "1"}, {c.name, c.value}, {"ok2", "2"}};
        const int before = st().constants.count();
        EXPECT_FALSE(define_game_constants(r())) << c.name;
        ASSERT_EQ(dialogs->shown.size(), 1u) << c.name;
        EXPECT_EQ(dialogs->shown[0].text, c.message);
        EXPECT_EQ(st().constants.count(), before + 1);  // stops at the bad one
        EXPECT_FALSE(error_pending(st()));
    }
}

// ------------------------------------------------------------ compiled form

TEST_F(ScriptTest, RecursionReachesTheDepthLimitWithItsLocalsIntact) {
    // Each level keeps its own var-locals and argument slots while deeper
    // levels run.
    add_script("down",
               "var k, r; k = argument0; if (k <= 0) return 0; r = down(k - 1); return r + k");
    ASSERT_TRUE(compile_scripts(r()));
    const int deepest = kMaxScriptDepth - 1;  // down(n) nests n + 1 calls
#if defined(__SANITIZE_ADDRESS__)
    // Instrumented frames are larger: the stack budget, with the same
    // message, may come first.
    const int reached = deepest / 4;
#else
    const int reached = deepest;
#endif
    EXPECT_EQ(real_of("return down(" + std::to_string(reached) + ")"),
              double(reached) * (reached + 1) / 2);
    const std::string err = run("return down(" + std::to_string(deepest + 1) + ")");
    EXPECT_EQ(err.rfind("In script down:\r", 0), 0u) << err;
    EXPECT_NE(err.find("Script calls nested too deeply."), std::string::npos) << err;
    EXPECT_EQ(st().call_depth, 0);
    EXPECT_EQ(st().arg_top, 0);
    EXPECT_EQ(st().exec_depth, 0);
    EXPECT_EQ(real_of("return down(10)"), 55);  // nothing left behind by the failure
}

TEST_F(ScriptTest, AHundredThousandStatementsRunAndReportTheirLine) {
    std::string text = "x = 0";
    for (int i = 0; i < 100000; ++i) text += "\rx += 1";
    EXPECT_EQ(real_of(text + "\rreturn x"), 100000);
    EXPECT_EQ(run(text + "\rreturn x + zz"),
              "Error in code at line 100002:\r   return x + zz\r\rat position 12: Unknown "
              "variable zz");
}

TEST_F(ScriptTest, VarLocalsThroughAComputedScope) {
    const struct {
        const char* code;
        const char* result;  // or the end of the message
    } cases[] = {
        {"var a; a = 4; s = -7; return s.a", "4"},
        {"var a; s = -7; s.a = 5; return a", "5"},
        {"s = -7; s.b = 6; return local.b + s.b", "12"},  // never declared
        {"var a; a[3] = 2; return a[3] + a[1] + a", "2"},
        {"var a; a[0, 2] = 'x'; return local.a[2]", "x"},
        {"var a; return a", "Unknown variable a"},
        {"var a; a += 1", "Unknown variable a"},
        {"var a; a[2] = 1; return a[3]", "Unknown variable a or array index out of bounds"},
        {"s = -7; return s.c", "Unknown variable c"},
    };
    for (const auto& c : cases) {
        RValue v;
        const std::string err = run(c.code, &v);
        const std::string got = !err.empty()  ? err
                                : v.is_real() ? std::to_string(int(v.real))
                                              : v.str.str();
        EXPECT_TRUE(got.size() >= strlen(c.result) &&
                    got.compare(got.size() - strlen(c.result), std::string::npos, c.result) == 0)
            << c.code << " gave " << got;
    }
    settings().UninitializedAsZero = true;
    EXPECT_EQ(real_of("var a; a += 3; return a + local.q"), 3);
}

TEST_F(WorldTest, WithInsideACallInsideAWith) {
    // Inside the script self is the outer with's instance and other the
    // program's self; its own with makes that instance other and gives both
    // back afterwards, and the script's var-local is seen from every body.
    add_script("probe", "var s; s = 0; with (all) s += other.id; return s * 10 + other.id");
    ASSERT_TRUE(compile_scripts(r()));
    EXPECT_EQ(run("with (0) { got = probe(); mine = id; back = other.id }"), "");
    for (CInstance* i : {a1, a2}) {
        const double id = i->id();
        EXPECT_EQ(i->vars().get(variable_index(st(), "got"), 0)->real, 3 * id * 10) << id;
        EXPECT_EQ(i->vars().get(variable_index(st(), "mine"), 0)->real, id);
        EXPECT_EQ(i->vars().get(variable_index(st(), "back"), 0)->real, 0);
    }
    EXPECT_EQ(b1->vars().get(variable_index(st(), "got"), 0), nullptr);
}

TEST_F(WorldTest, AnErrorInNestedCallsReportsTheInnermostPosition) {
    add_script("inner", "x = 1\ry = x + 'a'");
    add_script("middle", "var m; with (other) m = inner(); return m");
    add_script("outer", "return 1 + middle()");
    ASSERT_TRUE(compile_scripts(r()));
    EXPECT_EQ(run("with (100002) v = outer()"),
              "In script outer:\rIn script middle:\rIn script inner:\rError in code at line "
              "2:\r   y = x + 'a'\r\rat position 7: Wrong type of arguments to +.");
    // An argument that fails stops the call before the script runs.
    add_script("never", "ran = 1");
    ASSERT_TRUE(compile_scripts(r()));
    EXPECT_EQ(run("never(1, 2 + zz)"),
              "Error in code at line 1:\r   never(1, 2 + zz)\r\rat position 14: Unknown "
              "variable zz");
    EXPECT_EQ(st().arg_top, 0);
    EXPECT_EQ(temp.vars().get(variable_index(st(), "ran"), 0), nullptr);
}

}  // namespace
