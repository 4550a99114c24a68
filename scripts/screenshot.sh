#!/usr/bin/env bash
# Takes docs/screenshot.png: the window with the configuration read from the simulator, and
# docs/screenshot-traffic.png: «Журнал обмена» with that read's lines, on a virtual X display, so
# that it needs no desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target ui_screenshot dravik_sim

mkdir -p docs
unset WAYLAND_DISPLAY
xvfb-run --auto-servernum --server-args="-screen 0 800x600x24" \
    env QT_QPA_PLATFORM=xcb build/dev/bin/ui_screenshot docs/screenshot.png docs/screenshot-traffic.png
