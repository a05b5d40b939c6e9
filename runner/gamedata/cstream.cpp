#include "gamedata/cstream.h"

#include <zlib.h>

#include <bit>
#include <cstring>
#include <fstream>

#include "image/picture_file.h"

namespace kx {

static_assert(std::endian::native == std::endian::little,
              "stream code assumes a little-endian host");

void CStream::need(size_t n) const {
    if (n > m_data.size() - m_pos) throw StreamError("read past the end of the stream");
}

void CStream::put(const void* p, size_t n) {
    if (n == 0) return;  // p may be null for an empty source
    if (m_pos + n > m_data.size()) m_data.resize(m_pos + n);
    std::memcpy(m_data.data() + m_pos, p, n);
    m_pos += n;
}

int32_t CStream::read_int() {
    int32_t v;
    read_bytes(&v, 4);
    return v;
}

double CStream::read_real() {
    double v;
    read_bytes(&v, 8);
    return v;
}

bool CStream::read_bool() {
    return read_int() > 0;
}

std::string CStream::read_string() {
    int32_t n = read_int();
    if (n <= 0) return {};
    need(static_cast<size_t>(n));
    std::string s(reinterpret_cast<const char*>(m_data.data() + m_pos), static_cast<size_t>(n));
    m_pos += static_cast<size_t>(n);
    return s;
}

CStream CStream::read_compressed() {
    int32_t n = read_int();
    if (n < 0) throw StreamError("negative compressed block length");
    need(static_cast<size_t>(n));
    std::span<const uint8_t> in(m_data.data() + m_pos, static_cast<size_t>(n));
    m_pos += static_cast<size_t>(n);
    return CStream(zlib_inflate(in));
}

std::optional<std::vector<uint8_t>> CStream::read_picture_file() {
    if (!read_bool()) return std::nullopt;
    return std::move(read_compressed().data());
}

std::optional<CBitmap32> CStream::read_picture() {
    auto file = read_picture_file();
    if (!file) return std::nullopt;
    auto pic = decode_bmp(*file);
    if (!pic) return std::nullopt;
    return std::move(pic->image);
}

std::vector<uint8_t> CStream::read_bytes(size_t count) {
    need(count);
    std::vector<uint8_t> out(m_data.begin() + static_cast<std::ptrdiff_t>(m_pos),
                             m_data.begin() + static_cast<std::ptrdiff_t>(m_pos + count));
    m_pos += count;
    return out;
}

void CStream::read_bytes(void* out, size_t count) {
    need(count);
    std::memcpy(out, m_data.data() + m_pos, count);
    m_pos += count;
}

void CStream::write_int(int32_t v) {
    put(&v, 4);
}
void CStream::write_real(double v) {
    put(&v, 8);
}
void CStream::write_bool(bool v) {
    write_int(v ? 1 : 0);
}

void CStream::write_string(std::string_view s) {
    write_int(static_cast<int32_t>(s.size()));
    put(s.data(), s.size());
}

void CStream::write_compressed(std::span<const uint8_t> plain) {
    std::vector<uint8_t> z = zlib_deflate(plain);
    write_int(static_cast<int32_t>(z.size()));
    put(z.data(), z.size());
}

void CStream::write_picture(const std::vector<uint8_t>* bmp_file) {
    write_bool(bmp_file != nullptr);
    if (bmp_file) write_compressed(*bmp_file);
}

void CStream::write_bytes(std::span<const uint8_t> bytes) {
    put(bytes.data(), bytes.size());
}

void CStream::seek(size_t pos) {
    if (pos > m_data.size()) throw StreamError("seek past the end of the stream");
    m_pos = pos;
}

bool CStream::load_from_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    f.seekg(0, std::ios::end);
    std::streamoff len = f.tellg();
    if (len < 0) return false;
    f.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(len));
    if (len > 0 && !f.read(reinterpret_cast<char*>(bytes.data()), len)) return false;
    m_data = std::move(bytes);
    m_pos = 0;
    return true;
}

bool CStream::save_to_file(const std::string& path) const {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(reinterpret_cast<const char*>(m_data.data()),
            static_cast<std::streamsize>(m_data.size()));
    f.close();
    return static_cast<bool>(f);
}

void CStream::clear() {
    m_data.clear();
    m_pos = 0;
}

void CStream::copy_from(const CStream& other) {
    m_data = other.m_data;
    m_pos = 0;
}

std::vector<uint8_t> zlib_inflate(std::span<const uint8_t> in, size_t max_out) {
    constexpr size_t kChunk = 32768;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) throw StreamError("zlib initialisation failed");
    std::vector<uint8_t> out;
    uint8_t buf[kChunk];
    size_t fed = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (zs.avail_in == 0) {
            if (fed == in.size()) break;  // input exhausted before the stream's end
            size_t n = std::min(kChunk, in.size() - fed);
            zs.next_in = const_cast<Bytef*>(in.data() + fed);
            zs.avail_in = static_cast<uInt>(n);
            fed += n;
        }
        zs.next_out = buf;
        zs.avail_out = kChunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
        size_t produced = kChunk - zs.avail_out;
        if (out.size() + produced > max_out) {
            inflateEnd(&zs);
            throw StreamError("compressed block inflates beyond its limit");
        }
        out.insert(out.end(), buf, buf + produced);
        if (rc == Z_BUF_ERROR && zs.avail_in == 0 && fed == in.size()) break;
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) throw StreamError("corrupt compressed block");
    return out;
}

std::vector<uint8_t> zlib_deflate(std::span<const uint8_t> in, int level) {
    uLongf cap = compressBound(static_cast<uLong>(in.size()));
    std::vector<uint8_t> out(cap);
    if (compress2(out.data(), &cap, in.data(), static_cast<uLong>(in.size()), level) != Z_OK)
        throw StreamError("compression failed");
    out.resize(cap);
    return out;
}

}  // namespace kx
