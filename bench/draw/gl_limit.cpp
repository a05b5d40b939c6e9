// The drawing benchmark's limit: the sprite scene's picture (10,000 sprites
// of four 32x32 pictures, a fifth turned and scaled, 1024x768) drawn by the
// least OpenGL can do: the instance data uploaded once, one instanced draw
// call a frame from a texture array, a one-line fragment shader, into a
// framebuffer object that is then copied to the window, on the same SDL
// offscreen driver and OpenGL 3.3 core context kxrun uses. Prints frames
// drawn and seconds taken.
#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint32_t next(uint32_t& s) {
    s = s * 1103515245u + 12345u;
    return s >> 8;
}

const char* kVertex = R"(#version 330 core
layout(location = 0) in vec4 a_inst;  // x, y, angle (radians), scale
layout(location = 1) in float a_layer;
out vec3 v_uv;
void main() {
    vec2 c = vec2(gl_VertexID & 1, gl_VertexID >> 1);
    vec2 p = (c * 32.0 - 16.0) * a_inst.w;
    float s = sin(a_inst.z), k = cos(a_inst.z);
    p = vec2(p.x * k + p.y * s, -p.x * s + p.y * k) + a_inst.xy;
    v_uv = vec3(c, a_layer);
    gl_Position = vec4(p.x / 512.0 - 1.0, 1.0 - p.y / 384.0, 0.0, 1.0);
})";
const char* kFragment = R"(#version 330 core
in vec3 v_uv; out vec4 o; uniform sampler2DArray t;
void main() { o = texture(t, v_uv); })";

GLuint shader(GLenum kind, const char* src) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024];
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader: %s\n", log);
        std::exit(1);
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kx_draw_bench_gl_limit FRAMES PICTURE_DIR\n");
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* w =
        SDL_CreateWindow("limit", 0, 0, 1024, 768, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext ctx = w ? SDL_GL_CreateContext(w) : nullptr;
    if (!ctx) {
        std::fprintf(stderr, "context: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);

    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D_ARRAY, tex);
    glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA8, 32, 32, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    for (int k = 0; k < 4; ++k) {
        const std::string path = std::string(argv[2]) + "/s" + std::to_string(k) + ".bmp";
        SDL_Surface* s = SDL_LoadBMP(path.c_str());
        SDL_Surface* c = s ? SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ABGR8888, 0) : nullptr;
        if (!c) {
            std::fprintf(stderr, "picture %d: %s\n", k, SDL_GetError());
            return 1;
        }
        glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, k, 32, 32, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                        c->pixels);
        SDL_FreeSurface(c);
        SDL_FreeSurface(s);
    }
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

    std::vector<float> inst;
    uint32_t seed = 1;
    for (int i = 0; i < 10000; ++i) {
        const float x = float(next(seed) % 1024), y = float(next(seed) % 768);
        const float layer = float(next(seed) % 4);
        const bool turned = i % 5 == 0;
        const float angle = turned ? float(next(seed) % 360) * 3.14159265f / 180 : 0;
        const float scale = turned ? 0.5f + float(next(seed) % 100) / 100.0f : 1;
        inst.insert(inst.end(), {x, y, angle, scale, layer});
    }
    GLuint vao, vbo;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(inst.size() * sizeof(float)), inst.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
    glVertexAttribDivisor(0, 1);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 1, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                          reinterpret_cast<void*>(4 * sizeof(float)));
    glVertexAttribDivisor(1, 1);

    GLuint prog = glCreateProgram();
    glAttachShader(prog, shader(GL_VERTEX_SHADER, kVertex));
    glAttachShader(prog, shader(GL_FRAGMENT_SHADER, kFragment));
    glLinkProgram(prog);
    glUseProgram(prog);

    GLuint fbo, colour;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, 1024, 768);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const Uint64 t0 = SDL_GetPerformanceCounter();
    for (int f = 0; f < frames; ++f) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glViewport(0, 0, 1024, 768);
        glClearColor(0.25f, 0.25f, 0.25f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, 10000);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, 1024, 768, 0, 0, 1024, 768, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        SDL_GL_SwapWindow(w);
    }
    unsigned char px[4];
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    const double secs =
        double(SDL_GetPerformanceCounter() - t0) / double(SDL_GetPerformanceFrequency());
    std::printf("%d %.6f\n", frames, secs);
    SDL_GL_DeleteContext(ctx);
    SDL_Quit();
    return 0;
}
