#!/usr/bin/env bash
# Capture figures under a private Xvfb (1920x1080x24): median grab time at
# 640x480 and 1920x1080 through MIT-SHM and through plain GetImage, and the
# ticks missed while recording 1920x1080 at 20 fps for 10 s.
#
#   bench/capture.sh [BUILD_DIR]      (default: build)
#
# Targets: 1920x1080 grab <= 5 ms median with SHM; < 1 % missed ticks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
FRAMELOOP_ROOT=$root
source "$root/scripts/deps.sh"
build=${1:-$root/build}
bench=$build/bench/frameloop-capture-bench
cmake --build "$build" --target frameloop-capture-bench >/dev/null
[ -x "$bench" ] || { echo "frameloop-capture-bench not built: $bench" >&2; exit 1; }

# Our own X server, on the first free display from :170, so nothing else on
# the machine draws into it or competes for it (the tests use :90..:140).
xvfb_pid=""
display_pid=""
noise=$(mktemp --suffix=.png)
cleanup() {
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -f "$noise"
}
trap cleanup EXIT
frameloop_start_xvfb 170 199
xvfb_pid=$FRAMELOOP_XVFB_PID
export DISPLAY=$FRAMELOOP_XVFB_DISPLAY

# Something other than a black screen to copy: a noise picture over the whole
# root window, shown by ImageMagick's display until the bench is over.
convert -size 1920x1080 xc: +noise Random "$noise"
display -geometry +0+0 "$noise" &
display_pid=$!
sleep 2

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load average $(cut -d" " -f1-3 /proc/loadavg)"
for size in 640x480 1920x1080; do
    "$bench" grab "$size" shm 200
    "$bench" grab "$size" plain 100
done
"$bench" ticks 1920x1080 20 10
