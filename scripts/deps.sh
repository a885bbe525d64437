#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Runs apt-get update only when something is missing, and only once.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-multimedia-dev qt6-serialport-dev
    qt6-qpa-plugins libqt6opengl6-dev libgl-dev fonts-dejavu-core
    libturbojpeg0-dev libraw-dev libtiff-dev libgif-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libx11-dev libxtst-dev
    espeak-ng valgrind
    clang-format git
)

# "deps.sh --list" prints the list (scripts/check-deps.sh reads it).
if [ "${1:-}" = "--list" ]; then
    printf '%s\n' "${PACKAGES[@]}"
    exit 0
fi

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "These Debian packages are missing: ${missing[*]}" >&2
            echo "Ask an administrator to install them (as root):" >&2
            echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
            exit 1
        fi
        SUDO="sudo"
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
