#!/usr/bin/env bash
# Renders the window icon's PNG sizes (data/icons/) from data/org.vorn.Timers.svg. The program
# carries the PNGs so that its window icon needs no SVG plugin at run time; run this after
# changing the SVG and commit both. Needs rsvg-convert (librsvg2-bin) and optipng.
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 22 24 32 48 64 128; do
    rsvg-convert --width "$size" --height "$size" data/org.vorn.Timers.svg -o "data/icons/$size.png"
    optipng -quiet -o7 -strip all "data/icons/$size.png"
done
