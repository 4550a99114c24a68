#!/usr/bin/env bash
# The headless round trip: builds everything, starts dravik_sim on a pseudo-terminal, reads its
# configuration with dravik_cli into a .cfg file, shows it, checks it, writes it back and
# verifies that the controller holds it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target dravik_sim dravik_cli

bin="$PWD/build/dev/bin"
work="$(mktemp -d)"
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

"$bin/dravik_sim" --link "$work/ttySIM" --state "$work/state.txt" --pace >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done

cd "$work"
echo "=== dravik_cli read --device $work/ttySIM -o controller.cfg"
"$bin/dravik_cli" read --device "$work/ttySIM" -o controller.cfg
cat controller.cfg
echo "=== dravik_cli check controller.cfg"
"$bin/dravik_cli" check controller.cfg
echo "=== dravik_cli write controller.cfg --device $work/ttySIM"
"$bin/dravik_cli" write controller.cfg --device "$work/ttySIM"
echo "=== dravik_cli verify controller.cfg --device $work/ttySIM"
"$bin/dravik_cli" verify controller.cfg --device "$work/ttySIM" && echo "the controller holds it"
echo "=== the link log port1.log"
cat port1.log | iconv -f WINDOWS-1251 -t UTF-8
