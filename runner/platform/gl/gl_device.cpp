// The drawing device on OpenGL 3.3 core. The device's back buffer is a
// framebuffer object of the configured size; present() scales a rectangle of
// it into a window-sized image that keeps what earlier presents left (partial
// presents build up, as transitions need) and shows that image in the window.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/draw_device.h"
#include "platform/gl/gl_shaders.h"

namespace kx {

namespace {

// The largest texture side granted; keeps a script's surface_create from
// asking for gigabytes even where GL would allow it.
constexpr int kMaxGrantedSide = 8192;
// Flushing at this many batched vertices keeps the upload buffer bounded.
constexpr size_t kMaxBatchVertices = 1 << 16;

struct GlVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
    float u, v;
};

GlVertex to_gl(const VertexC& s) {
    return {s.x, s.y, s.z, 0, 0, 0, s.colour, 0, 0};
}
GlVertex to_gl(const VertexCT& s) {
    return {s.x, s.y, s.z, 0, 0, 0, s.colour, s.u, s.v};
}
GlVertex to_gl(const VertexNC& s) {
    return {s.x, s.y, s.z, s.nx, s.ny, s.nz, s.colour, 0, 0};
}
GlVertex to_gl(const VertexNCT& s) {
    return {s.x, s.y, s.z, s.nx, s.ny, s.nz, s.colour, s.u, s.v};
}

Matrix4 identity() {
    Matrix4 r{};
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1;
    return r;
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

// Operations report their own GL errors only.
void clear_gl_errors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

bool same(const Matrix4& a, const Matrix4& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

GLenum gl_blend(BlendFactor f) {
    switch (f) {
        case BlendFactor::Zero:
            return GL_ZERO;
        case BlendFactor::One:
            return GL_ONE;
        case BlendFactor::SrcColor:
            return GL_SRC_COLOR;
        case BlendFactor::InvSrcColor:
            return GL_ONE_MINUS_SRC_COLOR;
        case BlendFactor::SrcAlpha:
            return GL_SRC_ALPHA;
        case BlendFactor::InvSrcAlpha:
            return GL_ONE_MINUS_SRC_ALPHA;
        case BlendFactor::DestAlpha:
            return GL_DST_ALPHA;
        case BlendFactor::InvDestAlpha:
            return GL_ONE_MINUS_DST_ALPHA;
        case BlendFactor::DestColor:
            return GL_DST_COLOR;
        case BlendFactor::InvDestColor:
            return GL_ONE_MINUS_DST_COLOR;
        case BlendFactor::SrcAlphaSat:
            return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

bool valid_factor(BlendFactor f) {
    int v = static_cast<int>(f);
    return v >= 1 && v <= 11;
}

GLenum gl_class(PrimitiveKind kind) {
    switch (kind) {
        case PrimitiveKind::PointList:
            return GL_POINTS;
        case PrimitiveKind::LineList:
        case PrimitiveKind::LineStrip:
            return GL_LINES;
        default:
            return GL_TRIANGLES;
    }
}

// Everything a batch is drawn with besides its vertices.
struct DrawState {
    bool blend = false;
    BlendFactor src = BlendFactor::One, dest = BlendFactor::Zero;
    bool alpha_test = false;
    CompareFunc alpha_func = CompareFunc::Always;
    int alpha_ref = 0;
    TextureFilter filter = TextureFilter::Nearest;
    TextureAddress address = TextureAddress::Wrap;
    TextureOp op = TextureOp::Modulate;
    bool z_enable = false, z_write = true;
    CullMode cull = CullMode::CounterClockwise;
    bool lighting = true;
    ShadeMode shade = ShadeMode::Gouraud;
    FogState fog;
};

struct LightSlot {
    DeviceLight light;
    bool enabled = false;
};

struct Texture {
    GLuint name = 0;
    GLuint fbo = 0;  // render targets, and textures once read or copied
    int w = 0, h = 0;
    bool render_target = false;
    bool exists = false;
};

class GlDrawDevice final : public IDrawDevice {
public:
    ~GlDrawDevice() override { shutdown(); }

    bool init(const DeviceConfig& config, std::string* error);

    bool reset(const DeviceConfig& config, std::string* error) override;
    const DeviceCaps& caps() const override { return m_caps; }
    int back_buffer_width() const override { return m_config.width; }
    int back_buffer_height() const override { return m_config.height; }

    bool begin_frame() override {
        make_current();
        return m_context != nullptr;
    }
    // Other windows (the loading window, dialogs) draw with contexts of their
    // own; every entry that reaches GL makes ours current again.
    void make_current() {
        if (m_context && SDL_GL_GetCurrentContext() != m_context)
            SDL_GL_MakeCurrent(m_window, m_context);
    }
    void end_frame() override { flush(); }
    void clear(bool colour, bool depth, uint32_t argb, float z) override;
    bool set_viewport(const DeviceRect& rect, float min_z, float max_z) override;
    DeviceRect viewport() const override { return m_viewport; }

    void set_transform(TransformKind kind, const Matrix4& m) override;
    Matrix4 transform(TransformKind kind) const override { return m_transforms[int(kind)]; }

    void set_blend_enable(bool on) override { change(m_state.blend, on); }
    void set_blend_factors(BlendFactor src, BlendFactor dest) override {
        if (valid_factor(src)) change(m_state.src, src);
        if (valid_factor(dest)) change(m_state.dest, dest);
    }
    void set_alpha_test(bool on, CompareFunc func, int ref) override {
        change(m_state.alpha_test, on);
        if (int(func) >= 1 && int(func) <= 8) change(m_state.alpha_func, func);
        change(m_state.alpha_ref, std::clamp(ref, 0, 255));
    }
    void set_texture_filter(TextureFilter f) override { change(m_state.filter, f); }
    void set_texture_address(TextureAddress a) override { change(m_state.address, a); }
    void set_texture_op(TextureOp op) override { change(m_state.op, op); }
    void set_z_enable(bool on) override { change(m_state.z_enable, on); }
    void set_z_write(bool on) override { change(m_state.z_write, on); }
    void set_cull(CullMode mode) override { change(m_state.cull, mode); }
    void set_lighting(bool on) override { change(m_state.lighting, on); }
    void set_shading(ShadeMode mode) override { change(m_state.shade, mode); }
    void set_fog(const FogState& fog) override;
    void set_light(int index, const DeviceLight& light) override;
    bool enable_light(int index, bool on) override;

    bool grant_texture_size(int w, int h, int* gw, int* gh) const override;
    int create_texture(int w, int h, bool render_target) override;
    bool upload_texture(int id, const uint32_t* pixels, int w, int h, int pitch) override {
        return upload_texture_at(id, 0, 0, pixels, w, h, pitch);
    }
    bool upload_texture_at(int id, int x, int y, const uint32_t* pixels, int w, int h,
                           int pitch) override;
    void destroy_texture(int id) override;
    bool texture_exists(int id) const override { return find(id) != nullptr; }
    bool texture_size(int id, int* w, int* h) const override;
    void set_texture(int id) override;
    int texture() const override { return m_texture; }

    bool set_render_target(int id) override;
    void reset_render_target() override;
    int render_target() const override { return m_target; }

    void draw(PrimitiveKind k, std::span<const VertexC> v) override { add(k, v); }
    void draw(PrimitiveKind k, std::span<const VertexCT> v) override { add(k, v); }
    void draw(PrimitiveKind k, std::span<const VertexNC> v) override { add(k, v); }
    void draw(PrimitiveKind k, std::span<const VertexNCT> v) override { add(k, v); }

    bool read_pixels(int source, const DeviceRect& rect, uint32_t* out, int pitch) override;
    bool copy_rect(int source, const DeviceRect& rect, int dest, int dx, int dy) override;

    bool present(const DeviceRect& source, const DeviceRect& dest, TextureFilter filter) override;
    bool fill_window(const DeviceRect& rect, uint32_t argb) override;
    bool set_swap_interval(int interval) override;
    int present_width() const override { return m_present_w; }
    int present_height() const override { return m_present_h; }

    const DrawStats& stats() const override { return m_stats; }
    void reset_stats() override { m_stats = {}; }

private:
    template <class T>
    void change(T& field, const T& value) {
        if (field == value) return;
        flush();
        field = value;
        m_state_dirty = true;
    }
    template <class V>
    void add(PrimitiveKind kind, std::span<const V> v);
    void flush();
    void apply_state();
    void apply_uniforms();
    void shutdown();
    bool make_buffers(std::string* error);
    void free_buffers();
    void reset_states();
    const Texture* find(int id) const;
    Texture* find(int id) { return const_cast<Texture*>(std::as_const(*this).find(id)); }
    // The framebuffer holding a source or destination, with its size; 0 when unknown.
    GLuint framebuffer_of(int id, int* w, int* h);
    void target_size(int* w, int* h) const;
    bool resize_present_image(int w, int h);
    // The window image takes the window's drawable size.
    bool follow_window_size();
    // One compiled variant of the pipeline shaders, with its uniform locations.
    struct Program {
        GLuint name = 0;
        GLint alpha_func, alpha_ref, fog_colour, fog_params, fog_range, light_atten, light_count,
            light_diffuse, light_pos, normal_matrix, pixel_offset, proj, world_view;
    };
    // The variant for the current state, compiled on first use; null when it
    // does not build (error says why).
    Program* program_for(int key, std::string* error);
    int program_key() const;

    DeviceConfig m_config;
    DeviceCaps m_caps;
    DrawStats m_stats;
    SDL_Window* m_window = nullptr;
    bool m_own_window = false;
    SDL_GLContext m_context = nullptr;

    std::map<int, Program> m_programs;
    Program* m_program = nullptr;
    GLuint m_vao = 0, m_vbo = 0, m_sampler = 0;
    GLuint m_back_fbo = 0, m_back_colour = 0, m_back_depth = 0;
    GLuint m_present_fbo = 0, m_present_colour = 0;
    int m_present_w = 0, m_present_h = 0;

    DrawState m_state;
    bool m_state_dirty = true;
    Matrix4 m_transforms[3];
    bool m_matrices_dirty = true;
    std::map<int, LightSlot> m_lights;
    bool m_lights_dirty = true;
    std::vector<Texture> m_textures;  // id = index + 1
    int m_texture = -1;
    int m_target = -1;
    DeviceRect m_viewport;
    float m_min_z = 0, m_max_z = 1;

    std::vector<GlVertex> m_batch;
    GLenum m_batch_class = GL_TRIANGLES;
};

GLuint compile(GLenum kind, const char* source, std::string* log) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char buf[2048];
        glGetShaderInfoLog(s, sizeof buf, nullptr, buf);
        *log = buf;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

bool GlDrawDevice::init(const DeviceConfig& config, std::string* error) {
    if (config.width < 1 || config.height < 1 || config.width > kMaxGrantedSide ||
        config.height > kMaxGrantedSide) {
        *error = "Invalid back-buffer size.";
        return false;
    }
    m_config = config;
    if (config.window) {
        m_window = static_cast<SDL_Window*>(config.window);
    } else {
        // A context of our own. When nobody has started SDL video yet, prefer
        // the offscreen driver so that a headless run never needs a display.
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
            const char* env = SDL_getenv("SDL_VIDEODRIVER");
            bool started = false;
            if (!env || !*env) {
                SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
                started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
                SDL_ResetHint(SDL_HINT_VIDEODRIVER);
            }
            if (!started && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
                *error = std::string("Cannot start SDL video: ") + SDL_GetError();
                return false;
            }
        }
        // SDL unloads the GL library with the last GL window, and Mesa's
        // driver leaves allocations behind each time it is unloaded. A hold
        // that is never released keeps it (and SDL video) for the process,
        // which also makes the next device quick to create.
        if (SDL_GL_LoadLibrary(nullptr) != 0) {
            *error = std::string("Cannot load OpenGL: ") + SDL_GetError();
            return false;
        }
        gl_prepare_window_attributes();
        m_window = SDL_CreateWindow("kxrun offscreen", 0, 0, 16, 16,
                                    gl_window_flags() | SDL_WINDOW_HIDDEN);
        if (!m_window) {
            *error = std::string("Cannot make an offscreen window: ") + SDL_GetError();
            return false;
        }
        m_own_window = true;
    }
    gl_prepare_window_attributes();
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context) {
        *error = std::string("Cannot create an OpenGL 3.3 core context: ") + SDL_GetError();
        return false;
    }
    SDL_GL_MakeCurrent(m_window, m_context);
    if (epoxy_gl_version() < 33) {
        *error = "OpenGL 3.3 is not available.";
        return false;
    }

    // The plainest variant proves the shaders build here.
    if (!program_for(0, error)) return false;

    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenBuffers(1, &m_vbo);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    auto at = [](size_t off) { return reinterpret_cast<const void*>(off); };
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GlVertex), at(offsetof(GlVertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(GlVertex), at(offsetof(GlVertex, nx)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GlVertex),
                          at(offsetof(GlVertex, colour)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, sizeof(GlVertex), at(offsetof(GlVertex, u)));
    glGenSamplers(1, &m_sampler);
    glBindSampler(0, m_sampler);
    // Flat shading takes the first vertex of each primitive, as the device does.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    // Device winding is judged on screen with y down; our framebuffer rows run
    // top first, so GL's counter-clockwise is the device's clockwise.
    glFrontFace(GL_CCW);

    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    m_caps.max_texture_size = std::min<int>(max_size, kMaxGrantedSide);
    m_caps.table_fog = m_caps.vertex_fog = m_caps.range_fog = true;
    m_caps.pow2_textures = true;
    m_caps.max_lights = 8;

    if (!make_buffers(error)) return false;
    set_swap_interval(config.swap_interval);
    reset_states();
    return true;
}

void GlDrawDevice::shutdown() {
    if (m_context) {
        SDL_GL_MakeCurrent(m_window, m_context);
        for (Texture& t : m_textures) {
            if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
            if (t.name) glDeleteTextures(1, &t.name);
        }
        m_textures.clear();
        free_buffers();
        if (m_sampler) glDeleteSamplers(1, &m_sampler);
        if (m_vbo) glDeleteBuffers(1, &m_vbo);
        if (m_vao) glDeleteVertexArrays(1, &m_vao);
        for (auto& [key, program] : m_programs) glDeleteProgram(program.name);
        m_programs.clear();
        m_program = nullptr;
        SDL_GL_DeleteContext(m_context);
        m_context = nullptr;
    }
    if (m_own_window && m_window) SDL_DestroyWindow(m_window);
    m_window = nullptr;
}

bool GlDrawDevice::make_buffers(std::string* error) {
    glGenFramebuffers(1, &m_back_fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, m_back_fbo);
    glGenRenderbuffers(1, &m_back_colour);
    glBindRenderbuffer(GL_RENDERBUFFER, m_back_colour);
    // No alpha channel, like the display-format back buffer: destination
    // alpha reads as 1 and read-backs give alpha 255.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, m_config.width, m_config.height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_back_colour);
    if (m_config.depth_buffer) {
        glGenRenderbuffers(1, &m_back_depth);
        glBindRenderbuffer(GL_RENDERBUFFER, m_back_depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, m_config.width,
                              m_config.height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  m_back_depth);
    }
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "Failed to initialize drawing surfaces.";
        return false;
    }
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    int pw = m_config.present_width, ph = m_config.present_height;
    if (!m_own_window) SDL_GL_GetDrawableSize(m_window, &pw, &ph);
    if (pw < 1 || ph < 1) pw = m_config.width, ph = m_config.height;
    if (!resize_present_image(pw, ph)) {
        *error = "Failed to initialize drawing surfaces.";
        return false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, m_back_fbo);
    return true;
}

bool GlDrawDevice::resize_present_image(int w, int h) {
    if (m_present_fbo && w == m_present_w && h == m_present_h) return true;
    if (!m_present_fbo) glGenFramebuffers(1, &m_present_fbo);
    if (!m_present_colour) glGenRenderbuffers(1, &m_present_colour);
    glBindFramebuffer(GL_FRAMEBUFFER, m_present_fbo);
    glBindRenderbuffer(GL_RENDERBUFFER, m_present_colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              m_present_colour);
    m_present_w = w;
    m_present_h = h;
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void GlDrawDevice::free_buffers() {
    if (m_back_fbo) glDeleteFramebuffers(1, &m_back_fbo);
    if (m_back_colour) glDeleteRenderbuffers(1, &m_back_colour);
    if (m_back_depth) glDeleteRenderbuffers(1, &m_back_depth);
    if (m_present_fbo) glDeleteFramebuffers(1, &m_present_fbo);
    if (m_present_colour) glDeleteRenderbuffers(1, &m_present_colour);
    m_back_fbo = m_back_colour = m_back_depth = m_present_fbo = m_present_colour = 0;
    m_present_w = m_present_h = 0;
}

void GlDrawDevice::reset_states() {
    m_batch.clear();
    m_state = DrawState{};
    m_state.z_enable = m_config.depth_buffer;
    m_state_dirty = true;
    for (Matrix4& m : m_transforms) m = identity();
    m_matrices_dirty = true;
    m_lights.clear();
    m_lights_dirty = true;
    m_texture = -1;
    m_target = -1;
    glBindFramebuffer(GL_FRAMEBUFFER, m_back_fbo);
    m_viewport = {0, 0, m_config.width, m_config.height};
    m_min_z = 0;
    m_max_z = 1;
    glViewport(0, 0, m_config.width, m_config.height);
    glDepthRange(0, 1);
}

bool GlDrawDevice::reset(const DeviceConfig& config, std::string* error) {
    make_current();
    if (!m_context) {
        *error = "No drawing device.";
        return false;
    }
    if (config.width < 1 || config.height < 1 || config.width > kMaxGrantedSide ||
        config.height > kMaxGrantedSide) {
        *error = "Invalid back-buffer size.";
        return false;
    }
    m_batch.clear();
    for (size_t i = 0; i < m_textures.size(); ++i)
        if (m_textures[i].exists && m_textures[i].render_target) destroy_texture(int(i) + 1);
    free_buffers();
    void* window = m_config.window;
    m_config = config;
    m_config.window = window;
    if (!make_buffers(error)) return false;
    set_swap_interval(config.swap_interval);
    reset_states();
    return true;
}

void GlDrawDevice::target_size(int* w, int* h) const {
    if (const Texture* t = m_target >= 0 ? find(m_target) : nullptr) {
        *w = t->w;
        *h = t->h;
    } else {
        *w = m_config.width;
        *h = m_config.height;
    }
}

void GlDrawDevice::clear(bool colour, bool depth, uint32_t argb, float z) {
    make_current();
    flush();
    if (!colour && !depth) return;
    glEnable(GL_SCISSOR_TEST);
    glScissor(m_viewport.x, m_viewport.y, m_viewport.w, m_viewport.h);
    GLbitfield bits = 0;
    if (colour) {
        glClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f,
                     (argb & 255) / 255.0f, (argb >> 24) / 255.0f);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (depth) {
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        glDepthMask(GL_TRUE);  // GL honours the write mask when clearing
        m_state_dirty = true;
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    glClear(bits);
    glDisable(GL_SCISSOR_TEST);
}

bool GlDrawDevice::set_viewport(const DeviceRect& r, float min_z, float max_z) {
    make_current();
    int tw, th;
    target_size(&tw, &th);
    if (r.x < 0 || r.y < 0 || r.w < 1 || r.h < 1 || r.x + r.w > tw || r.y + r.h > th) return false;
    if (r.x == m_viewport.x && r.y == m_viewport.y && r.w == m_viewport.w && r.h == m_viewport.h &&
        min_z == m_min_z && max_z == m_max_z)
        return true;
    flush();
    m_viewport = r;
    m_min_z = min_z;
    m_max_z = max_z;
    // Rows are stored top first, so the device's top-left origin is GL's.
    glViewport(r.x, r.y, r.w, r.h);
    glDepthRange(min_z, max_z);
    m_matrices_dirty = true;  // the half-pixel offset depends on the size
    return true;
}

void GlDrawDevice::set_transform(TransformKind kind, const Matrix4& m) {
    Matrix4& slot = m_transforms[int(kind)];
    if (same(slot, m)) return;
    flush();
    slot = m;
    m_matrices_dirty = true;
    if (kind == TransformKind::View) m_lights_dirty = true;
}

void GlDrawDevice::set_fog(const FogState& fog) {
    const FogState& f = m_state.fog;
    if (f.mode == fog.mode && f.range == fog.range && f.colour == fog.colour &&
        f.start == fog.start && f.end == fog.end)
        return;
    flush();
    m_state.fog = fog;
    m_state_dirty = true;
}

void GlDrawDevice::set_light(int index, const DeviceLight& light) {
    flush();
    m_lights[index].light = light;
    m_lights_dirty = true;
}

bool GlDrawDevice::enable_light(int index, bool on) {
    auto it = m_lights.find(index);
    if (it != m_lights.end() && it->second.enabled == on) return true;
    if (on) {
        int count = 0;
        for (auto& [i, slot] : m_lights) count += slot.enabled;
        if (count >= m_caps.max_lights) return false;
    }
    flush();
    m_lights[index].enabled = on;  // a new slot holds the default light
    m_lights_dirty = true;
    return true;
}

bool GlDrawDevice::grant_texture_size(int w, int h, int* gw, int* gh) const {
    if (w < 1 || h < 1 || w > m_caps.max_texture_size || h > m_caps.max_texture_size) return false;
    auto pow2 = [](int v) {
        int p = 1;
        while (p < v) p <<= 1;
        return p;
    };
    *gw = pow2(w);
    *gh = pow2(h);
    return *gw <= m_caps.max_texture_size && *gh <= m_caps.max_texture_size;
}

const Texture* GlDrawDevice::find(int id) const {
    if (id < 1 || size_t(id) > m_textures.size()) return nullptr;
    const Texture& t = m_textures[size_t(id) - 1];
    return t.exists ? &t : nullptr;
}

int GlDrawDevice::create_texture(int w, int h, bool render_target) {
    make_current();
    int gw, gh;
    if (!m_context || !grant_texture_size(w, h, &gw, &gh)) return -1;
    size_t slot = 0;
    while (slot < m_textures.size() && m_textures[slot].exists) ++slot;
    if (slot == m_textures.size()) m_textures.emplace_back();
    Texture t;
    clear_gl_errors();
    glGenTextures(1, &t.name);
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, gw, gh, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 nullptr);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &t.name);
        return -1;
    }
    t.w = gw;
    t.h = gh;
    t.render_target = render_target;
    t.exists = true;
    // Contents start defined: transparent black.
    glGenFramebuffers(1, &t.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.name, 0);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    m_textures[slot] = t;
    int dummy;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_of(m_target, &dummy, &dummy));
    // The bound texture of stage 0 may have changed above.
    m_state_dirty = true;
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        destroy_texture(int(slot) + 1);
        return -1;
    }
    return int(slot) + 1;
}

bool GlDrawDevice::upload_texture_at(int id, int x, int y, const uint32_t* pixels, int w, int h,
                                     int pitch) {
    make_current();
    clear_gl_errors();
    Texture* t = find(id);
    if (!t || !pixels || w < 1 || h < 1 || x < 0 || y < 0 || x > t->w - w || y > t->h - h ||
        pitch < w)
        return false;
    if (id == m_texture) flush();
    glBindTexture(GL_TEXTURE_2D, t->name);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_state_dirty = true;
    return glGetError() == GL_NO_ERROR;
}

void GlDrawDevice::destroy_texture(int id) {
    make_current();
    Texture* t = find(id);
    if (!t) return;
    flush();
    if (m_target == id) reset_render_target();
    if (m_texture == id) m_texture = -1;
    if (t->fbo) glDeleteFramebuffers(1, &t->fbo);
    glDeleteTextures(1, &t->name);
    *t = Texture{};
    m_state_dirty = true;
}

bool GlDrawDevice::texture_size(int id, int* w, int* h) const {
    const Texture* t = find(id);
    if (!t) return false;
    *w = t->w;
    *h = t->h;
    return true;
}

void GlDrawDevice::set_texture(int id) {
    if (!find(id)) id = -1;
    change(m_texture, id);
}

GLuint GlDrawDevice::framebuffer_of(int id, int* w, int* h) {
    if (id == kBackBuffer) {
        *w = m_config.width;
        *h = m_config.height;
        return m_back_fbo;
    }
    if (id == kWindowImage) {
        *w = m_present_w;
        *h = m_present_h;
        return m_present_fbo;
    }
    Texture* t = find(id);
    if (!t) return 0;
    *w = t->w;
    *h = t->h;
    return t->fbo;
}

bool GlDrawDevice::set_render_target(int id) {
    make_current();
    Texture* t = find(id);
    if (!t || !t->render_target) return false;
    flush();
    m_target = id;
    glBindFramebuffer(GL_FRAMEBUFFER, t->fbo);
    m_viewport = {};
    set_viewport({0, 0, t->w, t->h}, 0, 1);
    m_state_dirty = true;  // a target has no depth buffer
    return true;
}

void GlDrawDevice::reset_render_target() {
    make_current();
    flush();
    m_target = -1;
    glBindFramebuffer(GL_FRAMEBUFFER, m_back_fbo);
    m_viewport = {};
    set_viewport({0, 0, m_config.width, m_config.height}, 0, 1);
    m_state_dirty = true;
}

template <class V>
void GlDrawDevice::add(PrimitiveKind kind, std::span<const V> v) {
    if (!m_context) return;
    size_t n = v.size();
    size_t out = 0;
    switch (kind) {
        case PrimitiveKind::PointList:
            out = n;
            break;
        case PrimitiveKind::LineList:
            out = n / 2 * 2;
            break;
        case PrimitiveKind::LineStrip:
            out = n >= 2 ? (n - 1) * 2 : 0;
            break;
        case PrimitiveKind::TriangleList:
            out = n / 3 * 3;
            break;
        case PrimitiveKind::TriangleStrip:
        case PrimitiveKind::TriangleFan:
            out = n >= 3 ? (n - 2) * 3 : 0;
            break;
        default:
            return;
    }
    if (out == 0) return;
    GLenum cls = gl_class(kind);
    if (cls != m_batch_class || m_batch.size() + out > kMaxBatchVertices) flush();
    m_batch_class = cls;
    ++m_stats.primitives;
    // Strips and fans become lists; each triangle keeps its winding and its
    // first vertex (the one flat shading takes).
    switch (kind) {
        case PrimitiveKind::PointList:
        case PrimitiveKind::LineList:
        case PrimitiveKind::TriangleList:
            for (size_t i = 0; i < out; ++i) m_batch.push_back(to_gl(v[i]));
            break;
        case PrimitiveKind::LineStrip:
            for (size_t i = 0; i + 1 < n; ++i) {
                m_batch.push_back(to_gl(v[i]));
                m_batch.push_back(to_gl(v[i + 1]));
            }
            break;
        case PrimitiveKind::TriangleStrip:
            for (size_t i = 0; i + 2 < n; ++i) {
                m_batch.push_back(to_gl(v[i]));
                m_batch.push_back(to_gl(v[i % 2 ? i + 2 : i + 1]));
                m_batch.push_back(to_gl(v[i % 2 ? i + 1 : i + 2]));
            }
            break;
        case PrimitiveKind::TriangleFan:
            for (size_t i = 0; i + 2 < n; ++i) {
                m_batch.push_back(to_gl(v[i + 1]));
                m_batch.push_back(to_gl(v[i + 2]));
                m_batch.push_back(to_gl(v[0]));
            }
            break;
    }
}

int GlDrawDevice::program_key() const {
    const DrawState& s = m_state;
    bool textured = find(m_texture) != nullptr;
    return (textured ? 1 : 0) | (textured && s.op == TextureOp::SelectTexture ? 2 : 0) |
           (s.alpha_test && s.alpha_func != CompareFunc::Always ? 4 : 0) |
           (s.shade == ShadeMode::Flat ? 8 : 0) | (s.lighting ? 16 : 0) | (int(s.fog.mode) << 5);
}

GlDrawDevice::Program* GlDrawDevice::program_for(int key, std::string* error) {
    auto it = m_programs.find(key);
    if (it != m_programs.end()) return it->second.name ? &it->second : nullptr;
    Program& p = m_programs[key];  // a failed build stays recorded as name 0
    std::string defines = "#version 330 core\n";
    auto define = [&](const char* name, int value) {
        defines += "#define " + std::string(name) + " " + std::to_string(value) + "\n";
    };
    define("TEXTURED", key & 1);
    define("TEX_SELECT", (key >> 1) & 1);
    define("ALPHA_TEST", (key >> 2) & 1);
    define("FLAT", (key >> 3) & 1);
    define("LIGHTING", (key >> 4) & 1);
    define("FOG_MODE", (key >> 5) & 3);
    std::string log;
    std::string vs_text = defines + gl::kVertexShader, fs_text = defines + gl::kFragmentShader;
    GLuint vs = compile(GL_VERTEX_SHADER, vs_text.c_str(), &log);
    GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, fs_text.c_str(), &log) : 0;
    if (!vs || !fs) {
        if (vs) glDeleteShader(vs);
        *error = "Shader compile failed: " + log;
        return nullptr;
    }
    GLuint prog = glCreateProgram();
    glAttachShader(prog, vs);
    glAttachShader(prog, fs);
    glLinkProgram(prog);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buf[2048];
        glGetProgramInfoLog(prog, sizeof buf, nullptr, buf);
        *error = std::string("Shader link failed: ") + buf;
        glDeleteProgram(prog);
        return nullptr;
    }
    p.name = prog;
    auto loc = [&](const char* name) { return glGetUniformLocation(prog, name); };
    p.alpha_func = loc("u_alpha_func");
    p.alpha_ref = loc("u_alpha_ref");
    p.fog_colour = loc("u_fog_colour");
    p.fog_params = loc("u_fog_params");
    p.fog_range = loc("u_fog_range");
    p.light_atten = loc("u_light_atten");
    p.light_count = loc("u_light_count");
    p.light_diffuse = loc("u_light_diffuse");
    p.light_pos = loc("u_light_pos");
    p.normal_matrix = loc("u_normal_matrix");
    p.pixel_offset = loc("u_pixel_offset");
    p.proj = loc("u_proj");
    p.world_view = loc("u_world_view");
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    glUseProgram(prog);
    glUniform1i(loc("u_tex"), 0);
    glUseProgram(GLuint(current));
    return &p;
}

void GlDrawDevice::apply_state() {
    const DrawState& s = m_state;
    if (s.blend) {
        glEnable(GL_BLEND);
        glBlendFunc(gl_blend(s.src), gl_blend(s.dest));
    } else {
        glDisable(GL_BLEND);
    }
    // Targets have no depth buffer; GL then passes every fragment anyway.
    if (s.z_enable) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(s.z_write && s.z_enable ? GL_TRUE : GL_FALSE);
    if (s.cull == CullMode::None) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(s.cull == CullMode::CounterClockwise ? GL_BACK : GL_FRONT);
    }
    GLint filter = s.filter == TextureFilter::Linear ? GL_LINEAR : GL_NEAREST;
    glSamplerParameteri(m_sampler, GL_TEXTURE_MIN_FILTER, filter);
    glSamplerParameteri(m_sampler, GL_TEXTURE_MAG_FILTER, filter);
    GLint wrap = s.address == TextureAddress::Wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_T, wrap);

    const Texture* t = find(m_texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, t ? t->name : 0);
    std::string error;
    Program* program = program_for(program_key(), &error);
    if (program != m_program) {
        m_program = program;
        if (!program) return;
        glUseProgram(program->name);
        // Uniforms belong to a program: the new one gets everything.
        m_matrices_dirty = m_lights_dirty = true;
    }
    if (!program) return;
    glUniform1i(program->alpha_func, int(s.alpha_func));
    glUniform1f(program->alpha_ref, float(s.alpha_ref));
    glUniform1i(program->fog_range, s.fog.range ? 1 : 0);
    glUniform2f(program->fog_params, s.fog.start, s.fog.end);
    glUniform3f(program->fog_colour, ((s.fog.colour >> 16) & 255) / 255.0f,
                ((s.fog.colour >> 8) & 255) / 255.0f, (s.fog.colour & 255) / 255.0f);
}

void GlDrawDevice::apply_uniforms() {
    const Matrix4& world = m_transforms[int(TransformKind::World)];
    const Matrix4& view = m_transforms[int(TransformKind::View)];
    if (m_matrices_dirty) {
        Matrix4 wv = multiply(world, view);
        glUniformMatrix4fv(m_program->world_view, 1, GL_FALSE, &wv.m[0][0]);
        glUniformMatrix4fv(m_program->proj, 1, GL_FALSE,
                           &m_transforms[int(TransformKind::Projection)].m[0][0]);
        // Normals of row vectors transform by the inverse transpose; GLSL's
        // column form of that is the inverse itself, uploaded row-major.
        const float(*a)[4] = wv.m;
        float c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
        float c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
        float c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
        float det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
        float inv[9] = {};
        if (det != 0) {
            float k = 1 / det;
            inv[0] = c00 * k;
            inv[1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * k;
            inv[2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * k;
            inv[3] = c01 * k;
            inv[4] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * k;
            inv[5] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * k;
            inv[6] = c02 * k;
            inv[7] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * k;
            inv[8] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * k;
        }
        // inv holds the inverse row-major; GL_TRUE hands GLSL that matrix,
        // and the shader's `N * n` is then n x (inverse)^T as rows.
        glUniformMatrix3fv(m_program->normal_matrix, 1, GL_TRUE, inv);
        glUniform2f(m_program->pixel_offset, 1.0f / float(m_viewport.w),
                    1.0f / float(m_viewport.h));
        m_matrices_dirty = false;
    }
    if (m_lights_dirty) {
        float pos[8][4] = {}, diffuse[8][3] = {}, atten[8][4] = {};
        int count = 0;
        for (auto& [index, slot] : m_lights) {
            if (!slot.enabled || count == 8) continue;
            const DeviceLight& l = slot.light;
            if (l.type == LightType::Directional) {
                float d[3];
                for (int j = 0; j < 3; ++j)
                    d[j] = -(l.direction[0] * view.m[0][j] + l.direction[1] * view.m[1][j] +
                             l.direction[2] * view.m[2][j]);
                float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                for (int j = 0; j < 3; ++j) pos[count][j] = len > 0 ? d[j] / len : 0;
                pos[count][3] = 0;
            } else {
                for (int j = 0; j < 3; ++j)
                    pos[count][j] = l.position[0] * view.m[0][j] + l.position[1] * view.m[1][j] +
                                    l.position[2] * view.m[2][j] + view.m[3][j];
                pos[count][3] = 1;
            }
            for (int j = 0; j < 3; ++j) diffuse[count][j] = l.diffuse[j];
            atten[count][0] = l.attenuation0;
            atten[count][1] = l.attenuation1;
            atten[count][2] = l.attenuation2;
            atten[count][3] = l.range;
            ++count;
        }
        glUniform1i(m_program->light_count, count);
        glUniform4fv(m_program->light_pos, 8, &pos[0][0]);
        glUniform3fv(m_program->light_diffuse, 8, &diffuse[0][0]);
        glUniform4fv(m_program->light_atten, 8, &atten[0][0]);
        m_lights_dirty = false;
    }
}

void GlDrawDevice::flush() {
    make_current();
    if (m_batch.empty()) return;
    if (m_state_dirty) {
        apply_state();
        m_state_dirty = false;
    }
    if (!m_program) {  // the variant did not build: nothing can be drawn
        m_batch.clear();
        return;
    }
    apply_uniforms();
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(m_batch.size() * sizeof(GlVertex)), m_batch.data(),
                 GL_STREAM_DRAW);
    glDrawArrays(m_batch_class, 0, GLsizei(m_batch.size()));
    ++m_stats.draw_calls;
    m_stats.vertices += m_batch.size();
    m_batch.clear();
}

bool GlDrawDevice::read_pixels(int source, const DeviceRect& r, uint32_t* out, int pitch) {
    make_current();
    int w = 0, h = 0;
    GLuint fbo = framebuffer_of(source, &w, &h);
    if (!fbo || !out || r.x < 0 || r.y < 0 || r.w < 1 || r.h < 1 || r.x + r.w > w ||
        r.y + r.h > h || pitch < r.w)
        return false;
    flush();
    ++m_stats.read_backs;
    clear_gl_errors();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glPixelStorei(GL_PACK_ROW_LENGTH, pitch);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(r.x, r.y, r.w, r.h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    int dummy;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_of(m_target, &dummy, &dummy));
    return glGetError() == GL_NO_ERROR;
}

bool GlDrawDevice::copy_rect(int source, const DeviceRect& r, int dest, int dx, int dy) {
    make_current();
    int sw = 0, sh = 0, dw = 0, dh = 0;
    if (source == dest || source == kWindowImage || dest == kWindowImage) return false;
    GLuint sfbo = framebuffer_of(source, &sw, &sh);
    GLuint dfbo = framebuffer_of(dest, &dw, &dh);
    if (!sfbo || !dfbo || r.x < 0 || r.y < 0 || r.w < 1 || r.h < 1 || r.x + r.w > sw ||
        r.y + r.h > sh || dx < 0 || dy < 0 || dx + r.w > dw || dy + r.h > dh)
        return false;
    flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, sfbo);
    clear_gl_errors();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dfbo);
    glBlitFramebuffer(r.x, r.y, r.x + r.w, r.y + r.h, dx, dy, dx + r.w, dy + r.h,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    int dummy;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_of(m_target, &dummy, &dummy));
    return glGetError() == GL_NO_ERROR;
}

bool GlDrawDevice::present(const DeviceRect& s, const DeviceRect& d, TextureFilter filter) {
    make_current();
    if (!m_context || s.x < 0 || s.y < 0 || s.w < 1 || s.h < 1 || s.x + s.w > m_config.width ||
        s.y + s.h > m_config.height)
        return false;
    flush();
    ++m_stats.presents;
    clear_gl_errors();
    if (!follow_window_size()) return false;
    GLenum f = filter == TextureFilter::Linear ? GL_LINEAR : GL_NEAREST;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_back_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_present_fbo);
    if (d.w > 0 && d.h > 0)
        glBlitFramebuffer(s.x, s.y, s.x + s.w, s.y + s.h, d.x, d.y, d.x + d.w, d.y + d.h,
                          GL_COLOR_BUFFER_BIT, f);
    if (!m_own_window) {
        // The window's own framebuffer has its origin at the bottom.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_present_fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, m_present_w, m_present_h, 0, m_present_h, m_present_w, 0,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        SDL_GL_SwapWindow(m_window);
    }
    int dummy;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_of(m_target, &dummy, &dummy));
    return glGetError() == GL_NO_ERROR;
}

bool GlDrawDevice::follow_window_size() {
    if (m_own_window) return true;
    int ww = 0, wh = 0;
    SDL_GL_GetDrawableSize(m_window, &ww, &wh);
    return ww <= 0 || wh <= 0 || resize_present_image(ww, wh);
}

bool GlDrawDevice::fill_window(const DeviceRect& r, uint32_t argb) {
    make_current();
    if (!m_context) return false;
    flush();
    clear_gl_errors();
    if (!follow_window_size()) return false;
    if (r.w <= 0 || r.h <= 0) return true;
    glBindFramebuffer(GL_FRAMEBUFFER, m_present_fbo);
    glEnable(GL_SCISSOR_TEST);
    // The window image is stored top row first, like the back buffer.
    glScissor(r.x, r.y, r.w, r.h);
    glClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f,
                 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    int dummy;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_of(m_target, &dummy, &dummy));
    return glGetError() == GL_NO_ERROR;
}

bool GlDrawDevice::set_swap_interval(int interval) {
    make_current();
    m_config.swap_interval = interval;
    if (m_own_window) return true;  // nothing is shown, nothing to wait for
    return SDL_GL_SetSwapInterval(interval) == 0;
}

}  // namespace

uint32_t gl_window_flags() {
    return SDL_WINDOW_OPENGL;
}

void gl_prepare_window_attributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

std::unique_ptr<IDrawDevice> create_gl_draw_device(const DeviceConfig& config, std::string* error) {
    auto device = std::make_unique<GlDrawDevice>();
    std::string dummy;
    if (!device->init(config, error ? error : &dummy)) return nullptr;
    return device;
}

}  // namespace kx
