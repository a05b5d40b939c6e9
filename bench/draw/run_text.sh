#!/usr/bin/env bash
# The text scene: 2,000 draw_text calls of 20 characters every step in a
# 1024x768 region, headless, by kxrun; and the same strings drawn by SDL's
# batched renderer from the same glyph page (one SDL_RenderCopy per glyph) on
# the same offscreen driver and GL. Frames per second of both from processor
# time (best of three, the difference of two run lengths), and the ratio.
set -eu
KXPACK=$1 KXRUN=$2 PEER=$3
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$KXPACK" build "$here/text_game" -o "$work/text.kx"
# The peer draws from the page the game file holds, as kxpack unpacks it.
"$KXPACK" unpack "$work/text.kx" -o "$work/src" >/dev/null
convert "$work/src/fonts/fnt.png" -define bmp:format=bmp4 BMP:"$work/page.bmp"
python3 - "$work/src/fonts/fnt.json" "$work/glyphs.txt" <<'PY'
import json, sys
with open(sys.argv[2], "w") as out:
    for g in json.load(open(sys.argv[1]))["glyphs"]:
        out.write(" ".join(str(v) for v in g) + "\n")
PY
export SDL_VIDEODRIVER=offscreen
best() {   # best CMD...: the least processor seconds of three runs
    local TIMEFORMAT='%3U + %3S' t b=""
    for _ in 1 2 3; do
        t=$( { time "$@" >/dev/null; } 2>&1 )
        t=$(awk "BEGIN { print $t }")
        b=$(awk "BEGIN { b = \"$b\"; print (b == \"\" || $t < b + 0) ? $t : b }")
    done
    echo "$b"
}
short=20 long=120
k1=$(best "$KXRUN" --headless --seed 1 --steps $short "$work/text.kx")
k2=$(best "$KXRUN" --headless --seed 1 --steps $long "$work/text.kx")
s1=$(best "$PEER" $short "$work")
s2=$(best "$PEER" $long "$work")
ours=$(awk "BEGIN { print ($long - $short) / ($k2 - $k1) }")
peer=$(awk "BEGIN { print ($long - $short) / ($s2 - $s1) }")
printf 'draw text: 2000 draw_text calls of 20 characters, 1024x768, headless (llvmpipe)\n'
printf '  kxrun:        %7.1f frames/s\n' "$ours"
printf '  SDL_Renderer: %7.1f frames/s\n' "$peer"
printf '  ratio kxrun/SDL_Renderer: %.2f\n' "$(awk "BEGIN { print $ours / $peer }")"
