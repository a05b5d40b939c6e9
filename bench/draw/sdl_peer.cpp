// The drawing benchmark's peer: the same picture drawn with SDL's own batched
// renderer on SDL's offscreen video driver. 10,000 sprites of four 32x32
// textures, a fifth of them turned and scaled, in a 1024x768 target.
// Prints the processor-independent part: frames drawn and seconds taken.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sdl_peer_common.h"

namespace {

struct Sprite {
    float x, y, angle, scale;
    int texture;
};

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
    peer::Screen screen;
    if (!peer::open_screen(screen)) return 1;
    SDL_Renderer* r = screen.renderer;
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
        s.x = float(peer::next(seed) % 1024);
        s.y = float(peer::next(seed) % 768);
        s.texture = int(peer::next(seed) % 4);
        const bool turned = i % 5 == 0;
        s.angle = turned ? float(peer::next(seed) % 360) : 0;
        s.scale = turned ? 0.5f + float(peer::next(seed) % 100) / 100.0f : 1;
    }
    return peer::run_frames(screen, frames, 64, [&] {
        for (const Sprite& s : sprites) {
            const SDL_FRect dst{s.x - 16 * s.scale, s.y - 16 * s.scale, 32 * s.scale, 32 * s.scale};
            SDL_RenderCopyExF(r, tex[s.texture], nullptr, &dst, -s.angle, nullptr, SDL_FLIP_NONE);
        }
    });
}
