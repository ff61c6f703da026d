#!/usr/bin/env bash
# Screenshots of the edit dialog's Subtitle page under Xvfb, with private user
# folders: makes a clip with two audio tracks (440 Hz, 1000 Hz) and a subtitle
# file with an awkward name, runs edit_subtitle_demo on them, takes one PNG per
# stage into OUTDIR, and takes a frame of the converted file with ffmpeg.
#
#   tools/screenshots/edit_subtitle_demo.sh BUILD_DIR OUTDIR [DISPLAY_NUMBER]
set -euo pipefail
BUILD=$(cd "$1" && pwd)
OUT=$(mkdir -p "$2" && cd "$2" && pwd)
NUM=${3:-97}
WORK=$(mktemp -d)
trap 'kill "$XPID" 2>/dev/null || true; rm -rf "$WORK"' EXIT

mkdir -p "$WORK/home/Documents" "$WORK/subs"
FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
"${FF[@]}" -f lavfi -i testsrc=size=640x360:rate=25:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 \
    -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=10 \
    -map 0:v -map 1:a -map 2:a -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac \
    -metadata:s:a:0 language=eng -metadata:s:a:1 language=fre "$WORK/movie.mkv"
printf '1\n00:00:00,500 --> 00:00:09,500\nA subtitle chosen on the page\n' >"$WORK/movie.srt"
SRT="$WORK/subs/it's \"odd\" [1]: Ünïcødé.srt"
printf '1\n00:00:00,500 --> 00:00:09,500\nBurnt in from an external file\n' >"$SRT"

Xvfb ":$NUM" -screen 0 1600x1000x24 >/dev/null 2>&1 &
XPID=$!
sleep 1
export DISPLAY=":$NUM" HOME="$WORK/home" XDG_DOCUMENTS_DIR="$WORK/home/Documents" SDL_AUDIODRIVER=dummy
"$BUILD/bin/edit_subtitle_demo" "$WORK/movie.mkv" "$SRT" | while read -r kind value; do
    echo "$kind $value"
    case $kind in
        STAGE) import -window root "$OUT/edit_subtitle_$value.png" ;;
        SNAPSHOTS) ls -l "$value" ;;
        OUTPUT)
            for f in "$value"/*.*; do
                ffprobe -v error -show_entries stream=codec_type,sample_rate -of compact "$f"
                ffmpeg -nostdin -v error -y -ss 2 -i "$f" -frames:v 1 "$OUT/edit_subtitle_converted_frame.png"
            done ;;
    esac
done
