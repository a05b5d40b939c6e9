#!/usr/bin/env bash
# Collision benchmarks, headless, drawing off:
#   events:    N instances moving among N solid walls, with collision events
#   placefree: N solid instances, each calling place_free every step
# For each size: processor time per step with the grid and with the plain
# scan (KXRUN_COLLISION_SCAN=1), and how many times faster the grid is. The
# cost of starting the game is taken out by timing a one-step run as well.
set -eu
KXPACK=$1 KXRUN=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {   # build GAME N -> work/GAME-N.kx
    rm -rf "$work/src"
    cp -r "$here/$1" "$work/src"
    sed -i "s/@N@/$2/" "$work/src/objects/obj_setup.json"
    "$KXPACK" build "$work/src" -o "$work/$1-$2.kx"
}
# Processor time (user + system) of a run, the best of three.
seconds() {   # seconds GAMEFILE STEPS SCAN
    local TIMEFORMAT='%3U + %3S' t best=""
    for _ in 1 2 3; do
        t=$( { time KXRUN_COLLISION_SCAN=$3 "$KXRUN" --headless --seed 1 --steps "$2" "$1" >/dev/null; } 2>&1 )
        t=$(awk "BEGIN { print $t }")
        best=$(awk "BEGIN { b = \"$best\"; print (b == \"\" || $t < b + 0) ? $t : b }")
    done
    echo "$best"
}
per_step() {   # per_step GAMEFILE STEPS SCAN -> microseconds per step
    local a b
    a=$(seconds "$1" 1 "$3")
    b=$(seconds "$1" "$2" "$3")
    awk "BEGIN { v = ($b - $a) * 1000000 / ($2 - 1); print (v < 1 ? 1 : v) }"
}
report() {   # report GAME TITLE SIZES...
    local game=$1 title=$2
    shift 2
    printf '%s\n' "$title"
    printf '  %8s %14s %14s %8s\n' instances "grid us/step" "scan us/step" ratio
    for n in "$@"; do
        build "$game" "$n"
        local f="$work/$game-$n.kx" g s count
        g=$(per_step "$f" 301 0)
        s=$(per_step "$f" 21 1)
        count=$n
        [ "$game" = events ] && count=$((2 * n))
        printf '  %8d %14.0f %14.0f %7.1fx\n' "$count" "$g" "$s" "$(awk "BEGIN { print $s / $g }")"
    done
}
report events "collision events: N movers among N solid walls" 500 1000 2000
report placefree "place_free: every one of N solid instances, every step" 1250 2500 5000
