#!/usr/bin/env bash
# Writes a small seed corpus for every fuzz target under DIR (one folder per
# target), made fresh by ImageMagick, ffmpeg, gifsicle and printf:
#   fuzz/make-corpus.sh DIR
# Seeds are tiny on purpose: the fuzzer runs fastest on small inputs, and
# mutation finds the rest.
set -euo pipefail
if [ $# -ne 1 ] || [ "$1" = "--help" ] || [ "$1" = "-h" ]; then
    echo "usage: $0 DIR   (writes DIR/gif_decoder, DIR/settings_file, DIR/frame_inputs, DIR/subtitle_option)"
    [ $# -eq 1 ] && exit 0
    exit 2
fi
out=$1
for tool in convert ffmpeg gifsicle; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gifs=$out/gif_decoder settings=$out/settings_file pictures=$out/frame_inputs subtitles=$out/subtitle_option
mkdir -p "$gifs" "$settings" "$pictures" "$subtitles"

# GIFs: one frame with a global table, several frames with local tables,
# transparency and each disposal, an optimised animation, and a GIF87a.
convert -size 8x6 gradient:red-blue "$gifs/gradient.gif"
convert -size 6x4 xc:white -fill black -draw 'point 1,1' "$gifs/dot.gif"
convert -delay 5 -dispose Background -size 10x8 xc:none -fill red -draw 'rectangle 1,1 4,4' \
    \( -size 10x8 xc:none -fill green -draw 'rectangle 3,2 8,6' \) \
    \( -size 10x8 xc:none -fill blue -draw 'circle 5,4 7,4' \) "$gifs/background.gif"
convert -delay 5 -dispose Previous -size 10x8 xc:yellow \
    \( -size 4x3 xc:red -set page +2+2 \) \( -size 5x2 xc:blue -set page +4+5 \) "$gifs/previous.gif"
ffmpeg -v error -y -f lavfi -i testsrc=size=32x24:rate=5:duration=1 "$work/clip.gif"
gifsicle -O2 --colors 16 "$work/clip.gif" -o "$gifs/optimised.gif"
gifsicle --no-extensions --colors 4 "$gifs/gradient.gif" -o "$work/plain.gif"
# The same picture marked GIF87a, as old writers made it.
{ printf 'GIF87a'; tail -c +7 "$work/plain.gif"; } >"$gifs/gif87a.gif"
gifsicle --crop 0,0+16x12 --colors 2 "$work/clip.gif" -o "$gifs/two_colours.gif"

# Pictures for make-gif's inputs: the first byte picks the extension
# (0 .png, 1 .jpg, 2 .bmp, 3 .gif), the file follows.
convert -size 5x4 gradient:green-white "$work/p.png"
convert -size 5x4 xc:orange -alpha set -channel A -evaluate set 50% "$work/alpha.png"
convert -size 6x5 gradient:black-white -quality 50 "$work/p.jpg"
convert -size 5x3 xc:purple "$work/p.bmp"
convert -size 5x3 xc:purple -type palette BMP3:"$work/p8.bmp"
seed() { { printf "\\x$1"; cat "$2"; } >"$pictures/$3"; }
seed 00 "$work/p.png" png
seed 00 "$work/alpha.png" alpha_png
seed 01 "$work/p.jpg" jpg
seed 02 "$work/p.bmp" bmp
seed 02 "$work/p8.bmp" bmp8
seed 03 "$gifs/previous.gif" gif
seed 03 "$gifs/optimised.gif" optimised_gif

# Settings files as the program writes them, and as people edit them.
printf '[Param]\nRate1=20\nRate2=15\nRatio=70\nFile=1\nNotice=1\nTopWnd=1\nDEFAULT_FONTNAME=Verdana\nDEFAULT_FONTSIZE=14\nDEFAULT_FONTBOLD=1\nDEFAULT_FONTITALIC=0\nDEFAULT_FONTCOLOR=#FFFF00\nDEFAULT_FONT_BK_STYLE=2\nDEFAULT_FONT_BK_COLOR=#000000\n' >"$settings/written.ini"
printf '; kept\r\n[other]\r\nRate1=5\r\n[ param ]\r\n  ratio = " 40 " \r\nDEFAULT_FONTNAME="Comic Sans"\r\nrate2=-3\r\n' >"$settings/edited.ini"
printf '[Param]\nDEFAULT_FONTCOLOR=#12ab\nDEFAULT_FONT_BK_COLOR=zz00FF\nDEFAULT_FONTSIZE=99999999999\n[Param]\nRate1=30' >"$settings/odd.ini"

# --subtitle values.
printf '1:3:10:20:Hello' >"$subtitles/plain"
printf '2:2:-5:+7:a:b:c' >"$subtitles/colons"
printf '1:1:0:0:\xc3\xa9t\xc3\xa9' >"$subtitles/utf8"
printf '3:2:0:0:x' >"$subtitles/backwards"
printf '1:9:0:0:%s' "$(head -c 80 /dev/zero | tr '\0' 'w')" >"$subtitles/long"

echo "corpus written to $out"
