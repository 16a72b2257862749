#!/usr/bin/env bash
# Regenerates the launcher's artwork with ImageMagick 6: the 462 x 136 splash
# background (per-pixel alpha, shaped edges) and the multi-size icons.
# The results are committed, so the build itself does not need ImageMagick.
# The page draws its status text at (60, 85) and the progress bar on y = 106
# from x = 50 to 395, so the lower glass panel is kept plain for them; a
# downloaded logo pops in centred near the top.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

W=462
H=136
# The card: rounded corners and a raised crest in the middle of the top edge;
# everything outside it stays fully transparent.
OUTLINE='M 15,15 L 128,15 C 146,15 146,2 164,2 L 298,2 C 316,2 316,15 334,15 L 447,15
         Q 460,15 460,28 L 460,121 Q 460,134 447,134 L 15,134 Q 2,134 2,121 L 2,28 Q 2,15 15,15 Z'
SHAPE="path '$OUTLINE'"

convert -size ${W}x${H} xc:black -fill white -stroke none -draw "$SHAPE" "$work/mask.png"

# Night sky: a vertical gradient lit by a soft blue glow behind the crest.
convert -size ${W}x${H} gradient:'#27395e-#0d1222' \
  \( -size ${W}x${H} radial-gradient:'#3d8bff-none' -resize 460x190! -crop ${W}x${H}+0+0 +repage \
     -channel A -evaluate multiply 0.4 +channel \) \
  -compose Screen -composite "$work/sky.png"

# Faint light beams and two ridges of mountains.
convert "$work/sky.png" -stroke none \
  -fill '#ffffff0b' -draw 'polygon 250,0 300,0 190,136 140,136' \
  -fill '#ffffff07' -draw 'polygon 320,0 335,0 225,136 210,136' \
  -fill '#ffffff06' -draw 'polygon 60,0 130,0 20,136 -50,136' \
  -fill '#0f1830c0' -draw 'polygon 2,136 2,74 40,62 78,70 120,54 168,68 205,60 240,72 282,52 330,66 372,58 410,70 460,60 460,136' \
  -fill '#0b1226d8' -draw 'polygon 2,136 2,88 52,76 96,84 150,72 196,82 250,74 300,84 352,70 404,82 460,76 460,136' \
  PNG32:"$work/land.png"

# Stars from a fixed linear congruential sequence, so every run draws the same sky.
stars=$(awk 'function rnd() { seed = (seed * 1103515245 + 12345) % 2147483648; return seed / 2147483648 }
  BEGIN { seed = 7
    for (i = 0; i < 46; i++) {
      x = int(8 + rnd() * 446); y = int(18 + rnd() * 44); r = (rnd() < 0.15) ? 1.2 : 0.6; a = 0.25 + rnd() * 0.6
      printf "fill rgba(220,235,255,%.2f) circle %d,%d %.1f,%d\n", a, x, y, x + r, y
    } }')
convert "$work/land.png" -stroke none -draw "$stars" PNG32:"$work/stars.png"

# Glass panel behind the text and bar, the rim, and the emblem on the crest.
convert "$work/stars.png" \
  -fill '#ffffff10' -stroke '#ffffff1c' -strokewidth 1 -draw 'roundrectangle 36,76 425,123 10,10' \
  -fill none -stroke '#8fb6ff60' -strokewidth 1.5 -draw "$SHAPE" \
  -stroke none -fill '#4aa3ff' -draw 'polygon 231,6 243,18 231,30 219,18' \
  -fill '#10162a' -draw 'polygon 231,11 238,18 231,25 224,18' \
  -fill '#ffd27a' -draw 'circle 231,18 231,15.5' \
  -fill '#4aa3ff66' -draw 'rectangle 170,17 208,18' -draw 'rectangle 254,17 292,18' \
  PNG32:"$work/card.png"

# No ancillary chunks: under wine, GDI+ reads each one through an imaging
# component looked up in the registry, on the way to the first window.
convert "$work/card.png" "$work/mask.png" -alpha off -compose CopyOpacity -composite \
  -define png:exclude-chunks=date,time,bKGD,cHRM,gAMA PNG32:background.png

# Icons: the emblem on a rounded tile of the same night sky. Large sizes get
# the mountains; small ones only the tile and emblem, which stay legible.
icon() {  # size detail output
  local s=$1 detail=$2 out=$3 big=256
  convert -size ${big}x${big} gradient:'#2f4675-#0d1222' \
    \( -size ${big}x${big} xc:black -fill white -draw 'roundrectangle 8,8 247,247 48,48' \) \
    -alpha off -compose CopyOpacity -composite "$work/tile.png"
  local extra=()
  if [ "$detail" = 1 ]; then
    extra=(-fill '#0b1226e0' -draw 'polygon 8,248 8,190 60,168 104,186 150,160 200,182 248,170 248,248')
  fi
  convert "$work/tile.png" -stroke none "${extra[@]}" \
    -fill '#4aa3ff' -draw 'polygon 128,30 214,116 128,202 42,116' \
    -fill '#10162a' -draw 'polygon 128,66 178,116 128,166 78,116' \
    -fill '#ffd27a' -draw 'circle 128,116 128,94' \
    "$work/tile.png" -compose DstIn -composite \
    -filter Lanczos -resize ${s}x${s} PNG32:"$out"
}
sizes=(16 24 32 48 64 256)
for s in "${sizes[@]}"; do
  icon "$s" $([ "$s" -ge 48 ] && echo 1 || echo 0) "$work/icon-$s.png"
done
convert $(for s in "${sizes[@]}"; do echo "$work/icon-$s.png"; done) launcher.ico
convert "$work/icon-16.png" "$work/icon-24.png" "$work/icon-32.png" small.ico
