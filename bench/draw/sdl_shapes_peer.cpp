// The shape scene's peer: 2,500 filled rectangles and 2,500 filled
// triangles a frame, each in its own colour, drawn with SDL's batched
// renderer (SDL_RenderFillRectF, SDL_RenderGeometry) on SDL's offscreen
// driver into a 1024x768 target. Prints frames drawn and seconds taken.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sdl_peer_common.h"

namespace {

struct Shape {
    float x, y, w;
    SDL_Color c;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kx_draw_bench_sdl_shapes FRAMES\n");
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    peer::Screen screen;
    if (!peer::open_screen(screen)) return 1;
    SDL_Renderer* r = screen.renderer;
    std::vector<Shape> shapes(2500);
    uint32_t seed = 1;
    for (Shape& s : shapes) {
        s.x = float(peer::next(seed) % 1000);
        s.y = float(peer::next(seed) % 744);
        s.w = float(4 + peer::next(seed) % 36);
        s.c = {Uint8(peer::next(seed)), Uint8(peer::next(seed)), Uint8(peer::next(seed)), 255};
    }
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
    return peer::run_frames(screen, frames, 64, [&] {
        for (const Shape& s : shapes) {
            SDL_SetRenderDrawColor(r, s.c.r, s.c.g, s.c.b, s.c.a);
            const SDL_FRect rect{s.x, s.y, s.w, s.w};
            SDL_RenderFillRectF(r, &rect);
            const SDL_Vertex v[3] = {{{s.x, s.y}, s.c, {0, 0}},
                                     {{s.x + s.w, s.y}, s.c, {0, 0}},
                                     {{s.x, s.y + s.w}, s.c, {0, 0}}};
            SDL_RenderGeometry(r, nullptr, v, 3, nullptr, 0);
        }
    });
}
