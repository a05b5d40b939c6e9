// The shape scene's peer: 2,500 filled rectangles and 2,500 filled
// triangles a frame, each in its own colour, drawn with SDL's batched
// renderer (SDL_RenderFillRectF, SDL_RenderGeometry) on SDL's offscreen
// driver into a 1024x768 target. Prints frames drawn and seconds taken.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Shape {
    float x, y, w;
    SDL_Color c;
};

uint32_t next(uint32_t& s) {
    s = s * 1103515245u + 12345u;
    return s >> 8;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kx_draw_bench_sdl_shapes FRAMES\n");
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
    std::vector<Shape> shapes(2500);
    uint32_t seed = 1;
    for (Shape& s : shapes) {
        s.x = float(next(seed) % 1000);
        s.y = float(next(seed) % 744);
        s.w = float(4 + next(seed) % 36);
        s.c = {Uint8(next(seed)), Uint8(next(seed)), Uint8(next(seed)), 255};
    }
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
    const Uint64 t0 = SDL_GetPerformanceCounter();
    for (int f = 0; f < frames; ++f) {
        SDL_SetRenderTarget(r, target);
        SDL_SetRenderDrawColor(r, 64, 64, 64, 255);
        SDL_RenderClear(r);
        for (const Shape& s : shapes) {
            SDL_SetRenderDrawColor(r, s.c.r, s.c.g, s.c.b, s.c.a);
            const SDL_FRect rect{s.x, s.y, s.w, s.w};
            SDL_RenderFillRectF(r, &rect);
            const SDL_Vertex v[3] = {{{s.x, s.y}, s.c, {0, 0}},
                                     {{s.x + s.w, s.y}, s.c, {0, 0}},
                                     {{s.x, s.y + s.w}, s.c, {0, 0}}};
            SDL_RenderGeometry(r, nullptr, v, 3, nullptr, 0);
        }
        SDL_SetRenderTarget(r, nullptr);
        SDL_RenderCopy(r, target, nullptr, nullptr);
        SDL_RenderPresent(r);
    }
    uint32_t px;
    SDL_Rect one{0, 0, 1, 1};
    SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ARGB8888, &px, 4);
    const double secs =
        double(SDL_GetPerformanceCounter() - t0) / double(SDL_GetPerformanceFrequency());
    std::printf("%d %.6f\n", frames, secs);
    SDL_Quit();
    return 0;
}
