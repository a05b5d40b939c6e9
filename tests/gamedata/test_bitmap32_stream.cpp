// The stream record of a CBitmap32.
#include <gtest/gtest.h>

#include <vector>

#include "gamedata/bitmap32_stream.h"

namespace kx {
namespace {

TEST(Bitmap32Record, RoundTripAndLayout) {
    CBitmap32 img = CBitmap32::blank(3, 2);
    img.pixels = {0x11223344u, 0, 0xFFFFFFFFu, 0x80000001u, 7, 0x00ABCDEFu};
    CStream s;
    write_bitmap32_record(s, img);
    s.seek(0);
    EXPECT_EQ(s.read_int(), 540);
    EXPECT_TRUE(s.read_bool());
    EXPECT_EQ(s.read_int(), 3);
    EXPECT_EQ(s.read_int(), 2);
    CStream block = s.read_compressed();
    ASSERT_EQ(block.size(), 24u);
    EXPECT_EQ(block.read_int(), 0x11223344);  // little-endian, B G R A in the bytes
    EXPECT_TRUE(s.at_end());

    s.seek(0);
    CBitmap32 back = read_bitmap32_record(s);
    EXPECT_TRUE(back.exists);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.pixels, img.pixels);

    CStream none;
    write_bitmap32_record(none, CBitmap32{});
    none.seek(0);
    EXPECT_FALSE(read_bitmap32_record(none).exists);
    EXPECT_TRUE(none.at_end());
}

TEST(Bitmap32Record, OtherVersionsAndDamage) {
    {  // another version reads nothing more
        CStream s;
        s.write_int(541);
        s.write_bool(true);
        s.seek(0);
        EXPECT_FALSE(read_bitmap32_record(s).exists);
        EXPECT_EQ(s.position(), 4u);
    }
    {  // the game data may hold an empty image
        CStream s;
        s.write_int(540);
        s.write_bool(true);
        s.write_int(0);
        s.write_int(5);
        s.write_compressed(std::vector<uint8_t>{});
        s.seek(0);
        CBitmap32 img = read_bitmap32_record(s);
        EXPECT_TRUE(img.exists);
        EXPECT_EQ(img.height, 5);
        EXPECT_TRUE(img.pixels.empty());
        EXPECT_EQ(img.opaque_bbox(), (BitmapBox{-1, 4, 0, 0}));
    }
    struct Bad {
        const char* name;
        int32_t w, h;
        size_t bytes;
        bool truncate;
    };
    const Bad bad[] = {
        {"negative width", -2, -3, 24, false}, {"too many pixels", 1 << 16, 1 << 16, 4, false},
        {"block too short", 2, 2, 12, false},  {"block too long", 2, 2, 20, false},
        {"record cut", 2, 2, 16, true},
    };
    for (const Bad& b : bad) {
        CStream s;
        s.write_int(540);
        s.write_bool(true);
        s.write_int(b.w);
        s.write_int(b.h);
        s.write_compressed(std::vector<uint8_t>(b.bytes, 0x5A));
        std::vector<uint8_t> bytes(s.bytes().begin(), s.bytes().end());
        if (b.truncate) bytes.resize(bytes.size() - 3);
        CStream in(bytes);
        EXPECT_THROW(read_bitmap32_record(in), StreamError) << b.name;
    }
}

}  // namespace
}  // namespace kx
