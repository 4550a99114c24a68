#!/usr/bin/env bash
# Installs a configured build folder (default build/dev) into a scratch prefix and checks what a
# desktop and a packager would meet there: the menu entry with desktop-file-validate (and that its
# Exec names the installed program), the AppStream metadata with appstreamcli, the manual pages
# with groff's warnings made fatal.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/dev}"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
failed=0
fail() { echo "lint: $*" >&2; failed=1; }

for entry in "$share"/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "$entry is not a valid desktop entry"
    program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
    [ -x "$program" ] || fail "$entry starts $program, which is not the installed program"
done

for metainfo in "$share"/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null ||
        { appstreamcli validate --no-net --pedantic "$metainfo" >&2; fail "$metainfo is not valid"; }
done

for page in "$share"/man/man1/*.1; do
    # groff -z -ww: format for nothing, with every warning on; any output is a fault.
    warnings="$(LC_ALL=C.UTF-8 groff -z -ww -man -Tutf8 "$page" 2>&1)"
    [ -z "$warnings" ] || fail "$page: $warnings"
done

for size in 16 24 32 48 64 128 256; do
    icon="$share/icons/hicolor/${size}x${size}/apps/dravik_conf.png"
    [ -f "$icon" ] || fail "the ${size}x${size} icon is not installed"
done

[ "$failed" -eq 0 ] && echo "lint: menu entry, metadata, manual pages and icons are fine"
exit "$failed"
