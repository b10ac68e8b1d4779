#!/usr/bin/env bash
# Draws the application icon (a letter and a quill on a blue tile) with
# ImageMagick and writes ui/win32/quillbank.ico in 48, 32 and 16 pixels.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw "roundrectangle 8,8 247,247 40,40" \
  -fill white -stroke '#0d3a6e' -strokewidth 6 -draw "rectangle 40,78 216,190" \
  -fill none -stroke '#1f5fa8' -strokewidth 10 -draw "polyline 44,82 128,146 212,82" \
  -stroke '#f2b632' -strokewidth 14 -draw "line 150,208 226,40" \
  -fill '#f2b632' -stroke none -draw "polygon 226,40 238,30 232,56" \
  "$work/icon.png"
convert "$work/icon.png" -define icon:auto-resize=48,32,16 ui/win32/quillbank.ico
