#pragma once
// In-memory byte stream of the game data and of save files. Little-endian
// throughout. A read past the end throws StreamError; loaders turn that into
// their own message.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "image/bitmap32.h"

namespace kx {

class StreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CStream {
public:
    CStream() = default;
    explicit CStream(std::vector<uint8_t> bytes) : m_data(std::move(bytes)) {}

    int32_t read_int();
    double read_real();
    bool read_bool();           // true when the stored integer is > 0
    std::string read_string();  // a length <= 0 gives ""
    CStream read_compressed();  // inflates one zlib stream into a new stream at 0
    // A presence flag and, when set, a compressed Windows bitmap. A bitmap that
    // does not decode reads as no picture.
    std::optional<CBitmap32> read_picture();
    // The same record as the stored bitmap file's bytes, undecoded.
    std::optional<std::vector<uint8_t>> read_picture_file();
    std::vector<uint8_t> read_bytes(size_t count);
    void read_bytes(void* out, size_t count);

    void write_int(int32_t v);
    void write_real(double v);
    void write_bool(bool v);
    void write_string(std::string_view s);
    void write_compressed(std::span<const uint8_t> plain);  // zlib, default level
    void write_compressed(const CStream& plain) { write_compressed(plain.bytes()); }
    // Writes the presence flag and, for a picture, the compressed bitmap file.
    void write_picture(const std::vector<uint8_t>* bmp_file);
    void write_bytes(std::span<const uint8_t> bytes);

    void seek(size_t pos);
    size_t position() const { return m_pos; }
    size_t size() const { return m_data.size(); }
    size_t remaining() const { return m_data.size() - m_pos; }
    bool at_end() const { return m_pos >= m_data.size(); }

    bool load_from_file(const std::string& path);
    bool save_to_file(const std::string& path) const;
    void clear();
    void copy_from(const CStream& other);

    std::span<const uint8_t> bytes() const { return m_data; }
    std::vector<uint8_t>& data() { return m_data; }

private:
    void need(size_t n) const;
    void put(const void* p, size_t n);
    std::vector<uint8_t> m_data;
    size_t m_pos = 0;
};

// Inflates a zlib stream (with header), 32 KiB in and 32 KiB out at a time.
// Throws StreamError for a corrupt or truncated stream, or one that would
// inflate beyond max_out bytes.
std::vector<uint8_t> zlib_inflate(std::span<const uint8_t> in, size_t max_out = size_t(1) << 31);
std::vector<uint8_t> zlib_deflate(std::span<const uint8_t> in, int level = 9);

}  // namespace kx
