#!/bin/bash
# CPU time an idle Mail window uses over 10 seconds: starts the app on a
# private X server (Xvfb), lets it settle, then reads the process's user and
# system time before and after 10 seconds of no input.
# usage: bench/ui/idle_cpu.sh path/to/zarn-mail [scene]
set -euo pipefail
exe=${1:?path to zarn-mail}
scene=${2:-wide}
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$app" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb "$exe" --scene "$scene" >/dev/null 2>&1 &
app=$!
sleep 5  # first frames, fonts, the status line's lifetime
ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep 10
after=$(ticks)
echo "idle CPU over 10 s: $(( (after - before) * 1000 / hz )) ms (scene $scene)"
