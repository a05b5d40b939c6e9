#!/usr/bin/env bash
# What a player, a script and a game maker meet on the command line: option
# errors, help and version, messages that name the program and the file, exit
# statuses, the launcher of a built game, and the writable folder of a game
# whose own folder is read-only.
. "$(dirname "$0")/../support/game_test.sh"
unset DISPLAY WAYLAND_DISPLAY KXRUN_OPTIONS
hint_kxrun="usage: kxrun [options] GAME [game arguments...]; kxrun --help lists the options"
hint_kxpack="usage: kxpack build|info|unpack ...; kxpack --help shows more"

# A game that says it ran (the game's arguments cannot be read back yet), and
# one that errs every step.
g="$work/g"
mkdir -p "$g/objects" "$g/rooms"
echo '{"events": {"create": [{"code": "show_debug_message(\"ran\");"}]}}' > "$g/objects/obj_a.json"
echo '{"instances": [{"x": 0, "y": 0, "object": "obj_a"}]}' > "$g/rooms/rm.json"
echo '{"game_id": 31, "objects": ["obj_a"], "rooms": ["rm"]}' > "$g/game.json"
"$KXPACK" build "$g" -o "$work/g.kx" || { echo "FAIL build"; exit 1; }
cp -r "$g" "$work/e"
echo '{"events": {"step": [{"code": "x = no_such_variable + 1;"}]}}' > "$work/e/objects/obj_a.json"
"$KXPACK" build "$work/e" -o "$work/e.kx"

# Each bad command line: status 2, one error line naming the program, one hint.
while IFS='|' read -r name args want; do
    "$KXRUN" $args >"$work/out" 2>"$work/err"; st=$?
    expect "kxrun $name: status 2" 2 "$st"
    expect "kxrun $name: message and hint" "kxrun: $want
$hint_kxrun" "$(cat "$work/err")"
done <<'CASES'
unknown long option|--bogus g.kx|unknown option --bogus
unknown short option|-x g.kx|unknown option -x
missing value|--steps|--steps needs a value
bad number|--steps=-3 g.kx|--steps needs a whole number of 0 or more
no game|--headless|no game file given
CASES
KXRUN_OPTIONS="--steps" "$KXRUN" "$work/g.kx" 2>"$work/err"
expect "an option of KXRUN_OPTIONS takes its value there" "kxrun: --steps needs a value" "$(head -n 1 "$work/err")"
while IFS='|' read -r name args want; do
    "$KXPACK" $args >"$work/out" 2>"$work/err"; st=$?
    expect "kxpack $name: status 2" 2 "$st"
    expect "kxpack $name: message and hint" "kxpack: $want
$hint_kxpack" "$(cat "$work/err")"
done <<'CASES'
no command||no command given
unknown command|pack x|unknown command pack
unknown option|build --fast src -o x|unknown option --fast for build
no output|build src|build needs -o FILE
two sources|build a b -o x|build takes one source folder
CASES

for p in "$KXRUN" "$KXPACK"; do
    n=$(basename "$p")
    for o in -h --help; do
        "$p" $o | grep -q "^usage: $n"; expect "$n $o" 0 $?
    done
    for o in -V --version; do
        expect "$n $o names the version and the commit" 0 \
            "$("$p" $o | grep -cvE "^$n [0-9]+\.[0-9]+\.[0-9]+ \(commit [0-9a-z-]+\)$")"
    done
    "$p" --help >/dev/full 2>"$work/err"; st=$?
    expect "$n help to a full device fails" "1 $n: cannot write to the standard output: No space left on device" "$st $(cat "$work/err")"
done

# Messages name the program, and load errors the file.
"$KXRUN" --headless "$work/none.kx" 2>"$work/err"
expect "a missing game names the file" "1 kxrun: $work/none.kx: Error: Cannot read the file." "$? $(cat "$work/err")"
"$KXRUN" --headless "$work" 2>"$work/err"
expect "a folder is not a game" "1 kxrun: $work is a folder, not a game file" "$? $(cat "$work/err")"
"$KXRUN" -- -h 2>"$work/err"
expect "-- ends the options" "1 kxrun: no display (DISPLAY and WAYLAND_DISPLAY are unset); use --headless to run without a window" "$? $(cat "$work/err")"
"$KXRUN" --headless --steps 1 -- "$work/g.kx" -h --x >"$work/out" 2>&1
expect "after the game every argument is the game's" "0 ran" "$? $(cat "$work/out")"

# No display and no --headless: one line and status 1, quickly, not a silent spin.
timeout 10 "$KXRUN" "$work/g.kx" >"$work/out" 2>"$work/err"
expect "no display: status 1" 1 $?
expect "no display: says how to run headless" "kxrun: no display (DISPLAY and WAYLAND_DISPLAY are unset); use --headless to run without a window" "$(cat "$work/out" "$work/err")"

# A headless run whose game reported errors exits 3; the errors are on stderr.
"$KXRUN" --headless --steps 3 "$work/e.kx" >/dev/null 2>"$work/err"
expect "run-time errors: status 3" 3 $?
expect "each error on stderr, prefixed" 3 "$(grep -c '^kxrun: ERROR in' "$work/err")"
"$KXRUN" --headless --steps 3 "$work/g.kx" >/dev/null 2>&1
expect "a clean run: status 0" 0 $?

# The launcher: kxrun beside the game, options before -- and KXRUN_OPTIONS.
mkdir -p "$work/side"
cp "$work/g.kx" "$KXRUN" "$work/side/"
PATH=/usr/bin:/bin "$work/side/g.kx" --headless --steps 1 -- one two >"$work/out" 2>&1
expect "launcher: kxrun beside it, options before --" "0 ran" "$? $(cat "$work/out")"
PATH=/usr/bin:/bin KXRUN_OPTIONS="--headless --steps 1" "$work/side/g.kx" -x y >"$work/out" 2>&1
expect "launcher: without --, every argument is the game's" "0 ran" "$? $(cat "$work/out")"
mkdir -p "$work/bin" && ln -s "$KXRUN" "$work/bin/kxrun"
PATH="$work/bin:/usr/bin:/bin" KXRUN_OPTIONS="--headless --steps 1" "$work/g.kx" a >"$work/out" 2>&1
expect "launcher: kxrun on the PATH" "0 ran" "$? $(cat "$work/out")"
bindir=$(sed -n 's/^elif \[ -x "\(.*\)\/kxrun" \].*/\1/p' "$work/g.kx" | head -n 1)
if [ ! -e "$bindir/kxrun" ]; then
    PATH=/usr/bin:/bin "$work/g.kx" 2>"$work/err"
    expect "launcher: no kxrun anywhere says where it looked" "127 $work/g.kx: kxrun is needed to play this game; it is not beside the game, on the PATH or in $bindir" "$? $(cat "$work/err")"
fi

# A read-only game folder: saves go to the XDG folder and are read back there.
s="$work/s"
mkdir -p "$s/objects" "$s/rooms"
# The caption is not saved, so it tells the loaded game apart.
echo '{"events": {"create": [{"code": "t = 0;"}], "step": [{"code": "t += 1; if (t == 1) { x = 5; game_save(\"slot.sav\"); } if (t == 2 && caption_score != \"loaded\") { caption_score = \"loaded\"; x = 0; game_load(\"slot.sav\"); } if (t == 3) show_debug_message(\"x \" + string(x));"}]}}' > "$s/objects/obj_a.json"
echo '{"instances": [{"x": 0, "y": 0, "object": "obj_a"}]}' > "$s/rooms/rm.json"
echo '{"game_id": 77, "objects": ["obj_a"], "rooms": ["rm"]}' > "$s/game.json"
mkdir -p "$work/ro" "$work/xdg"
"$KXPACK" build "$s" -o "$work/ro/s.kx"
chmod a-w "$work/ro"
# Root writes anywhere: the read-only run is then made as nobody.
as_player=()
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$work" && chmod 777 "$work/xdg"
fi
if "${as_player[@]}" touch "$work/ro/probe" 2>/dev/null; then
    rm -f "$work/ro/probe"; echo "skip read-only folder: this user writes anywhere"
else
    (cd "$work" && XDG_DATA_HOME="$work/xdg" "${as_player[@]}" "$KXRUN" --headless --steps 5 ro/s.kx >"$work/out" 2>"$work/err")
    expect "read-only game: runs and reads its save back" "0 x 5" "$? $(cat "$work/out" "$work/err")"
    expect "its save is in the XDG folder" "slot.sav" "$(ls "$work/xdg/kxrun/games/77")"
fi
chmod u+w "$work/ro"
(cd / && XDG_DATA_HOME="$work/xdg2" "$KXRUN" --headless --steps 5 "$work/ro/s.kx" >"$work/out" 2>&1)
expect "writable game folder: the save is beside the game" "0 x 5 slot.sav no-xdg" \
    "$? $(cat "$work/out") $(ls "$work/ro" | grep sav) $([ -e "$work/xdg2" ] && echo xdg || echo no-xdg)"

# The built-in vocabulary.
"$KXRUN" --list-functions >"$work/vocab"
for want in "function instance_create 3" "function string_length 1" "variable x writable" \
            "variable instance_count read-only" "constant c_white 16777215" "constant vk_space 32"; do
    grep -qxF "$want" "$work/vocab"; expect "--list-functions lists $want" 0 $?
done
"$KXRUN" --list-functions=markdown | grep -q "^| Multiplayer sessions | not available yet |"
expect "the reference says which families are missing" 0 $?
exit $fail
