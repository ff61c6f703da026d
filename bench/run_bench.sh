#!/usr/bin/env bash
# Compares zxtool with the ffmpeg command-line tool on the same transcodes, on
# this machine, in this run: wall time, CPU time and peak memory (max RSS),
# as ratios zxtool / ffmpeg.
#
#   bash bench/run_bench.sh [BUILD_DIR]     (default: build; zxtool in BUILD_DIR/bin)
#   ROUNDS=3 CASES="mp4_h264 mp4_h264_720p" bash bench/run_bench.sh build
#   bash bench/run_bench.sh --import build [500]   (the import benchmark, below)
#
# Each round runs zxtool, then ffmpeg, so both see the same machine load; the
# table gives the median of the rounds. The 60 s 1080p H.264 + AAC source is
# generated once into BUILD_DIR/bench. Both tools get the same settings: x264
# "veryfast" (zxtool's quality 50), Baseline profile (what the program asks
# for H.264), 2000 kbit/s, AAC 128 kbit/s 44.1 kHz stereo; VP9 with the same
# libvpx speed settings and Vorbis.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# bash bench/run_bench.sh --import [BUILD_DIR] [COUNT]: the import benchmark
# instead (bench_import: COUNT small clips through the queue list's drop path
# against an ffprobe loop over the same files; see README.md).
if [ "${1:-}" = "--import" ]; then
    B="${2:-$ROOT/build}"
    [ -x "$B/bin/bench_import" ] || { echo "no $B/bin/bench_import: build the bench_import target first" >&2; exit 1; }
    mkdir -p "$B/bench"
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$B/bin/bench_import" "${3:-500}" "$B/bench/import" 2>/dev/null
    exit $?
fi
BUILD="${1:-$ROOT/build}"
ZXTOOL="$BUILD/bin/zxtool"
WORK="$BUILD/bench"
ROUNDS="${ROUNDS:-1}"
CASES="${CASES:-mp4_h264 mp4_h264_720p webm_vp9}"
mkdir -p "$WORK"
[ -x "$ZXTOOL" ] || { echo "no $ZXTOOL: build the zxtool target first" >&2; exit 1; }

SRC="$WORK/source_1080p_60s.mp4"
if [ ! -e "$SRC" ]; then
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=60 \
        -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 \
        -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -b:a 192k -ac 2 "$SRC.part.mp4"
    mv "$SRC.part.mp4" "$SRC"
fi

FF=(ffmpeg -nostdin -hide_banner -loglevel error -y -i "$SRC")
H264=(-c:v libx264 -preset veryfast -profile:v baseline -b:v 2000k)
AAC=(-c:a aac -b:a 128k -ar 44100 -ac 2)
ZX=("$ZXTOOL" convert "$SRC")
ZXOPT=(--quality 50 --abitrate 128 --rate 44100 --channels 2 --quiet)

# measure COMMAND... -> "wall_seconds cpu_seconds peak_kilobytes"
measure() {
    local stats="$WORK/time.txt"
    if ! /usr/bin/time -o "$stats" -f "%e %U %S %M" "$@" >/dev/null 2>"$WORK/last_error.txt"; then
        echo "failed: $*" >&2
        cat "$WORK/last_error.txt" >&2
        exit 1
    fi
    awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$stats"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), rounds $ROUNDS"
printf '%-15s %8s %8s %6s %8s %8s %6s %8s %8s %6s\n' case zx_wall ff_wall ratio zx_cpu ff_cpu ratio zx_MiB ff_MiB ratio
for case in $CASES; do
    case $case in
    mp4_h264)
        zx=("${ZX[@]}" "$WORK/zx.mp4" --container mp4 --vcodec 28 --acodec 86018 --vbitrate 2000 "${ZXOPT[@]}")
        ff=("${FF[@]}" "${H264[@]}" "${AAC[@]}" "$WORK/ff.mp4") ;;
    mp4_h264_720p)
        zx=("${ZX[@]}" "$WORK/zx720.mp4" --container mp4 --vcodec 28 --acodec 86018 --vbitrate 2000 --size 1280x720 "${ZXOPT[@]}")
        ff=("${FF[@]}" -vf scale=1280:720 "${H264[@]}" "${AAC[@]}" "$WORK/ff720.mp4") ;;
    mp4_h264_subtitles)
        # Burnt-in subtitles: a SubRip line every two seconds over the whole source.
        SRT="$WORK/subtitles.srt"
        if [ ! -e "$SRT" ]; then
            for i in $(seq 0 29); do
                printf '%d\n00:%02d:%02d,000 --> 00:%02d:%02d,500\nLine %d of the burnt-in subtitles\n\n' \
                    $((i + 1)) $((i * 2 / 60)) $((i * 2 % 60)) $((i * 2 / 60)) $((i * 2 % 60 + 1)) $((i + 1))
            done >"$SRT"
        fi
        zx=("${ZX[@]}" "$WORK/zxsub.mp4" --container mp4 --vcodec 28 --acodec 86018 --vbitrate 2000
            --subtitle-file "$SRT" "${ZXOPT[@]}")
        ff=("${FF[@]}" -vf "subtitles=filename=$SRT" "${H264[@]}" "${AAC[@]}" "$WORK/ffsub.mp4") ;;
    webm_vp9)
        zx=("${ZX[@]}" "$WORK/zx.webm" --container webm --vcodec 169 --acodec 86021 --vbitrate 2000 "${ZXOPT[@]}")
        ff=("${FF[@]}" -c:v libvpx-vp9 -b:v 2000k -deadline good -cpu-used 5 -row-mt 1 -tile-columns 2
            -c:a libvorbis -b:a 128k -ar 44100 -ac 2 "$WORK/ff.webm") ;;
    *) echo "unknown case $case" >&2; exit 2 ;;
    esac
    : >"$WORK/zx.txt"
    : >"$WORK/ff.txt"
    for _ in $(seq "$ROUNDS"); do
        measure "${zx[@]}" >>"$WORK/zx.txt"
        measure "${ff[@]}" >>"$WORK/ff.txt"
    done
    col() { awk -v c="$2" '{ print $c }' "$WORK/$1.txt" | median; }
    awk -v c="$case" -v zw="$(col zx 1)" -v fw="$(col ff 1)" -v zc="$(col zx 2)" -v fc="$(col ff 2)" \
        -v zm="$(col zx 3)" -v fm="$(col ff 3)" 'BEGIN {
        printf "%-15s %8.2f %8.2f %6.3f %8.2f %8.2f %6.3f %8.1f %8.1f %6.3f\n",
               c, zw, fw, zw / fw, zc, fc, zc / fc, zm / 1024, fm / 1024, zm / fm }'
done
