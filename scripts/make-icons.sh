#!/usr/bin/env bash
# Renders the program's icon, data/dravik_conf.svg, into the PNG sizes of the hicolor icon theme
# under data/icons. The PNGs are committed: run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v rsvg-convert >/dev/null || scripts/install-deps.sh

for size in 16 24 32 48 64 128 256; do
    folder="data/icons/hicolor/${size}x${size}/apps"
    mkdir -p "$folder"
    rsvg-convert --width "$size" --height "$size" --output "$folder/dravik_conf.png" \
        data/dravik_conf.svg
done
