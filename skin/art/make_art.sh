#!/bin/sh
# Draws the program's own artwork with ImageMagick: the caption-button strips (three 30x30
# frames each: normal, hover, pressed) and the program icon. Usage: make_art.sh <out-folder>
set -eu
out="$1"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# PNGs without time stamps, so a rebuild gives the same bytes.
png_opts="-strip -define png:exclude-chunks=date,time"

frame() {  # frame-name background glyph-colour draw-commands...
  frame_name=$1 bg=$2 fg=$3
  shift 3
  convert -size 30x30 "xc:$bg" -fill none -stroke "$fg" -strokewidth 1 "$@" "PNG32:$tmp/$frame_name.png"
}

strip() {  # out-name draw-commands... (close uses its own colours)
  strip_name=$1
  shift
  if [ "$strip_name" = close ]; then
    frame n 'rgb(248,248,248)' 'rgb(64,65,71)' "$@"
    frame h 'rgb(232,17,35)' 'rgb(255,255,255)' "$@"
    frame p 'rgb(241,112,122)' 'rgb(255,255,255)' "$@"
  else
    frame n 'rgb(248,248,248)' 'rgb(64,65,71)' "$@"
    frame h 'rgb(229,229,229)' 'rgb(32,32,36)' "$@"
    frame p 'rgb(204,204,204)' 'rgb(32,32,36)' "$@"
  fi
  convert "$tmp/n.png" "$tmp/h.png" "$tmp/p.png" +append $png_opts "PNG32:$out/$strip_name.png"
}

strip close -draw 'line 10,10 20,20' -draw 'line 20,10 10,20'
strip maximize +antialias -draw 'rectangle 10,10 20,20'
strip restore +antialias -draw 'rectangle 10,12 18,20' -draw 'polyline 12,12 12,10 20,10 20,18 18,18'
strip minimize +antialias -draw 'line 10,15 20,15'
strip fullscreen +antialias \
  -draw 'polyline 9,13 9,9 13,9' -draw 'polyline 17,9 21,9 21,13' \
  -draw 'polyline 21,17 21,21 17,21' -draw 'polyline 13,21 9,21 9,17'

# Icon: a rounded tile with a hill and a sun, at the sizes the shell asks for.
convert -size 256x256 xc:none \
  -fill 'rgb(38,110,200)' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill 'rgb(255,196,61)' -draw 'circle 176,84 176,112' \
  -fill 'rgb(120,200,120)' -draw 'polygon 8,210 92,118 150,178 182,150 247,210 247,203 247,247 8,247' \
  -fill 'rgb(38,110,200)' -draw 'rectangle 8,232 52,247' -draw 'rectangle 203,232 247,247' \
  -fill 'rgb(120,200,120)' -draw 'roundrectangle 8,200 247,247 44,44' \
  $png_opts "PNG32:$tmp/icon256.png"
for s in 16 24 32 48; do
  convert "$tmp/icon256.png" -resize "${s}x${s}" $png_opts "PNG32:$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon24.png" "$tmp/icon32.png" "$tmp/icon48.png" \
  "$tmp/icon256.png" "$out/lumora.ico"
