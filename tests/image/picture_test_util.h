#pragma once
// Helpers for the picture tests: a scratch folder, reference images written in
// the plain PPM/PAM formats (so that ImageMagick's input does not depend on our
// encoders), ImageMagick calls and pixel comparison.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "image/bitmap32.h"

namespace kx::test {

namespace fs = std::filesystem;

inline uint32_t px(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

class ScratchDir {
public:
    ScratchDir() {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("kx_picture_test_" + std::to_string(rd()));
        fs::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

inline bool have_convert() {
    return std::system("convert -version >/dev/null 2>&1") == 0;
}

inline bool run_convert(const std::string& args) {
    return std::system(("convert " + args + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// PPM (colours only) or PAM with alpha.
inline void write_netpbm(const std::string& path, const CBitmap32& img, bool alpha) {
    std::ofstream f(path, std::ios::binary);
    if (alpha)
        f << "P7\nWIDTH " << img.width << "\nHEIGHT " << img.height
          << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    else
        f << "P6\n" << img.width << " " << img.height << "\n255\n";
    for (uint32_t p : img.pixels) {
        f.put(static_cast<char>((p >> 16) & 255));
        f.put(static_cast<char>((p >> 8) & 255));
        f.put(static_cast<char>(p & 255));
        if (alpha) f.put(static_cast<char>(p >> 24));
    }
}

// Reads the PAM that `convert X PAM:file` writes (RGB or RGB_ALPHA, 8 bits).
inline CBitmap32 read_pam(const std::string& path) {
    std::vector<uint8_t> b = read_file(path);
    std::string text(b.begin(), b.end());
    size_t end = text.find("ENDHDR\n");
    if (text.rfind("P7", 0) != 0 || end == std::string::npos) return {};
    std::istringstream hdr(text.substr(0, end));
    std::string key;
    int w = 0, h = 0, depth = 0, maxval = 0;
    while (hdr >> key) {
        if (key == "WIDTH")
            hdr >> w;
        else if (key == "HEIGHT")
            hdr >> h;
        else if (key == "DEPTH")
            hdr >> depth;
        else if (key == "MAXVAL")
            hdr >> maxval;
    }
    size_t start = end + 7;
    if (maxval != 255 || (depth != 3 && depth != 4) || b.size() < start + size_t(w) * h * depth)
        return {};
    CBitmap32 img = CBitmap32::blank(w, h);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        const uint8_t* s = b.data() + start + i * depth;
        img.pixels[i] = px(depth == 4 ? s[3] : 255, s[0], s[1], s[2]);
    }
    return img;
}

struct Diff {
    int max_diff = 0;
    double mean_diff = 0;
    std::string first;  // where the first pixel beyond the tolerance is
};

// Channel differences; colours are only compared where the expected pixel is
// visible when alpha is compared (hidden pixels may carry any colour).
inline Diff compare(const CBitmap32& got, const CBitmap32& want, bool with_alpha, int tolerance) {
    Diff d;
    if (got.width != want.width || got.height != want.height) {
        d.max_diff = 1000;
        d.first = "size " + std::to_string(got.width) + "x" + std::to_string(got.height) +
                  " instead of " + std::to_string(want.width) + "x" + std::to_string(want.height);
        return d;
    }
    double sum = 0;
    for (int32_t y = 0; y < want.height; ++y)
        for (int32_t x = 0; x < want.width; ++x) {
            uint32_t g = got.at(x, y), w = want.at(x, y);
            int worst = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                if (shift == 24 && !with_alpha) continue;
                if (shift < 24 && with_alpha && (w >> 24) == 0) continue;
                int diff = std::abs(int((g >> shift) & 255) - int((w >> shift) & 255));
                worst = std::max(worst, diff);
                sum += diff;
            }
            if (worst > tolerance && d.first.empty()) {
                char buf[96];
                std::snprintf(buf, sizeof buf, "(%d,%d): got %08X want %08X", x, y, g, w);
                d.first = buf;
            }
            d.max_diff = std::max(d.max_diff, worst);
        }
    d.mean_diff = sum / (double(want.width) * want.height * (with_alpha ? 4 : 3));
    return d;
}

}  // namespace kx::test
