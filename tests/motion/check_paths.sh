#!/usr/bin/env bash
# Game test of motion and paths: instances follow paths to each end action,
# move under gravity and friction, and make paths at run time; the source
# round-trips through kxpack, and bad path files are refused by name.
. "$(dirname "$0")/../support/game_test.sh"
GAME=$(realpath "$3")

"$KXPACK" build "$GAME" -o "$work/p.kx" || { echo "FAIL build"; exit 1; }
(cd "$work" && "$KXRUN" --headless --seed 1 --steps 12 p.kx >p.out 2>p.err)
expect "paths followed to their end actions" "$(cat "$GAME/expected.txt")" "$(cat "$work/p.out")"
expect "no errors while following paths" "" "$(cat "$work/p.err")"

"$KXPACK" unpack "$work/p.kx" -o "$work/src" && "$KXPACK" build "$work/src" -o "$work/p2.kx"
cmp -s "$work/p.kx" "$work/p2.kx"; expect "paths round-trip through a source folder" 0 $?
expect "an empty path slot stays empty" "null" \
    "$(tr -d ' \n' <"$work/src/game.json" | grep -o '"paths":\[[^]]*\]' | cut -d, -f2)"

bad() {   # bad NAME JSON MESSAGE: a path file kxpack must refuse
    rm -rf "$work/bad" && cp -r "$GAME" "$work/bad"
    printf '%s\n' "$2" >"$work/bad/paths/pth_line.json"
    "$KXPACK" build "$work/bad" -o "$work/bad.kx" 2>"$work/bad.err"
    expect "$1: status 1" 1 $?
    grep -q "pth_line.json: $3" "$work/bad.err"; expect "$1: names the file and the problem" 0 $?
}
bad "short point" '{"points": [[1]]}' "a point is"
bad "text coordinate" '{"points": [[1, "2"]]}' "point coordinates and speeds are numbers"
bad "unknown kind" '{"kind": "curly"}' "kind is"
bad "unknown key" '{"speed": 3}' 'unknown key "speed"'
bad "precision out of range" '{"kind": "smooth", "precision": 9}' "precision lies in 0..8"
exit $fail
