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
# Text: pure yellow, white and aqua appear nowhere in the pictures, only in the
# text drawn over them: the title and the keys on the title screen, the score
# (yellow) and the lives (white) in the level's top corners.
pixels() {   # pixels FRAME CROP COLOUR: how many pixels of the crop have the colour
    convert "$work/frames/frame_$1.png" -crop "$2" +repage txt:- | grep -ci "$3"
}
for probe in "000000 320x60+160+20 #FFFF00 title" "000000 640x60+0+80 #FFFFFF keys" \
            "000000 640x80+0+300 #00FFFF start-key" "000200 200x30+0+0 #FFFF00 score" \
            "000200 200x30+440+0 #FFFFFF lives"; do
    set -- $probe
    n=$(pixels "$1" "$2" "$3")
    [ "$n" -gt 40 ] && echo "ok   frame $1 shows the $4 text" || { echo "FAIL frame $1: no $4 text ($n)"; fail=1; }
done
exit $fail
