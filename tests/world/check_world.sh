#!/usr/bin/env bash
# Game tests of the world: each game's debug messages against its expected
# lines, source round trips, save and load, and refused input.
. "$(dirname "$0")/../support/game_test.sh"
GAMES=$(realpath "$3")
play() {   # play GAME STEPS: builds and runs in the work folder
    "$KXPACK" build "$GAMES/$1" -o "$work/$1.kx" || { echo "FAIL build $1"; fail=1; return; }
    (cd "$work" && "$KXRUN" --headless --seed 1 --steps "$2" "$1.kx" >"$1.out" 2>"$1.err")
}

play world_order 11
expect "event order over three rooms, persistence and a restart" "$(cat "$GAMES/world_order/expected.txt")" "$(cat "$work/world_order.out")"
expect "no errors in the event-order game" "" "$(cat "$work/world_order.err")"
"$KXPACK" unpack "$work/world_order.kx" -o "$work/wo_src" && "$KXPACK" build "$work/wo_src" -o "$work/wo2.kx"
cmp -s "$work/world_order.kx" "$work/wo2.kx"; expect "objects, rooms and time lines round-trip" 0 $?

play save_load 7
expect "game_load restores what game_save wrote" "$(cat "$GAMES/save_load/expected.txt")" "$(cat "$work/save_load.out")"
expect "no leftover temporary save file" "s.sav" "$(cd "$work" && ls *.sav*)"

head -c 300 "$work/s.sav" > "$work/short" && mv "$work/short" "$work/s.sav"
play save_corrupt 3
expect "a truncated save is refused and the game goes on" "$(cat "$GAMES/save_corrupt/expected.txt")" "$(cat "$work/save_corrupt.out")"
expect "refusal message (a missing file says nothing)" "kxrun: Failed to load game from file s.sav" "$(cat "$work/save_corrupt.err")"

# An action function that is not registered fails the compile by name.
cp -r "$GAMES/save_corrupt" "$work/nofn"
cat > "$work/nofn/objects/obj_s.json" <<'JSON'
{"events": {"step": [{"function": "action_nothing_here", "args": ["1"]}]}}
JSON
"$KXPACK" build --no-check "$work/nofn" -o "$work/nofn.kx"
"$KXRUN" --headless --steps 1 "$work/nofn.kx" >/dev/null 2>"$work/nofn.err"; expect "missing action function: status 1" 1 $?
grep -q "^kxrun: $work/nofn.kx: Failed to locate action function action_nothing_here" "$work/nofn.err"; expect "reading names the function" 0 $?
grep -q "Unknown action function action_nothing_here" "$work/nofn.err"; expect "compiling names the function" 0 $?
expect "then the summary" "kxrun: Failed to compile the object actions." "$(tail -n 1 "$work/nofn.err")"

# A source naming an object that does not exist is refused by kxpack.
sed -i 's/"obj_s"}/"obj_nope"}/' "$work/nofn/rooms/rm_only.json"
"$KXPACK" build "$work/nofn" -o "$work/bad.kx" 2>"$work/bad.err"; expect "unknown object name: status 1" 1 $?
grep -q 'no object named "obj_nope"' "$work/bad.err"; expect "kxpack names the object" 0 $?
play sprites 1
expect "instances see their sprite's frames, size and origin" "2 16x8 origin 3,2" "$(cat "$work/sprites.out")"
"$KXPACK" unpack "$work/sprites.kx" -o "$work/sp_src" && "$KXPACK" build "$work/sp_src" -o "$work/sp2.kx"
cmp -s "$work/sprites.kx" "$work/sp2.kx"; expect "sprites and backgrounds round-trip" 0 $?

play with_visits 2
expect "with visits the instances counted first, skipping destroyed ones" "$(cat "$GAMES/with_visits/expected.txt")" "$(cat "$work/with_visits.out")"

exit $fail
