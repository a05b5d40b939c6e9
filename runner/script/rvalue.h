#pragma once
// A script value: a real or a string. Both fields always exist; a real result
// leaves the string field alone. A real never allocates.
#include <cstdint>
#include <string_view>

#include "core/kx_string.h"

namespace kx {

// Values equal the script constants ty_real and ty_string.
enum class VKind : int32_t { Real = 0, String = 1 };

struct RValue {
    VKind kind = VKind::Real;
    double real = 0.0;
    KxString str;

    RValue() = default;
    RValue(double r) : real(r) {}
    RValue(KxString s) : kind(VKind::String), str(std::move(s)) {}
    RValue(std::string_view s) : kind(VKind::String), str(s) {}
    RValue(const char* s) : kind(VKind::String), str(s) {}

    bool is_real() const noexcept { return kind == VKind::Real; }
    bool is_string() const noexcept { return kind == VKind::String; }

    void set_real(double r) noexcept {
        kind = VKind::Real;
        real = r;
    }
    void set_string(KxString s) {
        kind = VKind::String;
        str = std::move(s);
    }
};

}  // namespace kx
