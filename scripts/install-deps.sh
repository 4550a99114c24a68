#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only the missing ones,
# so that a second run costs seconds.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev
    qt6-base-dev
    libmodbus-dev
    clang libclang-rt-14-dev
    libbenchmark-dev mbpoll
    xvfb xauth
    locales libc-l10n
    librsvg2-bin desktop-file-utils appstream groff-base dpkg-dev
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

# The tests run the programs under a Russian and an English locale: their system error texts
# must arrive in the program's code page whatever the locale.
generate_locales() {
    local wanted=(ru_RU.UTF-8 en_US.UTF-8) missing_locales=()
    for l in "${wanted[@]}"; do
        if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
            missing_locales+=("$l")
        fi
    done
    if [ ${#missing_locales[@]} -eq 0 ]; then
        return
    fi
    for l in "${missing_locales[@]}"; do
        $sudo sed -i "s/^# *${l} UTF-8/${l} UTF-8/" /etc/locale.gen
    done
    $sudo locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    generate_locales
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
generate_locales
