#!/bin/sh
# Pictures for the image-view scenarios; $1 is the output folder.
set -e
out="$1"
rm -rf "$out"
mkdir -p "$out/big" "$out/small" "$out/walk/album.jpg" "$out/broken"
convert -size 4000x3000 gradient:red-blue "$out/big/big.jpg"
convert -size 400x300 xc:'rgb(30,160,60)' "$out/small/small.png"
convert -size 64x48 xc:'rgb(200,60,60)' "$out/walk/Img1.png"
convert -size 64x48 xc:'rgb(60,200,60)' "$out/walk/img2.jpg"
convert -size 64x48 xc:'rgb(60,60,200)' "$out/walk/img10.jpg"
echo "not a picture" > "$out/walk/notes.txt"
printf 'this is no JPEG at all, only text with the right name\n' > "$out/broken/corrupt.jpg"
