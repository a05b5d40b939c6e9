#!/usr/bin/env bash
# Under a bare X server (no window manager): a load error reaches stderr,
# Alt+Enter puts the game in full screen and the picture fills the screen,
# and the window is resizable exactly when the game allows it. Skipped (as
# passed) without Xvfb.
. "$(dirname "$0")/../support/game_test.sh"
ART=$(realpath "$(dirname "$0")/../graphics/art")
command -v Xvfb >/dev/null || { echo "skip: no Xvfb"; exit 0; }
# A sound device that plays nowhere: without one kxrun warns on stderr.
export ALSOFT_DRIVERS=null
d="$work/g"
mkdir -p "$d/sprites" "$d/objects" "$d/rooms"
cp "$ART/pat.png" "$d/sprites/"
echo '{"frames": ["pat.png"], "origin": [4, 4], "transparent": false}' > "$d/sprites/spr_pat.json"
echo '{"sprite": "spr_pat"}' > "$d/objects/obj_a.json"
echo '{"width": 64, "height": 48, "background_color": 0,
       "instances": [{"x": 20, "y": 20, "object": "obj_a"}]}' > "$d/rooms/rm.json"
echo '{"game_id": 5, "sprites": ["spr_pat"], "objects": ["obj_a"], "rooms": ["rm"],
       "settings": {"KeyF4Fullscreen": false, "AllowResize": true}}' > "$d/game.json"
"$KXPACK" build "$d" -o "$work/g.kx" || { echo "FAIL build"; exit 1; }
sed -i 's/"AllowResize": true/"AllowResize": false/' "$d/game.json"
"$KXPACK" build "$d" -o "$work/fixed.kx"
# The room fitted into the 1024 x 768 screen: 16 times its size.
convert -size 64x48 xc:black "$ART/pat.png" -geometry +16+16 -composite \
    -filter point -resize 1600% PNG24:"$work/want.png"
printf '5 keydown 18\n5 keydown 13\n6 keyup 13\n6 keyup 18\n' > "$work/alt_enter.input"

for n in $(seq 141 190); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
kpid=""
trap 'kill $xpid $kpid 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
sleep 1
export DISPLAY=":$n"

timeout 20 "$KXRUN" "$work/none.kx" >"$work/out" 2>"$work/err"
expect "a load error in a window reaches stderr" "1 kxrun: $work/none.kx: Error: Cannot read the file." "$? $(cat "$work/out" "$work/err")"

window_of() { xwininfo -root -tree 2>/dev/null | grep '("kxrun" "kxrun")' | head -n 1; }
# The id of a new game window of the room's size, not the one given (which
# may linger a moment); the loading window has another size.
new_window() {
    local id=""
    for _ in $(seq 1 40); do
        sleep 0.25
        id=$(xwininfo -root -tree 2>/dev/null | grep '("kxrun" "kxrun")  64x48+' | awk '{print $1}' | head -n 1)
        [ -n "$id" ] && [ "$id" != "$1" ] && break
    done
    echo "$id"
}

"$KXRUN" --scale -1 --steps 100000 --input "$work/alt_enter.input" "$work/g.kx" >"$work/out" 2>"$work/err" &
kpid=$!
got=""
for _ in $(seq 1 60); do
    sleep 0.25
    case "$(window_of)" in *" 1024x768+0+0 "*) ;; *) continue ;; esac
    import -window root "$work/shot.png" 2>/dev/null || continue
    got=$(compare -metric AE "$work/shot.png" "$work/want.png" null: 2>&1) || true
    [ "$got" = "0" ] && break
done
expect "Alt+Enter: full screen covers the screen, the room fitted into it" "0" "$got"
if command -v xprop >/dev/null; then
    id=$(window_of | awk '{print $1}')
    kill $kpid 2>/dev/null; wait $kpid 2>/dev/null
    "$KXRUN" --steps 100000 "$work/g.kx" >/dev/null 2>&1 &
    kpid=$!
    id=$(new_window "$id")
    xprop -id "$id" WM_NORMAL_HINTS | grep -q "maximum size: 2147483647"
    expect "AllowResize: the window manager may resize it" 0 $?
    kill $kpid 2>/dev/null; wait $kpid 2>/dev/null
    "$KXRUN" --steps 100000 "$work/fixed.kx" >/dev/null 2>&1 &
    kpid=$!
    id=$(new_window "$id")
    xprop -id "$id" WM_NORMAL_HINTS | grep -q "maximum size: 64 by 48"
    expect "no AllowResize: the size is fixed" 0 $?
fi
kill $kpid 2>/dev/null; wait $kpid 2>/dev/null
expect "no errors in a window" "" "$(cat "$work/err")"
exit $fail
