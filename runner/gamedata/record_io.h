#pragma once
// One field list serves both directions of a record: its template is called
// with a RecordReader or a RecordWriter, so what is written is what is read.
// Each step answers whether the record may go on; a writer always goes on.
// What only a reader does (checks, defaults) sits in the template under
// `if constexpr (IO::kReads)`.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "core/kx_string.h"
#include "gamedata/cstream.h"

namespace kx {

namespace record_detail {

// An element step may answer nothing, which means it went on.
template <class Each, class T>
bool step(Each& each, T& item) {
    if constexpr (std::is_void_v<decltype(each(item))>) {
        each(item);
        return true;
    } else {
        return each(item);
    }
}

}  // namespace record_detail

struct RecordReader {
    static constexpr bool kReads = true;
    CStream& s;

    void i(int32_t& v) { v = s.read_int(); }
    void b(bool& v) { v = s.read_bool(); }
    void r(double& v) { v = s.read_real(); }
    void str(std::string& v) { v = s.read_string(); }
    void str(KxString& v) { v = KxString(s.read_string()); }
    // Text kept as one zlib block.
    void compressed(std::string& v) {
        const CStream block = s.read_compressed();
        v.assign(reinterpret_cast<const char*>(block.bytes().data()), block.size());
    }
    // A word the record fixes, such as its version: false unless it matches.
    bool fixed(int32_t v) { return s.read_int() == v; }
    bool version(int32_t v) { return fixed(v); }
    // A count of entries that take at least min_bytes each: false when it is
    // negative, above max, or more than the data left could hold.
    bool count(int32_t& n, size_t min_bytes, int32_t max = INT32_MAX) {
        n = s.read_int();
        return n >= 0 && n <= max && static_cast<size_t>(n) <= s.remaining() / min_bytes;
    }
    // A counted list, each entry through `each`; the list is replaced.
    template <class T, class Each>
    bool list(std::vector<T>& v, size_t min_bytes, Each each) {
        return list(v, min_bytes, INT32_MAX, each);
    }
    template <class T, class Each>
    bool list(std::vector<T>& v, size_t min_bytes, int32_t max, Each each) {
        int32_t n = 0;
        if (!count(n, min_bytes, max)) return false;
        v.clear();
        v.resize(static_cast<size_t>(n));
        for (T& item : v)
            if (!record_detail::step(each, item)) return false;
        return true;
    }
    // A record with a reader and a writer of its own: read(stream, v) answers
    // whether it may go on, write(stream, v) writes it.
    template <class T, class Read, class Write>
    bool record(T& v, Read read, Write) {
        return read(s, v);
    }
    // A slot's presence flag; a present slot gets a fresh object.
    template <class P>
    bool slot(P& p) {
        if (!s.read_bool()) return false;
        using T = typename P::element_type;
        if constexpr (std::is_same_v<P, std::shared_ptr<T>>)
            p = std::make_shared<T>();
        else
            p = std::make_unique<T>();
        return true;
    }
};

struct RecordWriter {
    static constexpr bool kReads = false;
    CStream& s;

    void i(const int32_t& v) { s.write_int(v); }
    void b(const bool& v) { s.write_bool(v); }
    void r(const double& v) { s.write_real(v); }
    void str(const std::string& v) { s.write_string(v); }
    // c_str() is never a null pointer, even for an empty string.
    void str(const KxString& v) { s.write_string(std::string_view(v.c_str(), v.size())); }
    void compressed(const std::string& v) {
        s.write_compressed(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(v.data()), v.size()));
    }
    bool fixed(int32_t v) {
        s.write_int(v);
        return true;
    }
    bool version(int32_t v) { return fixed(v); }
    bool count(const int32_t& n, size_t, int32_t = INT32_MAX) {
        s.write_int(n);
        return true;
    }
    template <class T, class Each>
    bool list(const std::vector<T>& v, size_t min_bytes, Each each) {
        return list(v, min_bytes, INT32_MAX, each);
    }
    template <class T, class Each>
    bool list(const std::vector<T>& v, size_t, int32_t, Each each) {
        s.write_int(static_cast<int32_t>(v.size()));
        for (const T& item : v) record_detail::step(each, item);
        return true;
    }
    template <class T, class Read, class Write>
    bool record(const T& v, Read, Write write) {
        write(s, v);
        return true;
    }
    template <class P>
    bool slot(const P& p) {
        s.write_bool(p != nullptr);
        return p != nullptr;
    }
};

}  // namespace kx
