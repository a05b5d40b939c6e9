#pragma once
// The drawing device behind the seam: the operations the drawing code needs
// from a hardware device with a fixed-function pipeline. Conventions are the
// device's, not the backend's:
//  - row vectors: a point p is drawn at p x World x View x Projection;
//    matrices are left-handed, m[row][col], translation in row 3;
//  - after projection, x and y in -1..1 map to the viewport with +y up and
//    pixel centres at integer viewport coordinates (pixel (0,0) covers
//    -0.5..0.5); depth 0..1 after projection, cleared to 1;
//  - colours are 32-bit A8R8G8B8 values (alpha in the top byte, blue in the
//    low byte), pixel rows run top to bottom;
//  - texture and target ids are opaque ints, -1 means none.
// Everything drawn is batched; a read-back, a present, or any state that
// changes what the pending vertices would look like flushes the batch first.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kx {

struct Matrix4 {
    float m[4][4];
};

struct DeviceRect {
    int x = 0, y = 0, w = 0, h = 0;
};

// Numbering is the device's and also the script-level pr_* constants'.
enum class PrimitiveKind {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6
};

// Numbering is the device's and also the script-level bm_* factor constants'.
enum class BlendFactor {
    Zero = 1,
    One,
    SrcColor,
    InvSrcColor,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
    InvDestAlpha,
    DestColor,
    InvDestColor,
    SrcAlphaSat
};

enum class CompareFunc {
    Never = 1,
    Less,
    Equal,
    LessEqual,
    Greater,
    NotEqual,
    GreaterEqual,
    Always
};
enum class TextureFilter { Nearest, Linear };
enum class TextureAddress { Wrap, Clamp };
// Stage 0: modulate = texture x diffuse (colour and alpha); select = texture only.
enum class TextureOp { Modulate, SelectTexture };
// Which screen-space winding is culled (screen y grows downwards).
enum class CullMode { None, Clockwise, CounterClockwise };
enum class ShadeMode { Flat, Gouraud };
enum class FogMode { None, Vertex, Table };
enum class TransformKind { World, View, Projection };
enum class LightType { Point, Directional };

// Vertex formats drawn from memory: position, optional normal, diffuse
// colour, optional texture coordinates. Layouts are fixed (tests rely on it).
struct VertexC {
    float x, y, z;
    uint32_t colour;
};
struct VertexCT {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
struct VertexNC {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
};
struct VertexNCT {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
    float u, v;
};

// A device light. Only diffuse light is modelled: the callers never set an
// ambient level, a material or specular colours.
struct DeviceLight {
    LightType type = LightType::Directional;
    float diffuse[3] = {1, 1, 1};    // r, g, b in 0..1
    float position[3] = {0, 0, 0};   // world space, point lights
    float direction[3] = {0, 0, 1};  // world space, directional lights
    float range = 0;
    float attenuation0 = 0, attenuation1 = 0, attenuation2 = 0;
};

struct FogState {
    FogMode mode = FogMode::None;
    bool range = false;        // vertex fog by distance instead of depth
    uint32_t colour = 0;       // A8R8G8B8, alpha ignored
    float start = 0, end = 1;  // linear fog, in view-space units
};

struct DeviceCaps {
    bool table_fog = false, vertex_fog = false, range_fog = false;
    int max_texture_size = 0;
    bool pow2_textures = true;  // granted sizes are powers of two
    int max_lights = 8;
};

struct DeviceConfig {
    // Window to present into: an SDL_Window* made with the flags of
    // gl_window_flags() (opaque above the seam); null renders offscreen.
    void* window = nullptr;
    int width = 640, height = 480;  // back buffer
    bool depth_buffer = false;      // 16-bit depth when set
    int swap_interval = 0;          // 1 waits for the vertical blank
    // Offscreen only: the size of the presented image (defaults to the back buffer).
    int present_width = 0, present_height = 0;
};

struct DrawStats {
    uint64_t draw_calls = 0;  // calls that reached GL
    uint64_t primitives = 0;  // draw() calls accepted
    uint64_t vertices = 0;    // vertices sent to GL
    uint64_t read_backs = 0;
    uint64_t presents = 0;
};

// Which buffer a read-back or copy addresses: the back buffer, the presented
// window image, or a texture id.
constexpr int kBackBuffer = -1;
constexpr int kWindowImage = -2;

class IDrawDevice {
public:
    virtual ~IDrawDevice() = default;

    // New back-buffer size and depth buffer. Render states, transforms and
    // lights return to their defaults; render-target textures are destroyed
    // (their ids become invalid); other textures survive.
    virtual bool reset(const DeviceConfig& config, std::string* error) = 0;
    virtual const DeviceCaps& caps() const = 0;
    virtual int back_buffer_width() const = 0;
    virtual int back_buffer_height() const = 0;

    virtual bool begin_frame() = 0;
    virtual void end_frame() = 0;
    // Clears the current viewport of the current target.
    virtual void clear(bool colour, bool depth, uint32_t argb, float z = 1.0f) = 0;
    // In pixels of the current target; false (and unchanged) when it does not fit.
    virtual bool set_viewport(const DeviceRect& rect, float min_z = 0.0f, float max_z = 1.0f) = 0;
    virtual DeviceRect viewport() const = 0;

    virtual void set_transform(TransformKind kind, const Matrix4& m) = 0;
    virtual Matrix4 transform(TransformKind kind) const = 0;

    // Render states (defaults in brackets).
    virtual void set_blend_enable(bool on) = 0;  // [off]
    // Values outside 1..11 leave the factor unchanged.
    virtual void set_blend_factors(BlendFactor src, BlendFactor dest) = 0;  // [one, zero]
    virtual void set_alpha_test(bool on, CompareFunc func, int ref) = 0;    // [off, always, 0]
    virtual void set_texture_filter(TextureFilter filter) = 0;              // [nearest]
    virtual void set_texture_address(TextureAddress address) = 0;           // [wrap]
    virtual void set_texture_op(TextureOp op) = 0;                          // [modulate]
    virtual void set_z_enable(bool on) = 0;                                 // [on if depth buffer]
    virtual void set_z_write(bool on) = 0;                                  // [on]
    virtual void set_cull(CullMode mode) = 0;                               // [counter-clockwise]
    virtual void set_lighting(bool on) = 0;                                 // [on]
    virtual void set_shading(ShadeMode mode) = 0;                           // [Gouraud]
    virtual void set_fog(const FogState& fog) = 0;                          // [none]
    virtual void set_light(int index, const DeviceLight& light) = 0;
    // Enabling an index never defined makes it a white directional light
    // shining along +z. False when max_lights are already on.
    virtual bool enable_light(int index, bool on) = 0;

    // The size a texture of at least w x h gets; false when it cannot exist.
    virtual bool grant_texture_size(int w, int h, int* granted_w, int* granted_h) const = 0;
    // Id, or -1. Its contents start transparent black.
    virtual int create_texture(int w, int h, bool render_target) = 0;
    // Fills the rectangle (0, 0, w, h) of the texture from A8R8G8B8 rows of
    // pitch_pixels; false when it does not fit.
    virtual bool upload_texture(int id, const uint32_t* pixels, int w, int h, int pitch_pixels) = 0;
    // The same into the rectangle (x, y, w, h).
    virtual bool upload_texture_at(int id, int x, int y, const uint32_t* pixels, int w, int h,
                                   int pitch_pixels) = 0;
    virtual void destroy_texture(int id) = 0;
    virtual bool texture_exists(int id) const = 0;
    virtual bool texture_size(int id, int* w, int* h) const = 0;
    virtual void set_texture(int id) = 0;  // stage 0; -1 or unknown: none
    virtual int texture() const = 0;

    // Drawing into a render-target texture and back. Both set the viewport to
    // the whole new target; a target has no depth buffer.
    virtual bool set_render_target(int texture_id) = 0;
    virtual void reset_render_target() = 0;
    virtual int render_target() const = 0;  // -1: the back buffer

    virtual void draw(PrimitiveKind kind, std::span<const VertexC> v) = 0;
    virtual void draw(PrimitiveKind kind, std::span<const VertexCT> v) = 0;
    virtual void draw(PrimitiveKind kind, std::span<const VertexNC> v) = 0;
    virtual void draw(PrimitiveKind kind, std::span<const VertexNCT> v) = 0;

    // Reads a rectangle of kBackBuffer, kWindowImage or a texture as
    // A8R8G8B8 rows of pitch_pixels; false when it leaves the buffer.
    virtual bool read_pixels(int source, const DeviceRect& rect, uint32_t* out,
                             int pitch_pixels) = 0;
    // Copies a rectangle between textures or the back buffer, unscaled.
    virtual bool copy_rect(int source, const DeviceRect& rect, int dest, int dx, int dy) = 0;

    // Copies a back-buffer rectangle, scaled, into a rectangle of the window
    // (top-left origin); what earlier presents put elsewhere stays.
    virtual bool present(const DeviceRect& source, const DeviceRect& dest,
                         TextureFilter filter) = 0;
    // Fills a rectangle of the window image (top-left origin) with a colour;
    // it shows with the next present.
    virtual bool fill_window(const DeviceRect& rect, uint32_t argb) = 0;
    virtual bool set_swap_interval(int interval) = 0;
    virtual int present_width() const = 0;
    virtual int present_height() const = 0;

    virtual const DrawStats& stats() const = 0;
    virtual void reset_stats() = 0;
};

// OpenGL 3.3 core. With config.window null the device makes its own hidden
// context (SDL's offscreen driver when video is not yet started).
std::unique_ptr<IDrawDevice> create_gl_draw_device(const DeviceConfig& config, std::string* error);

// SDL window flags a window needs so that create_gl_draw_device can draw into it;
// call gl_prepare_window_attributes() before creating that window.
uint32_t gl_window_flags();
void gl_prepare_window_attributes();

}  // namespace kx
