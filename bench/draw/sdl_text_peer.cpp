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

namespace {

struct Glyph {
    int x = 0, y = 0, w = 0, h = 0, advance = 0, offset = 0;
};

uint32_t next(uint32_t& s) {
    s = s * 1103515245u + 12345u;
    return s >> 8;
}

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
        lines[k].x = int(next(seed) % 1024);
        lines[k].y = int(next(seed) % 768);
        lines[k].text = "Score " + std::to_string(100000 + k * 7) + " lives 3";
    }
    const Uint64 t0 = SDL_GetPerformanceCounter();
    for (int f = 0; f < frames; ++f) {
        SDL_SetRenderTarget(r, target);
        SDL_SetRenderDrawColor(r, 192, 192, 192, 255);
        SDL_RenderClear(r);
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
