#!/usr/bin/env bash
# kxpack build refuses what kxrun would refuse at load: code that does not
# compile, calls that name nothing, resources that do not exist; each message
# names the source file and, for code, the line and position. --no-check
# builds all the same. Sources may name resources by name or number.
. "$(dirname "$0")/../support/game_test.sh"
ART=$(realpath "$(dirname "$0")/../graphics/art")

base="$work/base"
mkdir -p "$base/objects" "$base/rooms" "$base/scripts" "$base/timelines" "$base/sprites"
cp "$ART/pat.png" "$base/sprites/"
echo '{"frames": ["pat.png"]}' > "$base/sprites/spr_pat.json"
echo '{"sprite": "spr_pat", "events": {"create": [{"code": "x = scr_one();"}]}}' > "$base/objects/obj_a.json"
printf 'var a;\na = 1;\nreturn a;\n' > "$base/scripts/scr_one.kxs"
echo '{"moments": [{"time": 3, "actions": [{"code": "y = 2;"}]}]}' > "$base/timelines/tl.json"
echo '{"creation_code": "score = 1;", "instances": [{"x": 0, "y": 0, "object": "obj_a"}]}' > "$base/rooms/rm.json"
echo '{"sprites": ["spr_pat"], "objects": ["obj_a"], "scripts": ["scr_one"], "timelines": ["tl"], "rooms": ["rm"]}' > "$base/game.json"
"$KXPACK" build "$base" -o "$work/base.kx" 2>"$work/err"
expect "a sound game builds, its object naming its sprite by name" "0 " "$? $(cat "$work/err")"
"$KXRUN" --headless --steps 2 "$work/base.kx" 2>&1
expect "and runs without errors" 0 $?

# Each case: the file to write, its text, the message kxpack gives.
n=0
while IFS='|' read -r file text want; do
    n=$((n + 1))
    d="$work/case$n"
    cp -r "$base" "$d"
    printf '%b' "$text" > "$d/$file"
    "$KXPACK" build "$d" -o "$work/case$n.kx" 2>"$work/err"
    expect "refused: $want" "1 kxpack: $d/$want" "$? $(head -n 1 "$work/err")"
    [ ! -e "$work/case$n.kx" ]; expect "nothing written for case $n" 0 $?
    "$KXPACK" build --no-check "$d" -o "$work/case$n.kx"
    expect "--no-check builds case $n" 0 $?
done <<'CASES'
scripts/scr_one.kxs|var a;\na = 1;\nreturn a + ;\n|scripts/scr_one.kxs: line 3, position 12: Unexpected symbol in expression.
objects/obj_a.json|{"events": {"step": [{"code": "x = 1;\\ny = no_such_function(2);"}]}}|objects/obj_a.json, Step Event, action 1: line 2, position 5: Unknown function or script: no_such_function
objects/obj_a.json|{"sprite": 4}|objects/obj_a.json: sprite 4 does not exist
objects/obj_a.json|{"parent": 9}|objects/obj_a.json, parent: object 9 does not exist
objects/obj_a.json|{"events": {"create": [{"function": "action_not_here", "args": ["1"]}]}}|objects/obj_a.json, Create Event, action 1: no action function named action_not_here
timelines/tl.json|{"moments": [{"time": 3, "actions": [{"code": "y = ;"}]}]}|timelines/tl.json, moment 3, action 1: line 1, position 5: Unexpected symbol in expression.
rooms/rm.json|{"creation_code": "score = 1;\\n\\nscore = nope(1);"}|rooms/rm.json, creation code: line 3, position 9: Unknown function or script: nope
rooms/rm.json|{"instances": [{"x": 0, "y": 0, "object": 3, "code": ""}]}|rooms/rm.json, instance 0: object 3 does not exist
rooms/rm.json|{"backgrounds": [{"visible": true, "background": 2}]}|rooms/rm.json, background layer 0: background 2 does not exist
CASES

# Mistakes that stop the build before any check, in our own words.
while IFS='|' read -r file text want; do
    d="$work/src_error"
    rm -rf "$d" && cp -r "$base" "$d"
    printf '%b' "$text" > "$d/$file"
    "$KXPACK" build --no-check "$d" -o "$work/x.kx" 2>"$work/err"
    expect "source error: $want" "1 kxpack: $want" "$? $(cat "$work/err" | sed "s|$d/||")"
done <<'CASES'
game.json|{"objects": ["obj_a",],\n "rooms": ["rm"]}|game.json:1:22: not valid JSON: ']' is not allowed here (is there a comma before it?)
objects/obj_a.json|{"sprite": "spr_nope"}|objects/obj_a.json "sprite": no sprite named "spr_nope"
objects/obj_a.json|{"events": {"keypress:vk_upp": []}}|objects/obj_a.json event "keypress:vk_upp": no key named "vk_upp": a key is a vk_ name (vk_up, vk_space, ...), a capital letter or digit, or a key code
objects/obj_a.json|{"events": \n  {"create": [{'code': 1}]}}|objects/obj_a.json:2:16: not valid JSON: ''' is not allowed here (strings take double quotes)
CASES

# A plain-colour picture keyed out by its own bottom-left pixel: a warning
# naming the file and the setting; the game still builds.
d="$work/keyed"
cp -r "$base" "$d"
convert -size 8x8 xc:red PNG24:"$d/sprites/red.png"
echo '{"frames": ["red.png"]}' > "$d/sprites/spr_pat.json"
"$KXPACK" build "$d" -o "$work/keyed.kx" 2>"$work/err"
expect "keyed-out sprite: a warning, and the game builds" "0 kxpack: warning: sprites/spr_pat.json: picture red.png: \"transparent\" keys out its bottom-left colour, which is every pixel, so it draws nothing; set \"transparent\": false or give the picture an alpha channel" "$? $(cat "$work/err")"
echo '{"frames": ["red.png"], "transparent": false}' > "$d/sprites/spr_pat.json"
"$KXPACK" build "$d" -o "$work/keyed.kx" 2>"$work/err"
expect "not transparent: no warning" "0 " "$? $(cat "$work/err")"
exit $fail
