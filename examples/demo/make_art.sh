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
