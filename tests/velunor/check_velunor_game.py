#!/usr/bin/env python3
"""A game declares velunor's functions with external_define and plays a tone
from its tenth step, panned hard left: kxrun finds its own libvelunor.so for
"velunor.dll", and --dump-audio holds the tone on the left from that step on
and nothing on the right. Without --dump-audio in this kxrun only the
finding is checked and the test is skipped (status 77)."""
import array
import math
import os
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wav_samples import read_wav, rms  # noqa: E402

kxpack, kxrun, game = (os.path.abspath(a) for a in sys.argv[1:4])
fail = 0


def expect(name, ok, detail=""):
    global fail
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
    fail |= not ok


with tempfile.TemporaryDirectory() as work:
    with wave.open(os.path.join(work, "tone.wav"), "wb") as w:  # 0.5 s, 441 Hz, half scale
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(array.array("h", (int(16383 * math.sin(2 * math.pi * 441 * i / 44100))
                                        for i in range(22050))).tobytes())
    subprocess.run([kxpack, "build", game, "-o", os.path.join(work, "g.kx")], check=True)
    helptext = subprocess.run([kxrun, "--help"], capture_output=True, text=True)
    dump = "--dump-audio" in helptext.stdout + helptext.stderr
    args = [kxrun, "--headless", "--steps", "30"]
    if dump:
        args += ["--dump-audio", "out.wav"]
    run = subprocess.run(args + ["g.kx"], cwd=work, capture_output=True, text=True, timeout=120)
    lines = run.stdout.split("\n")
    expect("velunor found for velunor.dll", "defined 1" in lines, run.stdout + run.stderr)
    expect("exit status", run.returncode == 0, str(run.returncode))
    if not dump:
        print("kxrun has no --dump-audio: the mix is not checked")
        sys.exit(fail or 77)
    expect("the runner's device is ready", "init Yes" in lines, run.stdout)
    expect("the file loaded", "loaded 1" in lines, run.stdout)
    rate, (left, right) = read_wav(os.path.join(work, "out.wav"))
    start = round(9 * rate / 30)  # the tenth step begins after nine periods
    before, during = left[: start - rate // 100], left[start + rate // 20: start + rate * 3 // 10]
    expect("silent before the step", rms(before) < 0.001, str(rms(before)))
    expect("the tone on the left", abs(rms(during) - 0.5 / math.sqrt(2)) < 0.02, str(rms(during)))
    expect("nothing on the right", rms(right) < 0.001, str(rms(right)))
sys.exit(fail)
