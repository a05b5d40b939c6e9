#!/usr/bin/env python3
"""Sound game tests: small games built with kxpack, run headless with
--dump-audio, and the mix measured. Rooms run at 30 steps a second, so step k
(from 0) starts at frame k * 1470."""
import json
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import wavprobe  # noqa: E402

KXPACK, KXRUN, SOUNDGEN = sys.argv[1:4]
STEP = 1470
failures = []


def db(mb):
    return 10 ** (mb / 2000)


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
    if not ok:
        failures.append(name)


def near(a, b, rel=0.02, absolute=1e-6):
    return abs(a - b) <= max(rel * abs(b), absolute)


def gen(folder, file, *args):
    subprocess.run([sys.executable, SOUNDGEN, args[0], os.path.join(folder, file)] + list(args[1:]), check=True)


def run_game(work, sounds, step_code, steps, env=None, create_code="", extra=()):
    """sounds: list of (name, file, generator args, json fields). Answers
    (rate, left, right, stderr)."""
    src = os.path.join(work, "src")
    os.makedirs(os.path.join(src, "sounds"), exist_ok=True)
    os.makedirs(os.path.join(src, "objects"), exist_ok=True)
    os.makedirs(os.path.join(src, "rooms"), exist_ok=True)
    for name, file, args, fields in sounds:
        gen(os.path.join(src, "sounds"), file, *args)
        with open(os.path.join(src, "sounds", name + ".json"), "w") as f:
            json.dump(dict(fields, file=file), f)
    with open(os.path.join(src, "game.json"), "w") as f:
        json.dump({"game_id": 7, "sounds": [s[0] for s in sounds], "objects": ["obj"], "rooms": ["rm"],
                   "room_order": [0]}, f)
    with open(os.path.join(src, "objects", "obj.json"), "w") as f:
        json.dump({"events": {"create": [{"code": "n = -1; " + create_code}],
                              "step": [{"code": "n += 1; " + step_code}]}}, f)
    with open(os.path.join(src, "rooms", "rm.json"), "w") as f:
        json.dump({"instances": [{"x": 0, "y": 0, "object": "obj"}]}, f)
    game, wav = os.path.join(work, "g.kx"), os.path.join(work, "out.wav")
    subprocess.run([KXPACK, "build", src, "-o", game], check=True)
    e = dict(os.environ)
    e.update(env or {})
    p = subprocess.run([KXRUN, "--headless", "--steps", str(steps), "--dump-audio", wav, *extra, game],
                       capture_output=True, text=True, env=e, cwd=work)
    if p.returncode != 0:
        raise RuntimeError("kxrun failed: " + p.stderr)
    rate, left, right = wavprobe.read(wav)
    run_game.stdout = p.stdout
    return rate, left, right, p.stderr


def case(fn):
    with tempfile.TemporaryDirectory() as work:
        try:
            fn(work)
        except Exception as ex:  # a broken case is a failure, the others still run
            check(fn.__name__, False, repr(ex))
    return fn


TONE = ["tone", "--freq", "300", "--amp", "1"]


@case
def placement(work):
    # n counts steps from 0.
    _, L, R, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "200"], {}),
                                 ("b", "b.wav", TONE + ["--ms", "200"], {})],
                          "if (n == 2) { sound_volume(a, 0.5); sound_pan(a, -1); sound_play(a); }"
                          "if (n == 12) { sound_pan(b, 0.25); sound_play(b); }", 25)
    check("the mix lasts the game's 25 steps", abs(len(L) - 25 * STEP) <= 1, str(len(L)))
    start = wavprobe.first_above(L, 1e-6)
    check("volume 0.5, pan -1: starts at step 2", start in range(2 * STEP, 2 * STEP + 5), str(start))
    check("volume 0.5 is -48 dB", near(wavprobe.peak(L, 0, 12 * STEP), db(-4800)),
          str(wavprobe.peak(L, 0, 12 * STEP)))
    check("pan -1: nothing on the right", wavprobe.peak(R, 0, 12 * STEP) == 0.0, str(wavprobe.peak(R, 0, 12 * STEP)))
    rs = wavprobe.first_above(R, 1e-6)
    check("the second sound starts at step 12", rs in range(12 * STEP, 12 * STEP + 5), str(rs))
    check("pan 0.25: right at full level", near(wavprobe.peak(R, 12 * STEP), 1.0, 0.01), str(wavprobe.peak(R, 12 * STEP)))
    check("pan 0.25: left at -25 dB", near(wavprobe.peak(L, 12 * STEP), db(-2500)), str(wavprobe.peak(L, 12 * STEP)))


@case
def loop_and_stop(work):
    _, L, R, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "100", "--amp", "0.5"], {})],
                          "if (n == 0) sound_loop(a); if (n == 20) sound_stop(a);", 30)
    windows = [wavprobe.rms(L, k * 4410, (k + 1) * 4410) for k in range(6)]
    check("the 100 ms sound repeats", all(near(w, 0.5 / math.sqrt(2), 0.05) for w in windows), str(windows))
    end = wavprobe.last_above(L, 1e-6)
    check("sound_stop at step 20 ends it", end in range(20 * STEP - 5, 20 * STEP), str(end))


@case
def isplaying(work):
    # 200 ms: six steps. A looping sound plays until stopped.
    run_game(work, [("a", "a.wav", TONE + ["--ms", "200"], {}), ("b", "b.wav", TONE + ["--ms", "50"], {})],
             "if (n == 0) { sound_play(a); sound_loop(b); } if (n == 20) sound_stop(b);"
             "show_debug_message(string(sound_isplaying(a)) + string(sound_isplaying(b)));", 22)
    lines = run_game.stdout.split()
    check("sound_isplaying follows the sound", lines == ["11"] * 6 + ["01"] * 14 + ["00"] * 2, str(lines))
    # Discarding stops the sound; its volume and pan come back with it.
    _, L, R, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "1000"], {"volume": 0.5, "pan": -1})],
                          "if (n == 0) { sound_volume(a, 1); sound_pan(a, 0); sound_play(a); }"
                          "if (n == 5) { sound_discard(a); show_debug_message(string(sound_isplaying(a))); }"
                          "if (n == 10) { sound_restore(a); sound_play(a); }", 15)
    check("sound_discard stops it", run_game.stdout.split() == ["0"] and wavprobe.peak(L, 6 * STEP, 10 * STEP) == 0)
    check("sound_volume and sound_pan change the entry only", near(wavprobe.peak(R, 0, 5 * STEP), 1.0) and
          near(wavprobe.peak(L, 11 * STEP), db(-4800)) and wavprobe.peak(R, 11 * STEP) == 0)


@case
def fade(work):
    _, L, _, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "2500"], {})],
                          "if (n == 0) { sound_play(a); sound_fade(a, 0.5, 1000); }", 60)
    check("a fade starts at the old level", near(wavprobe.peak(L, 0, 300), 1.0, 0.02), str(wavprobe.peak(L, 0, 300)))
    mid = wavprobe.peak(L, 22050 + 735, 22050 + STEP - 10)  # gains glide within a step
    check("halfway through the fade, half the decibels", near(mid, db(-2400), 0.2), str(mid))
    after = wavprobe.peak(L, 44100 + STEP, 44100 + 3 * STEP)
    check("after 1000 ms the fade is at its level", near(after, db(-4800), 0.02), str(after))


@case
def two_sounds_mix(work):
    sounds = [("a", "a.wav", ["tone", "--freq", "300", "--amp", "0.3", "--ms", "300"], {}),
              ("b", "b.wav", ["tone", "--freq", "710", "--amp", "0.4", "--ms", "300"], {"pan": 0.5})]
    outs = []
    for code in ["if (n == 1) sound_play(a);", "if (n == 2) sound_play(b);",
                 "if (n == 1) sound_play(a); if (n == 2) sound_play(b);"]:
        d = os.path.join(work, str(len(outs)))
        os.makedirs(d)
        outs.append(run_game(d, sounds, code, 15))
    (_, la, ra, _), (_, lb, rb, _), (_, lm, rm, _) = outs
    diff = max(max(abs(lm[i] - la[i] - lb[i]), abs(rm[i] - ra[i] - rb[i])) for i in range(len(lm)))
    check("two sounds mix as their sum", diff < 1e-5, str(diff))
    check("...and overlap", wavprobe.peak(la, 2 * STEP, 5 * STEP) > 0.2 and wavprobe.peak(rb, 2 * STEP, 5 * STEP) > 0.3)


@case
def replays(work):
    # 300 Hz repeats every 1/30 s: a copy started one step later is in phase.
    _, L, _, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "300", "--amp", "0.25"], {}),
                                 ("m", "m.wav", TONE + ["--ms", "2000", "--amp", "0.25"], {"kind": "background"}),
                                 ("m2", "m2.wav", TONE + ["--ms", "2000", "--amp", "0.25"], {"kind": "background"})],
                          "if (n == 0 || n == 1) sound_play(a); if (n == 15 || n == 16) sound_play(m);"
                          "if (n == 25) sound_play(m2);", 35)
    check("a normal sound played twice sounds twice", near(wavprobe.peak(L, 2 * STEP, 8 * STEP), 0.5, 0.02),
          str(wavprobe.peak(L, 2 * STEP, 8 * STEP)))
    check("background music played again replaces itself", near(wavprobe.peak(L, 17 * STEP, 24 * STEP), 0.25, 0.02),
          str(wavprobe.peak(L, 17 * STEP, 24 * STEP)))
    check("other background music replaces it", near(wavprobe.peak(L, 26 * STEP, 34 * STEP), 0.25, 0.02),
          str(wavprobe.peak(L, 26 * STEP, 34 * STEP)))


@case
def global_volume(work):
    _, L, _, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "2000"], {})],
                          "if (n == 0) sound_play(a); if (n == 5) sound_global_volume(0.5);"
                          "if (n == 10) sound_global_volume(0); if (n == 15) sound_global_volume(2);", 20)
    check("global volume 1 is full scale", near(wavprobe.peak(L, 0, 5 * STEP), 1.0), str(wavprobe.peak(L, 0, 5 * STEP)))
    check("global volume 0.5 is -55 dB from there", near(wavprobe.peak(L, 6 * STEP, 10 * STEP), db(-5500)),
          str(wavprobe.peak(L, 6 * STEP, 10 * STEP)))
    # -110 dB lies below what the mixer lets through.
    check("global volume 0 is silence", wavprobe.peak(L, 11 * STEP, 15 * STEP) < db(-10000),
          str(wavprobe.peak(L, 11 * STEP, 15 * STEP)))
    check("global volume 2 is limited to 1", near(wavprobe.peak(L, 16 * STEP, 20 * STEP), 1.0), str(wavprobe.peak(L, 16 * STEP)))


@case
def echo(work):
    burst = ["tone", "--freq", "1000", "--amp", "0.5", "--ms", "20"]
    _, L, R, _ = run_game(work, [("dry", "dry.wav", burst, {}), ("wet", "wet.wav", burst, {"effects": ["echo"]})],
                          "if (n == 0) { sound_effect_echo(wet, 50, 0, 100, 100, 0); sound_play(dry); }"
                          "if (n == 10) sound_play(wet);", 20)
    both = [abs(a) + abs(b) for a, b in zip(L, R)]
    dry_late = wavprobe.peak(both, 4410 + 1000, 4410 + 900 + 882)
    check("without echo nothing follows the burst", dry_late == 0.0, str(dry_late))
    t = 10 * STEP
    check("the echo keeps the dry sound", near(wavprobe.peak(L, t, t + 882), 0.5, 0.05), str(wavprobe.peak(L, t, t + 882)))
    wet_late = wavprobe.peak(both, t + 4410 + 100, t + 4410 + 800)
    check("echo adds a copy 100 ms later", wet_late > 0.05, str(wet_late))
    gap = wavprobe.peak(both, t + 1500, t + 4000)
    check("...and nothing between", gap < 0.01, str(gap))


@case
def every_effect(work):
    # Each effect with its defaults, then with its parameters at both ends of
    # their ranges: the mix goes on and the effect changes the sound.
    names = ["chorus", "echo", "flanger", "gargle", "reverb", "compressor", "equalizer", "distortion", "room_reverb"]
    sounds = [("dry", "t.wav", TONE + ["--ms", "400", "--amp", "0.5"], {})]
    sounds += [("fx_" + n, "t%d.wav" % i, TONE + ["--ms", "400", "--amp", "0.5"], {"effects": [n]})
               for i, n in enumerate(names)]
    ends = ["sound_effect_chorus(fx_chorus, %s, %s, %s, %s, %s, %s, %s);",
            "sound_effect_echo(fx_echo, %s, %s, %s, %s, %s);",
            "sound_effect_flanger(fx_flanger, %s, %s, %s, %s, %s, %s, %s);",
            "sound_effect_gargle(fx_gargle, %s, %s);",
            "sound_effect_reverb(fx_reverb, %s, %s, %s, %s);",
            "sound_effect_compressor(fx_compressor, %s, %s, %s, %s, %s, %s);",
            "sound_effect_equalizer(fx_equalizer, %s, %s, %s);"]
    low = "".join(e % tuple(["-100000"] * e.count("%s")) for e in ends)
    high = "".join(e % tuple(["100000"] * e.count("%s")) for e in ends)
    code = "if (n == 0) sound_play(dry);"
    for i, nm in enumerate(names):
        code += "if (n == %d) sound_play(fx_%s);" % (15 * (i + 1), nm)
    code += "if (n == 150) { %s } if (n == 160) { %s }" % (low, high)
    _, L, R, err = run_game(work, sounds, code, 170)
    dry = L[0:15000]
    for i, nm in enumerate(names):
        at = 15 * (i + 1) * STEP
        wet = L[at:at + 15000]
        diff = max(abs(a - b) for a, b in zip(dry, wet))
        check("the %s changes the sound" % nm, diff > 1e-3, str(diff))
    check("parameters out of range are taken", err == "", err)


@case
def three_d(work):
    _, L, R, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "1000", "--amp", "0.5"], {"kind": "3d"})],
                          "if (n == 0) sound_play(a); if (n == 10) sound_3d_set_sound_position(a, 10, 0, 0);"
                          "if (n == 20) sound_3d_set_sound_position(a, 10, 0, 0);", 25)
    near_level = wavprobe.rms(L, 0, 9 * STEP) + wavprobe.rms(R, 0, 9 * STEP)
    far_l, far_r = wavprobe.rms(L, 11 * STEP, 20 * STEP), wavprobe.rms(R, 11 * STEP, 20 * STEP)
    check("a 3D sound ten units away is quieter", far_l + far_r < 0.2 * near_level, "%g %g" % (near_level, far_l + far_r))
    check("...and comes from the right", far_r > 2 * far_l, "%g %g" % (far_l, far_r))


@case
def multimedia_loop(work):
    _, L, _, _ = run_game(work, [("a", "a.wav", TONE + ["--ms", "200", "--amp", "0.5"],
                                  {"kind": "multimedia", "volume": 0.2})],
                          "if (n == 0) sound_loop(a); if (n == 40) sound_stop(a);", 50)
    windows = [wavprobe.peak(L, k * 8820 + 2000, k * 8820 + 6000) for k in range(6)]
    check("a multimedia sound restarts every time its length elapsed", all(near(w, 0.5, 0.02) for w in windows),
          str(windows))
    end = wavprobe.last_above(L, 1e-6)
    check("...until it is stopped", end in range(40 * STEP - 5, 40 * STEP), str(end))


@case
def midi(work):
    sounds = [("m", "m.mid", ["midi", "--notes", "60:2 64:2 67:2 72:2"], {"kind": "background"})]
    d1, d2 = os.path.join(work, "1"), os.path.join(work, "2")
    os.makedirs(d1)
    os.makedirs(d2)
    _, L, R, err = run_game(d1, sounds, "if (n == 0) sound_play(m);", 90)
    check("MIDI music sounds with a soundfont", wavprobe.rms(L) + wavprobe.rms(R) > 1e-3, str(wavprobe.rms(L)))
    check("...without warnings", "soundfont" not in err, err)
    _, L, R, err = run_game(d2, sounds, "if (n == 0) sound_play(m);", 90, env={"KXRUN_SOUNDFONT": "/nonexistent.sf2"})
    check("without a soundfont MIDI music is silent", wavprobe.peak(L) == 0 and wavprobe.peak(R) == 0)
    check("...and says so once", len([l for l in err.splitlines() if "soundfont" in l]) == 1, err)
    # --soundfont comes before the environment, and a missing one is silence too.
    system = [f for f in ("/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2")
              if os.path.exists(f)]
    if system:
        d3 = os.path.join(work, "3")
        os.makedirs(d3)
        _, L, R, err = run_game(d3, sounds, "if (n == 0) sound_play(m);", 90,
                                env={"KXRUN_SOUNDFONT": "/nonexistent.sf2"}, extra=("--soundfont", system[0]))
        check("--soundfont wins over KXRUN_SOUNDFONT", wavprobe.rms(L) + wavprobe.rms(R) > 1e-3, err)
    d4 = os.path.join(work, "4")
    os.makedirs(d4)
    _, L, R, err = run_game(d4, sounds, "if (n == 0) sound_play(m);", 90, extra=("--soundfont", "/nonexistent.sf2"))
    check("a missing --soundfont is silence", wavprobe.peak(L) == 0 and wavprobe.peak(R) == 0, err)


@case
def midi_tempo(work):
    sounds = [("m", "m.mid", ["midi", "--notes", "60:2 62:2 64:2 65:2 67:2 69:2 71:2 72:2", "--bpm", "120"],
               {"kind": "background"})]
    ends = []
    for tempo in ["1", "2"]:
        d = os.path.join(work, tempo)
        os.makedirs(d)
        _, L, R, _ = run_game(d, sounds, "if (n == 0) { sound_background_tempo(%s); sound_play(m); }" % tempo, 150)
        ends.append(wavprobe.last_above([abs(a) + abs(b) for a, b in zip(L, R)], 1e-4))
    # Eight quarter notes at 120 bpm last 4 s; at twice the tempo 2 s.
    check("sound_background_tempo(2) plays the music twice as fast",
          1.9 < (ends[0] - ends[1]) / 44100 < 2.1, str(ends))


sys.exit(1 if failures else 0)
