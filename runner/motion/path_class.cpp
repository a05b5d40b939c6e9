#include "motion/path_class.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gamedata/cstream.h"
#include "gamedata/record_io.h"

namespace kx {

namespace {

constexpr int32_t kSectionVersion = 420;
constexpr int32_t kRecordVersion = 530;

RPathPoint mid(const RPathPoint& a, const RPathPoint& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2};
}
double dist2(const RPathPoint& a, const RPathPoint& b) {
    const double dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

}  // namespace

int32_t CPath::stored_kind(int32_t kind) {
    return kind == kSmooth ? kSmooth : kStraight;
}
int32_t CPath::stored_precision(int32_t precision) {
    return std::clamp(precision, 0, kMaxPrecision);
}

void CPath::set_kind(int32_t kind) {
    m_kind = stored_kind(kind);
    rebuild();
}
void CPath::set_closed(bool closed) {
    m_closed = closed;
    rebuild();
}
void CPath::set_precision(int32_t precision) {
    m_precision = stored_precision(precision);
    rebuild();
}
void CPath::set_points(std::vector<RPathPoint> points) {
    m_points = std::move(points);
    rebuild();
}

void CPath::subdivide(int depth, const RPathPoint& s, const RPathPoint& k, const RPathPoint& e) {
    if (depth <= 0) return;
    const RPathPoint q{(s.x + 2 * k.x + e.x) / 4, (s.y + 2 * k.y + e.y) / 4,
                       (s.speed + 2 * k.speed + e.speed) / 4};
    if (dist2(k, s) > 16) subdivide(depth - 1, s, mid(s, k), q);
    m_poly.push_back(q);
    if (dist2(k, e) > 16) subdivide(depth - 1, q, mid(k, e), e);
}

// The quadratic curve from the middle of AB to the middle of BC, controlled
// by B; its end points belong to the neighbouring curves, not to it.
void CPath::add_curve(const RPathPoint& a, const RPathPoint& b, const RPathPoint& c, int depth) {
    subdivide(depth, mid(a, b), b, mid(b, c));
}

void CPath::rebuild() {
    m_poly.clear();
    const size_t n = m_points.size();
    if (n > 0) {
        if (m_kind != kSmooth) {
            m_poly = m_points;
            if (m_closed) m_poly.push_back(m_points[0]);
        } else {
            const int depth = m_precision;
            if (!m_closed) {
                m_poly.push_back(m_points[0]);
                for (size_t i = 0; i + 2 < n; ++i)
                    add_curve(m_points[i], m_points[i + 1], m_points[i + 2], depth);
                m_poly.push_back(m_points[n - 1]);
            } else {
                for (size_t i = 0; i < n; ++i)
                    add_curve(m_points[i], m_points[(i + 1) % n], m_points[(i + 2) % n], depth);
                // Without curve points (precision 0) there is nothing to close.
                if (!m_poly.empty()) m_poly.push_back(m_poly[0]);
            }
        }
    }
    m_cum.assign(m_poly.size(), 0.0);
    for (size_t i = 1; i < m_poly.size(); ++i)
        m_cum[i] = m_cum[i - 1] + std::sqrt(dist2(m_poly[i], m_poly[i - 1]));
    m_length = m_poly.size() >= 2 ? m_cum.back() : 0;
}

RPathPoint CPath::lookup(double t) const {
    if (m_poly.empty()) return {0, 0, 100};
    if (m_poly.size() == 1 || m_length == 0) return m_poly[0];
    if (!(t > 0)) return m_poly.front();  // NaN counts as the start
    if (t >= 1) return m_poly.back();
    const double d = t * m_length;
    const size_t last_span = m_poly.size() - 2;
    // The first span whose end lies beyond d.
    size_t i = static_cast<size_t>(std::upper_bound(m_cum.begin() + 1, m_cum.end(), d) -
                                   (m_cum.begin() + 1));
    if (i > last_span) i = last_span;
    const RPathPoint& a = m_poly[i];
    const RPathPoint& b = m_poly[i + 1];
    const double span = m_cum[i + 1] - m_cum[i];
    if (span == 0) return a;
    const double f = (d - m_cum[i]) / span;
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.speed + (b.speed - a.speed) * f};
}

void CPath::add_point(RPathPoint p) {
    m_points.push_back(p);
    rebuild();
}
void CPath::insert_point(int64_t n, RPathPoint p) {
    if (n < 0 || n > static_cast<int64_t>(m_points.size())) return;
    m_points.insert(m_points.begin() + n, p);
    rebuild();
}
void CPath::change_point(int64_t n, RPathPoint p) {
    if (n < 0 || n >= static_cast<int64_t>(m_points.size())) return;
    m_points[static_cast<size_t>(n)] = p;
    rebuild();
}
void CPath::delete_point(int64_t n) {
    if (n < 0 || n >= static_cast<int64_t>(m_points.size())) return;
    m_points.erase(m_points.begin() + n);
    rebuild();
}
void CPath::clear_points() {
    m_points.clear();
    rebuild();
}
void CPath::reverse() {
    std::reverse(m_points.begin(), m_points.end());
    rebuild();
}

void CPath::centre(double& cx, double& cy) const {
    cx = cy = 0;
    if (m_points.empty()) return;
    double x0 = m_points[0].x, x1 = x0, y0 = m_points[0].y, y1 = y0;
    for (const auto& p : m_points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    cx = (x0 + x1) / 2;
    cy = (y0 + y1) / 2;
}

void CPath::mirror() {
    double cx, cy;
    centre(cx, cy);
    for (auto& p : m_points) p.x = 2 * cx - p.x;
    rebuild();
}
void CPath::flip() {
    double cx, cy;
    centre(cx, cy);
    for (auto& p : m_points) p.y = 2 * cy - p.y;
    rebuild();
}
void CPath::rotate(double degrees) {
    double cx, cy;
    centre(cx, cy);
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    for (auto& p : m_points) {
        const double dx = p.x - cx, dy = p.y - cy;
        p.x = cx + c * dx + s * dy;
        p.y = cy + c * dy - s * dx;
    }
    rebuild();
}
void CPath::scale(double xs, double ys) {
    double cx, cy;
    centre(cx, cy);
    for (auto& p : m_points) {
        p.x = cx + (p.x - cx) * xs;
        p.y = cy + (p.y - cy) * ys;
    }
    rebuild();
}
void CPath::shift(double dx, double dy) {
    for (auto& p : m_points) {
        p.x += dx;
        p.y += dy;
    }
    rebuild();
}
void CPath::append(const CPath& other) {
    const std::vector<RPathPoint> extra = other.m_points;  // other may be this path
    m_points.insert(m_points.end(), extra.begin(), extra.end());
    rebuild();
}

std::vector<RPathPoint> CPath::draw_points(double x, double y, bool absolute) const {
    std::vector<RPathPoint> out;
    if (m_poly.empty()) return out;
    const double dx = absolute ? 0 : x - m_poly[0].x;
    const double dy = absolute ? 0 : y - m_poly[0].y;
    // A path shorter than 2 pixels still draws from its start to its end.
    const double steps = std::nearbyint(m_length / 4);
    const int64_t k = steps >= 1 ? static_cast<int64_t>(std::min(steps, 1e6)) : 1;
    out.reserve(static_cast<size_t>(k) + 1);
    for (int64_t i = 0; i <= k; ++i) {
        RPathPoint p = lookup(static_cast<double>(i) / static_cast<double>(k));
        p.x += dx;
        p.y += dy;
        out.push_back(p);
    }
    return out;
}

template <class IO, class Self>
bool CPath::record_fields(IO& io, Self& p) {
    if (!io.version(kRecordVersion)) return false;
    io.i(p.m_kind);
    if constexpr (IO::kReads) p.m_kind = stored_kind(p.m_kind);
    io.b(p.m_closed);
    io.i(p.m_precision);
    if constexpr (IO::kReads) p.m_precision = stored_precision(p.m_precision);
    auto point = [&](auto& q) {
        io.r(q.x);
        io.r(q.y);
        io.r(q.speed);
    };
    int32_t n = static_cast<int32_t>(p.m_points.size());
    io.i(n);
    if constexpr (IO::kReads) {
        // No bound on the count: a short record ends in a stream error.
        if (n < 0) return false;
        p.m_points.clear();
        for (int32_t i = 0; i < n; ++i) {
            RPathPoint q;
            point(q);
            p.m_points.push_back(q);
        }
    } else {
        for (const auto& q : p.m_points) point(q);
    }
    return true;
}

bool CPath::read(CStream& s) {
    RecordReader io{s};
    if (!record_fields(io, *this)) return false;
    rebuild();
    return true;
}

void CPath::write(CStream& s) const {
    RecordWriter io{s};
    record_fields(io, *this);
}

CPath* PathList::get(int64_t index) {
    return exists(index) ? &m_slots[static_cast<size_t>(index)]->path : nullptr;
}
const CPath* PathList::get(int64_t index) const {
    return exists(index) ? &m_slots[static_cast<size_t>(index)]->path : nullptr;
}
const std::string& PathList::name(int64_t index) const {
    static const std::string none;
    return exists(index) ? m_slots[static_cast<size_t>(index)]->name : none;
}
int32_t PathList::add(std::string name, CPath path) {
    m_slots.push_back(Slot{std::move(name), std::move(path)});
    return count() - 1;
}
int32_t PathList::add_empty() {
    m_slots.emplace_back();
    return count() - 1;
}
void PathList::assign(int32_t index, std::string name, CPath path) {
    m_slots[static_cast<size_t>(index)] = Slot{std::move(name), std::move(path)};
}
void PathList::remove(int32_t index) {
    if (exists(index)) m_slots[static_cast<size_t>(index)].reset();
}

bool PathList::read(CStream& s) {
    m_slots.clear();
    if (s.read_int() != kSectionVersion) return false;
    const int32_t n = s.read_int();
    if (n < 0) return false;
    for (int32_t i = 0; i < n; ++i) {
        if (!s.read_bool()) {
            add_empty();
            continue;
        }
        Slot slot;
        slot.name = s.read_string();
        if (!slot.path.read(s)) return false;
        m_slots.push_back(std::move(slot));
    }
    return true;
}

void PathList::write(CStream& s) const {
    s.write_int(kSectionVersion);
    s.write_int(count());
    for (const auto& slot : m_slots) {
        s.write_bool(slot.has_value());
        if (!slot) continue;
        s.write_string(slot->name);
        slot->path.write(s);
    }
}

std::string new_path_name(int32_t index) {
    return "__newpath" + std::to_string(index);
}

}  // namespace kx
