// Decoders against real files made by ImageMagick from reference images that
// the tests write themselves; damaged copies must be refused without a crash.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <map>
#include <random>

#include "image/picture_file.h"
#include "picture_test_util.h"

namespace kx {
namespace {

using test::compare;
using test::px;

#define REQUIRE_CONVERT()                                                                     \
    if (!test::have_convert()) {                                                              \
        GTEST_SKIP() << "ImageMagick's convert is not installed; picture file tests skipped"; \
    }                                                                                         \
    static_assert(true)

// ---- reference images -------------------------------------------------------

CBitmap32 many_colours(int w,
                       int h) {  // at most w*h colours; fits a 256-colour palette for small sizes
    CBitmap32 img = CBitmap32::blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) =
                px(255, (x * 37 + y * 11) & 255, (y * 53 + x * 5) & 255, (x * y * 29 + 7) & 255);
    return img;
}

CBitmap32 sixteen_colours(int w, int h) {
    static const uint32_t pal[16] = {0x000000, 0xFFFFFF, 0xC00000, 0x00C000, 0x0000C0, 0xC0C000,
                                     0x00C0C0, 0xC000C0, 0x808080, 0x400000, 0x004000, 0x000040,
                                     0xFF8000, 0x80FF00, 0x0080FF, 0x604020};
    CBitmap32 img = CBitmap32::blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = 0xFF000000u | pal[(x + 3 * y + x * y) % 16];
    return img;
}

CBitmap32 two_colours(int w, int h) {
    CBitmap32 img = CBitmap32::blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) = (x * x + y) % 3 == 0 ? px(255, 200, 30, 60) : px(255, 10, 220, 90);
    return img;
}

CBitmap32 with_alpha(int w, int h) {  // every alpha from 0 to 255 appears in large enough images
    CBitmap32 img = many_colours(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) = (img.at(x, y) & 0xFFFFFF) | (uint32_t((x * 51 + y * 97) % 256) << 24);
    img.at(0, 0) &= 0xFFFFFF;
    img.at(1, 0) |= 0xFF000000u;
    return img;
}

CBitmap32 binary_alpha(int w, int h) {  // see-through or opaque, 16 colours
    CBitmap32 img = sixteen_colours(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 5 == 0) img.at(x, y) = 0;
    return img;
}

CBitmap32 smooth(int w, int h) {  // gentle gradients survive lossy compression
    CBitmap32 img = CBitmap32::blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) = px(255, x * 255 / (w - 1), y * 255 / (h - 1), 128 + (x - y) * 2);
    return img;
}

CBitmap32 greys(int w, int h) {
    CBitmap32 img = CBitmap32::blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = (x * 17 + y * 41) & 255;
            img.at(x, y) = px(255, v, v, v);
        }
    return img;
}

using Decoder = std::function<std::optional<DecodedPicture>(std::span<const uint8_t>)>;
const Decoder kBmp = decode_bmp, kPng = decode_png, kJpeg = decode_jpeg, kIco = decode_ico;
const Decoder kGif = [](std::span<const uint8_t> b) -> std::optional<DecodedPicture> {
    auto f = decode_gif_frames(b);
    if (f.empty()) return std::nullopt;
    return f.front();
};

// Truncated copies must be refused; copies with random bytes changed may
// decode to anything sane but must not crash or allocate absurdly.
void check_damaged(const std::string& name, const std::vector<uint8_t>& file, const Decoder& dec) {
    for (size_t cut : {size_t(0), size_t(1), size_t(8), size_t(20), size_t(40), file.size() / 2,
                       file.size() * 9 / 10}) {
        if (cut >= file.size()) continue;
        std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut));
        EXPECT_FALSE(dec(part).has_value()) << name << " cut to " << cut << " bytes";
        EXPECT_FALSE(decode_picture(part).has_value()) << name << " cut to " << cut << " bytes";
    }
    std::mt19937 rng(12345);
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> bad = file;
        int changes = 1 + round % 4;
        for (int i = 0; i < changes; ++i) {
            // Mostly the first bytes, where the headers are.
            size_t limit = round % 2 ? std::min<size_t>(bad.size(), 128) : bad.size();
            bad[rng() % limit] = static_cast<uint8_t>(rng());
        }
        auto pic = dec(bad);
        if (pic) {
            ASSERT_TRUE(pic->image.exists) << name;
            ASSERT_EQ(pic->image.pixels.size(), size_t(pic->image.width) * pic->image.height)
                << name;
        }
        (void)decode_picture(bad);
    }
}

// ---- single pictures made by convert -----------------------------------------

struct ConvertCase {
    const char* name;
    CBitmap32 (*source)(int, int);
    int w, h;
    bool source_alpha;    // the reference carries alpha (written as PAM)
    const char* options;  // between the input and the output file
    const char* output;   // format prefix and extension
    Decoder decoder;
    int tolerance;        // per channel
    bool want_alpha;      // has_alpha and the alpha values are checked
    int bmp_bpp;          // for BMP: the bit depth the file must have (0: not checked)
    int bmp_compression;  // for BMP: the compression field (-1: not checked or core header)
};

class ConvertedPicture : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertedPicture, DecodesToTheReferencePixels) {
    REQUIRE_CONVERT();
    const ConvertCase& c = GetParam();
    test::ScratchDir dir;
    CBitmap32 ref = c.source(c.w, c.h);
    std::string src = dir.file(c.source_alpha ? "src.pam" : "src.ppm"),
                out = dir.file(std::string("out.") + c.output);
    test::write_netpbm(src, ref, c.source_alpha);
    std::string target = c.output;
    target = target.substr(0, target.find('.')) + ":" + out;
    ASSERT_TRUE(test::run_convert(src + " " + c.options + " " + target))
        << "convert failed for " << c.name;
    std::vector<uint8_t> file = test::read_file(out);
    ASSERT_GT(file.size(), 30u);

    if (c.bmp_bpp) {
        uint32_t hs = file[14] | file[15] << 8;
        int bpp = hs == 12 ? file[24] : file[28];
        ASSERT_EQ(bpp, c.bmp_bpp) << "convert did not make the variant under test";
        if (c.bmp_compression >= 0) {
            ASSERT_EQ(file[30], c.bmp_compression);
        }
    }

    auto pic = c.decoder(file);
    ASSERT_TRUE(pic.has_value()) << c.name;
    EXPECT_EQ(pic->has_alpha, c.want_alpha) << c.name;
    test::Diff d = compare(pic->image, ref, c.want_alpha, c.tolerance);
    EXPECT_LE(d.max_diff, c.tolerance) << c.name << " first at " << d.first;

    auto sniffed = decode_picture(file);
    ASSERT_TRUE(sniffed.has_value()) << c.name;
    EXPECT_EQ(sniffed->image.pixels, pic->image.pixels);

    check_damaged(c.name, file, c.decoder);
}

// ImageMagick picks the palette depth from the number of colours. It reduces
// channels to 5 or 4 bits by truncation, hence the tolerances there.
const ConvertCase kConvertCases[] = {
    {"bmp_core_24", many_colours, 13, 7, false, "", "BMP2.bmp", kBmp, 0, false, 24, -1},
    {"bmp_core_8", many_colours, 13, 7, false, "-type palette", "BMP2.bmp", kBmp, 0, false, 8, -1},
    {"bmp_24", many_colours, 13, 7, false, "", "BMP3.bmp", kBmp, 0, false, 24, 0},
    {"bmp_8", many_colours, 13, 7, false, "-type palette -compress None", "BMP3.bmp", kBmp, 0,
     false, 8, 0},
    {"bmp_4", sixteen_colours, 13, 7, false, "-type palette", "BMP3.bmp", kBmp, 0, false, 4, 0},
    {"bmp_1", two_colours, 13, 7, false, "-type palette", "BMP3.bmp", kBmp, 0, false, 1, 0},
    {"bmp_rle8", many_colours, 13, 7, false, "-type palette -compress RLE", "BMP3.bmp", kBmp, 0,
     false, 8, 1},
    {"bmp_rle8_runs", sixteen_colours, 40, 9, false,
     "-type palette -colors 200 -compress RLE -depth 8", "BMP3.bmp", kBmp, 0, false, 8, 1},
    {"bmp_v5_24", many_colours, 13, 7, false, "", "BMP.bmp", kBmp, 0, false, 24, 0},
    {"bmp_rgb565", many_colours, 13, 7, false, "-define bmp:subtype=RGB565", "BMP.bmp", kBmp, 8,
     false, 16, 3},
    {"bmp_rgb555", many_colours, 13, 7, false, "-define bmp:subtype=RGB555", "BMP.bmp", kBmp, 8,
     false, 16, 3},
    {"bmp_argb4444", with_alpha, 13, 7, true, "-define bmp:subtype=ARGB4444", "BMP.bmp", kBmp, 17,
     true, 16, 3},
    {"bmp_argb32", with_alpha, 13, 7, true, "", "BMP.bmp", kBmp, 0, true, 32, 3},
    {"png_rgba", with_alpha, 13, 7, true, "", "PNG32.png", kPng, 0, true, 0, -1},
    {"png_rgb", many_colours, 13, 7, false, "", "PNG24.png", kPng, 0, false, 0, -1},
    {"png_palette_trns", binary_alpha, 13, 7, true, "", "PNG8.png", kPng, 0, true, 0, -1},
    {"png_grey", greys, 13, 7, false, "-colorspace Gray", "PNG.png", kPng, 0, false, 0, -1},
    {"png_16bit", with_alpha, 13, 7, true, "", "PNG64.png", kPng, 1, true, 0, -1},
    {"png_interlaced", with_alpha, 13, 7, true, "-interlace PNG", "PNG32.png", kPng, 0, true, 0,
     -1},
    {"jpeg_baseline", smooth, 40, 24, false, "-quality 95", "JPG.jpg", kJpeg, 24, false, 0, -1},
    {"jpeg_progressive", smooth, 40, 24, false, "-quality 95 -interlace JPEG", "JPG.jpg", kJpeg, 24,
     false, 0, -1},
    {"jpeg_grey", greys, 40, 24, false, "-quality 95 -colorspace Gray", "JPG.jpg", kJpeg, 24, false,
     0, -1},
    {"jpeg_cmyk", smooth, 40, 24, false, "-quality 95 -colorspace CMYK", "JPG.jpg", kJpeg, 32,
     false, 0, -1},
    {"gif_still", many_colours, 13, 7, false, "", "GIF.gif", kGif, 0, false, 0, -1},
    {"gif_interlaced", many_colours, 13, 7, false, "-interlace GIF", "GIF.gif", kGif, 0, false, 0,
     -1},
    {"gif_transparent", binary_alpha, 13, 7, true, "", "GIF.gif", kGif, 0, true, 0, -1},
    {"ico_32bit", with_alpha, 32, 32, true, "", "ICO.ico", kIco, 0, true, 0, -1},
    {"ico_palette_mask", binary_alpha, 16, 16, true, "-type PaletteAlpha", "ICO.ico", kIco, 0, true,
     0, -1},
    {"ico_png_entry", with_alpha, 256, 256, true, "", "ICO.ico", kIco, 0, true, 0, -1},
};

INSTANTIATE_TEST_SUITE_P(Files, ConvertedPicture, ::testing::ValuesIn(kConvertCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the rest of the decoders' behaviour --------------------------------------

TEST(Jpeg, StaysCloseOnAverage) {
    REQUIRE_CONVERT();
    test::ScratchDir dir;
    CBitmap32 ref = smooth(40, 24);
    test::write_netpbm(dir.file("s.ppm"), ref, false);
    ASSERT_TRUE(test::run_convert(dir.file("s.ppm") + " -quality 95 JPG:" + dir.file("s.jpg")));
    auto pic = decode_jpeg(test::read_file(dir.file("s.jpg")));
    ASSERT_TRUE(pic);
    EXPECT_LT(compare(pic->image, ref, false, 255).mean_diff, 3.0);
}

// An icon with several entries gives the largest one, the deepest of equal sizes.
TEST(Ico, PicksLargestThenDeepestEntry) {
    REQUIRE_CONVERT();
    test::ScratchDir dir;
    CBitmap32 big = with_alpha(32, 32), small = with_alpha(16, 16), big_pal = binary_alpha(32, 32);
    test::write_netpbm(dir.file("small.pam"), small, true);
    test::write_netpbm(dir.file("big.pam"), big, true);
    test::write_netpbm(dir.file("bigpal.pam"), big_pal, true);
    ASSERT_TRUE(test::run_convert(dir.file("small.pam") + " " + dir.file("big.pam") +
                                  " ICO:" + dir.file("a.ico")));
    // The palette entry comes first, the 32-bit one of the same size last.
    ASSERT_TRUE(test::run_convert("\\( " + dir.file("bigpal.pam") + " -type palette \\) " +
                                  dir.file("small.pam") + " " + dir.file("big.pam") +
                                  " ICO:" + dir.file("b.ico")));
    // A cursor is an icon whose directory holds hot spots where icons keep
    // planes and depth.
    std::vector<uint8_t> cur = test::read_file(dir.file("b.ico"));
    cur[2] = 2;
    for (size_t e = 0; e < cur[4]; ++e) {
        cur[6 + 16 * e + 4] = static_cast<uint8_t>(3 * e);
        cur[6 + 16 * e + 6] = static_cast<uint8_t>(40 - e);
    }
    test::write_file(dir.file("c.cur"), cur);
    for (const char* name : {"a.ico", "b.ico", "c.cur"}) {
        auto pic = decode_picture(test::read_file(dir.file(name)));
        ASSERT_TRUE(pic) << name;
        test::Diff d = compare(pic->image, big, true, 0);
        EXPECT_EQ(d.max_diff, 0) << name << " " << d.first;
    }
}

// Frames of different sizes and places, composed with each disposal method and
// a transparent colour. Expected frames are written out by hand below.
TEST(Gif, ComposesAnimatedFramesWithDisposal) {
    REQUIRE_CONVERT();
    test::ScratchDir dir;
    const uint32_t R = px(255, 255, 0, 0), B = px(255, 0, 0, 255), G = px(255, 0, 255, 0),
                   Y = px(255, 255, 255, 0), W = px(255, 255, 255, 255), K = px(255, 0, 0, 0),
                   T = 0;
    CBitmap32 f1 = CBitmap32::blank(6, 4, R);
    f1.at(5, 3) = B;
    f1.at(3, 1) = K;
    CBitmap32 f2 = CBitmap32::blank(2, 2, G);
    CBitmap32 f3 = CBitmap32::blank(2, 2, Y);
    f3.at(0, 0) = T;  // lets frame 1's black pixel at (3, 1) show through
    CBitmap32 f4 = CBitmap32::blank(1, 1, W);
    test::write_netpbm(dir.file("f1.pam"), f1, true);
    test::write_netpbm(dir.file("f2.pam"), f2, true);
    test::write_netpbm(dir.file("f3.pam"), f3, true);
    test::write_netpbm(dir.file("f4.pam"), f4, true);
    ASSERT_TRUE(test::run_convert("-delay 10 -dispose None -page 6x4+0+0 " + dir.file("f1.pam") +
                                  " -dispose Background -page 6x4+1+1 " + dir.file("f2.pam") +
                                  " -dispose Previous -page 6x4+3+1 " + dir.file("f3.pam") +
                                  " -dispose None -page 6x4+0+0 " + dir.file("f4.pam") +
                                  " GIF:" + dir.file("a.gif")));
    std::vector<uint8_t> file = test::read_file(dir.file("a.gif"));

    auto frame = [](std::initializer_list<const char*> rows, std::map<char, uint32_t> key) {
        CBitmap32 img = CBitmap32::blank(6, 4);
        int y = 0;
        for (const char* row : rows) {
            for (int x = 0; x < 6; ++x) img.at(x, y) = key.at(row[x]);
            ++y;
        }
        return img;
    };
    std::map<char, uint32_t> key{{'R', R}, {'B', B}, {'G', G}, {'Y', Y},
                                 {'W', W}, {'K', K}, {'.', T}};
    const CBitmap32 want[4] = {
        frame({"RRRRRR", "RRRKRR", "RRRRRR", "RRRRRB"}, key),
        frame({"RRRRRR", "RGGKRR", "RGGRRR", "RRRRRB"}, key),  // frame 2 covers (1,1)-(2,2)
        frame({"RRRRRR", "R..KYR", "R..YYR", "RRRRRB"},
              key),  // frame 2 cleared; frame 3 with a hole
        frame({"WRRRRR", "R..KRR", "R..RRR", "RRRRRB"}, key),  // frame 3 undone
    };
    std::vector<DecodedPicture> frames = decode_gif_frames(file);
    ASSERT_EQ(frames.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        test::Diff d = compare(frames[i].image, want[i], true, 0);
        EXPECT_EQ(d.max_diff, 0) << "frame " << i + 1 << " " << d.first;
    }
    EXPECT_FALSE(frames[0].has_alpha);
    EXPECT_TRUE(frames[2].has_alpha);

    // The same frames as stored.
    auto raw = decode_gif(file);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->width, 6);
    EXPECT_EQ(raw->height, 4);
    ASSERT_EQ(raw->frames.size(), 4u);
    const struct {
        int left, top, disposal;
        const CBitmap32* image;
    } stored[] = {{0, 0, 1, &f1}, {1, 1, 2, &f2}, {3, 1, 3, &f3}, {0, 0, 1, &f4}};
    for (int i = 0; i < 4; ++i) {
        const GifFrame& f = raw->frames[i];
        EXPECT_EQ(f.left, stored[i].left) << i;
        EXPECT_EQ(f.top, stored[i].top) << i;
        EXPECT_EQ(f.disposal, stored[i].disposal) << i;
        EXPECT_EQ(f.delay, 10) << i;
        EXPECT_EQ(f.has_transparency, i == 2) << i;
        EXPECT_EQ(compare(f.image, *stored[i].image, true, 0).max_diff, 0) << i;
    }
    auto first = decode_picture(file);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->image.pixels, frames[0].image.pixels);
    check_damaged("animated gif", file,
                  [](std::span<const uint8_t> b) -> std::optional<DecodedPicture> {
                      auto f = decode_gif_frames(b);
                      if (f.empty()) return std::nullopt;
                      return f.back();
                  });
}

// Our encoders, read back by ImageMagick: an independent check of what we write.
TEST(Encoders, WriteFilesOthersRead) {
    REQUIRE_CONVERT();
    test::ScratchDir dir;
    CBitmap32 ref = with_alpha(13, 7);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        bool alpha;
    };
    const Case cases[] = {
        {"a.bmp", encode_bmp(ref, false), false},
        {"b.bmp", encode_bmp(ref, true), true},
        {"c.bmp", encode_bmp(ref, false, true), false},
        {"d.png", encode_png(ref), true},
    };
    for (const Case& c : cases) {
        test::write_file(dir.file(c.name), c.file);
        ASSERT_TRUE(test::run_convert(dir.file(c.name) + " -depth 8 PAM:" + dir.file("back.pam")))
            << c.name;
        CBitmap32 back = test::read_pam(dir.file("back.pam"));
        test::Diff d = compare(back, ref, c.alpha, 0);
        EXPECT_EQ(d.max_diff, 0) << c.name << " " << d.first;
        auto ours = decode_picture(c.file);
        ASSERT_TRUE(ours) << c.name;
        EXPECT_EQ(compare(ours->image, ref, c.alpha, 0).max_diff, 0) << c.name;
        EXPECT_EQ(ours->has_alpha, c.alpha) << c.name;
    }
    EXPECT_TRUE(encode_bmp(CBitmap32{}, false).empty());
    EXPECT_TRUE(encode_png(CBitmap32{}).empty());
}

// ---- hand-made files for what ImageMagick does not write ---------------------

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& u8(uint32_t v) {
        b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u16(uint32_t v) { return u8(v & 255).u8(v >> 8); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& raw(std::initializer_list<uint8_t> v) {
        b.insert(b.end(), v);
        return *this;
    }
};

// A file header and BITMAPINFOHEADER for a paletted image.
Bytes bmp_header(int32_t w, int32_t h, int bpp, uint32_t compression, uint32_t colours,
                 uint32_t data_size) {
    Bytes f;
    uint32_t off = 14 + 40 + 4 * colours;
    f.raw({'B', 'M'}).u32(off + data_size).u32(0).u32(off);
    f.u32(40)
        .u32(static_cast<uint32_t>(w))
        .u32(static_cast<uint32_t>(h))
        .u16(1)
        .u16(bpp)
        .u32(compression)
        .u32(data_size)
        .u32(0)
        .u32(0)
        .u32(colours)
        .u32(0);
    return f;
}

TEST(Bmp, RunLengthEscapes) {
    // Palette: 0 black, 1 red, 2 green, 3 blue.
    const uint32_t k = px(255, 0, 0, 0), r = px(255, 255, 0, 0), g = px(255, 0, 255, 0),
                   b = px(255, 0, 0, 255);
    struct Case {
        const char* name;
        int bpp;
        int32_t w, h;
        std::vector<uint8_t> rle;
        std::vector<uint32_t> want;  // empty: refused
    };
    const Case cases[] = {
        {"rle4 every escape",
         4,
         6,
         3,
         {
             0x04, 0x12,              // bottom row: 1 2 1 2
             0x00, 0x00,              // end of line (the rest stays index 0)
             0x00, 0x03, 0x31, 0x20,  // absolute run of 3: 3 1 2, padded to a word
             0x00, 0x02, 0x01, 0x01,  // delta: one right, one up
             0x03, 0x33,              // 3 3 3 from x = 4: clipped at the right edge
             0x00, 0x01,              // end of bitmap
         },
         {k, k, k, k, b, b,  //
          b, r, g, k, k, k,  //
          r, g, r, g, k, k}},
        // An odd absolute run is padded; data that stops right after the last
        // pixel, without an end-of-bitmap mark, is still a whole image.
        {"rle8 odd absolute run",
         8,
         3,
         2,
         {0x00, 0x03, 1, 2, 3, 0x00, 0x00, 0x00, 0x03, 2},
         {g, g, g, r, g, b}},
        {"rle8 stops a row early", 8, 3, 2, {0x00, 0x03, 1, 2, 3, 0x00, 0x00, 0x00}, {}},
        {"rle8 absolute run cut", 8, 3, 2, {0x00, 0x03, 1, 2}, {}},
        {"rle8 delta cut", 8, 3, 2, {0x00, 0x02, 0x01}, {}},
    };
    for (const Case& c : cases) {
        Bytes f =
            bmp_header(c.w, c.h, c.bpp, c.bpp == 4 ? 2 : 1, 4, static_cast<uint32_t>(c.rle.size()));
        for (uint32_t col : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) f.u32(col);  // 0x00RRGGBB
        f.b.insert(f.b.end(), c.rle.begin(), c.rle.end());
        auto pic = decode_bmp(f.b);
        if (c.want.empty()) {
            EXPECT_FALSE(pic.has_value()) << c.name;
            continue;
        }
        ASSERT_TRUE(pic) << c.name;
        EXPECT_EQ(pic->image.pixels, c.want) << c.name;
        check_damaged(c.name, f.b, kBmp);
    }
}

// Header layouts ImageMagick does not write: masks after a 40-byte header, an
// alpha bit-field mask, the spare byte of plain 32-bit pixels, OS/2 2.x, 2-bit
// pixels and a palette shorter than the indexes.
TEST(Bmp, HandMadeHeaderVariants) {
    struct Case {
        const char* name;
        uint32_t header_size;
        int32_t w, h;
        int bpp;
        uint32_t compression, colours;
        std::vector<uint32_t> masks_after_header, palette;  // palette as 0x00RRGGBB
        std::vector<uint8_t> rows;                          // as stored, bottom row first
        std::vector<uint32_t> want;                         // top row first
        bool want_alpha;
    };
    const uint32_t grey565 = px(255, 132, 130, 132);
    CBitmap32 embedded = CBitmap32::blank(2, 1);
    embedded.pixels = {px(10, 1, 2, 3), px(255, 4, 5, 6)};
    const Case cases[] = {
        {"565 masks after header",
         40,
         2,
         2,
         16,
         3,
         0,
         {0xF800, 0x07E0, 0x001F},
         {},
         {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84},
         {px(255, 0, 0, 255), grey565, px(255, 255, 0, 0), px(255, 0, 255, 0)},
         false},
        {"alpha bit fields",
         40,
         1,
         1,
         32,
         6,
         0,
         {0xFF, 0xFF00, 0xFF0000, 0xFF000000},
         {},
         {10, 20, 30, 40},
         {px(40, 10, 20, 30)},
         true},
        {"32-bit spare byte unused",
         40,
         2,
         1,
         32,
         0,
         0,
         {},
         {},
         {1, 2, 3, 0, 4, 5, 6, 0},
         {px(255, 3, 2, 1), px(255, 6, 5, 4)},
         false},
        {"32-bit spare byte used",
         40,
         2,
         1,
         32,
         0,
         0,
         {},
         {},
         {1, 2, 3, 0, 4, 5, 6, 9},
         {px(0, 3, 2, 1), px(9, 6, 5, 4)},
         true},
        {"os2 2.x header", 64, 1, 1, 24, 0, 0, {}, {}, {7, 8, 9, 0}, {px(255, 9, 8, 7)}, false},
        {"2-bit",
         40,
         3,
         1,
         2,
         0,
         4,
         {},
         {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
         {0x18, 0, 0, 0},
         {px(255, 0, 0, 0), px(255, 255, 0, 0), px(255, 0, 255, 0)},
         false},
        {"short palette",
         40,
         3,
         1,
         8,
         0,
         2,
         {},
         {0xFF0000, 0x00FF00},
         {0, 1, 5, 0},
         {px(255, 255, 0, 0), px(255, 0, 255, 0), px(255, 0, 0, 0)},
         false},
        {"embedded png", 40, 2, 1, 0, 5, 0, {}, {}, encode_png(embedded), embedded.pixels, true},
    };
    for (const Case& c : cases) {
        Bytes f;
        uint32_t off = 14 + c.header_size +
                       4 * static_cast<uint32_t>(c.masks_after_header.size() + c.palette.size());
        f.raw({'B', 'M'}).u32(off + static_cast<uint32_t>(c.rows.size())).u32(0).u32(off);
        f.u32(c.header_size)
            .u32(static_cast<uint32_t>(c.w))
            .u32(static_cast<uint32_t>(c.h))
            .u16(1)
            .u16(c.bpp)
            .u32(c.compression)
            .u32(static_cast<uint32_t>(c.rows.size()))
            .u32(0)
            .u32(0)
            .u32(c.colours)
            .u32(0);
        for (uint32_t i = 40; i < c.header_size; ++i) f.u8(0);
        for (uint32_t m : c.masks_after_header) f.u32(m);
        for (uint32_t p : c.palette) f.u32(p);
        f.b.insert(f.b.end(), c.rows.begin(), c.rows.end());
        auto pic = decode_bmp(f.b);
        ASSERT_TRUE(pic) << c.name;
        EXPECT_EQ(pic->image.pixels, c.want) << c.name;
        EXPECT_EQ(pic->has_alpha, c.want_alpha) << c.name;
    }
}

TEST(Bmp, TopDownRows) {
    CBitmap32 ref = many_colours(5, 4);
    std::vector<uint8_t> file = encode_bmp(ref, false, true);
    ASSERT_LT(static_cast<int32_t>(file[22] | file[23] << 8 | file[24] << 16 | file[25] << 24), 0);
    auto pic = decode_bmp(file);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->image.pixels, ref.pixels);
}

// Files that lie about their sizes are refused before anything is allocated.
TEST(Damaged, HeadersThatLie) {
    CBitmap32 ref = many_colours(13, 7);
    const std::vector<uint8_t> bmp = encode_bmp(ref, false), png = encode_png(ref);
    struct Patch {
        const char* name;
        const std::vector<uint8_t>* file;
        size_t at;
        std::vector<uint8_t> bytes;
    };
    // A patched PNG header gets its checksum mended, so that the size check is what refuses it.
    auto mend_png_crc = [](std::vector<uint8_t>& f) {
        uint32_t crc = static_cast<uint32_t>(crc32(0, f.data() + 12, 17));
        for (int i = 0; i < 4; ++i) f[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    };
    const Patch patches[] = {
        {"bmp width 2^31-1", &bmp, 18, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"bmp width 0", &bmp, 18, {0, 0, 0, 0}},
        {"bmp height beyond data", &bmp, 22, {0, 0x40, 0, 0}},
        {"bmp height INT_MIN", &bmp, 22, {0, 0, 0, 0x80}},
        {"bmp 16384 square", &bmp, 18, {0, 0x40, 0, 0, 0, 0x40, 0, 0}},
        {"bmp depth 7", &bmp, 28, {7, 0}},
        {"bmp compression 9", &bmp, 30, {9, 0, 0, 0}},
        {"bmp rle8 at 24 bits", &bmp, 30, {1, 0, 0, 0}},
        {"bmp pixels beyond the end", &bmp, 10, {0xFF, 0xFF, 0, 0}},
        {"bmp header size huge", &bmp, 14, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"png width 2^30", &png, 16, {0x40, 0, 0, 0}},
        {"png height 0", &png, 20, {0, 0, 0, 0}},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> f = *p.file;
        std::copy(p.bytes.begin(), p.bytes.end(), f.begin() + static_cast<ptrdiff_t>(p.at));
        if (p.file == &png) mend_png_crc(f);
        EXPECT_FALSE(decode_picture(f).has_value()) << p.name;
    }

    // A tiny RLE8 file claiming 2^28 pixels.
    Bytes rle = bmp_header(16384, 16384, 8, 1, 2, 4);
    rle.u32(0).u32(0xFFFFFF).raw({0, 0, 0, 1});
    EXPECT_FALSE(decode_bmp(rle.b).has_value());

    // Icons: more entries than the file holds, an entry beyond the end.
    Bytes ico;
    ico.u16(0).u16(1).u16(1000);
    EXPECT_FALSE(decode_ico(ico.b).has_value());
    Bytes ico2;
    ico2.u16(0).u16(1).u16(1).raw({16, 16, 0, 0}).u16(1).u16(32).u32(1000).u32(22);
    EXPECT_FALSE(decode_ico(ico2.b).has_value());

    // A GIF whose screen is 65535 square but whose file is a few bytes.
    Bytes gif;
    gif.raw({'G', 'I', 'F', '8', '9', 'a'})
        .u16(65535)
        .u16(65535)
        .raw({0, 0, 0})
        .raw({0x2C})
        .u16(0)
        .u16(0)
        .u16(65535)
        .u16(65535)
        .raw({0, 2, 2, 0x4C, 0x01, 0, 0x3B});
    EXPECT_TRUE(decode_gif_frames(gif.b).empty());

    for (const char* junk :
         {"", "B", "BM", "GIF89a", "\x89PNG", "\xFF\xD8\xFF", "hello world, not a picture"})
        EXPECT_FALSE(
            decode_picture(std::span(reinterpret_cast<const uint8_t*>(junk), std::strlen(junk)))
                .has_value());
}

TEST(Sniff, ByLeadingBytesNotByName) {
    const struct {
        std::vector<uint8_t> head;
        PictureFormat want;
    } cases[] = {
        {{'B', 'M', 0, 0}, PictureFormat::Bmp},
        {{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, PictureFormat::Png},
        {{0xFF, 0xD8, 0xFF, 0xE0}, PictureFormat::Jpeg},
        {{'G', 'I', 'F', '8', '7', 'a'}, PictureFormat::Gif},
        {{0, 0, 1, 0, 1, 0}, PictureFormat::Ico},
        {{0, 0, 2, 0, 1, 0}, PictureFormat::Ico},
        {{0xD7, 0xCD, 0xC6, 0x9A}, PictureFormat::Metafile},
        {{'G', 'I', 'F', '9', '0', 'a'}, PictureFormat::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(sniff_picture(c.head), c.want);
}

}  // namespace
}  // namespace kx
