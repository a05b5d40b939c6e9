// Records and sections of sprites and backgrounds: round trips, the stored
// box order, the list's queries, and damaged data refused without a crash.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gamedata/bitmap32_stream.h"
#include "sprites/sprite_state.h"

namespace kx {
namespace {

uint32_t px(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A 4 x 3 subimage with an opaque pixel at (x, y) on see-through ground.
CBitmap32 dot(int32_t x, int32_t y) {
    CBitmap32 img = CBitmap32::blank(4, 3, px(0, 9, 9, 9));
    img.at(x, y) = px(255, 200, 10, 20);
    return img;
}

struct Fixture : ::testing::Test {
    std::unique_ptr<SpriteState> state = std::make_unique<SpriteState>();
    SpriteState& g() { return *state; }
};

using SpriteData = Fixture;

TEST_F(SpriteData, SpriteRecordKeepsStoredBoxOrderAndFields) {
    CStream s;
    s.write_int(kSpriteRecordVersion);
    for (int32_t v : {4, 3, 3, 10, 20, 5}) s.write_int(v);  // w, h, left, right, bottom, top
    s.write_bool(true);                                     // transparent
    s.write_bool(true);                                     // smooth
    s.write_bool(false);                                    // preload
    s.write_int(2);                                         // manual
    s.write_bool(true);                                     // precise
    s.write_int(-7);
    s.write_int(8);
    s.write_int(2);
    write_bitmap32_record(s, dot(1, 2));
    write_bitmap32_record(s, dot(3, 0));
    const std::vector<uint8_t> bytes(s.bytes().begin(), s.bytes().end());

    s.seek(0);
    CSprite sp;
    ASSERT_TRUE(sp.read(s));
    EXPECT_TRUE(s.at_end());
    EXPECT_EQ(sp.bbox(), (BitmapBox{3, 5, 10, 20}));  // taken as stored, not recomputed
    EXPECT_EQ(sp.width(), 4);
    EXPECT_EQ(sp.height(), 3);
    EXPECT_TRUE(sp.transparent());
    EXPECT_TRUE(sp.smooth());
    EXPECT_FALSE(sp.preload());
    EXPECT_EQ(sp.bbox_mode(), 2);
    EXPECT_TRUE(sp.precise());
    EXPECT_EQ(sp.xoffset(), -7);
    EXPECT_EQ(sp.yoffset(), 8);
    ASSERT_EQ(sp.subimage_count(), 2);
    EXPECT_EQ(sp.subimages()[1].pixels, dot(3, 0).pixels);
    // Masks come right after reading.
    ASSERT_TRUE(sp.has_masks());
    EXPECT_TRUE(sp.mask(0)->test(1, 2));
    EXPECT_FALSE(sp.mask(0)->test(3, 0));
    EXPECT_TRUE(sp.mask(1)->test(3, 0));

    CStream out;
    sp.write(out);
    EXPECT_EQ(std::vector<uint8_t>(out.bytes().begin(), out.bytes().end()), bytes);
}

TEST_F(SpriteData, SectionsRoundTripWithEmptySlotsAndNames) {
    auto a = std::make_unique<CSprite>();
    a->set_from_image(dot(2, 1), true, true, 1, 1, true, false, true);
    auto b = std::make_unique<CSprite>();
    g().sprites.add("spr_a", std::move(a));
    g().sprites.add({}, nullptr);
    g().sprites.add("spr_b", std::move(b));
    g().sprites.add("spr_a", std::make_unique<CSprite>());
    auto bg = std::make_unique<CBackground>();
    bg->solid_colour(3, 2, 0x0000FF, true);
    g().backgrounds.add("bg_sky", std::move(bg));
    g().backgrounds.add("bg_none", std::make_unique<CBackground>());

    CStream s;
    g().sprites.write_section(s);
    g().backgrounds.write_section(s);
    const std::vector<uint8_t> bytes(s.bytes().begin(), s.bytes().end());

    state = std::make_unique<SpriteState>();
    EXPECT_EQ(g().sprites.count(), 0);
    s.seek(0);
    ASSERT_TRUE(g().sprites.read_section(s));
    ASSERT_TRUE(g().backgrounds.read_section(s));
    EXPECT_TRUE(s.at_end());

    const SpriteList& sl = g().sprites;
    ASSERT_EQ(sl.count(), 4);
    EXPECT_TRUE(sl.exists(0));
    EXPECT_FALSE(sl.exists(1));
    EXPECT_FALSE(sl.exists(4));
    EXPECT_FALSE(sl.exists(-1));
    EXPECT_EQ(sl.get(9), nullptr);
    EXPECT_EQ(sl.name(1), "<undefined>");
    EXPECT_EQ(sl.name(7), "<undefined>");
    EXPECT_EQ(sl.name(2), "spr_b");
    EXPECT_EQ(sl.find_by_name("spr_a"), 0);   // the lowest index
    EXPECT_EQ(sl.find_by_name("SPR_A"), -1);  // case matters
    EXPECT_EQ(sl.find_by_name(""), -1);       // the empty slot has no name to find
    EXPECT_EQ(sl.get(0)->bbox(), (BitmapBox{2, 1, 2, 1}));
    EXPECT_EQ(sl.get(0)->xoffset(), 1);
    EXPECT_EQ(g().backgrounds.get(0)->image().at(2, 1), px(255, 255, 0, 0));
    EXPECT_FALSE(g().backgrounds.get(1)->has_image());

    CStream again;
    g().sprites.write_section(again);
    g().backgrounds.write_section(again);
    EXPECT_EQ(std::vector<uint8_t>(again.bytes().begin(), again.bytes().end()), bytes);
}

// A section with two good entries and a third whose record version is `v`.
CStream section_with_third_version(int32_t v, bool sprites) {
    CStream s;
    s.write_int(kResourceSectionVersion);
    s.write_int(3);
    for (int i = 0; i < 2; ++i) {
        s.write_bool(true);
        s.write_string("r" + std::to_string(i));
        if (sprites)
            CSprite().write(s);
        else
            CBackground().write(s);
    }
    s.write_bool(true);
    s.write_string("bad");
    s.write_int(v);
    s.seek(0);
    return s;
}

TEST_F(SpriteData, WrongVersionsFailAndKeepEarlierEntries) {
    CStream s = section_with_third_version(541, true);
    EXPECT_FALSE(g().sprites.read_section(s));
    EXPECT_EQ(g().sprites.count(), 2);
    EXPECT_EQ(g().sprites.name(1), "r1");

    CStream b = section_with_third_version(542, false);
    EXPECT_FALSE(g().backgrounds.read_section(b));
    EXPECT_EQ(g().backgrounds.count(), 2);

    for (int32_t v : {399, 401}) {
        CStream sec;
        sec.write_int(v);
        sec.write_int(0);
        sec.seek(0);
        EXPECT_FALSE(g().sprites.read_section(sec)) << v;
        EXPECT_EQ(g().sprites.count(), 0) << "the old list goes first";
        sec.seek(0);
        EXPECT_FALSE(g().backgrounds.read_section(sec)) << v;
    }
}

// Every cut of a good section fails cleanly: false or StreamError, nothing else.
TEST_F(SpriteData, TruncatedSectionsAreRefused) {
    auto sp = std::make_unique<CSprite>();
    sp->set_from_image(dot(1, 1), true, true, 0, 0, true, false, true);
    sp->add_image(dot(2, 2), true);
    g().sprites.add("s", std::move(sp));
    auto bg = std::make_unique<CBackground>();
    bg->solid_colour(5, 5, 0x123456, false);
    g().backgrounds.add("b", std::move(bg));
    CStream whole;
    g().sprites.write_section(whole);
    const size_t sprite_end = whole.size();
    g().backgrounds.write_section(whole);
    const std::vector<uint8_t> all(whole.bytes().begin(), whole.bytes().end());

    for (size_t cut = 0; cut < all.size(); ++cut) {
        const bool sprites = cut < sprite_end;
        CStream s(
            std::vector<uint8_t>(all.begin() + (sprites ? 0 : sprite_end), all.begin() + cut));
        bool ok = true;
        try {
            ok = sprites ? g().sprites.read_section(s) : g().backgrounds.read_section(s);
        } catch (const StreamError&) {
            ok = false;
        }
        EXPECT_FALSE(ok) << "cut at " << cut;
    }
}

// Any single damaged byte gives a section that reads, fails or throws
// StreamError; never anything worse (run under the sanitizers too).
TEST_F(SpriteData, DamagedBytesAreHandled) {
    auto sp = std::make_unique<CSprite>();
    sp->set_from_image(dot(1, 1), true, true, 0, 0, true, false, true);
    g().sprites.add("s", std::move(sp));
    CStream good;
    g().sprites.write_section(good);
    const std::vector<uint8_t> all(good.bytes().begin(), good.bytes().end());
    for (size_t i = 0; i < all.size(); ++i)
        for (uint8_t v : {uint8_t(0x00), uint8_t(0x7f), uint8_t(0xff)}) {
            std::vector<uint8_t> bad = all;
            bad[i] = v;
            CStream s(std::move(bad));
            try {
                g().sprites.read_section(s);
            } catch (const StreamError&) {
            }
        }
}

TEST_F(SpriteData, CorruptCountsAndSizesAllocateNothingLarge) {
    struct Case {
        const char* what;
        std::vector<int32_t> ints;  // written as they are after the section header
    };
    // Section header: version 400, count; entry: exists, name length 0.
    const Case cases[] = {
        {"huge slot count", {400, 0x7fffffff}},
        {"negative slot count", {400, -1}},
        {"huge subimage count",
         {400, 1, 1, 0, kSpriteRecordVersion, 4, 4, 0, 3, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0x7fffffff}},
        {"negative subimage count",
         {400, 1, 1, 0, kSpriteRecordVersion, 4, 4, 0, 3, 3, 0, 1, 0, 0, 0, 1, 0, 0, -5}},
        {"negative image size",
         {400, 1, 1, 0, kSpriteRecordVersion,   4, 4,  0, 3, 3, 0, 1, 0, 0, 0,
          1,   0, 0, 1, kBitmap32RecordVersion, 1, -4, 4, 0}},
    };
    for (const Case& c : cases) {
        CStream s;
        for (int32_t v : c.ints) s.write_int(v);
        s.seek(0);
        EXPECT_THROW(g().sprites.read_section(s), StreamError) << c.what;
    }
}

// A sprite that claims a huge size over a tiny subimage gets masks only as
// large as the pixels it really has.
TEST_F(SpriteData, MasksOfMismatchedSubimagesStayWithinTheirPixels) {
    CStream s;
    s.write_int(kSpriteRecordVersion);
    for (int32_t v : {1 << 30, 1 << 30, 0, 0, 0, 0}) s.write_int(v);
    for (bool v : {true, false, true}) s.write_bool(v);
    s.write_int(0);
    s.write_bool(true);
    s.write_int(0);
    s.write_int(0);
    s.write_int(3);
    write_bitmap32_record(s, dot(3, 2));
    s.write_int(539);  // an image of another version: none, nothing more read
    write_bitmap32_record(s, CBitmap32());
    s.seek(0);
    CSprite sp;
    ASSERT_TRUE(sp.read(s));
    ASSERT_TRUE(sp.has_masks());
    EXPECT_EQ(sp.mask(0)->width(), 4);
    EXPECT_EQ(sp.mask(0)->height(), 3);
    EXPECT_TRUE(sp.mask(0)->test(3, 2));
    EXPECT_FALSE(sp.mask(0)->test(4, 2));
    EXPECT_FALSE(sp.mask(0)->test(1 << 29, 1));
    EXPECT_FALSE(sp.mask(1)->test(0, 0));
    EXPECT_EQ(sp.mask(2)->width(), 0);
    EXPECT_EQ(sp.mask(3), nullptr);
}

TEST_F(SpriteData, ListOperations) {
    SpriteList& sl = g().sprites;
    EXPECT_EQ(sl.add_empty(), 0);
    EXPECT_EQ(sl.name(0), "__newsprite0");
    EXPECT_EQ(g().backgrounds.add_empty(), 0);
    EXPECT_EQ(g().backgrounds.name(0), "__newbackground0");
    sl.get(0)->set_from_image(dot(1, 1), true, true, 2, 3, true, false, true);

    EXPECT_EQ(sl.add_from_file("/nonexistent/kx_missing.png", 1, 0, 0, true, false, true, true),
              -1);
    EXPECT_EQ(sl.count(), 1) << "a failed load takes its slot back";

    EXPECT_EQ(sl.duplicate(0), 1);
    EXPECT_EQ(sl.name(1), "__newsprite1");
    EXPECT_EQ(sl.get(1)->xoffset(), 2);
    EXPECT_EQ(sl.get(1)->subimages()[0].pixels, sl.get(0)->subimages()[0].pixels);
    EXPECT_EQ(sl.duplicate(5), -1);

    EXPECT_TRUE(sl.remove(0));
    EXPECT_FALSE(sl.exists(0));
    EXPECT_FALSE(sl.remove(0));
    EXPECT_EQ(sl.name(0), "<undefined>");
    EXPECT_EQ(sl.add_empty(), 2) << "deleted slots are not reused";

    EXPECT_FALSE(sl.assign(1, 0)) << "source slot empty";
    EXPECT_FALSE(sl.assign(9, 1)) << "target out of range";
    EXPECT_TRUE(sl.assign(0, 1)) << "an empty target slot gets an object";
    EXPECT_EQ(sl.get(0)->yoffset(), 3);
    EXPECT_FALSE(sl.replace_from_file(9, "x.png", 1, 0, 0, true, false, true, true));
}

// Textures go through the device's maker: one per subimage, remade when the
// images change, freed when the resource goes; backgrounds before sprites.
TEST(SpriteTextures, GoThroughTheMaker) {
    struct LoggingMaker : ITextureMaker {
        std::vector<std::string> log;
        int next = 0;
        int32_t make(const CBitmap32& img) override {
            log.push_back("make " + std::to_string(img.width));
            return next++;
        }
        void free(int32_t id) override { log.push_back("free " + std::to_string(id)); }
        void preload(int32_t id) override { log.push_back("preload " + std::to_string(id)); }
    } maker;
    std::vector<std::string>& log = maker.log;
    SpriteState state;  // destroyed before the maker
    state.textures.maker = &maker;

    auto sp = std::make_unique<CSprite>();
    sp->set_texture_link(&state.textures);
    sp->set_from_image(dot(0, 0), true, true, 0, 0, false, false, true);
    EXPECT_EQ(sp->textures(), std::vector<int32_t>{0});
    sp->add_image(CBitmap32::blank(9, 9, px(255, 1, 1, 1)), true);
    EXPECT_EQ(sp->textures(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(sp->subimage_texture(-1), 2);
    EXPECT_EQ(sp->subimage_texture(4), 1);
    EXPECT_EQ(CSprite().subimage_texture(0), -1);
    state.sprites.add("s", std::move(sp));
    auto bg = std::make_unique<CBackground>();
    bg->set_texture_link(&state.textures);
    bg->solid_colour(7, 1, 0, true);
    state.backgrounds.add("b", std::move(bg));
    EXPECT_EQ(state.backgrounds.get(0)->texture(), 3);

    log.clear();
    make_all_resource_textures(state);
    EXPECT_EQ(log, (std::vector<std::string>{"free 3", "make 7", "preload 4", "free 1", "free 2",
                                             "make 4", "make 4"}));
    log.clear();
    state.sprites.remove(0);
    EXPECT_EQ(log, (std::vector<std::string>{"free 5", "free 6"}));
}

}  // namespace
}  // namespace kx
