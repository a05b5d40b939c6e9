#!/usr/bin/env bash
# Regenerates the demo's pictures with ImageMagick. The results are committed.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 320x120 gradient:'#1d2b53'-'#7e2553' \
  -fill '#ffec27' -draw 'circle 60,50 60,30' \
  -fill '#29adff' -draw 'rectangle 110,35 290,45' -draw 'rectangle 110,55 250,65' \
  PNG24:loading.png
convert -size 272x12 xc:'#222034' PNG24:bar_back.png
convert -size 272x8 gradient:'#00e436'-'#29adff' -rotate 0 PNG24:bar_front.png

# The game's pictures: 16x16 tiles and figures, a title and an end picture.
mkdir -p sprites backgrounds
convert -size 16x16 xc:'#5f574f' -fill '#83769c' -draw 'rectangle 1,1 7,6' \
  -draw 'rectangle 9,1 14,6' -draw 'rectangle 1,9 4,14' -draw 'rectangle 6,9 14,14' \
  PNG24:sprites/wall.png
convert -size 16x16 xc:none -fill '#00e436' -draw 'circle 8,8 8,1' \
  -fill '#1d2b53' -draw 'rectangle 5,5 6,7' -draw 'rectangle 10,5 11,7' PNG32:sprites/player.png
for k in 0 1; do
  convert -size 16x16 xc:none -fill '#ff004d' -draw "polygon 8,$((1 + k)) 15,14 1,14" \
    -fill '#fff1e8' -draw "rectangle 6,$((8 + k)) 7,$((10 + k))" -draw "rectangle 9,$((8 + k)) 10,$((10 + k))" \
    PNG32:sprites/enemy_$k.png
done
convert -size 16x16 xc:none -fill '#ffec27' -draw 'circle 8,8 8,3' -fill '#ffa300' \
  -draw 'rectangle 7,5 8,11' PNG32:sprites/coin.png
convert -size 16x16 xc:'#ab5236' -fill '#000000' -draw 'rectangle 3,2 12,15' PNG24:sprites/exit_0.png
convert -size 16x16 xc:'#ab5236' -fill '#29adff' -draw 'rectangle 3,2 12,15' PNG24:sprites/exit_1.png
convert -size 16x16 xc:'#1d2b53' -fill '#222b60' -draw 'rectangle 0,0 7,7' -draw 'rectangle 8,8 15,15' \
  PNG24:backgrounds/floor.png
# The title: a player between coins and an enemy; an arrow says "go".
convert -size 320x240 gradient:'#1d2b53'-'#7e2553' \
  -fill '#00e436' -draw 'circle 100,120 100,90' \
  -fill '#ffec27' -draw 'circle 160,120 160,110' -draw 'circle 200,120 200,110' \
  -fill '#ff004d' -draw 'polygon 250,95 280,145 220,145' \
  -fill '#fff1e8' -draw 'polygon 130,190 190,190 190,180 210,200 190,220 190,210 130,210' \
  PNG24:sprites/title.png
convert -size 320x240 gradient:'#7e2553'-'#1d2b53' \
  -fill '#ffec27' -draw 'circle 160,100 160,60' \
  -fill '#fff1e8' -draw 'polygon 130,190 190,190 190,180 210,200 190,220 190,210 130,210' \
  PNG24:sprites/end.png
