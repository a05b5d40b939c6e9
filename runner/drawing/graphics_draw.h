#pragma once
// Shapes drawn through the graphics device: untextured, at the current
// drawing depth and blend mode, in device colours the caller computed
// (game colour and alpha). Coordinates are room pixels; a vertex at an
// integer coordinate lies on a pixel centre.
#include <cstdint>

namespace kx {

struct GraphicsState;
class CircleTables;
struct PrimitiveBuilder;
class CPath;

void draw_point(GraphicsState& g, double x, double y, uint32_t c);
void draw_line(GraphicsState& g, double x1, double y1, double x2, double y2, uint32_t c1,
               uint32_t c2);
// A filled band w wide centred on the line; nothing for a zero length.
void draw_line_width(GraphicsState& g, double x1, double y1, double x2, double y2, double w,
                     uint32_t c1, uint32_t c2);
// Corner colours: (x1, y1), (x2, y1), (x2, y2), (x1, y2).
void draw_rectangle(GraphicsState& g, double x1, double y1, double x2, double y2, uint32_t c1,
                    uint32_t c2, uint32_t c3, uint32_t c4, bool outline);
void draw_triangle(GraphicsState& g, double x1, double y1, double x2, double y2, double x3,
                   double y3, uint32_t c1, uint32_t c2, uint32_t c3, bool outline);
void draw_ellipse(GraphicsState& g, const CircleTables& t, double x1, double y1, double x2,
                  double y2, uint32_t centre, uint32_t edge, bool outline);
void draw_roundrect(GraphicsState& g, const CircleTables& t, double x1, double y1, double x2,
                    double y2, uint32_t centre, uint32_t edge, bool outline);
void draw_arrow(GraphicsState& g, double x1, double y1, double x2, double y2, double size,
                uint32_t c);
// colour is the game colour of the face, alpha the current alpha.
void draw_button(GraphicsState& g, double x1, double y1, double x2, double y2, bool up,
                 int64_t colour, double alpha);
void draw_healthbar(GraphicsState& g, double x1, double y1, double x2, double y2, double amount,
                    int64_t backcol, int64_t mincol, int64_t maxcol, int64_t direction,
                    bool showback, bool showborder, double alpha);

// The user primitive: begin empties it, a vertex beyond the limit is
// ignored, end draws it (kinds outside 1 .. 6 draw nothing).
void primitive_begin(PrimitiveBuilder& p, int64_t kind, int32_t texture);
void primitive_vertex(GraphicsState& g, PrimitiveBuilder& p, double x, double y, double u, double v,
                      uint32_t c);
void primitive_end(GraphicsState& g, PrimitiveBuilder& p);
// The path's drawn points as a line strip of the builder.
void draw_path(GraphicsState& g, PrimitiveBuilder& p, const CPath& path, double x, double y,
               bool absolute, uint32_t c);

}  // namespace kx
