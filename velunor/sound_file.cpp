#include "sound_file.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velunor {

namespace {

// The most sample data one sound may hold.
constexpr uint64_t kMaxBytes = 64000000;
// The smallest buffer the device takes.
constexpr uint32_t kMinBytes = 4;

uint32_t u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

int16_t clamp16(double v) {
    return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
}

enum class Encoding { Pcm, Float };

// One sample of the file's format as 16 bits.
int16_t sample16(const uint8_t* p, Encoding enc, int bits) {
    if (enc == Encoding::Float) {
        double v;
        if (bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            v = f;
        } else {
            std::memcpy(&v, p, 8);
        }
        return std::isfinite(v) ? clamp16(v * 32768.0) : 0;
    }
    switch (bits) {
        case 8:
            return static_cast<int16_t>((p[0] - 128) << 8);
        case 16:
            return static_cast<int16_t>(u16(p));
        case 24:
            return static_cast<int16_t>(u16(p + 1));
        default:
            return static_cast<int16_t>(u16(p + 2));
    }
}

std::optional<DecodedSound> decode_wav(const std::vector<uint8_t>& f) {
    const uint64_t size = f.size();
    if (size < 20) return std::nullopt;
    const uint32_t fmt_size = u32(&f[16]);
    if (fmt_size < 16 || 20 + uint64_t(fmt_size) > size) return std::nullopt;
    const uint8_t* fmt = &f[20];
    uint16_t tag = u16(fmt);
    const int channels = u16(fmt + 2);
    const uint32_t rate = u32(fmt + 4);
    const int block = u16(fmt + 12);
    const int bits = u16(fmt + 14);
    // An extensible format names its encoding in the first two bytes of its
    // sub-format.
    if (tag == 0xFFFE) {
        if (fmt_size < 40) return std::nullopt;
        tag = u16(fmt + 24);
    }
    Encoding enc;
    if (tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32))
        enc = Encoding::Pcm;
    else if (tag == 3 && (bits == 32 || bits == 64))
        enc = Encoding::Float;
    else
        return std::nullopt;
    if (channels < 1 || channels > 2 || rate == 0 || rate > 1000000 || block != channels * bits / 8)
        return std::nullopt;

    // The chunks after the format, to the data; sizes are taken as they are.
    uint64_t pos = 20 + uint64_t(fmt_size);
    while (pos + 8 <= size) {
        const uint32_t chunk = u32(&f[pos + 4]);
        if (std::memcmp(&f[pos], "data", 4) == 0) {
            const uint64_t body = pos + 8;
            const uint64_t bytes = std::min<uint64_t>(chunk, size - body);
            if (bytes < kMinBytes || bytes > kMaxBytes || bytes < uint64_t(block))
                return std::nullopt;
            DecodedSound s;
            s.channels = channels;
            s.rate = static_cast<int>(rate);
            s.block_align = block;
            s.length = static_cast<uint32_t>(bytes);
            const size_t frames = static_cast<size_t>(bytes / uint64_t(block));
            const int width = bits / 8;
            s.pcm.resize(frames * size_t(channels));
            for (size_t i = 0; i < s.pcm.size(); ++i)
                s.pcm[i] = sample16(&f[body + i * size_t(width)], enc, bits);
            return s;
        }
        pos += uint64_t(chunk) + 8;
    }
    return std::nullopt;  // no sample data
}

struct Memory {
    const std::vector<uint8_t>* data;
    size_t pos = 0;
};

size_t mem_read(void* out, size_t size, size_t count, void* src) {
    Memory& m = *static_cast<Memory*>(src);
    if (size == 0) return 0;
    const size_t n = std::min(count, (m.data->size() - m.pos) / size);
    if (n == 0) return 0;
    std::memcpy(out, m.data->data() + m.pos, n * size);
    m.pos += n * size;
    return n;
}
int mem_seek(void* src, ogg_int64_t offset, int whence) {
    Memory& m = *static_cast<Memory*>(src);
    const int64_t end = static_cast<int64_t>(m.data->size());
    int64_t at = whence == SEEK_SET   ? offset
                 : whence == SEEK_CUR ? int64_t(m.pos) + offset
                                      : end + offset;
    if (at < 0 || at > end) return -1;
    m.pos = static_cast<size_t>(at);
    return 0;
}
int mem_close(void*) {
    return 0;
}
long mem_tell(void* src) {
    return static_cast<long>(static_cast<Memory*>(src)->pos);
}

std::optional<DecodedSound> decode_ogg(const std::vector<uint8_t>& f) {
    Memory m{&f};
    OggVorbis_File vf;
    const ov_callbacks cb{mem_read, mem_seek, mem_close, mem_tell};
    if (ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) return std::nullopt;
    std::optional<DecodedSound> out;
    const vorbis_info* info = ov_info(&vf, -1);
    const ogg_int64_t total = ov_pcm_total(&vf, -1);
    if (info && info->channels >= 1 && info->channels <= 2 && info->rate > 0 && total > 0) {
        const uint64_t bytes =
            std::min<uint64_t>(uint64_t(total) * uint64_t(info->channels) * 2, kMaxBytes);
        const uint64_t block = uint64_t(info->channels) * 2;
        if (bytes >= kMinBytes && bytes >= block) {
            DecodedSound s;
            s.channels = info->channels;
            s.rate = static_cast<int>(info->rate);
            s.block_align = static_cast<int>(block);
            s.length = static_cast<uint32_t>(bytes);
            // Decoded bytes, in requests of at most 4096, until the buffer is
            // full; what the stream does not fill stays silent.
            std::vector<char> raw(static_cast<size_t>(bytes), 0);
            size_t done = 0;
            int section = 0;
            while (done < raw.size()) {
                const int want = static_cast<int>(std::min<size_t>(4096, raw.size() - done));
                const long got = ov_read(&vf, raw.data() + done, want, 0, 2, 1, &section);
                if (got == OV_HOLE) continue;
                if (got <= 0) break;
                done += static_cast<size_t>(got);
            }
            s.pcm.resize(static_cast<size_t>(bytes / block) * size_t(s.channels));
            std::memcpy(s.pcm.data(), raw.data(), s.pcm.size() * 2);
            out = std::move(s);
        }
    }
    ov_clear(&vf);
    return out;
}

}  // namespace

std::optional<DecodedSound> decode_sound(const std::vector<uint8_t>& file) {
    if (file.size() >= 4 && std::memcmp(file.data(), "RIFF", 4) == 0) {
        // A RIFF file is a WAV file or nothing.
        if (file.size() < 16 || std::memcmp(&file[12], "fmt ", 4) != 0) return std::nullopt;
        return decode_wav(file);
    }
    return decode_ogg(file);
}

}  // namespace velunor
