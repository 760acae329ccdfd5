#!/usr/bin/env bash
# Installs what is missing, builds Talvoro and starts it. Arguments are passed
# to the program (for example /M or /D).
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "talvoro: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); run this from a desktop session." >&2
    exit 1
fi
scripts/install-deps.sh
cmake --preset default -DTALVORO_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default --target talvoro
exec build/default/src/app/talvoro "$@"
