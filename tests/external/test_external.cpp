// External functions called from scripts: a test library built beside the
// tests (libkxtest.so) with every count of real arguments, texts in and
// out, and a counter that shows when the library was loaded anew.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "external/external_main.h"
#include "external/support_dll.h"
#include "script/script_state.h"
#include "support/test_runtime.h"

using namespace kx;
namespace fs = std::filesystem;

namespace {

const fs::path kLibrary = KX_TEST_LIBRARY;

class External : public ::testing::Test {
protected:
    External() {
        // The game sits beside the test library.
        t.state<ExternalState>().search.game_dir = kLibrary.parent_path().string();
    }
    // The program's result as text ("s:" for strings), and the message it
    // reported (the last line of error_last), empty when none.
    std::string eval(const std::string& code, std::string* message = nullptr) {
        ScriptState& st = t.script();
        st.errors.last.clear();
        RValue v;
        const std::string failure = t.run(code, &v);
        EXPECT_EQ(failure, "") << code;
        if (message) {
            const std::string& last = st.errors.last;
            const size_t nl = last.rfind('\n');
            *message = nl == std::string::npos ? last : last.substr(nl + 1);
        }
        if (v.is_string()) return "s:" + std::string(v.str.view());
        std::ostringstream o;
        o << v.real;
        return o.str();
    }
    test::TestRuntime t;
};

struct Case {
    const char* code;
    const char* result;
    const char* message;  // reported through the error reporter, "" none
};

TEST_F(External, CallsEveryKindAndCount) {
    const Case cases[] = {
        {"return external_call(external_define0('kxtest.dll', 'kt_zero', ty_real))", "42", ""},
        {"return external_call0(external_define('kxtest.dll', 'kt_zero', dll_cdecl, ty_real, 0))",
         "42", ""},
        {"return external_call1(external_define1('kxtest.dll', 'kt_r1', ty_real, ty_real), 7)", "7",
         ""},
        {"return external_call2(external_define2('kxtest.dll', 'kt_r2', ty_real, ty_real, "
         "ty_real), "
         "1, 2)",
         "5", ""},
        {"return external_call3(external_define3('kxtest.dll', 'kt_r3', 0, 0, 0, 0), 1, 2, 3)",
         "14", ""},
        {"return external_call4(external_define4('kxtest.dll', 'kt_r4', 0, 0, 0, 0, 0), 1, 2, 3, "
         "4)",
         "30", ""},
        {"return external_call5(external_define5('kxtest.dll', 'kt_r5', 0), 1, 2, 3, 4, 5)", "55",
         ""},
        {"return external_call6(external_define6('kxtest.dll', 'kt_r6', 0), 1, 2, 3, 4, 5, 6)",
         "91", ""},
        {"return external_call7(external_define7('kxtest.dll', 'kt_r7', 0), 1, 2, 3, 4, 5, 6, 7)",
         "140", ""},
        {"return external_call8(external_define8('kxtest.dll', 'kt_r8', 0), 1, 2, 3, 4, 5, 6, 7, "
         "8)",
         "204", ""},
        // dll_stdcall is the C convention here too.
        {"return external_call(external_define('kxtest.dll', 'kt_r5', dll_stdcall, ty_real, 5, 0, "
         "0, 0, 0, 0), 1, 2, 3, 4, 5)",
         "55", ""},
        // The most a call of external_define can carry: 5 + 11 arguments.
        {"return external_call(external_define('kxtest.dll', 'kt_r11', 0, 0, 11, 0, 0, 0, 0, 0, 0, "
         "0, 0, 0, 0, 0), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)",
         "506", ""},
        {"return external_call(external_define1('kxtest.dll', 'kt_length', ty_string, ty_real), "
         "'hello')",
         "5", ""},
        {"return external_call(external_define2('kxtest.dll', 'kt_join', 1, 1, ty_string), 'ab', "
         "'cd')",
         "s:ab+cd", ""},
        {"return external_call(external_define4('kxtest.dll', 'kt_mixed', 1, 0, 1, 0, 1), 'x', "
         "1.5, "
         "'', -2)",
         "s:x|1.5||-2", ""},
        {"return external_call(external_define1('kxtest.dll', 'kt_number_text', 0, 1), 3)", "s:<3>",
         ""},
        {"return external_call(external_define0('kxtest.dll', 'kt_null', ty_string))", "s:", ""},
        // A text given for a real passes 0; a real given for a text, "".
        {"return external_call(external_define1('kxtest.dll', 'kt_r1', 0, 0), '7')", "0", ""},
        {"return external_call(external_define1('kxtest.dll', 'kt_length', 1, 0), 12345)", "0", ""},
        // A call with another count does nothing: a zero of the result's kind.
        {"return external_call(external_define2('kxtest.dll', 'kt_r2', 0, 0, 0), 1, 2, 3)", "0",
         ""},
        {"return external_call(external_define2('kxtest.dll', 'kt_join', 1, 1, 1), 'a')", "s:", ""},
        {"return external_call(999, 1)", "0", ""},
        {"return external_call(-1)", "0", ""},
        // The library's file names: libkxtest.so beside the game, any case.
        {"return external_call(external_define0('KXTEST.DLL', 'kt_zero', 0))", "42", ""},
        {"return external_call(external_define0('libkxtest.so', 'kt_zero', 0))", "42", ""},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(eval(c.code, &message), c.result) << c.code;
        EXPECT_EQ(message, c.message) << c.code;
    }
}

TEST_F(External, ReportsEveryMessage) {
    const char* wrong = "Wrong number of arguments to external_define()";
    const char* failed = "Error defining an external function.";
    const Case cases[] = {
        {"return external_define('lib.dll', 'f', dll_cdecl, ty_real, 5, ty_real, ty_real, "
         "ty_string, ty_real, ty_real)",
         "0", "DLL functions with more than 4 arguments cannot have string arguments"},
        {"return external_define('kxtest.dll', 'kt_r5', 0, 0, 5, 0, 0, 0, 0, 2)", "0",
         "DLL functions with more than 4 arguments cannot have string arguments"},
        {"return external_define('kxtest.dll', 'kt_r1', 0, 0, 1, 0, 0)", "0", wrong},
        {"return external_define('kxtest.dll', 'kt_zero', 0, 0)", "0", wrong},
        {"return external_define('kxtest.dll', 'kt_zero', 0, 0, -1)", "0", wrong},
        {"return external_define('missing.dll', 'kt_zero', 0, 0, 0)", "-1", failed},
        {"return external_define('kxtest.dll', 'no_such_function', 0, 0, 0)", "-1", failed},
        {"return external_define('kxtest.dll', 'KT_ZERO', 0, 0, 0)", "-1", failed},
        {"return external_define1('missing.dll', 'kt_r1', 0, 0)", "-1", failed},
        {"return external_define5('kxtest.dll', 'nothing', 0)", "-1", failed},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(eval(c.code, &message), c.result) << c.code;
        EXPECT_EQ(message, c.message) << c.code;
    }
}

// A call of the language has at most 16 arguments, so twelve argument kinds
// reach external_define only from a caller of its own, as here.
TEST_F(External, TwelveArgumentsAndTheLimit) {
    ScriptState& st = t.script();
    const RBuiltinFunction& define = st.functions.at(st.functions.find("external_define"));
    auto call_define = [&](int n) {
        std::vector<RValue> args = {RValue("kxtest.dll"), RValue("kt_r12"), RValue(0.0),
                                    RValue(0.0), RValue(double(n))};
        args.resize(size_t(5 + n), RValue(0.0));
        RValue result;
        st.errors.last.clear();
        define.handler(nullptr, nullptr, int(args.size()), result, args.data());
        return result.real;
    };
    const double id = call_define(12);
    ASSERT_GE(id, 0);
    RValue out;
    EXPECT_EQ(t.run("return external_call(" + std::to_string(int(id)) +
                        ", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12)",
                    &out),
              "");
    EXPECT_EQ(out.real, 650);
    EXPECT_EQ(call_define(13), 0);
    EXPECT_NE(st.errors.last.find("DLL functions can have at most 12 arguments"),
              std::string::npos);
}

TEST_F(External, LibrariesAreSharedByNameAndFreedTogether) {
    EXPECT_EQ(eval("global.a = external_define0('kxtest.dll', 'kt_count', 0);"
                   "global.b = external_define0('KxTest.DLL', 'kt_count', 0);"
                   "return string(external_call(global.a)) + string(external_call(global.b))"),
              "s:12");
    EXPECT_EQ(t.state<ExternalState>().loaded.size(), 1u);
    // Freed under any case of the name: both entries stop working.
    EXPECT_EQ(eval("external_free('KXTEST.dll');"
                   "return string(external_call(global.a)) + string(external_call(global.b))"),
              "s:00");
    EXPECT_TRUE(t.state<ExternalState>().loaded.empty());
    // Defined again, the library is loaded anew: its counter starts over.
    EXPECT_EQ(eval("global.c = external_define0('kxtest.dll', 'kt_count', 0);"
                   "return string(external_call(global.c)) + string(external_call(global.a))"),
              "s:10");
    EXPECT_EQ(eval("external_free('other.dll'); return external_call(global.c)"), "2");
    // The end of the run releases what is still loaded.
    t.runtime().shutdown();
    EXPECT_TRUE(t.state<ExternalState>().loaded.empty());
    EXPECT_EQ(t.state<ExternalState>().functions.back().library, nullptr);
}

TEST_F(External, SecureModeRefusesEveryFunction) {
    EXPECT_EQ(eval("global.f = external_define0('kxtest.dll', 'kt_count', 0); return "
                   "external_call(global.f)"),
              "1");
    t.runtime().options.secure_mode = true;
    const char* calls[] = {
        "external_call(global.f)",
        "external_call0(global.f)",
        "external_call1(global.f, 1)",
        "external_call8(global.f, 1, 2, 3, 4, 5, 6, 7, 8)",
        "external_define('kxtest.dll', 'kt_zero', 0, 0, 0)",
        "external_define0('kxtest.dll', 'kt_zero', 0)",
        "external_define4('kxtest.dll', 'kt_r4', 0, 0, 0, 0, 0)",
        "external_define8('kxtest.dll', 'kt_r8', 0)",
        "external_free('kxtest.dll')",
    };
    for (const char* c : calls) {
        std::string message;
        EXPECT_EQ(eval(std::string("return ") + c, &message), "0") << c;
        EXPECT_EQ(message, "In secure mode you cannot use DLLs") << c;
    }
    EXPECT_EQ(eval("return secure_mode"), "1");
    t.runtime().options.secure_mode = false;
    // Nothing was called, defined or freed meanwhile.
    EXPECT_EQ(eval("return external_call(global.f)"), "2");
    EXPECT_EQ(t.state<ExternalState>().functions.size(), 1u);
}

// Where a name is looked for, over a game folder and a working folder that
// hold copies of the test library under the names a game may mean.
TEST(ExternalSearch, FindsLibrariesWhereTheGameExpects) {
    const fs::path root = fs::path(::testing::TempDir()) / "kx_external_search";
    fs::remove_all(root);
    const fs::path game = root / "game", work = root / "work";
    for (const char* f :
         {"game/foo.so", "game/libfoo.so", "work/foo.so", "work/libfoo.so", "game/Sub/Bar.so",
          "work/libbaz.so", "own/libvelunor.so", "game/velunor.so"}) {
        fs::create_directories((root / f).parent_path());
        fs::copy_file(kLibrary, root / f);
    }
    LibrarySearch where{
        game.string(), work.string(), {{"velunor", {(root / "own/libvelunor.so").string()}}}};
    auto first = [&](const char* name) {
        const auto c = library_candidates(name, where);
        return c.empty() ? std::string() : fs::relative(c.front(), root).string();
    };
    EXPECT_EQ(first("foo.dll"), "game/foo.so");
    EXPECT_EQ(first("FOO.DLL"), "game/foo.so");
    EXPECT_EQ(first("baz.dll"), "work/libbaz.so");
    EXPECT_EQ(first("sub\\bar.dll"), "game/Sub/Bar.so");
    EXPECT_EQ(first("Velunor.dll"), "own/libvelunor.so");  // ours before the game's
    EXPECT_EQ(first((root.string() + "/work/foo.dll").c_str()), "work/foo.so");
    fs::remove(game / "foo.so");
    EXPECT_EQ(first("foo.dll"), "game/libfoo.so");
    fs::remove(game / "libfoo.so");
    EXPECT_EQ(first("foo.dll"), "work/foo.so");
    // Nothing in either folder: the loader's own path, both forms.
    EXPECT_EQ(library_candidates("none.dll", where),
              (std::vector<std::string>{"none.so", "libnone.so"}));
    EXPECT_EQ(library_candidates("Dir/None.dll", where), std::vector<std::string>{});

    // The file found is the one loaded.
    test::TestRuntime t;
    t.state<ExternalState>().search = where;
    RValue v;
    ASSERT_EQ(t.run("return external_call(external_define0('FOO.dll', 'kt_where', ty_string))", &v),
              "");
    EXPECT_EQ(fs::path(std::string(v.str.view())), work / "foo.so");
    fs::remove_all(root);
}

// kxrun's own velunor is found where the build put it.
TEST(ExternalSearch, OwnVelunorIsFound) {
    bool found = false;
    for (const auto& [name, files] : own_libraries())
        for (const std::string& f : files) found = found || (name == "velunor" && fs::exists(f));
    EXPECT_TRUE(found);
}

}  // namespace
