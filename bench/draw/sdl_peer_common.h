// What the SDL_Renderer peers share: the seeded generator, SDL's batched
// renderer on a hidden 1024x768 window with a target of that size, and the
// timed frame loop that prints "FRAMES SECONDS".
#pragma once

#include <SDL.h>

#include <cstdint>
#include <cstdio>

namespace peer {

// The same generator for every run: the same picture each time.
inline uint32_t next(uint32_t& s) {
    s = s * 1103515245u + 12345u;
    return s >> 8;
}

struct Screen {
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* target = nullptr;
};

// False, with the reason on stderr, when SDL or its renderer cannot start.
inline bool open_screen(Screen& s) {
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return false;
    }
    SDL_Window* w =
        SDL_CreateWindow("bench", 0, 0, 1024, 768, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    s.renderer = w ? SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED) : nullptr;
    if (!s.renderer) {
        std::fprintf(stderr, "renderer: %s\n", SDL_GetError());
        return false;
    }
    s.target = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                 1024, 768);
    return true;
}

// Draws `frames` frames: the target cleared to `grey`, draw(), then
// the target presented. Waits for the last frame, prints the figures, quits.
template <class Draw>
int run_frames(const Screen& s, int frames, Uint8 grey, Draw draw) {
    SDL_Renderer* r = s.renderer;
    const Uint64 t0 = SDL_GetPerformanceCounter();
    for (int f = 0; f < frames; ++f) {
        SDL_SetRenderTarget(r, s.target);
        SDL_SetRenderDrawColor(r, grey, grey, grey, 255);
        SDL_RenderClear(r);
        draw();
        SDL_SetRenderTarget(r, nullptr);
        SDL_RenderCopy(r, s.target, nullptr, nullptr);
        SDL_RenderPresent(r);
    }
    // Reading a pixel back waits until the last frame is finished.
    uint32_t px;
    SDL_Rect one{0, 0, 1, 1};
    SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ARGB8888, &px, 4);
    const double secs =
        double(SDL_GetPerformanceCounter() - t0) / double(SDL_GetPerformanceFrequency());
    std::printf("%d %.6f\n", frames, secs);
    SDL_Quit();
    return 0;
}

}  // namespace peer
