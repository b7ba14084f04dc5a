#!/usr/bin/env bash
# Regenerates the default boot-screen artwork and its volume manifest. Needs ImageMagick 6
# (/usr/bin/convert) and the DejaVu fonts; the build only uses the committed results.
#
# Every file is an uncompressed BMP3 (40-byte info header) with 4 or 8 bits per pixel:
#   logo.bmp           8-bit, at most 200 colours, drawn centred from palette entry 0 (its colour
#                      0, black, is the screen background)
#   banner_a/b.bmp     4-bit, banner at left 3, bottom row 582, palette from entry 230
#   footer.bmp         4-bit, at left 600
#   label_*.bmp        4-bit, address line labels at left 410
#   glyph_*.bmp        4-bit, 10 x 16 glyphs of the address line
# High-palette images keep to 16 colours (entries 230-245, clear of the fixed 250, 251, 255), and
# no colour component lies between 1 and 63, which the DAC would take as 6-bit values.
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert
SANS=DejaVu-Sans
BOLD=DejaVu-Sans-Bold
MONO=DejaVu-Sans-Mono

# finish COLOURS OUT: reduce the image on stdin to COLOURS and write it as an uncompressed BMP3
# (black first, no component from 1 to 63, exact biClrUsed; see write_bmp3.py).
finish() {
  "$IM" - -fill black -fuzz 12% -opaque black +dither -colors "$1" -depth 8 ppm:- |
    python3 write_bmp3.py "$2"
}

"$IM" -size 360x140 xc:black \
  -fill '#1A3F8C' -draw 'roundrectangle 4,4 355,135 18,18' \
  \( -size 344x124 gradient:'#3A6FD8'-'#0E2A66' \) -geometry +8+8 -compose over -composite \
  -font "$BOLD" -pointsize 44 -fill white -gravity center -annotate +0-14 'SERVER' \
  -font "$SANS" -pointsize 20 -fill '#C8D8F8' -annotate +0+34 'multi-socket platform' \
  png:- | finish 200 logo.bmp

banner() {
  "$IM" -size 420x22 xc:black -font "$SANS" -pointsize 15 -fill '#E0E0E0' -gravity west \
    -annotate +2+0 "$1" png:- | finish 16 "$2"
}
banner 'Initialising the platform...' banner_a.bmp
banner 'Initialising the platform (alternate path)...' banner_b.bmp

"$IM" -size 180x18 xc:black -font "$SANS" -pointsize 13 -fill '#A0A0A0' -gravity east \
  -annotate +2+0 'Firmware 1.0' png:- | finish 16 footer.bmp

label() {
  "$IM" -size 214x16 xc:black -font "$SANS" -pointsize 13 -fill '#E0E0E0' -gravity west \
    -annotate +0+0 "$1" png:- | finish 16 "$2"
}
label 'BMC address (LAN 1):' label_lan1.bmp
label 'BMC address (LAN 8):' label_lan8.bmp
label 'BMC address: no IPMI transport' label_no_transport.bmp

glyph() {
  "$IM" -size 10x16 xc:black -font "$MONO" -pointsize 15 -fill '#E0E0E0' -gravity center \
    -annotate +0+0 "$1" png:- | finish 16 "$2"
}
glyph '.' glyph_dot.bmp
glyph '/' glyph_slash.bmp
for d in 0 1 2 3 4 5 6 7 8 9; do
  glyph "$d" "glyph_$d.bmp"
done

for f in *.bmp; do
  depth=$(od -An -tu2 -j28 -N2 "$f" | tr -d ' ')
  if [ "$depth" != 4 ] && [ "$depth" != 8 ]; then
    echo "$f: $depth bits per pixel" >&2
    exit 1
  fi
done
