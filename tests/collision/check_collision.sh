#!/usr/bin/env bash
# Game tests of collisions: bouncing off, stuck in and landing on solid walls,
# a non-solid overlap, boundary and outside events; with the grid and with
# the plain scan, which must print the same.
. "$(dirname "$0")/../support/game_test.sh"
GAMES=$(realpath "$3")

"$KXPACK" build "$GAMES/walls" -o "$work/walls.kx" || { echo "FAIL build walls"; exit 1; }
(cd "$work" && "$KXRUN" --headless --seed 1 --steps 8 walls.kx >grid.out 2>grid.err)
(cd "$work" && KXRUN_COLLISION_SCAN=1 "$KXRUN" --headless --seed 1 --steps 8 walls.kx >scan.out 2>scan.err)
expect "walls: bounce, stuck, contact, overlap, boundary and outside" \
    "$(cat "$GAMES/walls/expected.txt")" "$(cat "$work/grid.out")"
expect "walls with the plain scan" "$(cat "$GAMES/walls/expected.txt")" "$(cat "$work/scan.out")"
expect "no errors" "" "$(cat "$work/grid.err" "$work/scan.err")"
exit $fail
