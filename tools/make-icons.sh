#!/bin/sh
# Draws the program icon, a lit status lamp on the window's orange, in 16 colours at 32 x 32
# and 16 x 16, as PNGs and as the Windows icon that holds both (icotool, from icoutils). The
# files are committed; run this only to change them.
set -eu
out=$(dirname "$0")/../window/icons
mkdir -p "$out"
convert -size 32x32 xc:'rgb(255,128,0)' -fill black -draw 'rectangle 0,0 31,31' \
    -fill 'rgb(255,128,0)' -draw 'rectangle 1,1 30,30' \
    -fill 'rgb(0,255,0)' -stroke black -draw 'circle 16,16 16,4' \
    -colors 16 -type Palette PNG8:"$out/quorin-32.png"
convert -size 16x16 xc:'rgb(255,128,0)' -fill black -draw 'rectangle 0,0 15,15' \
    -fill 'rgb(255,128,0)' -draw 'rectangle 1,1 14,14' \
    -fill 'rgb(0,255,0)' -stroke black -draw 'circle 7.5,7.5 7.5,2.5' \
    -colors 16 -type Palette PNG8:"$out/quorin-16.png"
icotool -c -o "$out/quorin.ico" "$out/quorin-32.png" "$out/quorin-16.png"
