#!/usr/bin/env python3
"""Makes the sound files of our examples and tests from nothing but numbers.

  soundgen.py tone FILE [--freq HZ] [--ms N] [--amp A] [--rate R] [--channels C] [--bits 8|16|24|32]
  soundgen.py chirp FILE --from HZ --to HZ [--ms N] [--amp A]
  soundgen.py midi FILE [--notes "60:4 62:4 ..."] [--bpm N] [--program P]
  soundgen.py demo FOLDER      the demo's coin, life-lost and music files
"""
import argparse
import math
import struct
import sys
import wave


def write_wav(path, frames, rate=44100, channels=1, bits=16):
    """frames: list of samples (mono) in -1..1, copied into every channel."""
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(bits // 8)
        w.setframerate(rate)
        out = bytearray()
        for v in frames:
            v = max(-1.0, min(1.0, v))
            for _ in range(channels):
                if bits == 8:
                    out += struct.pack("<B", int(round(v * 127)) + 128)
                elif bits == 16:
                    out += struct.pack("<h", int(round(v * 32767)))
                elif bits == 24:
                    out += struct.pack("<i", int(round(v * 8388607)))[:3]
                else:
                    out += struct.pack("<i", int(round(v * 2147483647)))
        w.writeframes(bytes(out))


def tone(freq, ms, amp, rate=44100):
    n = int(rate * ms / 1000)
    return [amp * math.sin(2 * math.pi * freq * i / rate) for i in range(n)]


def chirp(f0, f1, ms, amp, rate=44100):
    n = int(rate * ms / 1000)
    out, phase = [], 0.0
    for i in range(n):
        f = f0 + (f1 - f0) * i / max(n - 1, 1)
        phase += 2 * math.pi * f / rate
        env = min(1.0, (n - i) / (0.2 * n))  # a short fade at the end
        out.append(amp * env * math.sin(phase))
    return out


def varlen(n):
    b = [n & 0x7F]
    n >>= 7
    while n:
        b.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(b)


def write_midi(path, notes, bpm=120, program=0, division=480):
    """notes: (midi note or None for a rest, length in eighths)."""
    ev = bytearray()
    ev += varlen(0) + b"\xFF\x51\x03" + struct.pack(">I", 60000000 // bpm)[1:]
    ev += varlen(0) + bytes([0xC0, program])
    rest = 0
    for note, eighths in notes:
        ticks = eighths * division // 2
        if note is None:
            rest += ticks
            continue
        ev += varlen(rest) + bytes([0x90, note, 100])
        ev += varlen(ticks) + bytes([0x80, note, 0])
        rest = 0
    ev += varlen(rest) + b"\xFF\x2F\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, division))
        f.write(b"MTrk" + struct.pack(">I", len(ev)) + ev)


def parse_notes(text):
    out = []
    for item in text.split():
        n, _, l = item.partition(":")
        out.append((None if n == "r" else int(n), int(l or 1)))
    return out


# The demo's tune: a short loop in C major, eighths.
DEMO_TUNE = ("60:2 64:2 67:2 72:2 71:2 67:2 64:2 62:2 "
             "60:2 64:2 67:2 69:2 67:4 r:4 "
             "65:2 69:2 72:2 69:2 67:2 64:2 62:2 59:2 "
             "60:4 64:2 62:2 60:4 r:4")


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("what", choices=["tone", "chirp", "midi", "demo"])
    ap.add_argument("file")
    ap.add_argument("--freq", type=float, default=440)
    ap.add_argument("--from", dest="f0", type=float, default=440)
    ap.add_argument("--to", dest="f1", type=float, default=880)
    ap.add_argument("--ms", type=float, default=500)
    ap.add_argument("--amp", type=float, default=0.5)
    ap.add_argument("--rate", type=int, default=44100)
    ap.add_argument("--channels", type=int, default=1)
    ap.add_argument("--bits", type=int, default=16, choices=[8, 16, 24, 32])
    ap.add_argument("--notes", default=DEMO_TUNE)
    ap.add_argument("--bpm", type=int, default=120)
    ap.add_argument("--program", type=int, default=0)
    a = ap.parse_args(argv)
    if a.what == "tone":
        write_wav(a.file, tone(a.freq, a.ms, a.amp, a.rate), a.rate, a.channels, a.bits)
    elif a.what == "chirp":
        write_wav(a.file, chirp(a.f0, a.f1, a.ms, a.amp, a.rate), a.rate, a.channels, a.bits)
    elif a.what == "midi":
        write_midi(a.file, parse_notes(a.notes), a.bpm, a.program)
    else:
        import os
        os.makedirs(a.file, exist_ok=True)
        write_wav(os.path.join(a.file, "coin.wav"), chirp(988, 1976, 120, 0.6))
        write_wav(os.path.join(a.file, "life_lost.wav"), chirp(440, 110, 600, 0.6))
        write_midi(os.path.join(a.file, "music.mid"), parse_notes(DEMO_TUNE), 132, 11)


if __name__ == "__main__":
    main(sys.argv[1:])
