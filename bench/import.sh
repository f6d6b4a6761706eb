#!/usr/bin/env bash
# Times opening a GIF for editing (import_bench: GifImportJob, probe then
# load, polled every 25 ms) on a 300-frame 320x240 GIF and a 1000-frame
# 640x480 GIF of ffmpeg's test pattern (ffmpeg's default GIF output:
# sub-rectangles and transparency), and decoding every frame of the same
# files by ImageMagick and ffmpeg for comparison.
#
#   bench/import.sh [BUILD_DIR]      (default: build)
#
# Prints wall and CPU seconds and peak memory for each run, and the median
# wall time of each tool. Work files go under bench/work/import/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/import_bench
work=$root/bench/work/import
runs=3
[ -x "$bench" ] || { echo "import_bench not built: $bench" >&2; exit 1; }
# The real ImageMagick, not a wrapper earlier in PATH, so only it is timed.
convert=/usr/bin/convert
[ -x "$convert" ] || convert=$(command -v convert)
mkdir -p "$work"

small=$work/testsrc-320x240-300.gif
large=$work/testsrc-640x480-1000.gif
# The durations bound the sources themselves; -frames:v makes the count exact.
[ -f "$small" ] || ffmpeg -loglevel error -y -f lavfi \
    -i testsrc=size=320x240:rate=30:duration=10 -frames:v 300 "$small"
[ -f "$large" ] || ffmpeg -loglevel error -y -f lavfi \
    -i testsrc=size=640x480:rate=30:duration=33.34 -frames:v 1000 "$large"

median() { # numbers...
    printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}

measure() { # label, command...
    local label=$1
    shift
    local walls=()
    for run in $(seq $runs); do
        if /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt"; then
            read -r wall user sys mem <"$work/time.txt"
            printf '%-34s run %d: %6.2f s wall, %5.2f s CPU, %7d KB peak\n' "$label" "$run" \
                "$wall" "$(awk "BEGIN {print $user + $sys}")" "$mem"
            [ -s "$work/out.txt" ] && sed 's/^/        /' "$work/out.txt"
            walls+=("$wall")
        else
            # A peer refusing the file (ImageMagick's resource policy) is a
            # result too, not a reason to stop.
            printf '%-34s run %d: FAILED: %s\n' "$label" "$run" \
                "$(grep -v '^Command exited' "$work/err.txt" | head -1)"
        fi
    done
    if [ ${#walls[@]} -gt 0 ]; then
        printf '%-34s median %.2f s wall of %d runs\n' "$label" "$(median "${walls[@]}")" "${#walls[@]}"
    fi
}

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "commit $(git -C "$root" rev-parse --short HEAD)"
for gif in "$small" "$large"; do
    echo "== $(basename "$gif")"
    measure "import_bench" "$bench" "$gif"
    measure "convert -coalesce rgb:/dev/null" "$convert" "$gif" -coalesce rgb:/dev/null
    measure "ffmpeg rawvideo rgb24" ffmpeg -loglevel error -i "$gif" -f rawvideo \
        -pix_fmt rgb24 -y /dev/null
done
rm -f "$work/time.txt" "$work/out.txt" "$work/err.txt"
