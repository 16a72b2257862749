#!/usr/bin/env bash
# Regenerates the launcher's artwork (background and icons) with ImageMagick.
# The results are committed, so the build itself does not need ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 462x136 xc:none \
  \( -size 462x136 gradient:'#1d2a44-#0b1020' \) \
  \( -size 462x136 xc:none -fill white -draw 'roundrectangle 0,0 461,135 18,18' \) \
  -delete 0 -compose CopyOpacity -composite \
  -fill '#ffffff22' -draw 'roundrectangle 3,3 458,132 16,16' \
  PNG32:background.png
for s in 16 32 48 256; do
  convert -size ${s}x${s} xc:none -fill '#198bfe' \
    -draw "circle $((s/2)),$((s/2)) $((s/2)),1" \
    -fill white -draw "polygon $((s*3/8)),$((s*5/16)) $((s*3/8)),$((s*11/16)) $((s*11/16)),$((s/2))" \
    PNG32:icon-$s.png
done
convert icon-16.png icon-32.png icon-48.png icon-256.png launcher.ico
convert icon-16.png icon-32.png small.ico
rm -f icon-*.png
