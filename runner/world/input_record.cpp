#include "world/input_record.h"

#include <charconv>
#include <fstream>

#include "script/code_constant.h"

namespace kx {

namespace {

using Kind = InputEvent::Kind;

struct KindName {
    Kind kind;
    const char* name;
    int args;  // 0 none, 1 code, 2 x y, 3 button [x y]
};
constexpr KindName kKinds[] = {
    {Kind::KeyDown, "keydown", 1},     {Kind::KeyUp, "keyup", 1},
    {Kind::Char, "char", 1},           {Kind::MouseDown, "mousedown", 3},
    {Kind::MouseUp, "mouseup", 3},     {Kind::WheelUp, "wheelup", 0},
    {Kind::WheelDown, "wheeldown", 0}, {Kind::MouseMove, "mousemove", 2},
    {Kind::CloseRequest, "close", 0},  {Kind::FocusGained, "focusin", 0},
    {Kind::FocusLost, "focusout", 0},
};

std::vector<std::string_view> split(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != '\r') ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

template <typename T>
bool number(std::string_view s, T& v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

// A key or button: a number, a capital letter or digit, or a built-in constant
// such as vk_left or mb_right.
bool code_value(std::string_view s, int& v) {
    if (number(s, v)) return true;
    if (s.size() == 1 && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= '0' && s[0] <= '9'))) {
        v = s[0];
        return true;
    }
    static const ConstantTable kConstants = [] {
        ConstantTable t;
        add_builtin_constants(t);
        return t;
    }();
    const RValue* c = kConstants.find(s);
    if (!c || !c->is_real()) return false;
    v = static_cast<int>(c->real);
    return true;
}

}  // namespace

bool parse_input_line(std::string_view line, std::optional<RecordedInput>& out,
                      std::string& error) {
    out.reset();
    if (const size_t hash = line.find('#'); hash != std::string_view::npos)
        line = line.substr(0, hash);
    const auto t = split(line);
    if (t.empty()) return true;
    RecordedInput r;
    std::string_view step = t[0];
    if (const size_t colon = step.find(':'); colon != std::string_view::npos) {
        if (!number(step.substr(colon + 1), r.call) || r.call < 1) {
            error = "bad input call number in \"" + std::string(t[0]) + "\"";
            return false;
        }
        step = step.substr(0, colon);
    }
    if (!number(step, r.step) || r.step < 0) {
        error = "bad step \"" + std::string(t[0]) + "\"";
        return false;
    }
    if (t.size() < 2) {
        error = "missing event after the step";
        return false;
    }
    const KindName* k = nullptr;
    for (const KindName& n : kKinds)
        if (t[1] == n.name) k = &n;
    if (!k) {
        error = "unknown event \"" + std::string(t[1]) + "\"";
        return false;
    }
    r.event.kind = k->kind;
    const size_t args = t.size() - 2;
    const bool count_ok = k->args == 0   ? args == 0
                          : k->args == 1 ? args == 1
                          : k->args == 2 ? args == 2
                                         : args == 1 || args == 3;
    if (!count_ok) {
        error = "wrong number of arguments for " + std::string(k->name);
        return false;
    }
    if (k->args == 1 || k->args == 3) {
        if (!code_value(t[2], r.event.code)) {
            error = "bad code \"" + std::string(t[2]) + "\" for " + k->name;
            return false;
        }
        const int top = k->args == 3 ? 3 : 255;
        if (r.event.code < (k->args == 3 ? 1 : 0) || r.event.code > top) {
            error = "code " + std::string(t[2]) + " out of range for " + k->name;
            return false;
        }
    }
    if (k->args == 2 || (k->args == 3 && args == 3)) {
        const size_t first = k->args == 2 ? 2 : 3;
        if (!number(t[first], r.event.x) || !number(t[first + 1], r.event.y)) {
            error = "bad position for " + std::string(k->name);
            return false;
        }
        r.has_position = true;
    }
    out = r;
    return true;
}

std::string format_input_line(const RecordedInput& r) {
    std::string s = std::to_string(r.step);
    if (r.call > 0) s += ":" + std::to_string(r.call);
    const KindName* k = nullptr;
    for (const KindName& n : kKinds)
        if (n.kind == r.event.kind) k = &n;
    s += ' ';
    s += k ? k->name : "?";
    if (k && (k->args == 1 || k->args == 3)) s += " " + std::to_string(r.event.code);
    if (k && (k->args == 2 || (k->args == 3 && r.has_position)))
        s += " " + std::to_string(r.event.x) + " " + std::to_string(r.event.y);
    return s;
}

bool read_input_file(const std::string& path, std::vector<RecordedInput>& out, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot read the input file " + path;
        return false;
    }
    out.clear();
    std::string line;
    long long n = 0;
    long long last_step = -1;
    while (std::getline(f, line)) {
        ++n;
        std::optional<RecordedInput> r;
        std::string why;
        if (!parse_input_line(line, r, why)) {
            error = path + ":" + std::to_string(n) + ": " + why;
            return false;
        }
        if (!r) continue;
        // Replay delivers in file order, so a step may never go back.
        if (r->step < last_step) {
            error = path + ":" + std::to_string(n) + ": step " + std::to_string(r->step) +
                    " comes after step " + std::to_string(last_step);
            return false;
        }
        last_step = r->step;
        out.push_back(*r);
    }
    return true;
}

}  // namespace kx
