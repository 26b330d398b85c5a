#!/usr/bin/env bash
# png-to-ico.sh IN.png OUT.ico: wraps a square PNG image of 16 to 256 pixels into a
# Windows icon file holding that one image. Windows (Vista and later) reads PNG images
# in icons and scales them for the smaller views. Used at build time for the programs'
# icon resource and the installer's icon, so no icon file is kept in the tree.
set -euo pipefail
in=${1:?PNG file}
out=${2:?icon file}

# Bytes of the file as unsigned numbers, big-endian: hexbytes OFFSET COUNT.
hexbytes() { od -An -tx1 -j "$1" -N "$2" "$in" | tr -d ' \n'; }
if [ "$(hexbytes 0 8)" != 89504e470d0a1a0a ] || [ "$(hexbytes 12 4)" != 49484452 ]; then
  echo "png-to-ico: $in is not a PNG image" >&2
  exit 1
fi
width=$((16#$(hexbytes 16 4)))
height=$((16#$(hexbytes 20 4)))
if [ "$width" != "$height" ] || [ "$width" -lt 16 ] || [ "$width" -gt 256 ]; then
  echo "png-to-ico: $in is ${width}x$height; a square of 16 to 256 pixels is needed" >&2
  exit 1
fi
size=$(stat -c %s "$in")

byte() { printf "\\$(printf %03o "$(($1 & 255))")"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

{
  # The header: reserved, type 1 (icon), one image.
  le16 0; le16 1; le16 1
  # The directory entry: width and height (0 stands for 256), no palette, reserved,
  # one colour plane, 32 bits a pixel, the image's size and its offset (6 + 16).
  byte "$width"; byte "$height"; byte 0; byte 0
  le16 1; le16 32; le32 "$size"; le32 22
  cat "$in"
} >"$out.tmp"
mv "$out.tmp" "$out"
