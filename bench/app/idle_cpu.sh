#!/usr/bin/env bash
# Prints the CPU time the real program uses while it runs idle for a while
# with its window hidden (/M): the clock ticking, a state refresh every
# minute, the character loaded but hidden. It only prints.
#   bench/app/idle_cpu.sh BUILD-DIR [SECONDS]     (default 600)
set -euo pipefail
build=${1:?usage: idle_cpu.sh BUILD-DIR [SECONDS]}
seconds=${2:-600}
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
mkdir -p "$profile/config/talvoro"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostrawick\\Talvoro\\1.0\\Wizard]\r\n\r\n' \
    > "$profile/config/talvoro/registry.reg"
XDG_CONFIG_HOME=$profile/config XDG_STATE_HOME=$profile/state XDG_RUNTIME_DIR=$profile \
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} TALVORO_AUDIO=none TALVORO_HEADLESS_DIALOGS=1 \
    "$build/src/app/talvoro" /M 2>/dev/null &
pid=$!
sleep 5 # start-up is not idle time
read -r -a start < <(cut -d' ' -f14,15 "/proc/$pid/stat")
sleep "$seconds"
read -r -a end < <(cut -d' ' -f14,15 "/proc/$pid/stat")
kill -TERM "$pid"
wait "$pid" || true
ticks=$(getconf CLK_TCK)
used=$(( (end[0] + end[1]) - (start[0] + start[1]) ))
awk -v t="$used" -v hz="$ticks" -v s="$seconds" \
    'BEGIN { printf "idle for %d s with the window hidden: %.2f s of CPU (%.3f%%)\n", s, t / hz, 100 * t / hz / s }'
