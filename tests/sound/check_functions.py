#!/usr/bin/env python3
"""The sound and CD functions' results and messages, as a table of script
expressions run with kxrun --eval on a small game with two sounds. --eval
stops before the sounds are prepared, so playing is tested by check_sound.py."""
import json
import os
import subprocess
import sys
import tempfile

KXPACK, KXRUN, SOUNDGEN = sys.argv[1:4]

# (code, printed result, message on stderr or None for none)
CASES = [
    ("sound_exists(snd_a)", "1", None),
    ("sound_exists(7)", "0", None),
    ("sound_name(snd_b)", "snd_b", None),
    ("sound_get_name(7)", "<undefined>", None),
    ("sound_get_kind(snd_b)", "1", None),
    ("sound_get_kind(7)", "-1", None),
    ("sound_get_preload(snd_b)", "0", None),
    ("sound_get_preload(-1)", "-1", None),
    ("sound_isplaying(7)", "0", None),
    ("sound_play(7)", "0", "Sound does not exist."),
    ("sound_volume(7, 1)", "0", "Sound does not exist."),
    ("sound_3d_set_sound_cone(7, 0, 0, 1, 90, 180, 0.5)", "0", "Sound does not exist."),
    ("sound_replace(7, 'a.wav', 0, 1)", "0", "Trying to replace non-existing sound."),
    ("sound_delete(7)", "0", "Trying to delete non-existing sound."),
    ("sound_delete(snd_a) + sound_exists(snd_a) * 10", "1", None),
    ("sound_add('missing.wav', 0, 1)", "-1", None),
    # A slot that was taken back is not left behind.
    ("string(sound_add('missing.wav', 0, 1)) + ' ' + string(sound_add('a.wav', 2, 0))", "-1 2", None),
    ("sound_get_name(sound_add('a.wav', 0, 1))", "__newsound2", None),
    ("sound_get_kind(sound_add('a.wav', 2, 0))", "2", None),
    ("sound_replace(snd_a, 'missing.wav', 0, 1)", "0", None),
    ("sound_replace(snd_a, 'a.wav', 3, 1) + sound_get_kind(snd_a) * 10", "31", None),
    ("sound_effect_set(snd_a, 64); sound_effect_equalizer(snd_a, 1000, 12, 6); sound_effect_echo(snd_a, 50, 50, 100, 100, 0); return 1", "1", None),
    # No CD drive: every CD function finds no CD.
    ("string(cd_present()) + string(cd_number()) + string(cd_playing()) + string(cd_paused()) + string(cd_track())", "00000", None),
    ("string(cd_length()) + string(cd_track_length(1)) + string(cd_position()) + string(cd_track_position())", "0000", None),
    ("cd_init(); cd_play(1, 2); cd_stop(); cd_pause(); cd_resume(); cd_set_position(1000); cd_set_track_position(1000); cd_open_door(); cd_close_door(); return cd_playing()", "0", None),
    ("MCI_command('status cdaudio media present')", "", None),
    # The multimedia commands of our own player.
    ("MCI_command('open \"a.wav\" type waveaudio alias t'); return MCI_command('status t length') + ' ' + MCI_command('status t mode')", "250 stopped", None),
    ("MCI_command('open a.wav alias t'); MCI_command('play t repeat'); return MCI_command('status t mode')", "playing", None),
    ("MCI_command('open a.wav alias t'); MCI_command('play t'); MCI_command('pause t'); return MCI_command('status t mode')", "paused", None),
    ("MCI_command('open a.wav alias t'); MCI_command('seek t to 100'); return MCI_command('status t position')", "100", None),
    ("MCI_command('open a.wav alias t'); MCI_command('close t'); return MCI_command('status t mode')", "", None),
    ("MCI_command('open a.wav alias t'); return MCI_command('open a.wav alias t') + MCI_command('status t ready')", "true", None),
    ("MCI_command('open missing.wav alias t') + MCI_command('status t mode')", "", None),
    ("MCI_command('frobnicate t') + MCI_command('play') + MCI_command('open a.wav alias t') + MCI_command('play t to 100')", "", None),
]


def main():
    fails = 0
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "sounds"))
        subprocess.run([sys.executable, SOUNDGEN, "tone", os.path.join(work, "a.wav"), "--ms", "250"], check=True)
        subprocess.run([sys.executable, SOUNDGEN, "tone", os.path.join(src, "sounds", "a.wav"), "--ms", "250"],
                       check=True)
        subprocess.run([sys.executable, SOUNDGEN, "midi", os.path.join(src, "sounds", "b.mid")], check=True)
        with open(os.path.join(src, "sounds", "snd_a.json"), "w") as f:
            json.dump({"file": "a.wav"}, f)
        with open(os.path.join(src, "sounds", "snd_b.json"), "w") as f:
            json.dump({"file": "b.mid", "kind": "background", "preload": False}, f)
        with open(os.path.join(src, "game.json"), "w") as f:
            json.dump({"game_id": 3, "sounds": ["snd_a", "snd_b"]}, f)
        game = os.path.join(work, "g.kx")
        subprocess.run([KXPACK, "build", src, "-o", game], check=True)
        for code, want, message in CASES:
            body = code if code.startswith("sound_play(7)") or "return" in code else "return " + code
            p = subprocess.run([KXRUN, "--eval", body, game], capture_output=True, text=True, cwd=work)
            got = p.stdout.rstrip("\n")
            ok = got == want and ((message is None and p.stderr == "") or (message and message in p.stderr))
            print(("ok   " if ok else "FAIL ") + code + ("" if ok else "  => [%s] stderr [%s]" % (got, p.stderr.strip())))
            fails += not ok
    sys.exit(1 if fails else 0)


main()
