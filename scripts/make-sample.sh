#!/usr/bin/env bash
# Renders the demo picture (a landscape of our own) as a JPEG: make-sample.sh OUT.jpg
set -euo pipefail
out=${1:?output file}
convert -size 800x500 gradient:'#fbe3b0-#3b6ea8' \
  -fill '#f4c542' -stroke '#c98a0b' -strokewidth 4 -draw 'circle 620,120 680,120' \
  -stroke none -fill '#2f5d3a' -draw 'polygon 0,500 0,330 180,220 330,350 470,250 640,380 800,300 800,500' \
  -fill '#4a8a55' -draw 'polygon 0,500 0,420 220,330 420,440 600,360 800,430 800,500' \
  -fill white -font DejaVu-Sans-Bold -pointsize 54 -annotate +40+90 'Quorvane' \
  -font DejaVu-Sans -pointsize 26 -annotate +44+130 'FF D8 FF E0 … FF D9' \
  -quality 90 "$out"
