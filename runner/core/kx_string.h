#pragma once
// Immutable 8-bit string shared by reference count until written. Copying is a
// pointer copy plus an increment; the runner is single-threaded, so the count is
// not atomic.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kx {

class KxString {
public:
    KxString() noexcept = default;
    KxString(std::string_view s) { assign(s); }
    KxString(const char* s) { assign(std::string_view(s)); }
    KxString(const std::string& s) { assign(std::string_view(s)); }
    KxString(std::string&& s) {
        if (!s.empty()) m_rep = new Rep{1, std::move(s)};
    }
    KxString(const KxString& o) noexcept : m_rep(o.m_rep) {
        if (m_rep) ++m_rep->refs;
    }
    KxString(KxString&& o) noexcept : m_rep(o.m_rep) { o.m_rep = nullptr; }
    ~KxString() { release(); }
    KxString& operator=(const KxString& o) noexcept {
        if (o.m_rep) ++o.m_rep->refs;
        release();
        m_rep = o.m_rep;
        return *this;
    }
    KxString& operator=(KxString&& o) noexcept {
        if (this != &o) {
            release();
            m_rep = o.m_rep;
            o.m_rep = nullptr;
        }
        return *this;
    }

    std::string_view view() const noexcept {
        return m_rep ? std::string_view(m_rep->s) : std::string_view();
    }
    const std::string& str() const noexcept { return m_rep ? m_rep->s : empty_string(); }
    const char* c_str() const noexcept { return m_rep ? m_rep->s.c_str() : ""; }
    size_t size() const noexcept { return m_rep ? m_rep->s.size() : 0; }
    bool empty() const noexcept { return size() == 0; }
    char operator[](size_t i) const noexcept { return m_rep->s[i]; }

    // Copy-on-write access for in-place building (string concatenation loops).
    std::string& mutable_str() {
        if (!m_rep) {
            m_rep = new Rep{1, {}};
        } else if (m_rep->refs > 1) {
            --m_rep->refs;
            m_rep = new Rep{1, m_rep->s};
        }
        return m_rep->s;
    }

    friend bool operator==(const KxString& a, const KxString& b) noexcept {
        return a.m_rep == b.m_rep || a.view() == b.view();
    }
    friend bool operator==(const KxString& a, std::string_view b) noexcept { return a.view() == b; }

private:
    struct Rep {
        uint32_t refs;
        std::string s;
    };
    static const std::string& empty_string() noexcept {
        static const std::string e;
        return e;
    }
    void assign(std::string_view s) {
        if (!s.empty()) m_rep = new Rep{1, std::string(s)};
    }
    void release() noexcept {
        if (m_rep && --m_rep->refs == 0) delete m_rep;
        m_rep = nullptr;
    }
    Rep* m_rep = nullptr;
};

}  // namespace kx
