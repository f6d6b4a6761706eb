#!/usr/bin/env bash
# Builds GIFs from the same frames with frameloop-cli make-gif, ffmpeg and
# ImageMagick, and prints time, memory, size and quality for each.
#
#   bench/gif-build.sh [BUILD_DIR]      (default: build)
#
# Needs ffmpeg and ImageMagick (scripts/test installs them). Frames are made
# with ffmpeg's lavfi sources under bench/work/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cli=$build/src/cli/frameloop-cli
work=$root/bench/work
runs=3
fps=20
[ -x "$cli" ] || { echo "frameloop-cli not built: $cli" >&2; exit 1; }
mkdir -p "$work"

make_frames() { # name, lavfi graph
    local dir=$work/$1
    if [ ! -f "$dir/0200.png" ]; then
        rm -rf "$dir" && mkdir -p "$dir"
        ffmpeg -loglevel error -y -filter_complex "$2" -frames:v 200 "$dir/%04d.png"
    fi
}

# Video-like: a slowly moving gradient with fine grain and a zooming fractal
# that travels across it.
make_frames video "gradients=s=640x360:r=$fps:speed=0.02:c0=0x2050c0:c1=0xe0a040:n=2,format=rgb24[g];mandelbrot=s=240x180:r=$fps:start_scale=1.5:end_scale=0.2,format=rgb24[m];[g][m]overlay=x='40+mod(t*50,360)':y=90,noise=alls=3:allf=t"
# Mostly static screen: colour bars with a small moving area.
make_frames screen "smptebars=s=800x600:r=$fps[b];testsrc2=s=120x90:r=$fps[t];[b][t]overlay=60:60,format=rgb24"

psnr_of() { # gif, frames dir -> average PSNR of the GIF played at $fps against the frames
    ffmpeg -loglevel error -i "$1" -framerate $fps -i "$2/%04d.png" \
        -lavfi "[0:v]fps=$fps,format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr=stats_file=-" \
        -f null - 2>/dev/null | awk '{for(i=1;i<=NF;i++) if($i ~ /^psnr_avg:/){split($i,a,":"); v=a[2]; if(v=="inf") v=99; s+=v; n++}} END {if(n) printf "%.2f", s/n; else print "n/a"}'
}

report() { # label, command...
    local label=$1 out=$2
    shift 2
    local figures
    if ! figures=$(python3 "$root/bench/measure.py" $runs "$@"); then
        printf '| %-34s | failed: %s |\n' "$label" "$*"
        return 0
    fi
    local size_kb psnr
    size_kb=$(( $(stat -c %s "$out") / 1024 ))
    psnr=$(psnr_of "$out" "$frames")
    printf '| %-34s | %8s | %8s | %8s | %6s |\n' "$label" "${figures% *}" "${figures#* }" "$size_kb" "$psnr"
}

for clip in video screen; do
    frames=$work/$clip
    echo
    echo "### $clip clip ($(identify -format '%wx%h' "$frames/0001.png"), 200 frames, $fps fps)"
    echo
    echo "| tool | median s | peak MiB | KiB | PSNR dB |"
    echo "|---|---|---|---|---|"
    report "frameloop make-gif high" "$work/$clip-fl-high.gif" \
        "$cli" make-gif --fps $fps --quality high "$frames" "$work/$clip-fl-high.gif"
    report "frameloop make-gif medium" "$work/$clip-fl-medium.gif" \
        "$cli" make-gif --fps $fps --quality medium "$frames" "$work/$clip-fl-medium.gif"
    for dither in floyd_steinberg none; do
        report "ffmpeg palettegen+paletteuse $dither" "$work/$clip-ff-$dither.gif" \
            ffmpeg -loglevel error -y -framerate $fps -i "$frames/%04d.png" \
            -lavfi "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=$dither" \
            "$work/$clip-ff-$dither.gif"
    done
    report "ImageMagick -layers Optimize" "$work/$clip-im.gif" \
        convert -delay $((100 / fps)) "$frames/*.png" -layers Optimize "$work/$clip-im.gif"
done
