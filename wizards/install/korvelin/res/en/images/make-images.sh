#!/usr/bin/env bash
# Regenerates the wizard's icons and bitmaps in this folder with ImageMagick.
# Icons are drawn on a 128-pixel canvas and scaled down, so one drawing gives
# both the 16 and the 32 pixel image; strokes are thick enough to survive that.
# Bitmaps are written as 24-bit BMP3, which every LoadImage accepts.
# Usage: make-images.sh   (needs ImageMagick 6 and fonts-dejavu-core)
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# icon FILE DRAW...: DRAW are convert arguments applied to a clear 128x128 canvas.
icon() {
  local file=$1
  shift
  convert -size 128x128 xc:none "$@" "PNG32:$work/big.png"
  convert "$work/big.png" -filter Lanczos -resize 16x16 "PNG32:$work/16.png"
  convert "$work/big.png" -filter Lanczos -resize 32x32 "PNG32:$work/32.png"
  convert "$work/16.png" "$work/32.png" "$file"
}

# A rounded tile, the common body of the four matrix state icons.
tile() { echo "roundrectangle 10,10 117,117 22,22"; }

# 1112: task running, a blue arrow pointing right.
icon task-running.ico -fill '#1E6FD0' -stroke '#0B3F80' -strokewidth 6 \
  -draw "polygon 14,44 62,44 62,14 116,64 62,114 62,84 14,84"
# 1113: pending, a grey hollow circle.
icon task-pending.ico -fill none -stroke '#8A8A8A' -strokewidth 16 -draw "circle 64,64 64,16"
# 1114: done, a green check.
icon task-done.ico -fill none -stroke '#1E8F2E' -strokewidth 22 -draw "polyline 16,66 50,100 114,24"
# 150: failed, a white cross on a red disc.
icon task-failed.ico -fill '#D02020' -stroke '#8C1010' -strokewidth 4 -draw "circle 64,64 64,4" \
  -stroke white -strokewidth 18 -draw "line 40,40 88,88" -draw "line 88,40 40,88"

# 145: upgraded, a white check on a green tile.
icon state-upgraded.ico -fill '#2E9E3E' -stroke '#1B6A27' -strokewidth 5 -draw "$(tile)" \
  -fill none -stroke white -strokewidth 16 -draw "polyline 30,66 54,90 98,38"
# 146: partially upgraded, an amber tile filled to its left half.
icon state-partial.ico -fill '#FFF4D6' -stroke none -draw "$(tile)" \
  -fill '#F0A000' -draw "roundrectangle 10,10 64,117 22,22" -draw "rectangle 40,10 64,117" \
  -fill none -stroke '#B87800' -strokewidth 6 -draw "$(tile)" -draw "line 64,12 64,115"
# 147: not upgraded, a white cross on a red tile.
icon state-not-upgraded.ico -fill '#C83232' -stroke '#8C1A1A' -strokewidth 5 -draw "$(tile)" \
  -stroke white -strokewidth 16 -draw "line 38,38 90,90" -draw "line 90,38 38,90"
# 148: not configured, a dark dash on a light grey tile.
icon state-not-configured.ico -fill '#E4E4E4' -stroke '#8A8A8A' -strokewidth 5 -draw "$(tile)" \
  -stroke '#5A5A5A' -strokewidth 16 -draw "line 32,64 96,64"

# 149: the wizard, two cluster nodes joined by a link, with a green upgrade arrow.
node_at() { # x: a server tower 40 wide, 70 high, at x
  echo "roundrectangle $1,30 $(($1 + 40)),100 8,8"
}
icon wizard.ico -stroke '#26456E' -strokewidth 5 -fill '#4A78B0' -draw "$(node_at 8)" -draw "$(node_at 58)" \
  -stroke '#26456E' -strokewidth 7 -draw "line 28,112 78,112" -draw "line 28,100 28,112" -draw "line 78,100 78,112" \
  -stroke '#DDE8F5' -strokewidth 5 -draw "line 16,46 40,46" -draw "line 66,46 90,46" \
  -stroke '#0E5A1A' -strokewidth 4 -fill '#34B34A' -draw "polygon 104,6 126,34 112,34 112,70 96,70 96,34 82,34"

# 129: the watermark of the exterior pages, a calm blue gradient with nodes.
convert -size 164x314 gradient:'#2A5C94'-'#9CC3E8' \
  -fill '#FFFFFF40' -stroke '#FFFFFF90' -strokewidth 2 \
  -draw "roundrectangle 30,196 62,256 5,5" -draw "roundrectangle 74,186 106,256 5,5" \
  -draw "roundrectangle 118,196 150,256 5,5" \
  -fill none -strokewidth 3 -draw "line 46,272 134,272" -draw "line 46,256 46,272" \
  -draw "line 90,256 90,272" -draw "line 134,256 134,272" \
  -stroke '#FFFFFF60' -strokewidth 2 -draw "line 36,210 56,210" -draw "line 80,200 100,200" \
  -draw "line 124,210 144,210" \
  -type truecolor BMP3:watermark.bmp

# 128: the header of the interior pages, a smaller copy of the wizard's motif on white.
convert -size 256x256 xc:white -stroke '#26456E' -strokewidth 8 -fill '#4A78B0' \
  -draw "roundrectangle 24,60 104,200 14,14" -draw "roundrectangle 132,60 212,200 14,14" \
  -strokewidth 12 -draw "line 64,228 172,228" -draw "line 64,200 64,228" -draw "line 172,200 172,228" \
  -stroke '#DDE8F5' -strokewidth 9 -draw "line 40,92 88,92" -draw "line 148,92 196,92" \
  -stroke '#0E5A1A' -strokewidth 6 -fill '#34B34A' \
  -draw "polygon 214,8 252,56 228,56 228,120 200,120 200,56 176,56" \
  -filter Lanczos -resize 49x49 -type truecolor BMP3:header.bmp

# 1117: the step panel's tile, a light left-to-right gradient: it repeats
# downwards without seams and keeps dark text readable.
convert -size 32x164 gradient:'#FFFFFF'-'#DCE6F2' -rotate -90 -type truecolor BMP3:panel-tile.bmp
