#pragma once
// Sound files for the velunor tests: WAV files written byte by byte, and Ogg
// Vorbis files made by the reference encoder.
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace velunor_test {

inline void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}
inline void put16(std::string& s, uint32_t v) {
    for (int i = 0; i < 2; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A sine of the given frequency and amplitude (of full scale).
inline double sine(double freq, double amp, int rate, int frame) {
    return amp * std::sin(2 * std::numbers::pi * freq * frame / rate);
}

// 8- or 16-bit PCM; sample(frame, channel) in -1..1.
inline std::string wav_bytes(int channels, int rate, int bits, int frames,
                             const std::function<double(int, int)>& sample) {
    std::string data;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const double v = sample(f, c);
            if (bits == 8)
                data += static_cast<char>(std::lround(128 + v * 127));
            else
                put16(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
        }
    std::string s = "RIFF";
    put32(s, static_cast<uint32_t>(36 + data.size()));
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, static_cast<uint32_t>(channels));
    put32(s, static_cast<uint32_t>(rate));
    put32(s, static_cast<uint32_t>(rate * channels * bits / 8));
    put16(s, static_cast<uint32_t>(channels * bits / 8));
    put16(s, static_cast<uint32_t>(bits));
    s += "data";
    put32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A mono tone encoded at quality 0.5; false when the encoder refuses.
inline bool write_ogg(const std::string& path, int rate, int frames, double freq, double amp) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, rate, 0.5f) != 0) return false;
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    std::string out;
    ogg_page page;
    auto take = [&](bool flush) {
        while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
            out.append(reinterpret_cast<char*>(page.header), size_t(page.header_len));
            out.append(reinterpret_cast<char*>(page.body), size_t(page.body_len));
        }
    };
    take(true);
    for (int done = 0; done <= frames;) {
        const int n = std::min(1024, frames - done);
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, n);
            for (int i = 0; i < n; ++i)
                buf[0][i] = static_cast<float>(sine(freq, amp, rate, done + i));
        }
        vorbis_analysis_wrote(&vd, n > 0 ? n : 0);
        done += n > 0 ? n : 1;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet p;
            while (vorbis_bitrate_flushpacket(&vd, &p)) {
                ogg_stream_packetin(&os, &p);
                take(false);
            }
        }
    }
    take(true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    write_file(path, out);
    return true;
}

}  // namespace velunor_test
