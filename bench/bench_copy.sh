#!/usr/bin/env bash
# What copying instead of re-encoding saves: a 60 s 1080p H.264 + AAC MKV to
# MP4 with zxtool's "same quality" mode (the streams are copied), the same
# conversion re-encoded at the fastest H.264 setting (quality 50: x264
# veryfast), and ffmpeg's own stream copy (-c copy). Wall time, median of
# ROUNDS (default 3), and the ratios the goals are stated in.
#
#   bash bench/bench_copy.sh [BUILD_DIR]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
ZXTOOL="$BUILD/bin/zxtool"
WORK="$BUILD/bench/copy"
ROUNDS="${ROUNDS:-3}"
mkdir -p "$WORK"
[ -x "$ZXTOOL" ] || { echo "no $ZXTOOL: build the zxtool target first" >&2; exit 1; }

SRC="$WORK/source_1080p_60s.mkv"
[ -e "$SRC" ] || ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i testsrc2=size=1920x1080:rate=25:d=60 -f lavfi -i sine=sample_rate=48000:d=60 \
    -c:v libx264 -preset veryfast -b:v 6000k -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 "$SRC"

seconds() { # COMMAND... -> wall seconds
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

copy=() reencode=() ffcopy=()
for ((i = 0; i < ROUNDS; ++i)); do
    copy+=("$(seconds "$ZXTOOL" convert "$SRC" "$WORK/copy.mp4" --container mp4 --vcodec 28 --acodec 86018 \
        --same-quality --quiet)")
    reencode+=("$(seconds "$ZXTOOL" convert "$SRC" "$WORK/reencode.mp4" --container mp4 --vcodec 28 --acodec 86018 \
        --rate 48000 --quality 50 --no-copy --quiet)")
    ffcopy+=("$(seconds ffmpeg -nostdin -loglevel error -y -i "$SRC" -map 0 -c copy "$WORK/ffmpeg_copy.mp4")")
done
c=$(printf '%s\n' "${copy[@]}" | median)
r=$(printf '%s\n' "${reencode[@]}" | median)
f=$(printf '%s\n' "${ffcopy[@]}" | median)

# The copy must really be one: the same video packets as the source.
same=$(cmp -s <(ffprobe -v error -select_streams v -show_entries packet=size,data_hash -show_data_hash md5 \
                  -of csv=p=0 "$SRC") \
              <(ffprobe -v error -select_streams v -show_entries packet=size,data_hash -show_data_hash md5 \
                  -of csv=p=0 "$WORK/copy.mp4") && echo yes || echo no)

printf '| case | wall s (median of %d) |\n|---|---|\n' "$ROUNDS"
printf '| zxtool --same-quality (copy) | %.3f |\n' "$c"
printf '| zxtool --no-copy, quality 50 (x264 veryfast) | %.3f |\n' "$r"
printf '| ffmpeg -c copy | %.3f |\n' "$f"
printf '\nre-encode / copy = %.1f x (goal >= 30)\n' "$(echo "$r / $c" | bc -l)"
printf 'copy / ffmpeg -c copy = %.2f x (goal <= 1.5)\n' "$(echo "$c / $f" | bc -l)"
printf 'copied video packets identical to the source: %s\n' "$same"
