#!/usr/bin/env bash
# Builds the Debian package dravik-conf_<version>_<architecture>.deb from the release preset,
# installing under /usr, into build/package. Install it with
#     sudo apt install ./build/package/dravik-conf_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "=== release: configure and build the programs"
cmake --preset release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build --preset release --target dravik_conf dravik_cli dravik_sim

echo "=== the package"
rm -f build/package/dravik-conf_*.deb
cpack --config build/release/CPackConfig.cmake -B build/package >/dev/null
deb="$(ls build/package/dravik-conf_*.deb)"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/\1:/p'
echo "Built $deb; install it with: sudo apt install ./$deb"
