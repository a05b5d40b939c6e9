#pragma once
// The drawing subsystem's state: the circle precision with its tables and
// the user primitive being built. The drawing colour and alpha live with the
// graphics device, which every textured quad shares.
#include <array>
#include <cstdint>

#include "core/subsystem.h"
#include "platform/draw_device.h"

namespace kx {

inline constexpr int kMaxCirclePrecision = 64;
inline constexpr int kMaxPrimitiveVertices = 1001;

class CircleTables {
public:
    CircleTables() { set_precision(24); }
    // Clamped to 4 .. 64 and rounded down to a multiple of 4.
    void set_precision(double precision);
    int precision() const { return m_precision; }
    // cos and sin of 2 pi i / P for i = 0 .. P.
    double cos(int i) const { return m_cos[static_cast<size_t>(i)]; }
    double sin(int i) const { return m_sin[static_cast<size_t>(i)]; }

private:
    int m_precision = 24;
    std::array<double, kMaxCirclePrecision + 1> m_cos{}, m_sin{};
};

struct PrimitiveBuilder {
    int64_t kind = 0;
    int32_t texture = -1;  // texture table id, -1 for none
    int count = 0;
    std::array<VertexCT, kMaxPrimitiveVertices> vertices{};
    std::array<VertexCT, kMaxPrimitiveVertices> shifted{};  // moved onto a shared page
    // Lines and points become up to four triangles each when drawn.
    std::array<VertexCT, kMaxPrimitiveVertices * 12> quads{};
};

struct DrawingState {
    CircleTables circle;
    PrimitiveBuilder primitive;
};

extern const Subsystem kDrawingSubsystem;

}  // namespace kx
