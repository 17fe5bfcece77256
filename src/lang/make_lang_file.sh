#!/bin/sh
# Writes a UTF-8 language file as UTF-16 LE with a byte-order mark and CRLF line ends: the
# encoding in which the profile functions read Unicode text. Usage: make_lang_file.sh in out
set -e
in=$1
out=$2
tmp="$out.tmp"
printf '\377\376' >"$tmp"
sed 's/\r$//; s/$/\r/' "$in" | iconv -f UTF-8 -t UTF-16LE >>"$tmp"
mv "$tmp" "$out"
