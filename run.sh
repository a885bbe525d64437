#!/usr/bin/env bash
# Installs what is missing, builds Zelmora and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target zelmora
# Without a display Qt cannot start; say so rather than abort.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Zelmora is built (build/release/app/zelmora) but there is no display to show it on:" >&2
    echo "neither DISPLAY nor WAYLAND_DISPLAY is set. Start it from a desktop session, over" >&2
    echo "'ssh -X', or on a virtual display: xvfb-run ./run.sh" >&2
    exit 1
fi
exec ./build/release/app/zelmora "$@"
