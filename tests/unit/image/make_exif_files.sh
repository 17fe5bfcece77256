#!/bin/sh
# Pictures with camera metadata written by exiftool, and what exiftool itself reads back from
# them (photo_*.json), for the EXIF reader tests. $1 is the output folder.
set -eu
out=$1
cfg="$(cd "$(dirname "$0")" && pwd)/exif_raw.cfg"
rm -rf "$out"
mkdir -p "$out"
cd "$out"

et() { exiftool -config "$cfg" -q -q -overwrite_original "$@"; }
dump() { exiftool -config "$cfg" -q -q -j -D -G1 -n -File:ExifByteOrder -IFD0:all -ExifIFD:all \
  -GPS:all "$1" > "${1%.jpg}.json"; }

# A synthetic ICC profile (header, a white point and a large private tag) of $1 bytes.
make_icc() {
  perl -e '
    my $n = $ARGV[0];
    my $wt = "XYZ " . ("\0" x 4) . pack("N3", 63190, 65536, 54061);
    my $pad = "data" . ("\0" x 4) . ("\x5a" x ($n - 128 - 4 - 24 - length($wt) - 8));
    my $off = 128 + 4 + 24;
    my $table = pack("N", 2) . pack("a4NN", "wtpt", $off, length $wt)
              . pack("a4NN", "zzzz", $off + length $wt, length $pad);
    my $h = pack("N", $n) . "lcms" . pack("N", 0x02100000) . "mntrRGB XYZ "
          . pack("n6", 2020, 1, 1, 0, 0, 0) . "acsp" . "APPL" . pack("N", 0) . "none"
          . pack("N", 0) . pack("NN", 0, 0) . pack("N", 0) . pack("N3", 63190, 65536, 54061)
          . "lcms";
    $h .= "\0" x (128 - length $h);
    binmode STDOUT;
    print $h . $table . $wt . $pad;' "$1"
}

# Little-endian, every tag the metadata record reads; the size and orientation of a portrait
# photo from a camera held upright.
convert -size 4000x3000 xc:gray60 -quality 40 photo_ii.jpg
et -ExifByteOrder=II -IFD0:Make="LumoCam" -IFD0:Model="LC-1 Mark II" -IFD0:Orientation#=6 \
  -ExifIFD:DateTimeOriginal="2019:05:04 13:02:09" -ExifIFD:LensModel="LC 24-70mm F2.8" \
  -FNumberRaw=28/10 -MaxApertureValueRaw=297/100 -ExposureTimeRaw=10/2500 -ExifIFD:ISO=400 \
  -FocalLengthRaw=50/1 -ExifIFD:MeteringMode#=5 -ExifIFD:Flash#=16 -ExifIFD:WhiteBalance#=1 \
  -ExifIFD:ExposureProgram#=2 \
  -GPSLatitudeRef=N "-GPSLatitudeRaw=39/1 54/1 1512/100" \
  -GPSLongitudeRef=E "-GPSLongitudeRaw=116/1 24/1 2662/100" photo_ii.jpg
dump photo_ii.jpg

# Big-endian, other values, an XMP block in a second APP1 and a comment segment.
convert -size 640x480 xc:navy photo_mm.jpg
et -ExifByteOrder=MM -IFD0:Make="Other Maker Inc." -IFD0:Model="M2" -IFD0:Orientation#=8 \
  -ExifIFD:DateTimeOriginal="2020:12:31 23:59:59" -ExifIFD:LensModel="Zoom 1" \
  -FNumberRaw=0/0 -MaxApertureValueRaw=3/1 -ExposureTimeRaw=1/250 -ExifIFD:ISO=3200 \
  -FocalLengthRaw=135/10 -ExifIFD:MeteringMode#=2 -ExifIFD:Flash#=0 -ExifIFD:WhiteBalance#=0 \
  -ExifIFD:ExposureProgram#=3 \
  -GPSLatitudeRef=S "-GPSLatitudeRaw=22/1 54/1 30/1" \
  -GPSLongitudeRef=W "-GPSLongitudeRaw=43/1 11/1 47/1" \
  -XMP-dc:Title="Rio" -Comment="from exiftool" photo_mm.jpg
dump photo_mm.jpg

# An ICC profile that needs three APP2 chunks, and no EXIF.
make_icc 150000 > big.icc
convert -size 64x48 xc:orange icc.jpg
et "-ICC_Profile<=big.icc" icc.jpg

# No metadata at all.
convert -size 64x48 xc:green -strip plain.jpg

# EXIF inside a PNG: not read, only JPEG carries the block we look for.
convert -size 64x48 xc:red photo.png
et -IFD0:Orientation#=6 -IFD0:Make="LumoCam" photo.png
