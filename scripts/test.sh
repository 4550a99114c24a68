#!/usr/bin/env bash
# Builds and runs the whole suite twice: a normal build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

for preset in dev dev-asan; do
    echo "=== ${preset}: configure, build, test"
    cmake --preset "${preset}" >/dev/null
    cmake --build --preset "${preset}"
    ctest --preset "${preset}"
done

echo "=== the installed menu entry, metadata and manual pages"
scripts/lint-desktop.sh build/dev

echo "=== fuzz: every input parser for a bounded number of runs"
scripts/fuzz.sh
