// The text scene's peer: 2,000 strings of 20 characters drawn with SDL's own
// batched renderer from the same glyph page kxrun draws from, one
// SDL_RenderCopy per glyph, in a 1024x768 target on SDL's offscreen driver.
// Prints the frames drawn and the seconds taken.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sdl_peer_common.h"

namespace {

struct Glyph {
    int x = 0, y = 0, w = 0, h = 0, advance = 0, offset = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kx_draw_bench_sdl_text FRAMES DIR (page.bmp, glyphs.txt)\n");
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    const std::string dir = argv[2];
    std::vector<Glyph> glyphs(256);
    int first = 256, last = -1;
    {
        std::ifstream in(dir + "/glyphs.txt");
        int c;
        Glyph g;
        while (in >> c >> g.x >> g.y >> g.w >> g.h >> g.advance >> g.offset)
            if (c >= 0 && c < 256) {
                glyphs[size_t(c)] = g;
                first = std::min(first, c);
                last = std::max(last, c);
            }
    }
    if (last < 0) {
        std::fprintf(stderr, "no glyphs in %s/glyphs.txt\n", dir.c_str());
        return 1;
    }
    peer::Screen screen;
    if (!peer::open_screen(screen)) return 1;
    SDL_Renderer* r = screen.renderer;
    SDL_Surface* s = SDL_LoadBMP((dir + "/page.bmp").c_str());
    SDL_Texture* page = s ? SDL_CreateTextureFromSurface(r, s) : nullptr;
    if (s) SDL_FreeSurface(s);
    if (!page) {
        std::fprintf(stderr, "page: %s\n", SDL_GetError());
        return 1;
    }
    SDL_SetTextureBlendMode(page, SDL_BLENDMODE_BLEND);
    SDL_SetTextureColorMod(page, 0, 0, 0);  // the default drawing colour, black

    struct Line {
        int x, y;
        std::string text;
    };
    std::vector<Line> lines(2000);
    uint32_t seed = 1;
    for (size_t k = 0; k < lines.size(); ++k) {
        lines[k].x = int(peer::next(seed) % 1024);
        lines[k].y = int(peer::next(seed) % 768);
        lines[k].text = "Score " + std::to_string(100000 + k * 7) + " lives 3";
    }
    return peer::run_frames(screen, frames, 192, [&] {
        for (const Line& l : lines) {
            int pen = l.x;
            for (unsigned char c : l.text) {
                const Glyph& g = glyphs[c];
                if (c >= first && c <= last) {
                    const SDL_Rect src{g.x, g.y, g.w, g.h};
                    const SDL_Rect dst{pen + g.offset, l.y, g.w, g.h};
                    SDL_RenderCopy(r, page, &src, &dst);
                }
                pen += g.advance;
            }
        }
    });
}
