#!/bin/sh
# Pictures for the loader tests, made on the host before the tests run: good files of each
# format, then damaged ones (truncated, bit-flipped, empty, absurd header sizes).
set -eu
out=$1
rm -rf "$out" && mkdir -p "$out/bad"
cd "$out"

convert -size 31x17 xc:'#3060c0' good.bmp
convert -size 40x30 xc:'#c06030' good.jpg
convert -size 33x21 xc:red good.gif
convert -size 25x19 xc:green -compress none good.tif
convert -size 27x13 xc:blue good.png
convert -size 256x256 xc:orange icon256.png
convert icon256.png -define icon:auto-resize=16,32,48,256 good.ico

# Blue picture with a red top-left and a green top-right corner, lossless.
convert -size 8x6 xc:'#0000ff' -fill '#ff0000' -draw 'rectangle 0,0 1,1' \
  -fill '#00ff00' -draw 'rectangle 6,0 7,1' -define png:color-type=2 corner.png
# Opaque red with a fully transparent top-left quarter.
convert -size 8x8 xc:'#ff0000' -alpha set -region 4x4+0+0 -alpha transparent +region \
  -define png:color-type=6 alpha.png

convert -size 4000x3000 xc:gray -quality 50 big6.jpg
exiftool -q -overwrite_original -Orientation#=6 big6.jpg
convert -size 64x48 xc:white -density 300 -units PixelsPerInch exif.jpg
exiftool -q -overwrite_original -Make=LumoraCam -Model="Model X" -FNumber=2.8 \
  -ExposureTime=1/250 -ISO=200 -Orientation#=6 -DateTimeOriginal="2019:05:04 13:02:09" \
  -GPSLatitude=39.904202 -GPSLatitudeRef=N -GPSLongitude=116.407394 -GPSLongitudeRef=E exif.jpg

/usr/bin/python3 - <<'PY'
import struct, zlib, os, shutil

def crc_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

for ext in ['jpg', 'png', 'gif', 'bmp', 'tif', 'ico']:
    data = open('good.' + ext, 'rb').read()
    open('bad/truncated.' + ext, 'wb').write(data[:max(8, len(data) // 2)])
    flipped = bytearray(data)
    for i in range(6, len(flipped), 7):
        flipped[i] ^= 0x5A
    open('bad/flipped.' + ext, 'wb').write(bytes(flipped))
    open('bad/empty.' + ext, 'wb').close()

# Headers that claim 60000 x 60000 pixels over a few bytes of data.
N = 60000
png = b'\x89PNG\r\n\x1a\n' + crc_chunk(b'IHDR', struct.pack('>IIBBBBB', N, N, 8, 6, 0, 0, 0))
png += crc_chunk(b'IDAT', zlib.compress(b'\0' * 64)) + crc_chunk(b'IEND', b'')
open('bad/huge.png', 'wb').write(png)

bmp_pixels = b'\0' * 64
info = struct.pack('<IiiHHIIiiII', 40, N, N, 1, 32, 0, N * N * 4 & 0xffffffff, 2835, 2835, 0, 0)
open('bad/huge.bmp', 'wb').write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(bmp_pixels), 0, 0, 54) + info + bmp_pixels)

gif = b'GIF89a' + struct.pack('<HHBBB', N, N, 0, 0, 0)
gif += b',' + struct.pack('<HHHHB', 0, 0, N, N, 0) + b'\x02\x02\x44\x01\x00;'
open('bad/huge.gif', 'wb').write(gif)

jpg = bytearray(open('good.jpg', 'rb').read())
for marker in (b'\xff\xc0', b'\xff\xc2', b'\xff\xc1'):
    at = jpg.find(marker)
    if at > 0:
        jpg[at + 5:at + 9] = struct.pack('>HH', N, N)
        break
open('bad/huge.jpg', 'wb').write(bytes(jpg[:len(jpg) // 2]))

# TIFF: one strip, width/length patched in the first IFD.
tif = bytearray(open('good.tif', 'rb').read())
little = tif[:2] == b'II'
e = '<' if little else '>'
ifd = struct.unpack(e + 'I', tif[4:8])[0]
count = struct.unpack(e + 'H', tif[ifd:ifd + 2])[0]
for k in range(count):
    at = ifd + 2 + 12 * k
    tag, typ = struct.unpack(e + 'HH', tif[at:at + 4])
    if tag in (256, 257):
        if typ == 3:
            tif[at + 8:at + 10] = struct.pack(e + 'H', N)
        else:
            tif[at + 8:at + 12] = struct.pack(e + 'I', N)
open('bad/huge.tif', 'wb').write(bytes(tif))

# ICO whose single entry is the huge PNG.
entry = struct.pack('<BBBBHHII', 0, 0, 0, 0, 1, 32, len(png), 6 + 16)
open('bad/huge.ico', 'wb').write(struct.pack('<HHH', 0, 1, 1) + entry + png)

open('bad/notimage.jpg', 'wb').write(b'this is plain text, not a picture\n' * 4)
PY
