#!/usr/bin/env bash
# Redraws about_picture.jpg: three faders, one inside the allowed band and two held at
# its edges. Baseline JPEG, three components, 96 DPI, 56x56 pixels.
set -euo pipefail
out=${1:-$(dirname "$0")/about_picture.jpg}
convert -size 56x56 gradient:'#24364a'-'#0f1822' \
  -fill '#f2b134' -stroke none -draw "fill-opacity 0.28 rectangle 3,17 52,38" \
  -stroke '#f2b134' -strokewidth 1 -draw "line 3,17 52,17" -draw "line 3,38 52,38" \
  -stroke '#7d8b99' -strokewidth 2 -draw "line 12,6 12,50" -draw "line 28,6 28,50" -draw "line 44,6 44,50" \
  -stroke '#0b1117' -strokewidth 1 -fill '#5fd07a' -draw "rectangle 7,25 17,30" \
  -fill '#ff8a3d' -draw "rectangle 23,15 33,20" -draw "rectangle 39,35 49,40" \
  -stroke none -fill '#ffffff' -draw "fill-opacity 0.75 polygon 24,6 32,6 28,11" \
  -draw "fill-opacity 0.75 polygon 40,50 48,50 44,45" \
  -type TrueColor -colorspace sRGB -interlace none -quality 92 -strip \
  -units PixelsPerInch -density 96 "jpeg:$out"
