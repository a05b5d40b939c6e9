// Fonts as data: the record and section both ways, pages that kxpack builds
// against pages made at run time, and sprite fonts turned into pages.
#include <gtest/gtest.h>

#include <fstream>

#include "image/picture_test_util.h"
#include "kxpack/game_source.h"
#include "kxpack/source_fonts.h"
#include "platform/system_font.h"
#include "sprites/font_main.h"
#include "sprites/sprite_class.h"

namespace kx::pack {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

void write_text(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

void expect_same_font(const CFont& a, const CFont& b) {
    EXPECT_EQ(a.name(), b.name());
    EXPECT_EQ(a.size(), b.size());
    EXPECT_EQ(a.bold(), b.bold());
    EXPECT_EQ(a.italic(), b.italic());
    EXPECT_EQ(a.first(), b.first());
    EXPECT_EQ(a.last(), b.last());
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(a.glyph(uint8_t(c)), b.glyph(uint8_t(c))) << "character " << c;
    EXPECT_EQ(a.page_width(), b.page_width());
    EXPECT_EQ(a.page_height(), b.page_height());
    EXPECT_TRUE(a.page() == b.page());
}

std::vector<uint8_t> section_bytes(const std::vector<std::optional<FontSource>>& fonts) {
    CStream st;
    write_fonts_section(st, fonts);
    return {st.bytes().begin(), st.bytes().end()};
}

TEST(FontPages, KxpackBuildsTheVeryPageTheRunnerMakesAtRunTime) {
    test::ScratchDir dir;
    const fs::path src = dir.file("src");
    auto arial = open_system_font("Arial", 11, false, false);
    ASSERT_TRUE(arial);
    struct Case {
        const char* json;
        const char* name;
        int size;
        bool bold, italic;
        int first, last;
    };
    const std::string by_file = R"({"file": ")" + arial->file() +
                                R"(", "font": "Arial", "size": 11, "first": 32, "last": 127})";
    const Case cases[] = {
        {R"({"font": "Arial"})", "Arial", 12, false, false, 32, 128},
        {R"({"font": "Times New Roman", "size": 18, "bold": true, "italic": true, "first": 0, "last": 400})",
         "Times New Roman", 18, true, true, 0, 255},
        {R"({"font": "Courier New", "size": 9, "first": 48, "last": 57})", "Courier New", 9, false,
         false, 48, 57},
        {R"({"font": "Comic Sans MS", "size": 40, "first": 65, "last": 90})", "Comic Sans MS", 40,
         false, false, 65, 90},
        {by_file.c_str(), "Arial", 11, false, false, 32, 127},
    };
    ordered_json list = ordered_json::array();
    for (size_t i = 0; i < std::size(cases); ++i) {
        write_text(src / "fonts" / ("f" + std::to_string(i) + ".json"), cases[i].json);
        list.push_back("f" + std::to_string(i));
    }
    const auto built = load_fonts(list, src, {});
    ASSERT_EQ(built.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].json);
        const Case& c = cases[i];
        CFont run_time;
        ASSERT_TRUE(run_time.create_page_font(c.name, c.size, c.bold, c.italic, c.first, c.last));
        expect_same_font(*built[i]->font, run_time);
        // The page is at least as wide as it is high, its width a doubling of 64.
        const CFont& f = run_time;
        EXPECT_GE(f.page_width(), f.page_height());
        EXPECT_GE(f.page_width(), 128);
        EXPECT_EQ(f.page_width() & (f.page_width() - 1), 0);
        for (int ch = f.first(); ch <= f.last(); ++ch) {
            const RGlyph& g = f.glyph(uint8_t(ch));
            EXPECT_LE(g.x + g.width, f.page_width()) << ch;
            EXPECT_EQ(g.y + g.height + 1 <= f.page_height(), true) << ch;
            EXPECT_EQ(g.height, f.line_height());
        }
    }
}

TEST(FontPages, SectionAndStoredSourceRoundTripByteForByte) {
    test::ScratchDir dir;
    std::vector<std::optional<FontSource>> fonts(3);
    fonts[0] = FontSource{"fnt_a", std::make_shared<CFont>()};
    fonts[0]->font->create_page_font("Verdana", 13, true, false, 32, 127);
    fonts[2] = FontSource{"fnt_empty", std::make_shared<CFont>()};
    fonts[2]->font->create_page_font("Arial", 10, false, false, 90, 60);  // empty range
    const std::vector<uint8_t> bytes = section_bytes(fonts);

    CStream st{std::vector<uint8_t>(bytes)};
    std::vector<std::optional<FontSource>> back;
    ASSERT_TRUE(read_fonts_section(st, back));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_FALSE(back[1]);
    EXPECT_EQ(section_bytes(back), bytes);

    const fs::path src = dir.file("src");
    const ordered_json list = save_fonts(back, src);
    EXPECT_EQ(list, ordered_json::parse(R"(["fnt_a", null, "fnt_empty"])"));
    EXPECT_EQ(section_bytes(load_fonts(list, src, {})), bytes);
}

TEST(FontPages, RefusedAndDamagedSections) {
    std::vector<std::optional<FontSource>> fonts(1);
    fonts[0] = FontSource{"f", std::make_shared<CFont>()};
    fonts[0]->font->create_page_font("Arial", 8, false, false, 32, 40);
    const std::vector<uint8_t> good = section_bytes(fonts);
    FontList list;
    {
        std::vector<uint8_t> b = good;
        b[0] = 0x1d;  // section version 541
        CStream st{b};
        EXPECT_FALSE(list.read_font_section(st));
    }
    {
        std::vector<uint8_t> b = good;
        // The record's version follows the section's version, count, flag and name.
        const size_t record = 4 + 4 + 4 + 4 + 1;
        b[record] = 0x1d;
        CStream st{b};
        EXPECT_FALSE(list.read_font_section(st));
    }
    {
        // A page size far beyond its data.
        std::vector<uint8_t> b = good;
        // The page width: after the record's version, "Arial", five ints and the glyph table.
        const size_t at = 17 + 4 + (4 + 5) + 5 * 4 + 256 * 24;
        ASSERT_LT(at + 8, b.size());
        b[at + 3] = 0x40;
        CStream bad{b};
        EXPECT_THROW(list.read_font_section(bad), StreamError);
        // One row more than the page block holds.
        b = good;
        b[at + 4] += 1;
        CStream short_page{b};
        EXPECT_THROW(list.read_font_section(short_page), StreamError);
    }
    {
        CStream st{std::vector<uint8_t>(good.begin(), good.begin() + 40)};
        EXPECT_THROW(list.read_font_section(st), StreamError);
    }
}

TEST(FontPages, SpriteFontBecomesAPageOfItsCharacters) {
    // Two 5 x 3 subimages: '0' opaque in columns 1..2, '1' in column 4 only,
    // with partial alpha, so the page must hold exactly those columns.
    test::ScratchDir dir;
    SpriteSource s;
    s.name = "spr_digits";
    s.width = 5;
    s.height = 3;
    auto frame = [](int from, int to, uint32_t alpha) {
        CBitmap32 b = CBitmap32::blank(5, 3, 0);
        for (int y = 0; y < 3; ++y)
            for (int x = from; x <= to; ++x) b.at(x, y) = alpha << 24 | 0xffffffu;
        return b;
    };
    s.frames = {frame(1, 2, 255), frame(4, 4, 128)};
    const fs::path src = dir.file("src");
    write_text(src / "fonts" / "fnt.json",
               R"({"sprite": "spr_digits", "first": 48, "separation": 1})");
    const auto fonts = load_fonts(ordered_json::parse(R"(["fnt"])"), src, {std::nullopt, s});
    const CFont& f = *fonts[0]->font;
    EXPECT_EQ(f.name(), "spr_digits");
    EXPECT_EQ(f.sprite(), -1);
    EXPECT_EQ(f.first(), 48);
    EXPECT_EQ(f.last(), 49);
    // Advances as a proportional sprite font: right + separation - left.
    EXPECT_EQ(f.glyph('0').advance, 2 + 1 - 1);
    EXPECT_EQ(f.glyph('1').advance, 4 + 1 - 4);
    EXPECT_EQ(f.line_height(), 3);
    // Cells: '0' 2 wide at 0, '1' 1 wide at 3.
    EXPECT_EQ(f.glyph('0'), (RGlyph{0, 0, 2, 3, 2, 0}));
    EXPECT_EQ(f.glyph('1'), (RGlyph{3, 0, 1, 3, 1, 0}));
    for (int y = 0; y < 3; ++y) {
        const uint8_t* row = f.page().data() + size_t(y) * f.page_width();
        EXPECT_EQ(row[0], 255);
        EXPECT_EQ(row[1], 255);
        EXPECT_EQ(row[2], 0);
        EXPECT_EQ(row[3], 128);
        EXPECT_EQ(row[4], 0);
    }
    write_text(src / "fonts" / "bad.json", R"({"sprite": "spr_missing"})");
    EXPECT_THROW(load_fonts(ordered_json::parse(R"(["bad"])"), src, {s}), SourceError);
    write_text(src / "fonts" / "bad.json", R"({"font": "Arial", "colour": 3})");
    EXPECT_THROW(load_fonts(ordered_json::parse(R"(["bad"])"), src, {s}), SourceError);
}

}  // namespace
}  // namespace kx::pack
