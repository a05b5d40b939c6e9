#!/usr/bin/env bash
# 64 sounds looping at once with effects, and MIDI music, rendered headless for
# 60 s of game time on one core; then the same files mixed by SDL_mixer.
set -euo pipefail
KXPACK=$(realpath "$1") KXRUN=$(realpath "$2") PEER=$(realpath "$3")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make_game.py" "$work/src"
"$KXPACK" build "$work/src" -o "$work/bench.kx"
# The same game without its sounds: what the runner spends on 1,800 steps.
cp -r "$work/src" "$work/quiet"
python3 - "$work/quiet" <<'PY'
import json, sys
g = json.load(open(sys.argv[1] + "/game.json"))
g["sounds"] = []
json.dump(g, open(sys.argv[1] + "/game.json", "w"))
json.dump({"events": {"create": [{"code": "x = 0;"}]}}, open(sys.argv[1] + "/objects/obj.json", "w"))
PY
"$KXPACK" build "$work/quiet" -o "$work/quiet.kx"
sf=${KXRUN_SOUNDFONT:-/usr/share/sounds/sf2/default-GM.sf2}
best() {  # the best of three runs, in seconds
    local b=""
    for _ in 1 2 3; do
        local s e
        s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N)
        b=$(python3 -c "import sys; t=$e-$s; b='$b'; print(t if not b or t < float(b) else b)")
    done
    echo "$b"
}
whole=$(cd "$work" && best taskset -c 0 "$KXRUN" --headless --steps 1800 --dump-audio "$work/mix.wav" bench.kx)
quiet=$(cd "$work" && best taskset -c 0 "$KXRUN" --headless --steps 1800 quiet.kx)
ours=$(python3 -c "print(max($whole - $quiet, 1e-3))")
printf 'kxrun:     the game with its sounds %.2f s, without them %.2f s (the steps and frames)\n' "$whole" "$quiet"
printf 'kxrun:     60 s of 64 sounds with effects + MIDI (loading, decoding, mixing, the WAV) in %.2f s: %.1fx real time\n' \
    "$ours" "$(python3 -c "print(60 / $ours)")"
peer_best=""
for _ in 1 2 3; do
    t=$(cd "$work/src" && SDL_SOUNDFONTS="$sf" taskset -c 0 "$PEER" peer_list.txt sounds/music.mid 60)
    peer_best=$(python3 -c "b='$peer_best'; print($t if not b or $t < float(b) else b)")
done
printf 'SDL_mixer: 60 s of the same 64 sounds (no effects) + MIDI in %.2f s: %.1fx real time\n' "$peer_best" \
    "$(python3 -c "print(60 / $peer_best)")"
printf 'ratio (SDL_mixer time / kxrun time): %.2f\n' "$(python3 -c "print($peer_best / $ours)")"
