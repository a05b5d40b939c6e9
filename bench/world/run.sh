#!/usr/bin/env bash
# 10,000 instances with a step event and alarms that replace them with new
# ones, headless. Prints the time per step over steps 101-700 and 701-1300, so
# a slowdown as ids grow and instances come and go shows as a difference.
set -eu
KXPACK=$1 KXRUN=$2
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$KXPACK" build "$here/game" -o "$work/bench.kx"
# Processor time (user + system), the best of three runs: steadier than the
# wall clock on a busy machine.
seconds() {   # seconds STEPS
    local TIMEFORMAT='%3U + %3S' t best=""
    for _ in 1 2 3; do
        t=$( { time "$KXRUN" --headless --seed 1 --steps "$1" "$work/bench.kx" >/dev/null; } 2>&1 )
        t=$(awk "BEGIN { print $t }")
        best=$(awk "BEGIN { b = \"$best\"; print (b == \"\" || $t < b + 0) ? $t : b }")
    done
    echo "$best"
}
a=$(seconds 100); b=$(seconds 700); c=$(seconds 1300)
printf 'world: 10000 instances, step event and alarms, headless\n'
printf '  start and first 100 steps: %.3f s of processor time\n' "$a"
printf '  steps 101-700:  %.1f us per step\n' "$(awk "BEGIN { print ($b - $a) * 1000000 / 600 }")"
printf '  steps 701-1300: %.1f us per step\n' "$(awk "BEGIN { print ($c - $b) * 1000000 / 600 }")"
