#!/usr/bin/env python3
"""Reads a 32-bit float stereo WAV (as kxrun --dump-audio writes it) and
answers questions about it, for the sound tests."""
import math
import struct


def read(path):
    """Returns (rate, left, right) as lists of floats."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("not a WAV file")
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        chunk = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = struct.unpack("<HHIIHH", chunk[:16])
        elif cid == b"data":
            body = chunk
        pos += 8 + size + (size & 1)
    tag, channels, rate, _, _, bits = fmt
    if tag not in (3, 0xFFFE) or bits != 32 or channels != 2:
        raise ValueError("want 32-bit float stereo, got tag %d, %d bits, %d channels" % (tag, bits, channels))
    n = len(body) // 8
    samples = struct.unpack("<%df" % (2 * n), body[:8 * n])
    return rate, list(samples[0::2]), list(samples[1::2])


def first_above(x, level, start=0):
    """Index of the first sample whose magnitude passes level, or -1."""
    for i in range(start, len(x)):
        if abs(x[i]) > level:
            return i
    return -1


def last_above(x, level):
    for i in range(len(x) - 1, -1, -1):
        if abs(x[i]) > level:
            return i
    return -1


def peak(x, a=0, b=None):
    seg = x[a:b]
    return max((abs(v) for v in seg), default=0.0)


def rms(x, a=0, b=None):
    seg = x[a:b]
    return math.sqrt(sum(v * v for v in seg) / len(seg)) if seg else 0.0
