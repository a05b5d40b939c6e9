// Draw through the real OpenGL device offscreen and read the pixels back.
// There is no skip: without a GL context every test here fails.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/matrix.h"
#include "platform/draw_device.h"

namespace kx {
namespace {

constexpr uint32_t argb(int a, int r, int g, int b) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}
int chan(uint32_t c, int shift) {
    return int(c >> shift) & 255;
}

class GlDevice : public ::testing::Test {
protected:
    static constexpr int kW = 64, kH = 48;

    void SetUp() override { open({}); }

    void open(DeviceConfig config) {
        dev.reset();
        if (config.width == 640 && config.height == 480) config.width = kW, config.height = kH;
        std::string error;
        dev = create_gl_draw_device(config, &error);
        ASSERT_TRUE(dev) << "no OpenGL 3.3 context: " << error;
        // The runner's 2D defaults.
        dev->set_blend_enable(true);
        dev->set_blend_factors(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
        dev->set_lighting(false);
        dev->set_cull(CullMode::None);
        dev->set_texture_address(TextureAddress::Clamp);
        project_2d(dev->back_buffer_width(), dev->back_buffer_height());
    }

    // The room rectangle (0, 0, w, h) shown in the whole viewport, y down.
    void project_2d(int w, int h) {
        dev->set_transform(
            TransformKind::View,
            matrix_look_at_lh({w / 2.0f, h / 2.0f, -16000}, {w / 2.0f, h / 2.0f, 0}, {0, 1, 0}));
        dev->set_transform(TransformKind::Projection,
                           matrix_ortho_lh(float(w), -float(h), 1, 32000));
    }

    // A quad as the sprite code builds it: corners shifted by -0.5.
    void quad(float x, float y, float w, float h, uint32_t colour, float u1 = 0, float v1 = 0,
              float u2 = 1, float v2 = 1, float z = 0) {
        const VertexCT v[4] = {{x - 0.5f, y - 0.5f, z, colour, u1, v1},
                               {x + w - 0.5f, y - 0.5f, z, colour, u2, v1},
                               {x + w - 0.5f, y + h - 0.5f, z, colour, u2, v2},
                               {x - 0.5f, y + h - 0.5f, z, colour, u1, v2}};
        dev->draw(PrimitiveKind::TriangleFan, std::span<const VertexCT>(v));
    }

    std::vector<uint32_t> read(int source, DeviceRect r) {
        std::vector<uint32_t> px(size_t(r.w) * r.h, 0xdeadbeef);
        EXPECT_TRUE(dev->read_pixels(source, r, px.data(), r.w));
        return px;
    }
    uint32_t pixel(int x, int y, int source = kBackBuffer) { return read(source, {x, y, 1, 1})[0]; }

    std::unique_ptr<IDrawDevice> dev;
};

std::vector<uint32_t> pattern(int w, int h, bool opaque) {
    std::vector<uint32_t> px(size_t(w) * h);
    uint32_t s = 12345;
    for (uint32_t& p : px) {
        s = s * 1103515245 + 12345;
        p = (s >> 8) & 0xffffff;
        p |= opaque ? 0xff000000u : (s & 0xff000000u);
    }
    return px;
}

TEST_F(GlDevice, TexturedQuadAtIntegerPositionReproducesTheImage) {
    const int iw = 5, ih = 3;
    const std::vector<uint32_t> img = pattern(iw, ih, true);
    int id = dev->create_texture(iw, ih, false);
    ASSERT_GE(id, 0);
    int tw, th;
    ASSERT_TRUE(dev->texture_size(id, &tw, &th));
    EXPECT_EQ(tw, 8);
    EXPECT_EQ(th, 4);
    ASSERT_TRUE(dev->upload_texture(id, img.data(), iw, ih, iw));

    struct Case {
        TextureFilter filter;
        int scale;
    };
    for (Case c : {Case{TextureFilter::Nearest, 1}, Case{TextureFilter::Linear, 1},
                   Case{TextureFilter::Nearest, 2}, Case{TextureFilter::Nearest, 3}}) {
        SCOPED_TRACE(testing::Message()
                     << "linear " << (c.filter == TextureFilter::Linear) << " scale " << c.scale);
        const uint32_t back = argb(255, 9, 8, 7);
        dev->clear(true, false, back);
        dev->set_texture_filter(c.filter);
        dev->set_texture(id);
        const int x0 = 11, y0 = 6;
        quad(x0, y0, float(iw * c.scale), float(ih * c.scale), 0xffffffff, 0, 0, float(iw) / tw,
             float(ih) / th);
        std::vector<uint32_t> got = read(kBackBuffer, {0, 0, kW, kH});
        int wrong = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                int ix = (x - x0), iy = (y - y0);
                bool inside = ix >= 0 && iy >= 0 && ix < iw * c.scale && iy < ih * c.scale;
                uint32_t want = inside ? img[size_t(iy / c.scale) * iw + ix / c.scale] : back;
                wrong += got[size_t(y) * kW + x] != want;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(GlDevice, TextureAddressAndStageOperation) {
    dev->set_blend_enable(false);
    const uint32_t red = argb(255, 200, 0, 0), green = argb(255, 0, 200, 0);
    // One row of two texels, uploaded from rows with a pitch of three.
    const uint32_t rows[3] = {red, green, 0x12345678};
    int id = dev->create_texture(2, 1, false);
    ASSERT_TRUE(dev->upload_texture(id, rows, 2, 1, 3));
    dev->set_texture(id);
    struct Case {
        TextureAddress address;
        TextureOp op;
        uint32_t colour;
        uint32_t want[4];
        TextureFilter filter = TextureFilter::Nearest;
    };
    const uint32_t half = argb(255, 128, 128, 128);
    const Case cases[] = {
        {TextureAddress::Wrap, TextureOp::Modulate, 0xffffffff, {red, green, red, green}},
        {TextureAddress::Clamp, TextureOp::Modulate, 0xffffffff, {red, green, green, green}},
        {TextureAddress::Clamp, TextureOp::SelectTexture, half, {red, green, green, green}},
        {TextureAddress::Wrap,
         TextureOp::Modulate,
         half,
         {argb(255, 100, 0, 0), argb(255, 0, 100, 0), argb(255, 100, 0, 0), argb(255, 0, 100, 0)}},
        // Two texels over four pixels, filtered: pixel centres fall a quarter
        // texel either side of the texel centres.
        {TextureAddress::Clamp,
         TextureOp::Modulate,
         0xffffffff,
         {red, argb(255, 150, 50, 0), argb(255, 50, 150, 0), green},
         TextureFilter::Linear},
    };
    for (const Case& c : cases) {
        dev->set_texture_address(c.address);
        dev->set_texture_op(c.op);
        dev->set_texture_filter(c.filter);
        dev->clear(true, false, 0xff000000);
        const float u = c.filter == TextureFilter::Linear ? 1 : 2;
        quad(2, 2, 4, 1, c.colour, 0, 0, u, 1);
        std::vector<uint32_t> got = read(kBackBuffer, {2, 2, 4, 1});
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(chan(got[i], 16), chan(c.want[i], 16), 1) << int(c.address) << " " << i;
            EXPECT_NEAR(chan(got[i], 8), chan(c.want[i], 8), 1) << int(c.address) << " " << i;
        }
    }
}

TEST_F(GlDevice, BlendFactorsGiveTheComputedColour) {
    const uint32_t dst = argb(255, 200, 40, 90);
    struct Case {
        BlendFactor src, dest;
        double (*fs)(int s, int d, double a);  // source weight per channel
        double (*fd)(int s, int d, double a);  // destination weight
    };
    const Case cases[] = {
        {BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, [](int, int, double a) { return a; },
         [](int, int, double a) { return 1 - a; }},
        {BlendFactor::SrcAlpha, BlendFactor::One, [](int, int, double a) { return a; },
         [](int, int, double) { return 1.0; }},
        {BlendFactor::SrcAlpha, BlendFactor::InvSrcColor, [](int, int, double a) { return a; },
         [](int s, int, double) { return 1 - s / 255.0; }},
        {BlendFactor::Zero, BlendFactor::InvSrcColor, [](int, int, double) { return 0.0; },
         [](int s, int, double) { return 1 - s / 255.0; }},
        {BlendFactor::DestColor, BlendFactor::Zero, [](int, int d, double) { return d / 255.0; },
         [](int, int, double) { return 0.0; }},
        // The back buffer has no alpha channel: destination alpha is 1.
        {BlendFactor::InvDestAlpha, BlendFactor::DestAlpha, [](int, int, double) { return 0.0; },
         [](int, int, double) { return 1.0; }},
    };
    for (const Case& c : cases) {
        for (int a : {0, 1, 100, 128, 254, 255}) {
            SCOPED_TRACE(testing::Message()
                         << "factors " << int(c.src) << "," << int(c.dest) << " alpha " << a);
            dev->clear(true, false, dst);
            dev->set_blend_factors(c.src, c.dest);
            const uint32_t src = argb(a, 10, 220, 130);
            quad(4, 4, 8, 8, src);
            uint32_t got = pixel(7, 7);
            for (int shift : {16, 8, 0}) {
                int s = chan(src, shift), d = chan(dst, shift);
                double want = s * c.fs(s, d, a / 255.0) + d * c.fd(s, d, a / 255.0);
                want = std::min(255.0, want);
                EXPECT_NEAR(chan(got, shift), want, 1.0) << "channel " << shift;
            }
        }
    }
    // A factor number the device does not know leaves the factor as it was.
    dev->set_blend_factors(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    dev->set_blend_factors(static_cast<BlendFactor>(12), static_cast<BlendFactor>(0));
    dev->clear(true, false, dst);
    quad(4, 4, 8, 8, argb(128, 10, 220, 130));
    EXPECT_NEAR(chan(pixel(7, 7), 8), 220 * 128 / 255.0 + 40 * 127 / 255.0, 1.0);
}

TEST_F(GlDevice, RenderTargetDrawnIntoAndReadBack) {
    int rt = dev->create_texture(20, 10, true);
    ASSERT_GE(rt, 0);
    int tw, th;
    ASSERT_TRUE(dev->texture_size(rt, &tw, &th));
    ASSERT_EQ(tw, 32);
    ASSERT_EQ(th, 16);
    // Fresh textures are transparent black.
    EXPECT_EQ(pixel(3, 3, rt), 0u);

    dev->clear(true, false, argb(255, 0, 0, 255));
    ASSERT_TRUE(dev->set_render_target(rt));
    EXPECT_EQ(dev->render_target(), rt);
    EXPECT_EQ(dev->viewport().w, 32);
    EXPECT_EQ(dev->viewport().h, 16);
    project_2d(32, 16);
    dev->clear(true, false, argb(128, 255, 0, 0));  // a target keeps its alpha
    dev->set_blend_enable(false);
    quad(2, 3, 4, 2, argb(255, 0, 255, 0));
    dev->reset_render_target();
    EXPECT_EQ(dev->render_target(), -1);
    EXPECT_EQ(dev->viewport().w, kW);

    std::vector<uint32_t> got = read(rt, {0, 0, 32, 16});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            bool green = x >= 2 && x < 6 && y >= 3 && y < 5;
            ASSERT_EQ(got[size_t(y) * 32 + x], green ? argb(255, 0, 255, 0) : argb(128, 255, 0, 0))
                << x << "," << y;
        }
    // The back buffer was left alone, then shows the target's texels through
    // a selecting stage.
    EXPECT_EQ(pixel(3, 4), argb(255, 0, 0, 255));
    project_2d(kW, kH);
    dev->set_texture(rt);
    dev->set_texture_op(TextureOp::SelectTexture);
    quad(10, 10, 32, 16, 0xff000000);
    EXPECT_EQ(pixel(10 + 2, 10 + 3), argb(255, 0, 255, 0));
    EXPECT_EQ(pixel(10, 10), argb(255, 255, 0, 0));

    // Copies between targets are exact; a reset destroys targets only.
    int rt2 = dev->create_texture(32, 16, true);
    int plain = dev->create_texture(4, 4, false);
    ASSERT_TRUE(dev->copy_rect(rt, {2, 3, 4, 2}, rt2, 10, 1));
    EXPECT_EQ(pixel(11, 2, rt2), argb(255, 0, 255, 0));
    EXPECT_EQ(pixel(14, 1, rt2), 0u);
    EXPECT_FALSE(dev->copy_rect(rt, {30, 0, 4, 2}, rt2, 0, 0));
    std::string error;
    ASSERT_TRUE(dev->reset({nullptr, 32, 24}, &error)) << error;
    EXPECT_FALSE(dev->texture_exists(rt));
    EXPECT_FALSE(dev->texture_exists(rt2));
    EXPECT_TRUE(dev->texture_exists(plain));
    EXPECT_EQ(dev->back_buffer_width(), 32);
    EXPECT_FALSE(dev->set_render_target(plain));
}

TEST_F(GlDevice, QuadsWithOneTextureAndStateAreOneDrawCall) {
    int a = dev->create_texture(8, 8, false);
    int b = dev->create_texture(8, 8, false);
    const std::vector<uint32_t> white(64, 0xffffffff);
    ASSERT_TRUE(dev->upload_texture(a, white.data(), 8, 8, 8));
    ASSERT_TRUE(dev->upload_texture(b, white.data(), 8, 8, 8));
    dev->clear(true, false, 0xff000000);
    dev->reset_stats();

    dev->set_texture(a);
    for (int i = 0; i < 200; ++i) {
        quad(float(i % 60), float(i % 40), 4, 4, 0xffffffff);
        dev->set_blend_enable(true);  // unchanged states do not break a batch
        dev->set_texture(a);
    }
    EXPECT_EQ(dev->stats().draw_calls, 0u) << "nothing reaches GL before a flush";
    dev->end_frame();
    EXPECT_EQ(dev->stats().draw_calls, 1u);
    EXPECT_EQ(dev->stats().vertices, 200u * 6);

    // Each texture switch, state change or read-back starts a new call.
    dev->reset_stats();
    for (int i = 0; i < 10; ++i) {
        dev->set_texture(i % 2 ? b : a);
        quad(1, 1, 4, 4, 0xffffffff);
    }
    dev->set_texture_filter(TextureFilter::Linear);
    quad(1, 1, 4, 4, 0xffffffff);
    EXPECT_EQ(dev->stats().draw_calls, 10u);
    EXPECT_EQ(pixel(2, 2), 0xffffffffu);  // the read-back flushed the last quad
    EXPECT_EQ(dev->stats().draw_calls, 11u);
    EXPECT_EQ(dev->stats().read_backs, 1u);
    // Points, lines and triangles are drawn apart even with one state.
    dev->reset_stats();
    const VertexC pts[2] = {{1, 1, 0, 0xffffffff}, {3, 3, 0, 0xffffffff}};
    dev->draw(PrimitiveKind::PointList, std::span<const VertexC>(pts));
    dev->draw(PrimitiveKind::LineList, std::span<const VertexC>(pts));
    dev->draw(PrimitiveKind::PointList, std::span<const VertexC>(pts));
    dev->end_frame();
    EXPECT_EQ(dev->stats().draw_calls, 3u);
}

TEST_F(GlDevice, CullingJudgesWindingOnScreen) {
    // quad() runs top-left, top-right, bottom-right: clockwise on screen.
    struct Case {
        CullMode cull;
        bool reversed, visible;
    };
    const Case cases[] = {{CullMode::CounterClockwise, false, true},
                          {CullMode::CounterClockwise, true, false},
                          {CullMode::Clockwise, false, false},
                          {CullMode::Clockwise, true, true},
                          {CullMode::None, true, true}};
    for (const Case& c : cases) {
        dev->clear(true, false, 0xff000000);
        dev->set_cull(c.cull);
        VertexC v[4] = {{3.5f, 3.5f, 0, 0xffffffff},
                        {11.5f, 3.5f, 0, 0xffffffff},
                        {11.5f, 11.5f, 0, 0xffffffff},
                        {3.5f, 11.5f, 0, 0xffffffff}};
        if (c.reversed) std::swap(v[1], v[3]);
        dev->draw(PrimitiveKind::TriangleFan, std::span<const VertexC>(v));
        EXPECT_EQ(pixel(7, 7) == 0xffffffffu, c.visible)
            << int(c.cull) << " reversed " << c.reversed;
    }
    // A strip's odd triangles count as wound like its first one: both halves
    // of a clockwise strip survive counter-clockwise culling.
    dev->set_cull(CullMode::CounterClockwise);
    dev->clear(true, false, 0xff000000);
    const VertexC strip[4] = {{3.5f, 3.5f, 0, 0xffffffff},
                              {19.5f, 3.5f, 0, 0xffffffff},
                              {3.5f, 11.5f, 0, 0xffffffff},
                              {19.5f, 11.5f, 0, 0xffffffff}};
    dev->draw(PrimitiveKind::TriangleStrip, std::span<const VertexC>(strip));
    EXPECT_EQ(pixel(5, 5), 0xffffffffu);
    EXPECT_EQ(pixel(18, 10), 0xffffffffu);
}

TEST_F(GlDevice, StripsFansAndFlatShadingKeepTheFirstVertex) {
    dev->set_blend_enable(false);
    dev->set_shading(ShadeMode::Flat);
    const uint32_t red = argb(255, 255, 0, 0), green = argb(255, 0, 255, 0),
                   blue = argb(255, 0, 0, 255), white = 0xffffffff;
    dev->clear(true, false, 0xff000000);
    // A strip of two triangles over (4..20, 4..12): first vertex of each.
    const VertexC strip[4] = {{3.5f, 3.5f, 0, red},
                              {3.5f, 11.5f, 0, green},
                              {19.5f, 3.5f, 0, blue},
                              {19.5f, 11.5f, 0, white}};
    dev->draw(PrimitiveKind::TriangleStrip, std::span<const VertexC>(strip));
    EXPECT_EQ(pixel(5, 5), red);
    EXPECT_EQ(pixel(18, 10), green);
    // A fan's triangle i is flat in the colour of vertex i + 1.
    const VertexC fan[4] = {{30.5f, 3.5f, 0, red},
                            {46.5f, 3.5f, 0, green},
                            {46.5f, 19.5f, 0, blue},
                            {30.5f, 19.5f, 0, white}};
    dev->draw(PrimitiveKind::TriangleFan, std::span<const VertexC>(fan));
    EXPECT_EQ(pixel(44, 6), green);
    EXPECT_EQ(pixel(33, 17), blue);
    // Gouraud interpolates.
    dev->set_shading(ShadeMode::Gouraud);
    dev->clear(true, false, 0xff000000);
    const VertexC line[2] = {{0, 30, 0, argb(255, 0, 0, 0)}, {40, 30, 0, argb(255, 200, 0, 0)}};
    dev->draw(PrimitiveKind::LineStrip, std::span<const VertexC>(line));
    EXPECT_NEAR(chan(pixel(20, 30), 16), 100, 6);
}

TEST_F(GlDevice, PerVertexDiffuseLighting) {
    dev->set_blend_enable(false);
    dev->set_lighting(true);
    DeviceLight sun;
    sun.type = LightType::Directional;
    sun.diffuse[0] = 0.5f, sun.diffuse[1] = 1.0f, sun.diffuse[2] = 0.25f;
    sun.direction[2] = 4;  // into the screen; not normalised on purpose
    dev->set_light(0, sun);
    ASSERT_TRUE(dev->enable_light(0, true));
    auto lit = [&](float nx, float ny, float nz, uint32_t colour) {
        dev->clear(true, false, argb(255, 1, 2, 3));
        const VertexNC v[4] = {{3.5f, 3.5f, 0, nx, ny, nz, colour},
                               {11.5f, 3.5f, 0, nx, ny, nz, colour},
                               {11.5f, 11.5f, 0, nx, ny, nz, colour},
                               {3.5f, 11.5f, 0, nx, ny, nz, colour}};
        dev->draw(PrimitiveKind::TriangleFan, std::span<const VertexNC>(v));
        return pixel(7, 7);
    };
    auto near = [](uint32_t got, int r, int g, int b) {
        return std::abs(chan(got, 16) - r) <= 1 && std::abs(chan(got, 8) - g) <= 1 &&
               std::abs(chan(got, 0) - b) <= 1;
    };
    const uint32_t grey = argb(255, 200, 200, 200);
    EXPECT_TRUE(near(lit(0, 0, -1, grey), 100, 200, 50));
    const float h = std::sqrt(0.5f);  // 45 degrees away from the light
    EXPECT_TRUE(near(lit(h, 0, -h, grey), 71, 141, 35));
    EXPECT_TRUE(near(lit(0, 0, 1, grey), 0, 0, 0)) << "facing away";
    EXPECT_TRUE(near(lit(0, 0, 0, grey), 0, 0, 0)) << "no normal, no light";
    // Normals are not renormalised: a long normal over-brightens, clamped.
    EXPECT_TRUE(near(lit(0, 0, -2, grey), 200, 255, 100));

    // A point light falls off by its attenuation and stops at its range.
    ASSERT_TRUE(dev->enable_light(0, false));
    DeviceLight lamp;
    lamp.type = LightType::Point;
    lamp.position[0] = 7, lamp.position[1] = 7, lamp.position[2] = -100;
    lamp.range = 150;
    lamp.attenuation0 = 1;
    lamp.attenuation1 = 4.0f / 150;
    dev->set_light(5, lamp);
    ASSERT_TRUE(dev->enable_light(5, true));
    EXPECT_TRUE(near(lit(0, 0, -1, grey), 200 / 3.6667, 200 / 3.6667, 200 / 3.6667));
    lamp.range = 90;
    dev->set_light(5, lamp);
    EXPECT_TRUE(near(lit(0, 0, -1, grey), 0, 0, 0));

    // At most eight lights at once; an undefined index is a white light along +z.
    ASSERT_TRUE(dev->enable_light(5, false));
    ASSERT_TRUE(dev->enable_light(42, true));
    EXPECT_TRUE(near(lit(0, 0, -1, grey), 200, 200, 200));
    for (int i = 100; i < 107; ++i) ASSERT_TRUE(dev->enable_light(i, true));
    EXPECT_FALSE(dev->enable_light(107, true));
}

TEST_F(GlDevice, LinearFogByViewDepth) {
    dev->set_blend_enable(false);
    // The 2D camera sits 16000 in front of the z = 0 plane.
    for (FogMode mode : {FogMode::Vertex, FogMode::Table}) {
        FogState fog;
        fog.mode = mode;
        fog.colour = argb(0, 0, 0, 255);
        fog.start = 15000;
        fog.end = 17000;
        dev->set_fog(fog);
        dev->clear(true, false, 0xff000000);
        quad(4, 4, 8, 8, argb(255, 255, 0, 0));
        uint32_t got = pixel(7, 7);
        EXPECT_NEAR(chan(got, 16), 128, 2) << int(mode);
        EXPECT_NEAR(chan(got, 0), 128, 2) << int(mode);
    }
    dev->set_fog({});
    quad(4, 4, 8, 8, argb(255, 255, 0, 0));
    EXPECT_EQ(pixel(7, 7), argb(255, 255, 0, 0));
}

TEST_F(GlDevice, AlphaTestAndDepthBuffer) {
    DeviceConfig config;
    config.width = kW;
    config.height = kH;
    config.depth_buffer = true;
    open(config);
    dev->set_blend_enable(false);
    const uint32_t red = argb(255, 255, 0, 0), green = argb(255, 0, 255, 0);
    // Depth is on by default with a depth buffer: the nearer quad wins
    // whatever the order.
    dev->clear(true, true, 0xff000000);
    quad(4, 4, 8, 8, red, 0, 0, 1, 1, -10);
    quad(4, 4, 8, 8, green, 0, 0, 1, 1, 10);
    EXPECT_EQ(pixel(7, 7), red);
    dev->set_z_enable(false);
    quad(4, 4, 8, 8, green, 0, 0, 1, 1, 10);
    EXPECT_EQ(pixel(7, 7), green);

    // Alpha test "greater than 0": invisible pixels write neither colour nor depth.
    dev->set_z_enable(true);
    dev->set_alpha_test(true, CompareFunc::Greater, 0);
    dev->clear(true, true, 0xff000000);
    quad(4, 4, 8, 8, argb(0, 0, 0, 255), 0, 0, 1, 1, -10);
    EXPECT_EQ(pixel(7, 7), 0xff000000u);
    quad(4, 4, 8, 8, green, 0, 0, 1, 1, 10);
    EXPECT_EQ(pixel(7, 7), green);
    // With z writes off a quad is drawn but leaves no depth behind.
    dev->set_z_write(false);
    quad(4, 4, 8, 8, red, 0, 0, 1, 1, -10);
    dev->set_z_write(true);
    quad(4, 4, 8, 8, green, 0, 0, 1, 1, 5);
    EXPECT_EQ(pixel(7, 7), green);
}

TEST_F(GlDevice, PresentsScaleAndBuildUpInTheWindowImage) {
    DeviceConfig config;
    config.width = 16;
    config.height = 8;
    config.present_width = 40;
    config.present_height = 20;
    open(config);
    EXPECT_EQ(dev->present_width(), 40);
    const uint32_t red = argb(255, 255, 0, 0), blue = argb(255, 0, 0, 255);
    dev->clear(true, false, red);
    ASSERT_TRUE(dev->present({0, 0, 16, 8}, {4, 2, 32, 16}, TextureFilter::Nearest));
    dev->clear(true, false, blue);
    // The right half only: the left half keeps the earlier frame.
    ASSERT_TRUE(dev->present({8, 0, 8, 8}, {20, 2, 16, 16}, TextureFilter::Nearest));
    EXPECT_EQ(dev->stats().presents, 2u);
    EXPECT_EQ(pixel(4, 2, kWindowImage), red);
    EXPECT_EQ(pixel(19, 17, kWindowImage), red);
    EXPECT_EQ(pixel(20, 2, kWindowImage), blue);
    EXPECT_EQ(pixel(35, 17, kWindowImage), blue);
    EXPECT_EQ(pixel(3, 2, kWindowImage), 0xff000000u);
    EXPECT_EQ(pixel(36, 18, kWindowImage), 0xff000000u);
    EXPECT_FALSE(dev->present({8, 0, 9, 8}, {0, 0, 4, 4}, TextureFilter::Nearest));
}

TEST_F(GlDevice, RejectsWhatDoesNotFit) {
    uint32_t px[4] = {};
    EXPECT_FALSE(dev->read_pixels(kBackBuffer, {kW - 1, 0, 2, 1}, px, 2));
    EXPECT_FALSE(dev->read_pixels(kBackBuffer, {-1, 0, 1, 1}, px, 1));
    EXPECT_FALSE(dev->read_pixels(12345, {0, 0, 1, 1}, px, 1));
    EXPECT_FALSE(dev->set_viewport({0, 0, kW + 1, kH}));
    EXPECT_TRUE(dev->set_viewport({8, 8, 16, 16}));
    EXPECT_EQ(dev->create_texture(0, 4, false), -1);
    EXPECT_EQ(dev->create_texture(1 << 20, 4, false), -1);
    EXPECT_EQ(dev->create_texture(4, -3, true), -1);
    int id = dev->create_texture(3, 3, false);
    ASSERT_GE(id, 0);
    const std::vector<uint32_t> img(25, 0xffffffff);
    EXPECT_FALSE(dev->upload_texture(id, img.data(), 5, 5, 5));
    dev->destroy_texture(id);
    EXPECT_FALSE(dev->texture_exists(id));
    dev->set_texture(id);
    EXPECT_EQ(dev->texture(), -1);
    std::string error;
    EXPECT_EQ(create_gl_draw_device({nullptr, 0, 10}, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(GlDevice, ViewportMapsPixelCentresAndClearsOnlyItself) {
    dev->set_blend_enable(false);
    dev->clear(true, false, 0xff000000);
    ASSERT_TRUE(dev->set_viewport({10, 20, 16, 8}));
    project_2d(16, 8);
    dev->clear(true, false, argb(255, 0, 0, 255));
    quad(0, 0, 1, 1, 0xffffffff);   // the top-left pixel of the viewport
    quad(15, 7, 1, 1, 0xffffffff);  // and its bottom-right one
    std::vector<uint32_t> got = read(kBackBuffer, {0, 0, kW, kH});
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            bool in = x >= 10 && x < 26 && y >= 20 && y < 28;
            bool dot = (x == 10 && y == 20) || (x == 25 && y == 27);
            uint32_t want = dot ? 0xffffffff : in ? argb(255, 0, 0, 255) : 0xff000000;
            ASSERT_EQ(got[size_t(y) * kW + x], want) << x << "," << y;
        }
}

}  // namespace
}  // namespace kx
