#include "input/input_record.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <tuple>

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

// Words separated by spaces or tabs; '#' outside quotes ends the line. A
// quoted part (joystick names) keeps its spaces and '#', with \" and \\ inside.
bool split(std::string_view s, std::vector<std::string_view>& out, std::string& error) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && space(s[i])) ++i;
        if (i >= s.size() || s[i] == '#') break;
        size_t j = i;
        bool quoted = false;
        while (j < s.size() && (quoted || (!space(s[j]) && s[j] != '#'))) {
            if (s[j] == '"') {
                quoted = !quoted;
            } else if (quoted && s[j] == '\\' && j + 1 < s.size()) {
                ++j;
            }
            ++j;
        }
        if (quoted) {
            error = "unterminated quote";
            return false;
        }
        out.push_back(s.substr(i, j - i));
        if (j < s.size() && s[j] == '#') break;
        i = j;
    }
    return true;
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

constexpr std::string_view kAxisNames = "xyzruv";
constexpr int kRest = 32768;
constexpr size_t kNameMax = 32;

// Counts a line leaves out: two axes and eight buttons, or as many as the
// highest axis off its rest and the highest button down need.
int default_axis_count(const JoystickState& j) {
    int n = 2;
    for (int a = 0; a < 6; ++a)
        if (j.axes[a] != kRest) n = std::max(n, a + 1);
    return n;
}
int default_button_count(const JoystickState& j) {
    int n = 8;
    for (int b = 0; b < 32; ++b)
        if (j.buttons & (1u << b)) n = std::max(n, b + 1);
    return n;
}

bool unquote(std::string_view v, std::string& out) {
    out.clear();
    if (v.empty() || v[0] != '"') {
        if (v.find_first_of("\"\\") != std::string_view::npos) return false;
        out = v;
        return true;
    }
    if (v.size() < 2 || v.back() != '"') return false;
    v = v.substr(1, v.size() - 2);
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '"') return false;
        if (v[i] != '\\') {
            out += v[i];
            continue;
        }
        if (++i >= v.size()) return false;
        if (v[i] == '"' || v[i] == '\\') {
            out += v[i];
        } else if (v[i] == 'x' && i + 2 < v.size()) {
            unsigned code = 0;
            auto [p, ec] = std::from_chars(v.data() + i + 1, v.data() + i + 3, code, 16);
            if (ec != std::errc() || p != v.data() + i + 3) return false;
            out += static_cast<char>(code);
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

std::string quote(const std::string& s) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string q = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            q += '\\';
            q += ch;
        } else if (c < 32 || c == 127) {
            q += "\\x";
            q += kHex[c >> 4];
            q += kHex[c & 15];
        } else {
            q += ch;
        }
    }
    return q + '"';
}

// "ID [FIELD=VALUE ...]" or "ID absent" after the word joystick.
bool parse_joystick(const std::vector<std::string_view>& t, RecordedInput& r, std::string& error) {
    if (t.size() < 3) {
        error = "missing joystick number";
        return false;
    }
    if (t[2] != "1" && t[2] != "2") {
        error = "bad joystick \"" + std::string(t[2]) + "\" (1 or 2)";
        return false;
    }
    r.joystick = t[2][0] - '0';
    JoystickState& j = r.pad;
    j = JoystickState();
    j.present = true;
    bool absent = false, other = false;
    int axis_count = -1, button_count = -1;
    std::vector<std::string_view> seen;
    for (size_t i = 3; i < t.size(); ++i) {
        const size_t eq = t[i].find('=');
        const std::string_view key = t[i].substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : t[i].substr(eq + 1);
        const std::string k(key);
        for (std::string_view s : seen)
            if (s == key) {
                error = "joystick field " + k + " given twice";
                return false;
            }
        seen.push_back(key);
        if (key == "absent" && eq == std::string_view::npos) {
            absent = true;
            continue;
        }
        if (key != "read") other = true;
        if (eq == std::string_view::npos) {
            error = "unknown joystick field \"" + k + "\"";
            return false;
        }
        const std::string bad = "bad value \"" + std::string(value) + "\" for " + k;
        auto ranged = [&](auto& v, long long low, long long high) {
            if (!number(value, v)) {
                error = bad;
                return false;
            }
            if (v < low || v > high) {
                error = k + " " + std::string(value) + " out of range (" + std::to_string(low) +
                        ".." + std::to_string(high) + ")";
                return false;
            }
            return true;
        };
        int v = 0;
        const size_t axis = key.size() == 1 ? kAxisNames.find(key[0]) : std::string_view::npos;
        if (axis != std::string_view::npos) {
            if (!ranged(v, 0, 65535)) return false;
            j.axes[axis] = v;
        } else if (key == "name") {
            if (!unquote(value, j.name)) {
                error = "bad name " + std::string(value);
                return false;
            }
            if (j.name.size() > kNameMax) {
                error = "name longer than 32 characters";
                return false;
            }
        } else if (key == "naxes") {
            if (!ranged(axis_count, 0, 6)) return false;
        } else if (key == "nbuttons") {
            if (!ranged(button_count, 0, 32)) return false;
        } else if (key == "buttons") {
            size_t p = 0;
            do {
                const size_t comma = std::min(value.find(',', p), value.size());
                const std::string_view one = value.substr(p, comma - p);
                if (!number(one, v)) {
                    error = bad;
                    return false;
                }
                if (v < 1 || v > 32) {
                    error = "button " + std::string(one) + " out of range (1..32)";
                    return false;
                }
                j.buttons |= 1u << (v - 1);
                p = comma + 1;
            } while (p <= value.size());
        } else if (key == "pov") {
            if (!ranged(v, -1, 36000)) return false;
            j.has_pov = true;
            j.pov = v;
        } else if (key == "read") {
            if (!number(value, r.read) || r.read < 1) {
                error = "bad read \"" + std::string(value) + "\" (1 or more)";
                return false;
            }
        } else {
            error = "unknown joystick field \"" + k + "\"";
            return false;
        }
    }
    if (absent) {
        if (other) {
            error = "an absent joystick takes no other fields";
            return false;
        }
        j = JoystickState();
        return true;
    }
    j.axis_count = axis_count >= 0 ? axis_count : default_axis_count(j);
    j.button_count = button_count >= 0 ? button_count : default_button_count(j);
    return true;
}

std::string format_joystick(const RecordedInput& r) {
    std::string s = " " + std::to_string(r.joystick);
    if (r.read > 1) s += " read=" + std::to_string(r.read);
    const JoystickState j = visible_joystick_state(r.pad);
    if (!j.present) return s + " absent";
    if (!j.name.empty()) s += " name=" + quote(j.name);
    if (j.axis_count != default_axis_count(j)) s += " naxes=" + std::to_string(j.axis_count);
    if (j.button_count != default_button_count(j))
        s += " nbuttons=" + std::to_string(j.button_count);
    for (int a = 0; a < 6; ++a)
        if (j.axes[a] != kRest)
            s += std::string(" ") + kAxisNames[a] + "=" + std::to_string(j.axes[a]);
    if (j.buttons) {
        s += " buttons=";
        bool first = true;
        for (int b = 0; b < 32; ++b) {
            if (!(j.buttons & (1u << b))) continue;
            if (!first) s += ',';
            s += std::to_string(b + 1);
            first = false;
        }
    }
    if (j.has_pov) s += " pov=" + std::to_string(j.pov);
    return s;
}

std::string place_text(const std::tuple<long long, long long, long long>& p) {
    std::string s = std::to_string(std::get<0>(p));
    if (std::get<1>(p) > 0) s += ":" + std::to_string(std::get<1>(p));
    if (std::get<2>(p) > 1) s += " read " + std::to_string(std::get<2>(p));
    return s;
}

}  // namespace

bool parse_input_line(std::string_view line, std::optional<RecordedInput>& out,
                      std::string& error) {
    out.reset();
    std::vector<std::string_view> t;
    if (!split(line, t, error)) return false;
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
    if (t[1] == "joystick") {
        if (!parse_joystick(t, r, error)) return false;
        out = r;
        return true;
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
    if (r.joystick) return s + " joystick" + format_joystick(r);
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
    // Where each joystick's last line applies: step, call, read.
    std::array<std::tuple<long long, long long, long long>, 2> last_joystick{};
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
        if (r->joystick) {
            // A joystick's states apply in order of the game's reads.
            auto& last = last_joystick[static_cast<size_t>(r->joystick - 1)];
            const auto place = std::make_tuple(r->step, r->call, r->read);
            if (place < last) {
                error = path + ":" + std::to_string(n) + ": joystick " +
                        std::to_string(r->joystick) + " at " + place_text(place) +
                        " comes after its state at " + place_text(last);
                return false;
            }
            last = place;
        }
        out.push_back(*r);
    }
    return true;
}

JoystickState visible_joystick_state(const JoystickState& j) {
    if (!j.present) return JoystickState();
    JoystickState v = j;
    if (v.name.size() > kNameMax) v.name.resize(kNameMax);
    v.axis_count = std::clamp(v.axis_count, 0, 6);
    v.button_count = std::clamp(v.button_count, 0, 32);
    for (int32_t& a : v.axes) a = std::clamp(a, int32_t{0}, int32_t{65535});
    // Outside 0..36000 the game reads centred; without a hat there is no direction.
    if (!v.has_pov || v.pov < 0 || v.pov > 36000) v.pov = -1;
    return v;
}

bool same_joystick_state(const JoystickState& a, const JoystickState& b) {
    const JoystickState x = visible_joystick_state(a), y = visible_joystick_state(b);
    return x.present == y.present && x.name == y.name && x.axis_count == y.axis_count &&
           x.button_count == y.button_count && x.has_pov == y.has_pov &&
           std::equal(std::begin(x.axes), std::end(x.axes), std::begin(y.axes)) &&
           x.buttons == y.buttons && x.pov == y.pov;
}

}  // namespace kx
