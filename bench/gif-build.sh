#!/usr/bin/env bash
# Builds GIFs from the same frames with frameloop-cli make-gif, ffmpeg and
# ImageMagick, and prints time, memory, size, quality (PSNR and SSIM against the
# frames) and the total play time in hundredths (200 frames at 15 fps: 1333).
#
#   bench/gif-build.sh [BUILD_DIR] [ours]   (default: build; "ours" skips the peers,
#                                            e.g. to compare two builds)
#
# Needs ffmpeg and ImageMagick (scripts/test installs them). Frames are made
# with ffmpeg's lavfi sources under bench/work/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
only_ours=${2:-}
cli=$build/src/cli/frameloop-cli
work=$root/bench/work
runs=3
fps=15 # does not divide 100: the delays must spread the hundredths
[ -x "$cli" ] || { echo "frameloop-cli not built: $cli" >&2; exit 1; }
mkdir -p "$work"

frames_dir() { # clip name -> its frames, made at the current rate
    echo "$work/$1-${fps}fps"
}

make_frames() { # name, lavfi graph whose sources all end by themselves
    local dir
    dir=$(frames_dir "$1")
    if [ ! -f "$dir/0200.png" ]; then
        rm -rf "$dir" && mkdir -p "$dir"
        ffmpeg -loglevel error -y -filter_complex "$2" -frames:v 200 "$dir/%04d.png"
    fi
}

len=14 # seconds each source lasts: a little more than 200 frames
# Video-like: a slowly moving gradient with fine grain and a zooming fractal
# that travels across it.
make_frames video "gradients=s=640x360:r=$fps:d=$len:speed=0.02:c0=0x2050c0:c1=0xe0a040:n=2,format=rgb24[g];mandelbrot=s=240x180:r=$fps:start_scale=1.5:end_scale=0.2,trim=end_frame=210,format=rgb24[m];[g][m]overlay=x='40+mod(t*50,360)':y=90,noise=alls=3:allf=t"
# Mostly static screen: colour bars with a small moving area.
make_frames screen "smptebars=s=800x600:r=$fps:d=$len[b];testsrc2=s=120x90:r=$fps:d=$len[t];[b][t]overlay=60:60,format=rgb24"
# A browser-like page: white address bar, light grey page, bluish grey
# sidebar, dark text lines, and a playing video over a fifth of the screen.
make_frames page "color=c=0xF1F1F1:s=800x600:r=$fps:d=$len,drawbox=x=0:y=0:w=800:h=60:c=0xFFFFFF:t=fill,drawbox=x=0:y=60:w=200:h=540:c=0xE8E9EE:t=fill,drawbox=x=240:y=100:w=480:h=10:c=0x333333:t=fill,drawbox=x=240:y=130:w=420:h=10:c=0x333333:t=fill,drawbox=x=240:y=160:w=450:h=10:c=0x333333:t=fill,format=rgb24[p];mandelbrot=s=320x300:r=$fps:start_scale=1.5:end_scale=0.2,trim=end_frame=210,format=rgb24[m];[p][m]overlay=x=400:y=240,format=rgb24"

compare_to_frames() { # gif, frames dir, filter (psnr or ssim) -> its stats file on stdout
    ffmpeg -loglevel error -i "$1" -framerate $fps -i "$2/%04d.png" \
        -lavfi "[0:v]fps=$fps,format=rgb24[a];[1:v]format=rgb24[b];[a][b]$3=stats_file=-" \
        -f null - 2>/dev/null
}

psnr_of() { # gif, frames dir -> average PSNR of the GIF played at $fps against the frames
    compare_to_frames "$1" "$2" psnr | awk '{for(i=1;i<=NF;i++) if($i ~ /^psnr_avg:/){split($i,a,":"); v=a[2]; if(v=="inf") v=99; s+=v; n++}} END {if(n) printf "%.2f", s/n; else print "n/a"}'
}

ssim_of() { # gif, frames dir -> average SSIM (all channels) of the GIF against the frames
    compare_to_frames "$1" "$2" ssim | awk '{for(i=1;i<=NF;i++) if($i ~ /^All:/){split($i,a,":"); s+=a[2]; n++}} END {if(n) printf "%.4f", s/n; else print "n/a"}'
}

duration_of() { # gif -> total delay in hundredths
    identify -format "%T\n" "$1" | awk '{s+=$1} END {print s}'
}

report() { # label, command...
    local label=$1 out=$2
    shift 2
    local figures
    if ! figures=$(python3 "$root/bench/measure.py" $runs "$@"); then
        printf '| %-34s | failed: %s |\n' "$label" "$*"
        return 0
    fi
    local size_kb psnr ssim duration
    size_kb=$(( $(stat -c %s "$out") / 1024 ))
    psnr=$(psnr_of "$out" "$frames")
    ssim=$(ssim_of "$out" "$frames")
    duration=$(duration_of "$out")
    printf '| %-34s | %8s | %8s | %8s | %6s | %6s | %5s |\n' "$label" "${figures% *}" "${figures#* }" "$size_kb" "$psnr" "$ssim" "$duration"
}

for clip in video screen page; do
    frames=$(frames_dir "$clip")
    echo
    echo "### $clip clip ($(identify -format '%wx%h' "$frames/0001.png"), 200 frames, $fps fps)"
    echo
    echo "| tool | median s | peak MiB | KiB | PSNR dB | SSIM | 1/100 s |"
    echo "|---|---|---|---|---|---|---|"
    report "frameloop make-gif high" "$work/$clip-fl-high.gif" \
        "$cli" make-gif --fps $fps --quality high "$frames" "$work/$clip-fl-high.gif"
    report "frameloop make-gif medium" "$work/$clip-fl-medium.gif" \
        "$cli" make-gif --fps $fps --quality medium "$frames" "$work/$clip-fl-medium.gif"
    [ "$only_ours" = ours ] && continue
    for dither in floyd_steinberg none; do
        report "ffmpeg palettegen+paletteuse $dither" "$work/$clip-ff-$dither.gif" \
            ffmpeg -loglevel error -y -framerate $fps -i "$frames/%04d.png" \
            -lavfi "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=$dither" \
            "$work/$clip-ff-$dither.gif"
    done
    report "ImageMagick -layers Optimize" "$work/$clip-im.gif" \
        convert -delay 1x$fps "$frames/*.png" -layers Optimize "$work/$clip-im.gif"
done
