#pragma once
// The Windows virtual keys scripts can name: the script constant, the code and
// how event names print the key. Input, the script constants, event names and
// kxpack all read this one table.
#include <string_view>

namespace kx {

struct VirtualKey {
    std::string_view name;  // the script constant
    int code;
    // How event names print the key. Empty where they print "<unknown>", and
    // on a second name of a key already listed; kxpack names only printed keys.
    std::string_view printed;
};

// In the order the script constants register: the constant table's order is
// visible to scripts, so rows are never reordered.
inline constexpr VirtualKey kVirtualKeys[] = {
    {"vk_nokey", 0, "<no key>"},
    {"vk_anykey", 1, "<any key>"},
    {"vk_enter", 13, "<Enter>"},
    {"vk_return", 13, ""},
    {"vk_shift", 16, "<Shift>"},
    {"vk_control", 17, "<Ctrl>"},
    {"vk_alt", 18, "<Alt>"},
    {"vk_escape", 27, "<Escape>"},
    {"vk_space", 32, "<Space>"},
    {"vk_backspace", 8, "<Backspace>"},
    {"vk_tab", 9, "<Tab>"},
    {"vk_pause", 19, ""},
    {"vk_printscreen", 44, ""},
    {"vk_left", 37, "<Left>"},
    {"vk_right", 39, "<Right>"},
    {"vk_up", 38, "<Up>"},
    {"vk_down", 40, "<Down>"},
    {"vk_home", 36, "<Home>"},
    {"vk_end", 35, "<End>"},
    {"vk_delete", 46, "<Delete>"},
    {"vk_insert", 45, "<Insert>"},
    {"vk_pageup", 33, "<Page Up>"},
    {"vk_pagedown", 34, "<Page Down>"},
    {"vk_f1", 112, "F1"},
    {"vk_f2", 113, "F2"},
    {"vk_f3", 114, "F3"},
    {"vk_f4", 115, "F4"},
    {"vk_f5", 116, "F5"},
    {"vk_f6", 117, "F6"},
    {"vk_f7", 118, "F7"},
    {"vk_f8", 119, "F8"},
    {"vk_f9", 120, "F9"},
    {"vk_f10", 121, "F10"},
    {"vk_f11", 122, "F11"},
    {"vk_f12", 123, "F12"},
    {"vk_numpad0", 96, "Keypad 0"},
    {"vk_numpad1", 97, "Keypad 1"},
    {"vk_numpad2", 98, "Keypad 2"},
    {"vk_numpad3", 99, "Keypad 3"},
    {"vk_numpad4", 100, "Keypad 4"},
    {"vk_numpad5", 101, "Keypad 5"},
    {"vk_numpad6", 102, "Keypad 6"},
    {"vk_numpad7", 103, "Keypad 7"},
    {"vk_numpad8", 104, "Keypad 8"},
    {"vk_numpad9", 105, "Keypad 9"},
    {"vk_divide", 111, "Keypad /"},
    {"vk_multiply", 106, "Keypad *"},
    {"vk_subtract", 109, "Keypad -"},
    {"vk_add", 107, "Keypad +"},
    {"vk_decimal", 110, "Keypad ."},
    {"vk_lshift", 160, ""},
    {"vk_lcontrol", 162, ""},
    {"vk_lalt", 164, ""},
    {"vk_rshift", 161, ""},
    {"vk_rcontrol", 163, ""},
    {"vk_ralt", 165, ""},
};

// The code of a key by its script name; a name not in the table does not compile.
consteval int vk_code(std::string_view name) {
    for (const VirtualKey& k : kVirtualKeys)
        if (k.name == name) return k.code;
    throw "no virtual key of that name";
}

// The printed key of a code or a name, or null when event names do not name it.
constexpr const VirtualKey* printed_key(int code) {
    for (const VirtualKey& k : kVirtualKeys)
        if (k.code == code && !k.printed.empty()) return &k;
    return nullptr;
}
constexpr const VirtualKey* printed_key(std::string_view name) {
    for (const VirtualKey& k : kVirtualKeys)
        if (k.name == name && !k.printed.empty()) return &k;
    return nullptr;
}

// Letter and digit keys have their character as code and no script constant.
constexpr bool is_character_key(int code) {
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z');
}

namespace vk {
inline constexpr int kBackspace = vk_code("vk_backspace"), kTab = vk_code("vk_tab"),
                     kEnter = vk_code("vk_enter"), kShift = vk_code("vk_shift"),
                     kControl = vk_code("vk_control"), kAlt = vk_code("vk_alt"),
                     kPause = vk_code("vk_pause"), kEscape = vk_code("vk_escape"),
                     kSpace = vk_code("vk_space"), kPageUp = vk_code("vk_pageup"),
                     kPageDown = vk_code("vk_pagedown"), kEnd = vk_code("vk_end"),
                     kHome = vk_code("vk_home"), kLeft = vk_code("vk_left"), kUp = vk_code("vk_up"),
                     kRight = vk_code("vk_right"), kDown = vk_code("vk_down"),
                     kPrintScreen = vk_code("vk_printscreen"), kInsert = vk_code("vk_insert"),
                     kDelete = vk_code("vk_delete"), kNumpad0 = vk_code("vk_numpad0"),
                     kMultiply = vk_code("vk_multiply"), kAdd = vk_code("vk_add"),
                     kSubtract = vk_code("vk_subtract"), kDecimal = vk_code("vk_decimal"),
                     kDivide = vk_code("vk_divide"), kF1 = vk_code("vk_f1"),
                     kLShift = vk_code("vk_lshift"), kRShift = vk_code("vk_rshift"),
                     kLControl = vk_code("vk_lcontrol"), kRControl = vk_code("vk_rcontrol"),
                     kLAlt = vk_code("vk_lalt"), kRAlt = vk_code("vk_ralt");
// Keys scripts have no constant for.
inline constexpr int kCapsLock = 20, kNumLock = 144, kScrollLock = 145;
}  // namespace vk

}  // namespace kx
