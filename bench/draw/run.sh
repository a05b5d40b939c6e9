#!/usr/bin/env bash
# The drawing benchmark, headless, 1024x768, one scene after another:
#  sprites: 10,000 sprite instances of four 32x32 sprites (a fifth turned and
#    scaled) drawn every step by kxrun; the same picture by SDL's batched
#    renderer; and the limit, a minimal OpenGL program drawing it as one
#    instanced call (bench/draw/gl_limit.cpp);
#  shapes: 2,500 filled rectangles and 2,500 filled triangles a step, each in
#    its own colour, by kxrun and by SDL_Renderer (bench/draw/sdl_shapes_peer.cpp).
# Frames per second from processor time (user + system, best of three, the
# difference of two run lengths so start-up cancels), and the ratios.
# Usage: run.sh KXPACK KXRUN SDL_PEER; the other peers sit beside SDL_PEER.
set -eu
KXPACK=$1 KXRUN=$2 PEER=$3
peers=$(dirname "$PEER")
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen
short=20 long=120

best() {   # best CMD...: the least processor seconds of three runs
    local TIMEFORMAT='%3U + %3S' t b=""
    for _ in 1 2 3; do
        t=$( { time "$@" >/dev/null; } 2>&1 )
        t=$(awk "BEGIN { print $t }")
        b=$(awk "BEGIN { b = \"$b\"; print (b == \"\" || $t < b + 0) ? $t : b }")
    done
    echo "$b"
}
rate() {   # rate CMD...: frames per second of CMD FRAMES..., start-up cancelled
    local a b
    a=$(best "${@/FRAMES/$short}")
    b=$(best "${@/FRAMES/$long}")
    awk "BEGIN { print ($long - $short) / ($b - $a) }"
}
kxrun_rate() {   # kxrun_rate GAME.kx
    rate "$KXRUN" --headless --seed 1 --steps FRAMES "$1"
}
report() {   # report NAME RATE [NAME RATE]...: rates, then ours over each peer
    local ours=$2
    while [ $# -gt 0 ]; do
        printf '  %-14s %7.1f frames/s\n' "$1:" "$2"
        shift 2
        [ $# -gt 0 ] && peers_seen+=("$1" "$2")
    done
    local i
    for ((i = 0; i < ${#peers_seen[@]}; i += 2)); do
        printf '  ratio kxrun/%s: %.2f\n' "${peers_seen[i]}" \
            "$(awk "BEGIN { print $ours / ${peers_seen[i + 1]} }")"
    done
    peers_seen=()
}
peers_seen=()

scene_sprites() {
    cp -r "$here/game" "$work/sprites"
    # The art: round sprites with a white frame, drawn here.
    for k in 0 1 2 3; do
        convert -size 32x32 xc:none -fill "rgb($((60 * k)),120,200)" -draw "circle 16,16 16,2" \
            -fill none -stroke white -draw "rectangle 0,0 31,31" PNG32:"$work/sprites/sprites/s$k.png"
        convert "$work/sprites/sprites/s$k.png" -define bmp:format=bmp4 BMP:"$work/s$k.bmp"
    done
    "$KXPACK" build "$work/sprites" -o "$work/sprites.kx"
    printf 'draw: 10000 sprites, 1024x768, headless (llvmpipe)\n'
    report kxrun "$(kxrun_rate "$work/sprites.kx")" \
        SDL_Renderer "$(rate "$PEER" FRAMES "$work")" \
        limit "$(rate "$peers/kx_draw_bench_gl_limit" FRAMES "$work")"
}

scene_shapes() {
    cp -r "$here/shapes" "$work/shapes"
    "$KXPACK" build "$work/shapes" -o "$work/shapes.kx"
    printf 'draw: 5000 filled shapes, 1024x768, headless (llvmpipe)\n'
    report kxrun "$(kxrun_rate "$work/shapes.kx")" \
        SDL_Renderer "$(rate "$peers/kx_draw_bench_sdl_shapes" FRAMES)"
}

scene_sprites
scene_shapes
