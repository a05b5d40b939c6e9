// Start-up pieces: the temporary folder, the command line, headless dialogs,
// the loading window's geometry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/command_line.h"
#include "app/game_folder.h"
#include "app/temp_folder.h"
#include "core/game_paths.h"
#include "core/run_options.h"
#include "platform/headless.h"
#include "platform/load_window_layout.h"
#include "support/capture_platform.h"

using namespace kx;
namespace fs = std::filesystem;

TEST(TempFolder, BaseComesFromTheFirstSetVariable) {
    fs::path root = fs::temp_directory_path() / "kx_tempfolder_test";
    fs::create_directories(root / "a");
    fs::create_directories(root / "b");
    struct Case {
        std::map<std::string, std::string> env;
        fs::path expect_parent;
    };
    std::vector<Case> cases = {
        {{{"TMPDIR", (root / "a").string()}, {"TEMP", (root / "b").string()}}, root / "a"},
        {{{"TEMP", (root / "b").string()}, {"TMP", (root / "a").string()}}, root / "b"},
        {{{"TMP", (root / "a").string()}}, root / "a"},
        {{}, "/tmp"},
        // A base that cannot be made falls back to /tmp.
        {{{"TMPDIR", "/proc/kx_cannot_make"}}, "/tmp"},
    };
    for (const auto& c : cases) {
        std::string made;
        {
            TempFolder t([&](const char* n) -> const char* {
                auto it = c.env.find(n);
                return it == c.env.end() ? nullptr : it->second.c_str();
            });
            ASSERT_TRUE(t.ok());
            made = t.path();
            EXPECT_EQ(fs::path(made).parent_path(), c.expect_parent);
            EXPECT_EQ(fs::path(made).filename().string().rfind("kx_ttt_", 0), 0u);
            std::ofstream(fs::path(made) / "x.wav") << "data";
            fs::create_directories(fs::path(made) / "sub");
            std::string name = t.temp_file_name(".wav");
            EXPECT_EQ(fs::path(name).parent_path(), fs::path(made));
            EXPECT_EQ(fs::path(name).filename().string()[0], 'a');
            EXPECT_EQ(fs::path(name).extension(), ".wav");
        }
        EXPECT_FALSE(fs::exists(made)) << "removed with its content at exit";
    }
    fs::remove_all(root);
}

TEST(CommandLine, OptionsGameAndItsArguments) {
    auto parse = [](std::vector<std::string> words, bool own = false) {
        std::vector<char*> argv{const_cast<char*>("kxrun")};
        for (auto& w : words) argv.push_back(w.data());
        CommandLine cl;
        std::string err;
        bool ok = parse_command_line(static_cast<int>(argv.size()), argv.data(), own, cl, err);
        return std::make_tuple(ok, cl, err);
    };
    {
        auto [ok, cl, err] =
            parse({"--headless", "--steps", "10", "--seed=5", "g.kx", "--steps", "x"});
        ASSERT_TRUE(ok) << err;
        EXPECT_TRUE(cl.headless);
        EXPECT_EQ(cl.steps, 10);
        EXPECT_EQ(*cl.seed, 5u);
        EXPECT_EQ(cl.game_file, "g.kx");
        EXPECT_EQ(cl.game_args, (std::vector<std::string>{"--steps", "x"}));  // the game's own
    }
    {
        auto [ok, cl, err] = parse({"--headless", "g.kx"}, true);  // a runner with its own game
        ASSERT_TRUE(ok);
        EXPECT_FALSE(cl.headless);
        EXPECT_EQ(cl.game_args, (std::vector<std::string>{"--headless", "g.kx"}));
    }
    for (auto bad : std::vector<std::vector<std::string>>{
             {"--steps", "-1", "g"}, {"--steps"}, {"--frobnicate", "g"}, {"--seed", "abc"}}) {
        auto [ok, cl, err] = parse(bad);
        EXPECT_FALSE(ok) << bad[0];
        EXPECT_FALSE(err.empty());
    }
}

TEST(CommandLine, EnvironmentOptionsComeFirstAndShortFormsWork) {
    auto parse = [](const char* env, std::vector<std::string> words, bool own = false) {
        std::vector<char*> argv{const_cast<char*>("kxrun")};
        for (auto& w : words) argv.push_back(w.data());
        CommandLine cl;
        std::string err;
        bool ok = parse_command_line(static_cast<int>(argv.size()), argv.data(), own, cl, err, env);
        return std::make_tuple(ok, cl, err);
    };
    {
        auto [ok, cl, err] = parse(" --headless\t--steps 4 ", {"--steps=9", "g.kx"});
        ASSERT_TRUE(ok) << err;
        EXPECT_TRUE(cl.headless);
        EXPECT_EQ(cl.steps, 9);  // the command line beats the environment
    }
    {
        auto [ok, cl, err] = parse("--headless", {"a", "b"}, true);  // own game: argv is the game's
        ASSERT_TRUE(ok) << err;
        EXPECT_TRUE(cl.headless);
        EXPECT_EQ(cl.game_args, (std::vector<std::string>{"a", "b"}));
    }
    {
        auto [ok, cl, err] = parse(nullptr, {"--", "-h", "x"});
        ASSERT_TRUE(ok) << err;
        EXPECT_EQ(cl.game_file, "-h");
        EXPECT_FALSE(cl.help);
    }
    EXPECT_TRUE(std::get<1>(parse(nullptr, {"-h"})).help);
    EXPECT_TRUE(std::get<1>(parse(nullptr, {"-V"})).version);
    struct Bad {
        const char* env;
        std::vector<std::string> words;
        const char* error;
    };
    for (const Bad& b : std::vector<Bad>{
             {"g.kx", {}, "KXRUN_OPTIONS holds g.kx, which is not an option"},
             {"--steps", {"5", "g.kx"}, "--steps needs a value"},  // never the command line's word
             {nullptr, {"-q", "g.kx"}, "unknown option -q"},
             {nullptr, {"--list-functions=html"}, "--list-functions takes text or markdown"},
         }) {
        auto [ok, cl, err] = parse(b.env, b.words);
        EXPECT_FALSE(ok);
        EXPECT_EQ(err, b.error);
    }
}

TEST(GamePaths, ReadsFindTheWritableFolderFirstAndWritesGoThere) {
    const fs::path root = fs::temp_directory_path() / "kx_game_paths_test";
    fs::remove_all(root);
    fs::create_directories(root / "game");
    fs::create_directories(root / "mine");
    std::ofstream(root / "game" / "both.ini") << "game";
    std::ofstream(root / "mine" / "both.ini") << "mine";
    std::ofstream(root / "game" / "only.ini") << "game";
    RunOptions o;
    o.working_dir = (root / "game").string();
    o.write_dir = (root / "mine").string();
    EXPECT_EQ(game_read_path(o, "both.ini"), (root / "mine" / "both.ini").string());
    EXPECT_EQ(game_read_path(o, "only.ini"), (root / "game" / "only.ini").string());
    EXPECT_EQ(game_write_path(o, "only.ini"), (root / "mine" / "only.ini").string());
    EXPECT_EQ(game_read_path(o, "/etc/hostname"), "/etc/hostname");
    EXPECT_EQ(game_write_path(o, "/tmp/x"), "/tmp/x");
    // A writable game folder: one folder, as before.
    o.write_dir = o.working_dir;
    EXPECT_EQ(game_read_path(o, "both.ini"), (root / "game" / "both.ini").string());
    EXPECT_EQ(game_write_path(o, "new.sav"), (root / "game" / "new.sav").string());
    // Nothing set: names stay relative to the process's folder.
    EXPECT_EQ(game_write_path(RunOptions{}, "s.sav"), "s.sav");
    fs::remove_all(root);
}

TEST(GameFolder, AFolderThatCannotBeWrittenGetsOneUnderXdgDataHome) {
    const fs::path root = fs::temp_directory_path() / "kx_game_folder_test";
    fs::remove_all(root);
    fs::create_directories(root);
    EXPECT_TRUE(folder_writable(root.string()));
    EXPECT_EQ(choose_write_dir(root.string(), 5), root.string());
    EXPECT_TRUE(fs::is_empty(root));  // the probe leaves nothing behind
    // /proc takes no new files, whoever asks.
    EXPECT_FALSE(folder_writable("/proc"));
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", (root / "xdg").c_str(), 1);
    EXPECT_EQ(choose_write_dir("/proc", 5), (root / "xdg" / "kxrun" / "games" / "5").string());
    EXPECT_TRUE(fs::is_directory(root / "xdg" / "kxrun" / "games" / "5"));
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    const char* home = std::getenv("HOME");
    if (home) {
        setenv("XDG_DATA_HOME", "relative", 1);
        setenv("HOME", (root / "home").c_str(), 1);
        EXPECT_EQ(choose_write_dir("/proc", 6),
                  (root / "home" / ".local" / "share" / "kxrun" / "games" / "6").string());
        setenv("HOME", std::string(home).c_str(), 1);
    }
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    fs::remove_all(root);
}

TEST(HeadlessDialogs, TheStderrCopyNamesTheProgramAndTheSubject) {
    test::CaptureConsole con;
    HeadlessDialogs d(con, {}, "kxrun: ");
    d.message("", "Error: Cannot read the file.");
    d.set_subject("/g/x.kx");
    d.message("", "line one\r\nline two");
    d.set_subject({});
    EXPECT_EQ(d.buttons("Error", "boom", {"&Abort", "&Ignore"}), 1);
    EXPECT_EQ(con.err,
              (std::vector<std::string>{"kxrun: Error: Cannot read the file.",
                                        "kxrun: /g/x.kx: line one\nline two", "kxrun: boom"}));
}

TEST(HeadlessDialogs, AnswersComeFromTheListInOrder) {
    test::CaptureConsole con;
    HeadlessDialogs d(con, {"Yes", "&Ignore", "no", "nonsense"});
    EXPECT_TRUE(d.question("", "Continue?"));
    EXPECT_EQ(d.buttons("Error", "boom", {"&Abort", "&Ignore"}), 1);
    EXPECT_FALSE(d.question("", "Again?"));
    EXPECT_EQ(d.buttons("", "?", {"&Abort", "&Ignore", "&Retry"}), 2);  // unknown: the last button
    // None left: No, and the last button.
    EXPECT_FALSE(d.question("", "More?"));
    EXPECT_EQ(d.buttons("", "x", {"&Abort", "&Ignore"}), 1);
    d.message("", "Hello");
    EXPECT_EQ(con.err.size(), 7u);
    EXPECT_EQ(con.err.back(), "Hello");
}

TEST(LoadWindow, GeometryFollowsThePicture) {
    LoadWindowSpec s;
    s.picture = PixelView{301, 101};
    LoadWindowLayout l = layout_load_window(s, 1024, 768);
    EXPECT_EQ(l.client_w, 301);
    EXPECT_EQ(l.client_h, 101);
    EXPECT_EQ(l.left, (1024 - 301) / 2);  // 361, rounded toward zero
    EXPECT_EQ(l.top, 333);
    EXPECT_EQ(l.bar_top, 101 - 32);
    EXPECT_EQ(l.bar_w, 301 - 48);
    EXPECT_EQ(l.front_top, 101 - 30);
    EXPECT_EQ(l.label_top, 101 - 32);
}
