#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the SVG drawings into the PNG files beside this script: the application icon
# from 48 x 48 up (draw-images.py draws the smaller ones as pixel art), and the toolbar
# pictures at double size for screens with twice the pixel density (NAME@2x.png).
# Needs rsvg-convert (Debian package librsvg2-bin); the results are kept in the
# repository, so building needs neither this script nor the tool.
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" quillet.svg -o "quillet-$size.png"
done
for drawing in svg/*.svg; do
    name=$(basename "$drawing" .svg)
    rsvg-convert -w 32 -h 32 "$drawing" -o "$name@2x.png"
done
