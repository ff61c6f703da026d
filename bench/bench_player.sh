#!/usr/bin/env bash
# Preview player benchmark: `zxtool play` on generated sources with edits,
# one JSON line per case from zxtool (frames delivered and dropped, largest
# picture-sound offset, seek and step-back latency) plus the peak memory of
# the process from /usr/bin/time -v, as one Markdown table.
#
#   bash bench/bench_player.sh [BUILD_DIR] [SECONDS]     (default: build, 60)
#   CASES="p1080_text_effects" bash bench/bench_player.sh build 60
#
# Sound goes to SDL's dummy driver unless SDL_AUDIODRIVER is set: it takes
# the sound in real time, like a sound card, so the sound stays the clock.
# Sources (70 s, H.264 veryfast + AAC, 30 fps testsrc2 and a sine) are
# generated once into BUILD_DIR/bench.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
SECONDS_PLAYED="${2:-60}"
ZXTOOL="$BUILD/bin/zxtool"
WORK="$BUILD/bench"
CASES="${CASES:-p1080_text_effects p720_every_edit}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
[ -x "$ZXTOOL" ] || { echo "no $ZXTOOL: build the zxtool target first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
mkdir -p "$WORK"

source_clip() {   # source_clip NAME SIZE FREQUENCY
    local out="$WORK/$1"
    if [ ! -e "$out" ]; then
        ffmpeg -nostdin -hide_banner -loglevel error -y \
            -f lavfi -i "testsrc2=size=$2:rate=30:duration=70" \
            -f lavfi -i "sine=frequency=$3:sample_rate=48000:duration=70" \
            -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k "$out.part.mp4"
        mv "$out.part.mp4" "$out"
    fi
    echo "$out"
}

MARK="$WORK/mark.png"
[ -e "$MARK" ] || ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "color=c=orange:s=160x90,format=rgba" \
    -frames:v 1 -update 1 -f image2 "$MARK"
SRT="$WORK/play_lines.srt"
if [ ! -e "$SRT" ]; then
    for i in $(seq 0 34); do
        printf '%d\n00:%02d:%02d,000 --> 00:%02d:%02d,500\nSubtitle line %d of the player benchmark\n\n' \
            $((i + 1)) $((i * 2 / 60)) $((i * 2 % 60)) $((i * 2 / 60)) $((i * 2 % 60 + 1)) $((i + 1))
    done >"$SRT"
fi

# set_case NAME: the source (SRC) and the edit options (EDITS) of a case.
set_case() {
    case "$1" in
    p1080_text_effects)
        SRC=$(source_clip play_1080p30.mp4 1920x1080 440)
        EDITS=(--text "Velmora preview" --text-size 36 --text-pos 50,50 --brightness 30 --hue 40) ;;
    p720_every_edit)
        SRC=$(source_clip play_720p30.mp4 1280x720 660)
        EDITS=(--crop 0.05,0.05,0.9,0.9 --rotate 90 --flip --volume 150 --brightness 20 --saturation 130
               --contrast 110 --hue 30 --text "Velmora preview" --text-pos 50,50 --image "$MARK" --image-pos 600,700
               --image-opacity 200 --subtitle-file "$SRT") ;;
    *) echo "unknown case $1" >&2; exit 2 ;;
    esac
}

printf '| case | played s | frames delivered | dropped | fps | max A/V offset ms | seek ms | step back ms | peak MiB |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
for c in $CASES; do
    set_case "$c"
    json=$(/usr/bin/time -v -o "$WORK/$c.time" "$ZXTOOL" play "$SRC" --seconds "$SECONDS_PLAYED" "${EDITS[@]}" 2>"$WORK/$c.err")
    mib=$(awk '/Maximum resident/ {printf "%.1f", $NF / 1024}' "$WORK/$c.time")
    field() { sed -n "s/.*\"$1\": \([-0-9.]*\).*/\1/p" <<<"$json"; }
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$c" "$(field played_s)" "$(field frames_delivered)" \
        "$(field frames_dropped)" "$(field frame_rate)" "$(field max_av_offset_ms)" "$(field seek_ms)" \
        "$(field step_back_ms)" "$mib"
done
