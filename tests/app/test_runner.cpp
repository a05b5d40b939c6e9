// Start-up pieces: the temporary folder, the command line, headless dialogs,
// the loading window's geometry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/command_line.h"
#include "app/temp_folder.h"
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
        auto [ok, cl, err] = parse({"--headless", "--steps", "10", "--seed=5", "g.kx", "--steps", "x"});
        ASSERT_TRUE(ok) << err;
        EXPECT_TRUE(cl.headless);
        EXPECT_EQ(cl.steps, 10);
        EXPECT_EQ(*cl.seed, 5u);
        EXPECT_EQ(cl.game_file, "g.kx");
        EXPECT_EQ(cl.game_args, (std::vector<std::string>{"--steps", "x"}));   // the game's own
    }
    {
        auto [ok, cl, err] = parse({"--headless", "g.kx"}, true);   // a runner with its own game
        ASSERT_TRUE(ok);
        EXPECT_FALSE(cl.headless);
        EXPECT_EQ(cl.game_args, (std::vector<std::string>{"--headless", "g.kx"}));
    }
    for (auto bad : std::vector<std::vector<std::string>>{{"--steps", "-1", "g"}, {"--steps"}, {"--frobnicate", "g"}, {"--seed", "abc"}}) {
        auto [ok, cl, err] = parse(bad);
        EXPECT_FALSE(ok) << bad[0];
        EXPECT_FALSE(err.empty());
    }
}

TEST(HeadlessDialogs, AnswersComeFromTheListInOrder) {
    test::CaptureConsole con;
    HeadlessDialogs d(con, {"Yes", "&Ignore", "no", "nonsense"});
    EXPECT_TRUE(d.question("", "Continue?"));
    EXPECT_EQ(d.buttons("Error", "boom", {"&Abort", "&Ignore"}), 1);
    EXPECT_FALSE(d.question("", "Again?"));
    EXPECT_EQ(d.buttons("", "?", {"&Abort", "&Ignore", "&Retry"}), 2);   // unknown: the last button
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
    EXPECT_EQ(l.left, (1024 - 301) / 2);   // 361, rounded toward zero
    EXPECT_EQ(l.top, 333);
    EXPECT_EQ(l.bar_top, 101 - 32);
    EXPECT_EQ(l.bar_w, 301 - 48);
    EXPECT_EQ(l.front_top, 101 - 30);
    EXPECT_EQ(l.label_top, 101 - 32);
}
