#!/usr/bin/env python3
"""Writes the sound benchmark's game source: 64 sounds, each with effects
and its own volume and pan, all looping, and a minute of MIDI music."""
import json
import os
import random
import subprocess
import sys

SOUNDGEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/soundgen/soundgen.py")
EFFECTS = [["echo"], ["chorus"], ["reverb"], ["flanger"], ["echo", "reverb"], ["gargle"], ["equalizer"],
           ["compressor"]]


def main(out):
    rnd = random.Random(64)
    os.makedirs(os.path.join(out, "sounds"), exist_ok=True)
    os.makedirs(os.path.join(out, "objects"), exist_ok=True)
    os.makedirs(os.path.join(out, "rooms"), exist_ok=True)
    names = []
    for i in range(64):
        name = "snd_%02d" % i
        wav = name + ".wav"
        subprocess.run([sys.executable, SOUNDGEN, "chirp", os.path.join(out, "sounds", wav),
                        "--from", str(200 + 20 * i), "--to", str(400 + 30 * i),
                        "--ms", str(rnd.randint(300, 2000)), "--amp", "0.5",
                        "--channels", str(1 + i % 2)], check=True)
        with open(os.path.join(out, "sounds", name + ".json"), "w") as f:
            json.dump({"file": wav, "effects": EFFECTS[i % len(EFFECTS)], "volume": 0.9,
                       "pan": round(rnd.uniform(-0.3, 0.3), 2)}, f)
        names.append(name)
    # A minute of eighths.
    tune = " ".join("%d:1" % (48 + (k * 7) % 24) for k in range(240))
    subprocess.run([sys.executable, SOUNDGEN, "midi", os.path.join(out, "sounds", "music.mid"),
                    "--notes", tune, "--bpm", "120"], check=True)
    with open(os.path.join(out, "sounds", "snd_music.json"), "w") as f:
        json.dump({"file": "music.mid", "kind": "background"}, f)
    names.append("snd_music")
    with open(os.path.join(out, "game.json"), "w") as f:
        json.dump({"game_id": 64, "sounds": names, "objects": ["obj"], "rooms": ["rm"], "room_order": [0]}, f)
    code = "for (i = 0; i < 64; i += 1) sound_loop(i); sound_play(snd_music);"
    with open(os.path.join(out, "objects", "obj.json"), "w") as f:
        json.dump({"events": {"create": [{"code": code}]}}, f)
    with open(os.path.join(out, "rooms", "rm.json"), "w") as f:
        json.dump({"instances": [{"x": 0, "y": 0, "object": "obj"}]}, f)
    # The peer's list: file, volume (0..1 linear as its API takes), pan, loops.
    with open(os.path.join(out, "peer_list.txt"), "w") as f:
        for i in range(64):
            f.write("sounds/snd_%02d.wav\n" % i)


if __name__ == "__main__":
    main(sys.argv[1])
