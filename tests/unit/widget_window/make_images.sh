#!/bin/sh
# Small interface pictures for the widget toolkit tests.
set -e
mkdir -p "$1"
convert -size 4x1 'xc:rgba(255,0,0,0.5)' -size 4x1 'xc:rgb(0,0,255)' -append "PNG32:$1/half.png"
printf 'not a picture' > "$1/garbage.png"
