#!/usr/bin/env python3
"""velunor on its own: the C program plays a tone on the default device,
which OpenAL Soft's wave writer stands in for; the written file holds the
tone at the level and side asked for."""
import array
import math
import os
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wav_samples import read_wav  # noqa: E402

prog = sys.argv[1]
fail = 0


def expect(name, want, got):
    global fail
    ok = want == got
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else f": want {want!r} got {got!r}"))
    fail |= not ok


with tempfile.TemporaryDirectory() as work:
    tone = os.path.join(work, "tone.wav")
    with wave.open(tone, "wb") as w:  # 0.3 s of 441 Hz at half of full scale
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(array.array("h", (int(16383 * math.sin(2 * math.pi * 441 * i / 44100))
                                        for i in range(13230))).tobytes())
    out = os.path.join(work, "out.wav")
    conf = os.path.join(work, "alsoft.conf")
    with open(conf, "w") as f:
        f.write(f"[general]\ndrivers=wave\nchannels=stereo\nfrequency=44100\n[wave]\nfile={out}\n")
    env = dict(os.environ, ALSOFT_CONF=conf, ALSOFT_DRIVERS="wave")
    run = subprocess.run([prog, tone, "-600", "-10000"], env=env, capture_output=True, text=True,
                         timeout=60)
    expect("answers", ["init Yes", "load handle", "volume 1", "pan 1", "length 26460", "play 0",
                       "playing 1", "ended yes", "free 0"], run.stdout.split("\n")[:-1])
    expect("exit status", 0, run.returncode)
    rate, sides = read_wav(out)
    expect("stereo output", 2, len(sides))
    left, right = (sides + [[], []])[:2]
    # The tone's loudest 0.1 s: -6 dB of a half-scale sine on the left only.
    best = max((sum(x * x for x in left[i:i + 4410]) / 4410) ** 0.5
               for i in range(0, max(1, len(left) - 4410), 2205)) if left else 0
    expect("left at -6 dB", True, abs(best - 0.5 / math.sqrt(2) * 0.5012) < 0.01)
    expect("right silent", True, max((abs(x) for x in right), default=0) < 0.001)
sys.exit(fail)
