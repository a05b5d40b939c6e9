// kxpack's sprite and background source: build, unpack, build again gives the
// same bytes; hand-written sources get keyed frames and computed boxes.
#include "kxpack/source_sprites.h"

#include <gtest/gtest.h>

#include <fstream>

#include "image/picture_file.h"
#include "image/picture_test_util.h"
#include "kxpack/game_source.h"

namespace kx::pack {
namespace {

using nlohmann::ordered_json;
using test::px;
namespace fs = std::filesystem;

void write_text(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

std::vector<uint8_t> sections(const std::vector<std::optional<SpriteSource>>& s,
                              const std::vector<std::optional<BackgroundSource>>& b) {
    CStream st;
    write_sprites_section(st, s);
    write_backgrounds_section(st, b);
    return {st.bytes().begin(), st.bytes().end()};
}

struct SourceFolder : ::testing::Test {
    test::ScratchDir dir;
    fs::path src{dir.file("src")};
    const uint32_t kKey = px(255, 255, 0, 255);
    const uint32_t kInk = px(255, 0, 90, 0);

    void SetUp() override {
        fs::create_directories(src / "sprites");
        fs::create_directories(src / "backgrounds");
        // Frame 0: a BMP without alpha, keyed by its bottom-left colour.
        CBitmap32 f0 = CBitmap32::blank(6, 5, kKey);
        f0.at(2, 1) = kInk;
        f0.at(4, 3) = kInk;
        test::write_file((src / "sprites/hero_a.bmp").string(), encode_bmp(f0, false));
        // Frame 1: a PNG with its own alpha, taken as it is (its key colour stays).
        CBitmap32 f1 = CBitmap32::blank(6, 5, px(0, 1, 2, 3));
        f1.at(1, 4) = kKey;
        test::write_file((src / "sprites/hero_b.png").string(), encode_png(f1));
        write_text(
            src / "sprites/hero.json",
            R"({"origin": [3, 4], "transparent": true, "precise": true, "frames": ["hero_a.bmp", "hero_b.png"]})");
        write_text(
            src / "sprites/box.json",
            R"({"size": [16, 16], "bbox_mode": "manual", "bbox": [2, 3, 12, 13], "preload": false, "frames": []})");
        CBitmap32 tiles = CBitmap32::blank(8, 4, px(255, 10, 20, 30));
        test::write_file((src / "backgrounds/tiles.png").string(), encode_png(tiles.to_24bit()));
        write_text(src / "backgrounds/tiles.json",
                   R"({"image": "tiles.png", "smooth": true, "preload": true})");
        write_text(src / "backgrounds/blank.json", R"({"size": [32, 16]})");
    }
};

TEST_F(SourceFolder, BuildUnpackBuildGivesTheSameBytes) {
    auto sprites = load_sprites(ordered_json::parse(R"(["hero", null, "box"])"), src);
    auto backgrounds = load_backgrounds(ordered_json::parse(R"([null, "tiles", "blank"])"), src);
    ASSERT_EQ(sprites.size(), 3u);
    ASSERT_FALSE(sprites[1]);
    const SpriteSource& hero = *sprites[0];
    EXPECT_EQ(hero.width, 6);
    EXPECT_EQ(hero.xorig, 3);
    EXPECT_EQ(hero.frames[0].at(0, 0) >> 24, 0u) << "keyed";
    EXPECT_EQ(hero.frames[0].at(2, 1), kInk);
    EXPECT_EQ(hero.frames[1].at(1, 4), kKey) << "own alpha: not keyed";
    EXPECT_EQ(hero.bbox, (BitmapBox{1, 1, 4, 4})) << "computed from both frames";
    EXPECT_EQ(sprites[2]->bbox, (BitmapBox{2, 3, 12, 13}));
    EXPECT_EQ(sprites[2]->width, 16);
    EXPECT_FALSE(sprites[2]->preload);
    EXPECT_EQ(backgrounds[1]->width, 8);
    EXPECT_TRUE(backgrounds[1]->smooth);
    EXPECT_FALSE(backgrounds[2]->image.exists);
    EXPECT_EQ(backgrounds[2]->width, 32);

    const std::vector<uint8_t> first = sections(sprites, backgrounds);

    // Unpack: the runner's readers, then the source files.
    CStream st{std::vector<uint8_t>(first)};
    std::vector<std::optional<SpriteSource>> rs;
    std::vector<std::optional<BackgroundSource>> rb;
    ASSERT_TRUE(read_sprites_section(st, rs));
    ASSERT_TRUE(read_backgrounds_section(st, rb));
    const fs::path out = dir.file("unpacked");
    const ordered_json slist = save_sprites(rs, out);
    const ordered_json blist = save_backgrounds(rb, out);
    EXPECT_EQ(slist, ordered_json::parse(R"(["hero", null, "box"])"));
    EXPECT_EQ(blist, ordered_json::parse(R"([null, "tiles", "blank"])"));

    auto again = sections(load_sprites(slist, out), load_backgrounds(blist, out));
    EXPECT_EQ(again, first);
}

TEST_F(SourceFolder, UnusualStoredValuesSurviveTheRoundTrip) {
    std::vector<std::optional<SpriteSource>> sprites(1);
    sprites[0].emplace();
    SpriteSource& s = *sprites[0];
    s.name = "odd";
    s.width = 9;  // larger than its frames
    s.height = 2;
    s.bbox_mode = 7;
    s.bbox = {5, 6, -1, -2};
    s.frames.push_back(CBitmap32());             // an image that does not exist
    s.frames.push_back(CBitmap32::blank(0, 3));  // one without pixels
    s.frames.push_back(CBitmap32::blank(2, 2, px(128, 1, 2, 3)));
    std::vector<std::optional<BackgroundSource>> backgrounds(1);
    backgrounds[0].emplace();
    backgrounds[0]->name = "bg";
    backgrounds[0]->width = 3;  // not the image's size
    backgrounds[0]->image = CBitmap32::blank(1, 1, px(255, 4, 5, 6));

    const auto first = sections(sprites, backgrounds);
    CStream st{std::vector<uint8_t>(first)};
    std::vector<std::optional<SpriteSource>> rs;
    std::vector<std::optional<BackgroundSource>> rb;
    ASSERT_TRUE(read_sprites_section(st, rs));
    ASSERT_TRUE(read_backgrounds_section(st, rb));
    const fs::path out = dir.file("odd");
    auto slist = save_sprites(rs, out);
    auto blist = save_backgrounds(rb, out);
    EXPECT_EQ(sections(load_sprites(slist, out), load_backgrounds(blist, out)), first);
}

TEST_F(SourceFolder, BadSourcesNameTheProblem) {
    struct Case {
        const char* json;
        const char* expect;  // part of the message
    };
    const Case cases[] = {
        {R"({"bbox_mode": "manual"})", "needs \"bbox\""},
        {R"({"frames": ["missing.png"]})", "cannot read"},
        {R"({"origin": [1]})", "\"origin\" needs 2 integers"},
        {R"({"bbox_mode": "sideways"})", "bbox_mode"},
        {R"({"colour": 3})", "unknown key \"colour\""},
        {R"({"frames": ["../bad.json"]})", "not a PNG or BMP"},
        {R"([1, 2])", "must hold an object"},
    };
    write_text(src / "bad.json", "{}");
    for (const Case& c : cases) {
        write_text(src / "sprites/broken.json", c.json);
        try {
            load_sprites(ordered_json::parse(R"(["broken"])"), src);
            ADD_FAILURE() << c.json << " was accepted";
        } catch (const SourceError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos)
                << c.json << ": " << e.what();
        }
    }
    EXPECT_THROW(load_sprites(ordered_json::parse(R"(["../x"])"), src), SourceError);
    EXPECT_THROW(load_backgrounds(ordered_json::parse(R"([5])"), src), SourceError);
}

}  // namespace
}  // namespace kx::pack
