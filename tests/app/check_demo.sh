#!/usr/bin/env bash
# The demo builds, round-trips through unpack, and its recorded play runs
# headless without an error, presenting a frame every step.
. "$(dirname "$0")/../support/game_test.sh"
DEMO=$(realpath "$3")
"$KXPACK" build "$DEMO" -o "$work/demo.kx" || { echo "FAIL build"; exit 1; }
"$KXPACK" unpack "$work/demo.kx" -o "$work/src" && "$KXPACK" build "$work/src" -o "$work/again.kx"
cmp -s "$work/demo.kx" "$work/again.kx"; expect "demo round-trips" 0 $?
(cd "$work" && "$KXRUN" --headless --seed 1 --input "$DEMO/demo.input" --steps 240 \
    --dump-frames frames demo.kx >out.txt 2>err.txt)
expect "recorded play exits normally" 0 $?
expect "no errors" "" "$(cat "$work/err.txt")"
expect "240 frames for 240 steps" 240 "$(ls "$work/frames" | wc -l)"
# The title is left and coins are taken: later frames differ from the first.
first=$(compare -metric AE "$work/frames/frame_000000.png" "$work/frames/frame_000200.png" null: 2>&1)
[ "${first:-0}" != "0" ] && echo "ok   the game moves on" || { echo "FAIL frames do not change"; fail=1; }
exit $fail
