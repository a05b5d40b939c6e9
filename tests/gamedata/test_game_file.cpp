// Game files built by the writer library, read back by the runner.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/runner.h"
#include "app/temp_folder.h"
#include "gamedata/game_data.h"
#include "gamedata/game_settings.h"
#include "gamedata/gamedata_state.h"
#include "gamedata/scramble.h"
#include "image/picture_file.h"
#include "kxpack/game_source.h"
#include "script/script_state.h"
#include "support/test_runtime.h"
#include "world/world_state.h"

using namespace kx;
namespace fs = std::filesystem;

namespace {

// The run's options as kxrun sets them: the game file, the working folder and
// the temporary folder.
void set_options(Runtime& rt, const TempFolder& temp, std::string workdir) {
    rt.options.game_file = "game.kx";
    rt.options.working_dir = std::move(workdir);
    rt.options.temp_dir = temp.path();
}

pack::GameSource sample_game(bool with_scripts = false) {
    pack::GameSource g;
    g.data.seed = -300;
    g.data.filler_a = 2;
    g.data.filler_b = 5;
    g.data.header.game_id = 31337;
    g.data.header.debug_mode = true;
    for (int i = 0; i < 16; ++i) g.data.header.identifier[i] = static_cast<uint8_t>(i * 17);
    g.settings.Scaling = 0;
    g.settings.FullScreen = true;
    g.settings.KeyEscEnd = false;
    g.settings.LoadingImageAlpha = 128;
    g.settings.UninitializedAsZero = true;
    g.settings.constants = {{"SPEED", "4"}, {"NAME", "'hero'"}};
    g.bar_back = encode_bmp(CBitmap32::blank(64, 8, 0xFF404040), false);
    g.bar_front = encode_bmp(CBitmap32::blank(64, 6, 0xFF00FF00), false);
    g.loading = encode_bmp(CBitmap32::blank(200, 100, 0xFF0000FF), false);
    g.info.caption = "About";
    g.info.text = "{\\rtf1 hello}";
    g.library_init = {"", "x = 1"};
    g.room_order = {0, 2, 1};
    if (with_scripts)
        g.scripts = {pack::ScriptSource{"scr_a", "return 1"}, std::nullopt,
                     pack::ScriptSource{"scr_b", "return argument0 * 2"}};
    g.container.extra_files = {{"readme.txt", {'h', 'i'}}};
    return g;
}

struct GameRun {
    test::TestRuntime t;
    test::CapturePlatform& cap = t.cp;
    Runtime& rt = t.runtime();
    TempFolder temp;
    int status = -1;

    explicit GameRun(const std::vector<uint8_t>& bytes, std::string work = {}) {
        set_options(rt, temp, work.empty() ? temp.path() : work);
        Runner r(rt, temp);
        status = r.run(&bytes);
    }
    GameDataState& data() { return t.state<GameDataState>(); }
};

}  // namespace

TEST(GameFile, BuildThenReadKeepsEverySetting) {
    pack::GameSource g = sample_game(true);
    std::vector<uint8_t> bytes = pack::build_game_file(g);
    EXPECT_EQ(pack::build_game_file(g), bytes) << "the same source must give the same bytes";
    ASSERT_GT(bytes.size(), kGameDataOffset);

    GameRun run(bytes);
    ASSERT_EQ(run.status, 0) << (run.cap.console->err.empty() ? "" : run.cap.console->err[0]);
    const GameSettings& s = run.data().settings;
    EXPECT_EQ(s.Scaling, 0);
    EXPECT_TRUE(s.FullScreen);
    EXPECT_FALSE(s.KeyEscEnd);
    EXPECT_EQ(s.LoadingImageAlpha, 128);
    EXPECT_TRUE(s.UninitializedAsZero);
    EXPECT_TRUE(s.KeyF1Info);  // default kept
    ASSERT_EQ(s.constants.size(), 2u);
    EXPECT_EQ(s.constants[1].name, "NAME");
    EXPECT_EQ(s.constants[1].value, "'hero'");
    ASSERT_EQ(run.t.script().scripts.count(), 3);
    EXPECT_FALSE(run.t.script().scripts.exists(1));
    EXPECT_EQ(run.t.script().scripts.name(2), "scr_b");
    EXPECT_EQ(run.t.script().scripts.text(2), "return argument0 * 2");
    const GameDataState& gd = run.data();
    EXPECT_TRUE(gd.header.debug_mode);
    EXPECT_EQ(gd.header.game_id, 31337);
    EXPECT_EQ(gd.header.identifier[15], 255);
    const WorldState& w = run.t.state<WorldState>();
    EXPECT_EQ(w.room_order, (std::vector<int32_t>{0, 2, 1}));
    EXPECT_EQ(w.library_init, (std::vector<std::string>{"", "x = 1"}));
    EXPECT_EQ(gd.info.caption, "About");
    EXPECT_EQ(gd.info.text, "{\\rtf1 hello}");

    // Debug mode with the bar: the progress messages in order, ending with Ready.
    const auto& out = run.cap.console->out;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), "Loading");
    EXPECT_EQ(out[1], "Loading sounds");
    EXPECT_EQ(out.back(), "Ready");
    EXPECT_EQ(out.size(), 19u);
}

TEST(GameFile, ReadBackGivesTheSourceAgain) {
    pack::GameSource g = sample_game(true);
    std::vector<uint8_t> bytes = pack::build_game_file(g);
    fs::path f = fs::temp_directory_path() / "kx_roundtrip_test.kx";
    std::ofstream(f, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    pack::GameSource back = pack::read_game_file(f);
    fs::remove(f);
    EXPECT_EQ(pack::build_game_file(back), bytes);
    ASSERT_EQ(back.scripts.size(), 3u);
    EXPECT_FALSE(back.scripts[1]);
    EXPECT_EQ(back.scripts[2]->code, "return argument0 * 2");
}

TEST(GameFile, NoProgressBarMeansNoBarPicturesAndNoMessages) {
    pack::GameSource g = sample_game();
    g.settings.ShowProgressBar = false;
    GameRun run(pack::build_game_file(g));
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(run.cap.console->out.empty());
    EXPECT_EQ(run.data().settings.constants.size(),
              2u);  // the fields after the pictures stay in step
}

TEST(GameFile, ContainerAndSectionFailuresShowTheirMessage) {
    std::vector<uint8_t> good = pack::build_game_file(sample_game());
    auto with_int = [&](size_t at, int32_t v) {
        auto b = good;
        std::memcpy(b.data() + at, &v, 4);
        return b;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<uint8_t> exact(good.begin(), good.begin() + kGameDataOffset);
    std::vector<uint8_t> short_file(good.begin(), good.begin() + 1000);
    std::vector<Case> cases = {
        {"short file", short_file, msg::kNotValid},
        {"exactly the offset", exact, msg::kCorrupted},
        {"container magic", with_int(kGameDataOffset, 1234322), msg::kNotValid},
        {"container version", with_int(kGameDataOffset + 4, 530), msg::kWrongVersion},
    };
    for (const auto& c : cases) {
        GameRun run(c.bytes);
        EXPECT_EQ(run.status, 1) << c.name;
        ASSERT_EQ(run.cap.console->err.size(), 1u) << c.name;
        EXPECT_EQ(run.cap.console->err[0], c.message) << c.name;
    }
}

// Inner failures need a game data block built with a fault in it.
TEST(GameFile, InnerHeaderAndSectionFailures) {
    auto file_with = [](const CStream& data) {
        pack::GameSource g = sample_game();
        CStream file(launcher_prefix());
        file.seek(file.size());
        write_container(file, g.container, data);
        return file.data();
    };
    pack::GameSource g = sample_game();
    CStream sections = pack::build_sections(g);
    CStream good = build_game_data(g.data, sections);

    CStream bad_magic = good;
    bad_magic.data()[0] ^= 1;

    GameDataSpec v530 = g.data;
    CStream wrong_version;  // inner version is inside the scrambled part: rebuild
    {
        CStream st = build_game_data(v530, sections);
        // Unscramble, patch the version, scramble again.
        size_t p = 12 + 4 * v530.filler_a + 8 + 4 * v530.filler_b + 4;
        std::span<uint8_t> rest(st.data().data() + p + 1, st.size() - p - 1);
        unscramble_bytes(rest, v530.seed);
        int32_t v = 530;
        std::memcpy(st.data().data() + p + 12, &v, 4);
        scramble_bytes(rest, v530.seed);
        wrong_version = st;
    }

    CStream settings530;
    {
        CStream sec = sections;
        int32_t v = 530;
        std::memcpy(sec.data().data(), &v, 4);
        settings530 = build_game_data(g.data, sec);
    }

    CStream no_rooms_order;
    {
        pack::GameSource g2 = g;
        g2.room_order.clear();
        no_rooms_order = build_game_data(g2.data, pack::build_sections(g2));
    }

    CStream bad_seed;
    {
        GameDataSpec s = g.data;
        s.seed = 0;
        bad_seed = build_game_data(s, sections);
        // Store a seed below the table range in place of the real one.
        int32_t seed = -70000;
        std::memcpy(bad_seed.data().data() + 12 + 4 * s.filler_a, &seed, 4);
    }

    struct Case {
        const char* name;
        CStream data;
        const char* message;
    };
    std::vector<Case> cases = {
        {"inner magic", bad_magic, msg::kNotValid},
        {"inner version", wrong_version, msg::kWrongVersion},
        {"settings version 530", settings530, msg::kResourceData},
        {"empty room order", no_rooms_order, msg::kResourceData},
        {"seed below the table", bad_seed, msg::kCorrupted},
    };
    for (const auto& c : cases) {
        GameRun run(file_with(c.data));
        EXPECT_EQ(run.status, 1) << c.name;
        ASSERT_FALSE(run.cap.console->err.empty()) << c.name;
        EXPECT_EQ(run.cap.console->err.back(), c.message) << c.name;
    }
}

TEST(GameFile, ExtraFilesHonourOverwriteAndDeleteFlagsAndStayInTheirFolder) {
    TempFolder work;
    fs::path folder = work.path();
    std::ofstream(folder / "keep.txt") << "old";
    std::ofstream(folder / "over.txt") << "old";

    struct Case {
        bool overwrite;
        const char* expect_keep;
    };
    for (Case c : {Case{false, "old"}, Case{true, "new"}}) {
        std::ofstream(folder / "keep.txt", std::ios::trunc) << "old";
        pack::GameSource g = sample_game();
        g.container.extra_to_temp = false;
        g.container.overwrite_extra_files = c.overwrite;
        g.container.delete_extra_files = false;
        g.container.extra_files = {{"keep.txt", {'n', 'e', 'w'}},
                                   {"../escape.txt", {'x'}},
                                   {"C:\\windows\\evil.txt", {'y'}},
                                   {"/etc/passwd_kx", {'z'}},
                                   {"..", {'q'}}};
        GameRun run(pack::build_game_file(g), folder.string());
        ASSERT_EQ(run.status, 0);
        std::ifstream k(folder / "keep.txt");
        std::string content((std::istreambuf_iterator<char>(k)), {});
        EXPECT_EQ(content, c.expect_keep) << c.overwrite;
        // Unsafe names land under their base names inside the folder, or not at all.
        EXPECT_TRUE(fs::exists(folder / "escape.txt"));
        EXPECT_TRUE(fs::exists(folder / "evil.txt"));
        EXPECT_TRUE(fs::exists(folder / "passwd_kx"));
        EXPECT_FALSE(fs::exists(folder.parent_path() / "escape.txt"));
        EXPECT_FALSE(fs::exists("/etc/passwd_kx"));
        EXPECT_EQ(run.data().extra_files.size(), 4u);  // ".." has nothing safe left
    }

    // The delete flag removes every listed file, also one that existed before.
    pack::GameSource g = sample_game();
    g.container.extra_to_temp = false;
    g.container.delete_extra_files = true;
    g.container.extra_files = {{"keep.txt", {'n'}}};
    GameRun run(pack::build_game_file(g), folder.string());
    ASSERT_EQ(run.status, 0);
    EXPECT_FALSE(fs::exists(folder / "keep.txt"));
}

TEST(GameFile, ExtensionLibraryIsWrittenToTheTempFolder) {
    pack::GameSource g = sample_game();
    std::vector<uint8_t> bytes = pack::build_game_file(g);
    test::TestRuntime t;
    TempFolder temp;
    set_options(t.runtime(), temp, temp.path());
    Runner r(t.runtime(), temp);
    ASSERT_TRUE(r.load(&bytes));
    EXPECT_TRUE(fs::exists(fs::path(temp.path()) / "D3DX8.dll"));
}

TEST(GameFile, EveryTruncationAndByteFlipEndsWithAMessage) {
    pack::GameSource g = sample_game();
    g.loading.reset();  // keep the container small so every offset is cheap
    g.bar_back.reset();
    g.bar_front.reset();
    std::vector<uint8_t> good = pack::build_game_file(g);
    const std::vector<std::string> known = {msg::kNotValid, msg::kWrongVersion, msg::kResourceData,
                                            msg::kCorrupted, msg::kCannotRead};
    auto check = [&](const std::vector<uint8_t>& bytes, const std::string& what,
                     bool may_pass = true) {
        GameRun run(bytes);
        if (may_pass && run.status == 0) return;  // a flip in an unused field can be harmless
        ASSERT_EQ(run.status, 1) << what;
        ASSERT_FALSE(run.cap.console->err.empty()) << what;
        EXPECT_NE(std::find(known.begin(), known.end(), run.cap.console->err.back()), known.end())
            << what << ": " << run.cap.console->err.back();
    };
    for (size_t len = kGameDataOffset - 1; len < good.size(); ++len) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(len));
        check(cut, "truncated at " + std::to_string(len), false);
    }
    for (size_t at = kGameDataOffset; at < good.size(); ++at) {
        for (uint8_t mask : {0x01, 0x80, 0xFF}) {
            auto b = good;
            b[at] ^= mask;
            check(b, "flip at " + std::to_string(at));
        }
    }
}
