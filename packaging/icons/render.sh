#!/usr/bin/env bash
# Renders the PNG sizes of the icons from their SVG (needs rsvg-convert from
# librsvg2-bin). The PNGs are committed, so building needs no renderer.
set -euo pipefail
cd "$(dirname "$0")"
for icon in zembrill zembrill-server; do
  for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$icon.svg" -o "${size}x${size}/$icon.png"
  done
done
