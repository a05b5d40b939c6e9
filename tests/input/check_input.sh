#!/usr/bin/env bash
# Game tests of input: recorded input files replayed into small games, the
# record of a replay, and refused input files.
. "$(dirname "$0")/../support/game_test.sh"
GAMES=$(realpath "$3")
build() {
    "$KXPACK" build "$GAMES/$1" -o "$work/$1.kx" || { echo "FAIL build $1"; fail=1; }
}
play() {   # play GAME STEPS INPUT [more options]: stdout in GAME.out, stderr in GAME.err
    local game=$1 steps=$2 input=$3
    shift 3
    (cd "$work" && timeout 20 "$KXRUN" --headless --seed 1 --steps "$steps" --input "$input" "$@" \
        "$game.kx" >"$game.out" 2>"$game.err")
}

build keys
play keys 6 "$GAMES/keys/input.txt"
expect "key held three steps, a key pressed and released between steps" \
    "$(cat "$GAMES/keys/expected.txt")" "$(cat "$work/keys.out")"
expect "no errors in the key game" "" "$(cat "$work/keys.err")"

# Recording a replay gives its events back at the same places, and replaying
# that record gives the same run.
play keys 6 "$GAMES/keys/input.txt" --record "$work/keys.rec"
expect "the record of a replay lists the replayed events" \
    "$(grep -v '^#' "$GAMES/keys/input.txt" | sed 's/ vk_left/ 37/; s/ A$/ 65/')" \
    "$(grep -v '^#' "$work/keys.rec")"
cp "$work/keys.out" "$work/keys.first"
play keys 6 "$work/keys.rec"
expect "replaying the record repeats the run" "$(cat "$work/keys.first")" "$(cat "$work/keys.out")"

# Closing the window is Escape; with KeyEscEnd on the game ends at the next step.
printf '1 close\n' >"$work/close.txt"
play keys 6 "$work/close.txt"
expect "a close request ends the game at the next step" "1 kb none
1 left 000 none 1 key 0 last 0 text [] char []" "$(cat "$work/keys.out")"

build mouse
play mouse 7 "$GAMES/mouse/input.txt"
expect "mouse events on a hollow precise sprite, global events, wheel" \
    "$(cat "$GAMES/mouse/expected.txt")" "$(cat "$work/mouse.out")"

# The same moves through a view that shows part of the room at twice its size.
build mouse_views
play mouse_views 7 "$GAMES/mouse_views/input.txt"
expect "mouse events through a view" \
    "$(cat "$GAMES/mouse_views/expected.txt")" "$(cat "$work/mouse_views.out")"

# Joysticks replay from their recorded states; the devices are never read.
build joystick
play joystick 6 "$GAMES/joystick/input.txt" --record "$work/joystick.rec"
expect "joystick states, events and a change inside io_handle" \
    "$(cat "$GAMES/joystick/expected.txt")" "$(cat "$work/joystick.out")"
expect "the record of a joystick replay gives its lines back" \
    "$(grep -v '^#' "$GAMES/joystick/input.txt")" "$(grep -v '^#' "$work/joystick.rec")"
play joystick 6 "$work/joystick.rec"
expect "replaying the joystick record repeats the run" \
    "$(cat "$GAMES/joystick/expected.txt")" "$(cat "$work/joystick.out")"

build wait
play wait 4 "$GAMES/wait/input.txt"
expect "keyboard_wait takes a key replayed inside its message checks" \
    "$(cat "$GAMES/wait/expected.txt")" "$(cat "$work/wait.out")"
printf '' >"$work/empty.txt"
play wait 3 "$work/empty.txt"
expect "keyboard_wait returns when nothing can arrive" "waited 0 ms for key 0 held 0" \
    "$(sed -n 2p "$work/wait.out")"

# Refused files: the run does not start and the message names the place.
printf '0 keydown 37\n2 jump 1\n' >"$work/bad.txt"
play keys 3 "$work/bad.txt"
expect "bad input file: status 1" 1 $?
expect "bad input file: message" "kxrun: $work/bad.txt:2: unknown event \"jump\"" "$(cat "$work/keys.err")"
expect "bad input file: nothing ran" "" "$(cat "$work/keys.out")"
printf '3 keydown 37\n1 keyup 37\n' >"$work/back.txt"
play keys 3 "$work/back.txt"
expect "steps may not go back" "kxrun: $work/back.txt:2: step 1 comes after step 3" "$(cat "$work/keys.err")"
printf '0 joystick 1 x=0\n1 joystick 1 buttons=1,33\n' >"$work/badjoy.txt"
play keys 3 "$work/badjoy.txt"
expect "bad joystick line" "kxrun: $work/badjoy.txt:2: button 33 out of range (1..32)" \
    "$(cat "$work/keys.err")"
play keys 3 "$work/no-such-file.txt"
expect "missing input file" "kxrun: cannot read the input file $work/no-such-file.txt" "$(cat "$work/keys.err")"
play keys 3 "$work/empty.txt" --record "$work/no-such-dir/rec.txt"
expect "unwritable record" "kxrun: cannot write the input record $work/no-such-dir/rec.txt" \
    "$(cat "$work/keys.err")"

exit $fail
