#!/usr/bin/env bash
# The game in a real window on a virtual X server: the window shows the room,
# scaled as --scale asks and centred on the screen. Skipped (as passed) when
# Xvfb is not installed.
. "$(dirname "$0")/../support/game_test.sh"
ART=$(realpath "$(dirname "$0")/art")
command -v Xvfb >/dev/null || { echo "skip: no Xvfb"; exit 0; }
d="$work/g"
mkdir -p "$d/sprites" "$d/objects" "$d/rooms"
cp "$ART/pat.png" "$d/sprites/"
echo '{"frames": ["pat.png"], "origin": [4, 4], "transparent": false}' > "$d/sprites/spr_pat.json"
echo '{"sprite": 0}' > "$d/objects/obj_a.json"
echo '{"width": 64, "height": 48, "background_color": 0,
       "instances": [{"x": 20, "y": 20, "object": "obj_a"}]}' > "$d/rooms/rm.json"
echo '{"game_id": 5, "sprites": ["spr_pat"], "objects": ["obj_a"], "rooms": ["rm"],
       "room_order": [0]}' > "$d/game.json"
"$KXPACK" build "$d" -o "$work/g.kx" || { echo "FAIL build"; exit 1; }
convert -size 64x48 xc:black "$ART/pat.png" -geometry +16+16 -composite \
    -filter point -resize 200% PNG24:"$work/want.png"

for n in $(seq 90 140); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid $kpid 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
sleep 1
export DISPLAY=":$n"
# A sound device that plays nowhere: without one kxrun warns on stderr.
export ALSOFT_DRIVERS=null
"$KXRUN" --scale 200 --steps 600 "$work/g.kx" >"$work/out" 2>"$work/err" &
kpid=$!
# The window's client area is 128 x 96, centred on the 1024 x 768 screen.
got=""
for _ in $(seq 1 40); do
    sleep 0.25
    import -window root -crop 128x96+448+336 +repage "$work/shot.png" 2>/dev/null || continue
    got=$(compare -metric AE "$work/shot.png" "$work/want.png" null: 2>&1) || true
    [ "$got" = "0" ] && break
done
[ "$got" = "0" ] && echo "ok   the window shows the room at twice its size" ||
    { echo "FAIL window: $got pixels differ"; fail=1; }
kill $kpid 2>/dev/null
wait $kpid 2>/dev/null
expect "no errors in a window" "" "$(cat "$work/err")"

# Wild sizes, scales, positions and modes from a script reach the window
# system cut to what it can take.
cat > "$d/objects/obj_a.json" <<'JSON'
{"events": {"create": [{"code": "window_set_region_scale(power(10, 300), true); window_set_size(1000000000, -5); window_set_region_size(2000000000, 3, false); window_set_position(-1000000000000, 1000000000000); display_set_size(100000, 100000); window_views_mouse_set(power(10, 308), -power(10, 308)); show_debug_message(\"done \" + string(display_get_width()));"}]}}
JSON
"$KXPACK" build "$d" -o "$work/wild.kx" && "$KXRUN" --steps 5 "$work/wild.kx" >"$work/wild.out" 2>&1
expect "wild window arguments in a window" "0 done 1024" "$? $(cat "$work/wild.out")"
exit $fail
