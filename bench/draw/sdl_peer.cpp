// The drawing benchmark's peer: the same picture drawn with SDL's own batched
// renderer on SDL's offscreen video driver. 10,000 sprites of four 32x32
// textures, a fifth of them turned and scaled, in a 1024x768 target.
// Prints the processor-independent part: frames drawn and seconds taken.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sprite {
    float x, y, angle, scale;
    int texture;
};

uint32_t next(uint32_t& s) {
    // The same generator for every run: the same picture each time.
    s = s * 1103515245u + 12345u;
    return s >> 8;
}

// The benchmark's own sprite pictures, as 32-bit BMP files with alpha.
SDL_Texture* load_texture(SDL_Renderer* r, const char* dir, int k) {
    const std::string path = std::string(dir) + "/s" + std::to_string(k) + ".bmp";
    SDL_Surface* s = SDL_LoadBMP(path.c_str());
    if (!s) return nullptr;
    SDL_Texture* t = SDL_CreateTextureFromSurface(r, s);
    SDL_FreeSurface(s);
    if (t) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kx_draw_bench_sdl FRAMES PICTURE_DIR\n");
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* w =
        SDL_CreateWindow("bench", 0, 0, 1024, 768, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_Renderer* r = w ? SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED) : nullptr;
    if (!r) {
        std::fprintf(stderr, "renderer: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Texture* target =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, 1024, 768);
    SDL_Texture* tex[4];
    for (int k = 0; k < 4; ++k) {
        tex[k] = load_texture(r, argv[2], k);
        if (!tex[k]) {
            std::fprintf(stderr, "picture %d: %s\n", k, SDL_GetError());
            return 1;
        }
    }
    std::vector<Sprite> sprites(10000);
    uint32_t seed = 1;
    for (size_t i = 0; i < sprites.size(); ++i) {
        Sprite& s = sprites[i];
        s.x = float(next(seed) % 1024);
        s.y = float(next(seed) % 768);
        s.texture = int(next(seed) % 4);
        const bool turned = i % 5 == 0;
        s.angle = turned ? float(next(seed) % 360) : 0;
        s.scale = turned ? 0.5f + float(next(seed) % 100) / 100.0f : 1;
    }
    const Uint64 t0 = SDL_GetPerformanceCounter();
    for (int f = 0; f < frames; ++f) {
        SDL_SetRenderTarget(r, target);
        SDL_SetRenderDrawColor(r, 64, 64, 64, 255);
        SDL_RenderClear(r);
        for (const Sprite& s : sprites) {
            const SDL_FRect dst{s.x - 16 * s.scale, s.y - 16 * s.scale, 32 * s.scale, 32 * s.scale};
            SDL_RenderCopyExF(r, tex[s.texture], nullptr, &dst, -s.angle, nullptr, SDL_FLIP_NONE);
        }
        SDL_SetRenderTarget(r, nullptr);
        SDL_RenderCopy(r, target, nullptr, nullptr);
        SDL_RenderPresent(r);
    }
    // Wait for the last frame to be finished.
    uint32_t px;
    SDL_Rect one{0, 0, 1, 1};
    SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ARGB8888, &px, 4);
    const double secs =
        double(SDL_GetPerformanceCounter() - t0) / double(SDL_GetPerformanceFrequency());
    std::printf("%d %.6f\n", frames, secs);
    SDL_Quit();
    return 0;
}
