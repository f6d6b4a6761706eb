#!/usr/bin/env bash
# Times frameloop-cli frames on a 300-frame 320x240 GIF (ffmpeg's test
# pattern, sub-rectangles and transparency) for each output format, and the
# same job by ImageMagick for comparison.
#
#   bench/frames.sh [BUILD_DIR]      (default: build)
#
# Prints wall and CPU seconds and peak memory for each run. Work files go
# under bench/work/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cli=$build/src/cli/frameloop-cli
work=$root/bench/work/frames
runs=3
[ -x "$cli" ] || { echo "frameloop-cli not built: $cli" >&2; exit 1; }
mkdir -p "$work"

gif=$work/testsrc-320x240-300.gif
[ -f "$gif" ] || ffmpeg -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=30 -t 10 "$gif"

measure() { # label, command...
    local label=$1
    shift
    for run in $(seq $runs); do
        rm -rf "$work/out" && mkdir -p "$work/out"
        /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null
        read -r wall user sys mem <"$work/time.txt"
        printf '%-28s run %d: %6.2f s wall, %5.2f s CPU, %6d KB peak\n' "$label" "$run" \
            "$wall" "$(awk "BEGIN {print $user + $sys}")" "$mem"
    done
}

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
for format in png bmp jpg; do
    measure "frameloop-cli frames $format" "$cli" frames "$gif" "$work/out" --format "$format"
done
measure "convert -coalesce png" convert "$gif" -coalesce "$work/out/frame-%04d.png"
rm -rf "$work/out"
