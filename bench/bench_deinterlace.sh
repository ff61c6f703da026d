#!/usr/bin/env bash
# What deinterlacing costs: zxtool convert of interlaced sources with
# --deinterlace auto against the same conversion without it, and a 1080i
# source against a progressive 1080p source of the same content and size.
# Wall time, median of ROUNDS (default 3), at the fastest H.264 setting
# (quality 50: x264 veryfast), MP4 + AAC.
#
#   bash bench/bench_deinterlace.sh [BUILD_DIR]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
ZXTOOL="$BUILD/bin/zxtool"
WORK="$BUILD/bench/deinterlace"
ROUNDS="${ROUNDS:-3}"
mkdir -p "$WORK"
[ -x "$ZXTOOL" ] || { echo "no $ZXTOOL: build the zxtool target first" >&2; exit 1; }

# 10 s sources from the same moving picture: interlaced ones field by field
# from 50 frames a second, the progressive one at 25.
make() {
    local out="$WORK/$1"; shift
    [ -e "$out" ] || ffmpeg -nostdin -hide_banner -loglevel error -y "$@" "$out"
}
make i576.mp4 -f lavfi -i testsrc2=size=720x576:rate=50:d=10 -f lavfi -i sine=sample_rate=48000:d=10 \
    -vf gblur=sigma=1,interlace=scan=tff -c:v libx264 -preset veryfast -flags +ildct+ilme -x264opts tff=1 -c:a aac
make i1080.ts -f lavfi -i testsrc2=size=1920x1080:rate=50:d=10 -f lavfi -i sine=sample_rate=48000:d=10 \
    -vf gblur=sigma=1,interlace=scan=tff -c:v libx264 -preset veryfast -flags +ildct+ilme -x264opts tff=1 -c:a aac
make p1080.ts -f lavfi -i testsrc2=size=1920x1080:rate=25:d=10 -f lavfi -i sine=sample_rate=48000:d=10 \
    -vf gblur=sigma=1 -c:v libx264 -preset veryfast -c:a aac

wall() { # SRC MODE -> seconds
    local t0 t1
    t0=$(date +%s.%N)
    "$ZXTOOL" convert "$WORK/$1" "$WORK/out.mp4" --quality 50 --quiet --deinterlace "$2" >/dev/null 2>&1
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A runs
CASES="i576.mp4:auto i576.mp4:off i1080.ts:auto i1080.ts:off p1080.ts:auto"
for ((r = 0; r < ROUNDS; ++r)); do
    for c in $CASES; do
        runs[$c]+="$(wall "${c%%:*}" "${c##*:}") "
    done
done
echo "| source | --deinterlace | wall s (median of $ROUNDS) |"
echo "|---|---|---|"
for c in $CASES; do
    printf "| %s | %s | %.2f |\n" "${c%%:*}" "${c##*:}" "$(echo ${runs[$c]} | tr ' ' '\n' | median)"
done
