#!/usr/bin/env bash
# Builds the three programs (not the test suite), starts the controller simulator on a
# pseudo-terminal, points COM1 at it and opens the window; the simulator stops when the window
# closes. Without a display it shows the same read done by dravik_cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target dravik_sim dravik_cli dravik_conf

bin=build/dev/bin
settings="$bin/dravik_conf.ini"
# A fixed place, so that a port map written on the first run still points at the next run's link.
run_dir="${XDG_RUNTIME_DIR:-/tmp}/dravik_sim-$(id -u)"
link="$run_dir/com1"
mkdir -p "$run_dir"

# The controller keeps what was written to it in its state file, from one run to the next.
"$bin/dravik_sim" --link "$link" --state "$run_dir/state.txt" --pace >"$run_dir/sim.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM HUP

# It prints the link once it answers.
for _ in $(seq 100); do
    [ -s "$run_dir/sim.out" ] && break
    if ! kill -0 "$sim" 2>/dev/null; then
        cat "$run_dir/sim.out" >&2
        echo "The simulator did not start." >&2
        exit 1
    fi
    sleep 0.1
done
[ -e "$link" ] || { echo "The simulator's link $link did not appear." >&2; exit 1; }

# The value of key in section of the settings file, matched without regard to case like the
# program does; empty when either is missing.
ini_value() {
    [ -f "$settings" ] || return 0
    awk -v section="$1" -v key="$2" '
        { sub(/\r$/, "") }
        /^[ \t]*\[/ { name = $0; gsub(/^[ \t]*\[|\][ \t]*$/, "", name); inside = tolower(name) == section; next }
        inside && index($0, "=") {
            k = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", k)
            if (tolower(k) == key) { v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v); found = v }
        }
        END { if (found != "") print found }' "$settings"
}

mapped="$(ini_value ports com1)"
if [ -z "$mapped" ]; then
    # Adds com1 to section [ports], creating the section when the file has none; the rest stays.
    tmp="$(mktemp)"
    if [ -f "$settings" ]; then cp "$settings" "$tmp"; fi
    awk -v entry="com1=$link" '
        { line = $0; sub(/\r$/, "", line) }
        { print $0 }
        !done && line ~ /^[ \t]*\[[Pp][Oo][Rr][Tt][Ss]\][ \t]*$/ { printf "%s\r\n", entry; done = 1 }
        END { if (!done) printf "[ports]\r\n%s\r\n", entry }' "$tmp" >"$settings"
    rm -f "$tmp"
    echo "COM1 now leads to the simulator: com1=$link in section [ports] of $settings"
elif [ "$mapped" != "$link" ]; then
    echo "Note: $settings maps COM1 to $mapped, not to the simulator at $link;"
    echo "      remove that line to let this script point COM1 at the simulator."
fi
port="$(ini_value conn port)"
if [ -n "$port" ] && [ "$port" != "1" ]; then
    echo "Note: the window is set to COM$port; choose 1 under \"Связь\" to reach the simulator."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window"
    echo "cannot open. The same read from the simulator without a window (add -o FILE to keep"
    echo "it as a .cfg file; scripts/demo-cli.sh shows the whole round trip):"
    echo
    echo "    $bin/dravik_cli read"
    echo
    "$bin/dravik_cli" read
    exit 0
fi

echo "Opening the window; the simulator stops when it closes."
"$bin/dravik_conf"
