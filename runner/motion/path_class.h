#pragma once
// A path resource: control points, the polyline built from them, lookups of
// positions along it, the editing operations, and the path list with its
// game-data record.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx {

class CStream;

struct RPathPoint {
    double x = 0, y = 0, speed = 100;
};

class CPath {
public:
    // The path kinds of the game data.
    static constexpr int32_t kStraight = 0, kSmooth = 1;
    static constexpr int32_t kMaxPrecision = 8;

    int32_t kind() const { return m_kind; }
    bool closed() const { return m_closed; }
    int32_t precision() const { return m_precision; }
    const std::vector<RPathPoint>& points() const { return m_points; }
    const std::vector<RPathPoint>& polyline() const { return m_poly; }
    double length() const { return m_length; }

    void set_kind(int32_t kind);  // anything but smooth is straight
    void set_closed(bool closed);
    void set_precision(int32_t precision);  // kept in 0..kMaxPrecision
    void set_points(std::vector<RPathPoint> points);

    // Position and speed at t (0 start, 1 end) along the polyline.
    RPathPoint lookup(double t) const;

    void add_point(RPathPoint p);
    void insert_point(int64_t n, RPathPoint p);  // 0 <= n <= count, else nothing
    void change_point(int64_t n, RPathPoint p);  // 0 <= n < count, else nothing
    void delete_point(int64_t n);
    void clear_points();
    void reverse();
    void mirror();
    void flip();
    void rotate(double degrees);
    void scale(double xs, double ys);
    void shift(double dx, double dy);
    void append(const CPath& other);

    // The points a drawn path runs through: offset so that the first
    // polyline point lands at (x, y) unless absolute.
    std::vector<RPathPoint> draw_points(double x, double y, bool absolute) const;

    // The record after the slot's name.
    bool read(CStream& s);
    void write(CStream& s) const;

private:
    template <class IO, class Self>
    static bool record_fields(IO& io, Self& p);
    static int32_t stored_kind(int32_t kind);
    static int32_t stored_precision(int32_t precision);
    void rebuild();
    void centre(double& cx, double& cy) const;
    void add_curve(const RPathPoint& a, const RPathPoint& b, const RPathPoint& c, int depth);
    void subdivide(int depth, const RPathPoint& s, const RPathPoint& k, const RPathPoint& e);

    int32_t m_kind = kStraight;
    bool m_closed = true;
    int32_t m_precision = 4;
    std::vector<RPathPoint> m_points;
    std::vector<RPathPoint> m_poly;
    std::vector<double> m_cum;  // cumulative length per polyline point
    double m_length = 0;
};

// Slots that may be empty, each with a name. Slots are never reused.
class PathList {
public:
    struct Slot {
        std::string name;
        CPath path;
    };
    int32_t count() const { return static_cast<int32_t>(m_slots.size()); }
    bool exists(int64_t index) const {
        return index >= 0 && index < count() && m_slots[static_cast<size_t>(index)].has_value();
    }
    // Null for an empty or missing slot. Valid until the list grows.
    CPath* get(int64_t index);
    const CPath* get(int64_t index) const;
    const std::string& name(int64_t index) const;  // "" for an empty slot
    // Appends a slot; answers its index.
    int32_t add(std::string name, CPath path);
    int32_t add_empty();
    // Fills or replaces slot index (0 <= index < count).
    void assign(int32_t index, std::string name, CPath path);
    void remove(int32_t index);
    void clear() { m_slots.clear(); }

    // The game data's path section: version 420, slots with record version 530.
    bool read(CStream& s);
    void write(CStream& s) const;

private:
    std::vector<std::optional<Slot>> m_slots;
};

// The name a path made at run time gets in its slot.
std::string new_path_name(int32_t index);

}  // namespace kx
