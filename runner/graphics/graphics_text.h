#pragma once
// Text: the current font and alignments, line breaks and word wrapping,
// measuring, and drawing text as one quad per glyph (page fonts) or one
// sprite subimage per character (sprite fonts).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sprites/font_class.h"

namespace kx {

struct GraphicsState;
struct SpriteState;
class FunctionTable;

struct TextState {
    int32_t font = -1;  // -1: the default font
    int32_t halign = 0, valign = 0;
    // Built the first time text needs it; its texture follows the device.
    std::unique_ptr<CFont> default_font;
};

// The font text is measured and drawn with now: the current font when it
// exists, else the default font (built here on first use).
const CFont& text_font(GraphicsState& g, SpriteState& s);

// '#' becomes a line break, except right after a backslash, which it
// replaces; then every carriage return and line feed ends a line. With
// width >= 0 each line is wrapped greedily at words (a word ends with its
// space or hyphen) and empty lines are dropped.
std::vector<std::string> split_lines(const CFont& font, std::string_view text, double width);

// Widest line (at least 1), and the height of n lines spaced sep apart (1
// for none); sep < 0 means the line height.
int32_t text_block_width(const CFont& font, std::string_view text, double width);
int32_t text_block_height(const CFont& font, std::string_view text, int32_t sep, double width);

// How a block of text is drawn. Colours are game colours; without gradient
// every glyph takes colour and alpha.
struct TextStyle {
    int32_t sep = -1;
    double width = -1;
    bool transformed = false;
    double xscale = 1, yscale = 1, angle = 0;  // degrees
    bool gradient = false;
    int64_t colour = 0xffffff;
    int64_t c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    double alpha = 1;
};
void draw_text_block(GraphicsState& g, SpriteState& s, double x, double y, std::string_view text,
                     const TextStyle& style);

// The text drawing device loses or gains the default font's page texture.
void drop_default_font_texture(GraphicsState& g);
void make_default_font_texture(GraphicsState& g);

// draw_set_font/halign/valign, string_width/height(_ext), draw_text*.
void register_function_text(FunctionTable& table);
// font_* resource functions.
void register_function_font(FunctionTable& table);

}  // namespace kx
