"""Reads a WAV file's samples as floats per channel, whatever its encoding:
8, 16, 24 or 32-bit integers or 32-bit floats, plain or extensible format."""
import array
import struct


def read_wav(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(path + ": not a WAV file")
    pos, fmt, raw = 12, None, b""
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], int.from_bytes(data[pos + 4:pos + 8], "little")
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = body
        elif cid == b"data":
            raw = body
        pos += 8 + size + (size & 1)
    tag, channels, rate = struct.unpack_from("<HHI", fmt)
    bits = struct.unpack_from("<H", fmt, 14)[0]
    if tag == 0xFFFE:
        tag = struct.unpack_from("<H", fmt, 24)[0]
    width = bits // 8
    raw = raw[: len(raw) // (width * channels) * width * channels]
    if tag == 3 and bits == 32:
        s = list(array.array("f", raw))
    elif bits == 8:
        s = [(v - 128) / 128.0 for v in raw]
    elif bits == 16:
        s = [v / 32768.0 for v in array.array("h", raw)]
    elif bits == 24:
        s = [int.from_bytes(raw[i:i + 3], "little", signed=True) / 8388608.0
             for i in range(0, len(raw), 3)]
    else:
        s = [v / 2147483648.0 for v in array.array("i", raw)]
    return rate, [s[c::channels] for c in range(channels)]


def rms(x):
    return (sum(v * v for v in x) / len(x)) ** 0.5 if x else 0.0
