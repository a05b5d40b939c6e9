#include "drawing/drawing_state.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/runtime.h"
#include "script/script_state.h"

namespace kx {

void register_function_draw(FunctionTable& table);

void CircleTables::set_precision(double precision) {
    double p = std::isnan(precision) ? 4 : std::clamp(precision, 4.0, double(kMaxCirclePrecision));
    m_precision = static_cast<int>(p) / 4 * 4;
    for (int i = 0; i <= m_precision; ++i) {
        const double a = 2 * std::numbers::pi * i / m_precision;
        m_cos[static_cast<size_t>(i)] = std::cos(a);
        m_sin[static_cast<size_t>(i)] = std::sin(a);
    }
}

namespace {

void create(Runtime& r) {
    r.emplace<DrawingState>();
}

void register_builtins(Runtime& r) {
    register_function_draw(r.get<ScriptState>().functions);
}

}  // namespace

const Subsystem kDrawingSubsystem{
    .name = "drawing",
    .create = create,
    .register_builtins = register_builtins,
};

}  // namespace kx
