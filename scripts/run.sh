#!/usr/bin/env bash
# Installs what is missing, builds Talvoro and starts it. Arguments are passed
# to the program (for example /M or /D).
#
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY) it runs the demo
# instead (scripts/demo.sh): the program on a virtual display with a mail
# server of its own. `scripts/run.sh --demo` runs the demo on a desktop too.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" == "--demo" ]]; then
    shift
    exec scripts/demo.sh "$@"
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "talvoro: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running the demo instead."
    exec scripts/demo.sh
fi
scripts/install-deps.sh
cmake --preset default -DTALVORO_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default --target talvoro
exec build/default/src/app/talvoro "$@"
