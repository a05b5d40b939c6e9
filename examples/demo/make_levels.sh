#!/usr/bin/env bash
# Turns the level maps (levels/levelN.txt, 40 x 30 cells of 16 pixels) into
# room files. The results are committed.
#   #  wall      P  player     c  coin     E  exit
#   h  enemy patrolling left and right    v  up and down    s  round a square
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p rooms
room() {   # room N CAPTION
    awk -v caption="$2" '
    function add(obj, code) {
        printf "%s    {\"x\": %d, \"y\": %d, \"object\": \"%s\"%s}", sep, x, y, obj,
               code == "" ? "" : ", \"code\": \"" code "\""
        sep = ",\n"
    }
    BEGIN {
        print "{"
        printf "  \"caption\": \"%s\", \"width\": 640, \"height\": 480, \"speed\": 30,\n", caption
        print "  \"show_background_color\": false,"
        print "  \"backgrounds\": [{\"visible\": true, \"background\": 0}],"
        print "  \"creation_code\": \"show_score = true; show_lives = true; show_health = false;\","
        print "  \"views_enabled\": true,"
        print "  \"views\": [{\"visible\": true, \"xview\": 0, \"yview\": 0, \"wview\": 320, \"hview\": 240,"
        print "             \"xport\": 0, \"yport\": 0, \"wport\": 640, \"hport\": 480,"
        print "             \"hborder\": 112, \"vborder\": 80, \"object\": \"obj_player\"}],"
        print "  \"instances\": ["
        sep = ""
    }
    {
        for (i = 1; i <= length($0); i++) {
            c = substr($0, i, 1); x = (i - 1) * 16; y = (NR - 1) * 16
            if (c == "#") add("obj_wall", "")
            else if (c == "P") add("obj_player", "")
            else if (c == "c") add("obj_coin", "")
            else if (c == "E") add("obj_exit", "")
            else if (c == "h") add("obj_enemy", "path_start(pth_across, 1.5, 3, false);")
            else if (c == "v") add("obj_enemy", "path_start(pth_down, 1, 3, false);")
            else if (c == "s") add("obj_enemy", "path_start(pth_square, 1.5, 1, false);")
        }
    }
    END { x = 0; y = 0; add("obj_panel", ""); add("obj_hud", ""); print "\n  ]\n}" }' "levels/level$1.txt" > "rooms/rm_level$1.json"
}
room 1 "Level 1"
room 2 "Level 2"
