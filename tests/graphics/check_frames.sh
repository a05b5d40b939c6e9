#!/usr/bin/env bash
# Frame tests: small games run headless with --dump-frames; each frame is
# compared with an image made independently with ImageMagick from the source
# pictures (composited, scaled, rotated, tiled, cropped).
. "$(dirname "$0")/../support/game_test.sh"
ART=$(realpath "$(dirname "$0")/art")
# same NAME GOT WANT [FUZZ]: the number of differing pixels must be 0.
same() {
    local n
    n=$(compare -metric AE ${4:+-fuzz $4} "$2" "$3" null: 2>&1) || true
    if [ "$n" = "0" ]; then echo "ok   $1"; else echo "FAIL $1: $n pixels differ"; fail=1; fi
}
# game NAME ROOM_JSON [OBJECT_JSON]: a game with sprite 0 = pat.png (origin 4,4),
# background 0 = tile.png, one object and one room.
game() {
    local d="$work/$1"
    mkdir -p "$d/sprites" "$d/backgrounds" "$d/objects" "$d/rooms"
    cp "$ART/pat.png" "$d/sprites/"
    cp "$ART/tile.png" "$d/backgrounds/"
    echo '{"frames": ["pat.png"], "origin": [4, 4], "transparent": false}' > "$d/sprites/spr_pat.json"
    echo '{"image": "tile.png"}' > "$d/backgrounds/bg_tile.json"
    echo "${3:-{\}}" > "$d/objects/obj_a.json"
    echo "$2" > "$d/rooms/rm.json"
    echo '{"game_id": 3, "sprites": ["spr_pat"], "backgrounds": ["bg_tile"], "objects": ["obj_a"],
           "rooms": ["rm"], "room_order": [0]}' > "$d/game.json"
    "$KXPACK" build "$d" -o "$d.kx" || { echo "FAIL build $1"; fail=1; return; }
    (cd "$work" && "$KXRUN" --headless --steps "${STEPS:-1}" --dump-frames "$1.frames" "$1.kx" \
        >"$1.out" 2>"$1.err") || { echo "FAIL run $1"; cat "$work/$1.err"; fail=1; }
}
frame() { echo "$work/$1.frames/frame_00000${2:-0}.png"; }
P="$ART/pat.png" T="$ART/tile.png"

# A sprite at integer coordinates reproduces its picture pixel for pixel.
game blit '{"width": 64, "height": 48, "background_color": 0,
            "instances": [{"x": 20, "y": 20, "object": "obj_a"}]}' '{"sprite": 0}'
convert -size 64x48 xc:black "$P" -geometry +16+16 -composite PNG24:"$work/blit.png"
same "1:1 sprite with its origin" "$(frame blit)" "$work/blit.png"

# Scale, a quarter turn, blend colour with alpha, through draw_sprite_ext; the
# origin (4, 4) is scaled and turned with the picture.
game ext '{"width": 64, "height": 48, "background_color": 0,
           "instances": [{"x": 0, "y": 0, "object": "obj_a"}]}' \
    '{"events": {"draw": [{"code": "draw_sprite_ext(spr_pat, 0, 4, 4, 2, 2, 0, c_white, 1); draw_sprite_ext(spr_pat, 0, 48, 20, 1, 1, 90, c_white, 1); draw_sprite_ext(spr_pat, 0, 4, 36, 1, 1, 0, c_red, 0.5);"}]}}'
convert "$P" -filter point -resize 200% "$work/x2.png"
convert "$P" -rotate -90 "$work/r90.png"
convert "$P" -channel G,B -evaluate set 0 +channel -channel R -evaluate multiply 0.5 +channel "$work/red.png"
convert -size 64x48 xc:black "$work/x2.png" -geometry -4-4 -composite \
    "$work/r90.png" -geometry +44+9 -composite "$work/red.png" -geometry +0+32 -composite \
    PNG24:"$work/ext.png"
same "scaled, turned and blended sprites" "$(frame ext)" "$work/ext.png" 0.5%

# Backgrounds: tiled with an offset, and stretched.
game tiled '{"width": 64, "height": 48, "background_color": 0,
             "backgrounds": [{"visible": true, "background": 0, "x": 3, "y": 2}]}'
convert -size 64x48 tile:"$T" -roll +3+2 PNG24:"$work/tiled.png"
same "tiled background with an offset" "$(frame tiled)" "$work/tiled.png"
game stretched '{"width": 64, "height": 48, "background_color": 0,
   "backgrounds": [{"visible": true, "background": 0, "htiled": false, "vtiled": false, "stretch": true}]}'
convert "$T" -filter point -resize 800% PNG24:"$work/stretched.png"
same "stretched background" "$(frame stretched)" "$work/stretched.png"

# Views: a doubled view and a turned one side by side; the region is the ports' extent.
game views '{"width": 128, "height": 96, "views_enabled": true,
  "backgrounds": [{"visible": true, "background": 0}],
  "views": [{"visible": true, "xview": 16, "yview": 12, "wview": 24, "hview": 24,
             "xport": 0, "yport": 0, "wport": 48, "hport": 48},
            {"visible": true, "xview": 40, "yview": 30, "wview": 24, "hview": 24,
             "xport": 48, "yport": 0, "wport": 24, "hport": 24}],
  "creation_code": "view_angle[1] = 90;"}'
convert -size 128x96 tile:"$T" "$work/room.png"
# Pixel centres lie at integer coordinates: port pixel p of the doubled view
# samples room coordinate 16 + p / 2, which belongs to room pixel
# 16 + floor((p + 1) / 2); the last column and row fall outside the view's
# tiles and show the room colour.
convert "$work/room.png" -crop 25x25+16+12 +repage -fill '#c0c0c0' -draw 'line 24,0 24,24' \
    -draw 'line 0,24 24,24' -filter point -resize 200% -crop 48x48+1+1 +repage "$work/v0.png"
# Turned a quarter about the view's centre (52, 42), port pixel (sx, sy)
# samples room pixel (64 - sy, 30 + sx).
convert "$work/room.png" -crop 24x24+41+30 +repage -rotate -90 "$work/v1.png"
convert -size 72x48 xc:white "$work/v0.png" -geometry +0+0 -composite \
    "$work/v1.png" -geometry +48+0 -composite PNG24:"$work/views.png"
same "views with ports, scale and rotation" "$(frame views)" "$work/views.png"

# Depth: a tile behind the instance, another in front of it.
game depth '{"width": 32, "height": 24, "background_color": 0,
  "instances": [{"x": 8, "y": 8, "object": "obj_a"}],
  "tiles": [{"x": 0, "y": 0, "background": 0, "left": 0, "top": 0, "width": 8, "height": 6, "depth": 10},
            {"x": 12, "y": 10, "background": 0, "left": 0, "top": 0, "width": 8, "height": 6, "depth": -10}]}' \
    '{"sprite": 0, "depth": 0}'
convert -size 32x24 xc:black "$T" -geometry +0+0 -composite "$P" -geometry +4+4 -composite \
    "$T" -geometry +12+10 -composite PNG24:"$work/depth.png"
same "tiles and instances merged by depth" "$(frame depth)" "$work/depth.png"

# A surface drawn into, drawn twice, and the screen saved and read back. The
# surface is filled in the create event: after surface_reset_target the
# viewport stays the surface's until the next drawing pass.
game surface '{"width": 48, "height": 32, "background_color": 0,
  "instances": [{"x": 0, "y": 0, "object": "obj_a"}]}' \
  '{"events": {"create": [{"code": "s = surface_create(16, 12); surface_set_target(s); draw_sprite(spr_pat, 0, 4, 4); surface_reset_target();"}],
     "draw": [{"code": "draw_surface(s, 0, 0); draw_surface(s, 30, 18); screen_save(\"shot.bmp\"); show_debug_message(string(draw_getpixel(3, 4)) + \" \" + string(draw_getpixel(100, 4)));"}]}}'
convert -size 48x32 xc:black "$P" -geometry +0+0 -composite "$P" -geometry +30+18 -composite PNG24:"$work/surface.png"
same "surface drawn twice" "$(frame surface)" "$work/surface.png"
same "screen_save writes the drawing region" "$work/shot.bmp" "$work/surface.png"
# pat.png's pixel (3, 4) is lime: game colour 0x00ff00; outside the region reads 0.
got=$(head -n 1 "$work/surface.out")
[ "$got" = "65280 0" ] && echo "ok   draw_getpixel" || { echo "FAIL draw_getpixel: $got"; fail=1; }

exit $fail
