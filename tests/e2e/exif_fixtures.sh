#!/bin/sh
# A camera photo for the caption scenario: capture date and a quarter-turn orientation. $1 is
# the output folder.
set -e
out="$1"
rm -rf "$out"
mkdir -p "$out/shot"
convert -size 400x300 gradient:orange-purple "$out/shot/trip.jpg"
exiftool -q -overwrite_original -n -DateTimeOriginal="2019:05:04 13:02:09" -Orientation=6 \
  "$out/shot/trip.jpg"
