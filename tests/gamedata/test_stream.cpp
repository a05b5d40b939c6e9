#include <gtest/gtest.h>

#include "gamedata/cstream.h"
#include "gamedata/scramble.h"
#include "image/picture_file.h"

using namespace kx;

namespace {
CStream ints(std::initializer_list<int32_t> v) {
    CStream s;
    for (int32_t x : v) s.write_int(x);
    s.seek(0);
    return s;
}
}  // namespace

TEST(CStream, PrimitivesRoundTripLittleEndian) {
    CStream s;
    s.write_int(-2);
    s.write_real(0.1);
    s.write_bool(true);
    s.write_string("héllo");
    EXPECT_EQ(s.bytes()[0], 0xFE);
    EXPECT_EQ(s.bytes()[3], 0xFF);
    s.seek(0);
    EXPECT_EQ(s.read_int(), -2);
    EXPECT_EQ(s.read_real(), 0.1);
    EXPECT_TRUE(s.read_bool());
    EXPECT_EQ(s.read_string(), "héllo");
    EXPECT_TRUE(s.at_end());
}

TEST(CStream, BooleansAreTrueOnlyAboveZero) {
    struct Case { int32_t stored; bool expect; };
    for (Case c : {Case{1, true}, {7, true}, {0, false}, {-1, false}, {INT32_MIN, false}}) {
        CStream s = ints({c.stored});
        EXPECT_EQ(s.read_bool(), c.expect) << c.stored;
    }
}

TEST(CStream, NonPositiveStringLengthReadsEmptyAndConsumesOnlyTheLength) {
    for (int32_t len : {0, -1, -100000}) {
        CStream s = ints({len, 42});
        EXPECT_EQ(s.read_string(), "");
        EXPECT_EQ(s.position(), 4u);
        EXPECT_EQ(s.read_int(), 42);
    }
}

TEST(CStream, ReadsPastTheEndAreFaults) {
    CStream three(std::vector<uint8_t>{1, 2, 3});
    EXPECT_THROW(three.read_int(), StreamError);
    EXPECT_THROW(ints({1}).read_real(), StreamError);
    EXPECT_THROW(ints({5}).read_string(), StreamError);           // 5 bytes announced, none there
    EXPECT_THROW(ints({INT32_MAX}).read_string(), StreamError);   // no allocation from the count
    EXPECT_THROW(ints({INT32_MAX}).read_compressed(), StreamError);
    EXPECT_THROW(ints({-1}).read_compressed(), StreamError);
    EXPECT_THROW(ints({1}).seek(5), StreamError);
}

TEST(CStream, CompressedBlocksInflateAcrossChunks) {
    // Larger than two 32 KiB chunks on both sides.
    std::vector<uint8_t> plain(100000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>((i * 7919) >> 3);
    CStream s;
    s.write_compressed(plain);
    s.write_int(99);
    s.seek(0);
    CStream inner = s.read_compressed();
    EXPECT_EQ(inner.position(), 0u);
    EXPECT_EQ(std::vector<uint8_t>(inner.bytes().begin(), inner.bytes().end()), plain);
    EXPECT_EQ(s.read_int(), 99);
}

TEST(CStream, CorruptOrTruncatedCompressedBlocksAreFaults) {
    std::vector<uint8_t> plain(5000, 'x');
    std::vector<uint8_t> z = zlib_deflate(plain);
    std::vector<uint8_t> cut(z.begin(), z.begin() + static_cast<long>(z.size() / 2));
    EXPECT_THROW(zlib_inflate(cut), StreamError);
    std::vector<uint8_t> bad = z;
    bad[0] ^= 0xFF;   // header check fails
    EXPECT_THROW(zlib_inflate(bad), StreamError);
    EXPECT_THROW(zlib_inflate(z, 100), StreamError);   // beyond the limit
    EXPECT_THROW(zlib_inflate({}), StreamError);
}

TEST(CStream, PicturesDecodeOrReadAsNone) {
    CBitmap32 img = CBitmap32::blank(3, 2, 0xFF112233);
    std::vector<uint8_t> bmp = encode_bmp(img, false);
    std::vector<uint8_t> junk = {'B', 'M', 1, 2, 3};
    CStream s;
    s.write_picture(&bmp);
    s.write_picture(nullptr);
    s.write_picture(&junk);
    s.write_int(7);
    s.seek(0);
    auto a = s.read_picture();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->width, 3);
    EXPECT_EQ(a->at(2, 1), 0xFF112233u);
    EXPECT_FALSE(s.read_picture());
    EXPECT_FALSE(s.read_picture());   // undecodable: no picture, stream still in step
    EXPECT_EQ(s.read_int(), 7);
}

TEST(Scramble, ParametersOfKnownSeeds) {
    struct Case { int32_t seed, mul, add; };
    for (Case c : {Case{0, 6, 0}, {-1, 5, 0}, {-300, 212, 255}, {12345, 101, 49}, {-64249, 13, 0}}) {
        auto p = scramble_params(c.seed);
        ASSERT_TRUE(p) << c.seed;
        EXPECT_EQ(p->mul, c.mul) << c.seed;
        EXPECT_EQ(p->add, c.add) << c.seed;
    }
}

TEST(Scramble, ForwardTableFollowsTheSwapRule) {
    // Seed 0: mul 6, add 0, so the swaps run over j = (6i mod 254) + 1.
    ScrambleTable ref;
    for (int i = 0; i < 256; ++i) ref[i] = static_cast<uint8_t>(i);
    for (int i = 1; i <= 10000; ++i) {
        int j = (i * 6) % 254 + 1;
        std::swap(ref[j], ref[j + 1]);
    }
    EXPECT_EQ(*scramble_forward_table(0), ref);
    EXPECT_NE(*scramble_forward_table(0), *scramble_forward_table(-1));
}

TEST(Scramble, InverseUndoesAndByteZeroNeverMoves) {
    for (int32_t seed : {0, -1, -300, 12345, -64249, INT32_MAX}) {
        auto f = scramble_forward_table(seed);
        ASSERT_TRUE(f) << seed;
        EXPECT_EQ((*f)[0], 0);
        std::vector<uint8_t> all(256);
        for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
        auto copy = all;
        ASSERT_TRUE(scramble_bytes(copy, seed));
        ASSERT_TRUE(unscramble_bytes(copy, seed));
        EXPECT_EQ(copy, all) << seed;
    }
}

TEST(Scramble, SeedsBelowTheTableRangeAreRefused) {
    EXPECT_FALSE(scramble_forward_table(-64250));
    EXPECT_FALSE(scramble_forward_table(INT32_MIN));
    std::vector<uint8_t> b{1, 2, 3};
    EXPECT_FALSE(unscramble_bytes(b, -70000));
    EXPECT_EQ(b, (std::vector<uint8_t>{1, 2, 3}));
}
