#!/usr/bin/env bash
# 10,000 sprite instances of four 32x32 sprites (a fifth turned and scaled)
# drawn every step in a 1024x768 region, headless, by kxrun; and the same
# picture drawn by SDL's batched renderer on the same offscreen driver and GL.
# Frames per second of both from processor time (user + system, best of
# three, the difference of two run lengths so start-up cancels), and the ratio.
set -eu
KXPACK=$1 KXRUN=$2 PEER=$3
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/game" "$work/game"
# The art: round sprites with a white frame, drawn here.
for k in 0 1 2 3; do
    convert -size 32x32 xc:none -fill "rgb($((60 * k)),120,200)" -draw "circle 16,16 16,2" \
        -fill none -stroke white -draw "rectangle 0,0 31,31" PNG32:"$work/game/sprites/s$k.png"
    convert "$work/game/sprites/s$k.png" -define bmp:format=bmp4 BMP:"$work/s$k.bmp"
done
"$KXPACK" build "$work/game" -o "$work/bench.kx"
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
k1=$(best "$KXRUN" --headless --seed 1 --steps $short "$work/bench.kx")
k2=$(best "$KXRUN" --headless --seed 1 --steps $long "$work/bench.kx")
s1=$(best "$PEER" $short "$work")
s2=$(best "$PEER" $long "$work")
ours=$(awk "BEGIN { print ($long - $short) / ($k2 - $k1) }")
peer=$(awk "BEGIN { print ($long - $short) / ($s2 - $s1) }")
printf 'draw: 10000 sprites, 1024x768, headless (llvmpipe)\n'
printf '  kxrun:        %7.1f frames/s\n' "$ours"
printf '  SDL_Renderer: %7.1f frames/s\n' "$peer"
printf '  ratio kxrun/SDL_Renderer: %.2f\n' "$(awk "BEGIN { print $ours / $peer }")"
