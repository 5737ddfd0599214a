#!/bin/bash
# Draws the program icon (a white pulse line on a blue rounded tile) at every size Windows asks
# for and packs the sizes into watchkeep.ico. Needs ImageMagick. Usage: src/res/make_icon.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The art is laid out on a 256-unit grid; each size scales it. Small sizes get a thicker line
# and a smaller corner radius so the pulse stays readable at 16 pixels.
draw() {
    local size=$1
    local s
    s=$(awk -v n="$size" 'BEGIN { printf "%.5f", n / 256 }')
    local line
    line=$(awk -v n="$size" 'BEGIN { w = 22 * n / 256; if (w < 1.7) w = 1.7; printf "%.2f", w }')
    local pts=""
    for p in 30,136 86,136 108,76 146,192 170,110 186,136 226,136; do
        pts+=$(awk -v p="$p" -v s="$s" 'BEGIN { split(p, a, ","); printf "%.2f,%.2f ", a[1] * s, a[2] * s }')
    done
    local edge
    edge=$(awk -v n="$size" 'BEGIN { printf "%.2f", n - 1 - (n >= 32 ? 6 * n / 256 : 0) }')
    local start
    start=$(awk -v n="$size" 'BEGIN { printf "%.2f", (n >= 32 ? 6 * n / 256 : 0) }')
    local radius
    radius=$(awk -v n="$size" 'BEGIN { printf "%.2f", (n >= 32 ? 48 : 40) * n / 256 }')
    convert -size "${size}x${size}" xc:none \
        -fill '#1D4ED8' -stroke '#1E3A8A' -strokewidth "$(awk -v n="$size" 'BEGIN { printf "%.2f", (n >= 32 ? 4 * n / 256 : 0) }')" \
        -draw "roundrectangle $start,$start $edge,$edge $radius,$radius" \
        -fill none -stroke white -strokewidth "$line" \
        -draw "stroke-linecap round stroke-linejoin round polyline $pts" \
        "PNG32:$work/$size.png"
}

for size in 16 20 24 32 48 256; do
    draw "$size"
done
convert "$work/16.png" "$work/20.png" "$work/24.png" "$work/32.png" "$work/48.png" "$work/256.png" \
    "$here/watchkeep.ico"
