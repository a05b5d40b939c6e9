#!/usr/bin/env bash
# The command-line contract of kxrun and kxpack on the minimal test game.
set -u
KXPACK=$1 KXRUN=$2 SRC=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
expect() {   # expect NAME WANT GOT
    if [ "$2" != "$3" ]; then echo "FAIL $1: want [$2] got [$3]"; fail=1; else echo "ok   $1"; fi
}

"$KXPACK" build "$SRC" -o "$work/m.kx" || { echo "FAIL build"; exit 1; }
"$KXPACK" build "$SRC" -o "$work/m2.kx"
cmp -s "$work/m.kx" "$work/m2.kx"; expect "same source, same bytes" 0 $?

TMPDIR=$work "$KXRUN" --headless "$work/m.kx" >"$work/out" 2>"$work/err"
expect "minimal game exits 0" 0 $?
expect "no output without debug mode" "" "$(cat "$work/out" "$work/err")"
expect "temp folder removed" "" "$(ls "$work" | grep kx_ttt_)"

cp -r "$SRC" "$work/dbg"
sed -i 's/"debug": false/"debug": true/' "$work/dbg/game.json"
"$KXPACK" build "$work/dbg" -o "$work/d.kx"
"$KXRUN" --headless "$work/d.kx" >"$work/out" 2>&1
expect "debug game exits 0" 0 $?
want="Loading
Loading sounds
Loading sprites
Loading backgrounds
Loading paths
Loading scripts
Loading fonts
Loading time lines
Loading objects
Loading rooms
Loading help
Loading library init code
Loading room order
Compiling time line actions
Compiling scripts
Compiling object actions
Preparing sounds
Preparing graphics
Ready"
expect "debug progress messages" "$want" "$(cat "$work/out")"

"$KXPACK" unpack "$work/d.kx" -o "$work/unpacked" && "$KXPACK" build "$work/unpacked" -o "$work/d2.kx"
cmp -s "$work/d.kx" "$work/d2.kx"; expect "build, unpack, build round-trips" 0 $?
"$KXPACK" info "$work/d.kx" | grep -q "^debug mode: yes"; expect "info shows the header" 0 $?

"$KXRUN" >/dev/null 2>&1; expect "no game: status 2" 2 $?
"$KXRUN" --help | grep -q "^usage: kxrun"; expect "--help" 0 $?
"$KXRUN" --version | grep -q "^kxrun "; expect "--version" 0 $?
"$KXRUN" --headless "$work/nothing.kx" 2>"$work/err"; expect "missing file: status 1" 1 $?
expect "missing file message names the file" "kxrun: $work/nothing.kx: Error: Cannot read the file." "$(cat "$work/err")"
head -c 1000 "$work/m.kx" > "$work/short.kx"
"$KXRUN" --headless "$work/short.kx" 2>"$work/err"
expect "short file message" "kxrun: $work/short.kx: Error: Not a valid Korvax 6 file." "$(cat "$work/err")"

# Scripts that call each other compile at load and run through --eval GAME.
SCRIPTS="$(dirname "$SRC")/scripts"
"$KXPACK" build "$SCRIPTS" -o "$work/s.kx"
expect "scripts in a game" "42" "$("$KXRUN" --eval 'return scr_twice(21)' "$work/s.kx")"
expect "game constants in eval" "hi" "$("$KXRUN" --eval 'return GREETING' "$work/s.kx")"
expect "eval without a game" "ababab" "$("$KXRUN" --eval 'return 3 * "ab"')"
printf 'return 1 +' > "$work/bad.kxs"
"$KXRUN" --eval-file "$work/bad.kxs" >/dev/null; expect "eval compile error: status 1" 1 $?
cp -r "$SCRIPTS" "$work/badgame"
printf 'x = ;' > "$work/badgame/scripts/scr_add.kxs"
"$KXPACK" build --no-check "$work/badgame" -o "$work/bad.kx"
"$KXRUN" --headless "$work/bad.kx" 2>"$work/err"; expect "script compile error: status 1" 1 $?
expect "compile error names the script" "kxrun: COMPILATION ERROR in Script: scr_add" "$(head -c 43 "$work/err")"
expect "then the summary" "kxrun: Failed to compile the scripts." "$(tail -n 1 "$work/err")"
mv "$work/badgame/scripts/scr_add.kxs" "$work/badgame/scripts/scr_add.txt"
"$KXPACK" build --no-check "$work/badgame" -o "$work/bad.kx" 2>"$work/err"; expect "script under another extension: status 1" 1 $?
expect "names the file and the extension" "kxpack: scripts/scr_add.txt: script files end in .kxs" "$(cat "$work/err")"

# A runner whose own file carries the game plays it and passes every argument on.
strip -o "$work/selfgame" "$KXRUN" 2>/dev/null || cat "$KXRUN" > "$work/selfgame"
head -c $((1600000 - $(stat -c %s "$work/selfgame"))) /dev/zero >> "$work/selfgame" 2>/dev/null
if [ "$(stat -c %s "$work/selfgame")" -eq 1600000 ]; then
    tail -c +1600001 "$work/d.kx" >> "$work/selfgame"
    chmod +x "$work/selfgame"
    KXRUN_OPTIONS=--headless "$work/selfgame" --steps 1 >"$work/out" 2>&1
    expect "own game data: options belong to the game, KXRUN_OPTIONS to kxrun" "Ready" "$(tail -n 1 "$work/out")"
else
    echo "skip own-game check: kxrun is larger than the game-data offset"
fi
exit $fail
