#!/usr/bin/env bash
# What tone mapping costs: zxtool convert of a 1080p25 HLG source (10-bit
# HEVC, BT.2020) to 8-bit H.264 MP4, against the same conversion of an SDR
# source of the same content, size, codec and bit depth (10-bit HEVC,
# BT.709), so the two differ only in the tone mapping. A third source, 8-bit
# H.264 SDR, shows the cost of decoding 10-bit HEVC on its own.
# Wall time and CPU time (user + system), median of ROUNDS (default 3), runs
# of the cases interleaved so that a change in the machine's load spreads
# over all of them. Quality 50: x264 veryfast.
#
#   bash bench/bench_tonemap.sh [BUILD_DIR]
# (targets zxtool and, for the last table, bench_tonemap_stage)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
ZXTOOL="$BUILD/bin/zxtool"
WORK="$BUILD/bench/tonemap"
ROUNDS="${ROUNDS:-3}"
SECONDS_LONG="${SECONDS_LONG:-10}"
mkdir -p "$WORK"
[ -x "$ZXTOOL" ] || { echo "no $ZXTOOL: build the zxtool target first" >&2; exit 1; }

make() {
    local out="$WORK/$1"; shift
    [ -e "$out" ] || ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc2=size=1920x1080:rate=25:d=$SECONDS_LONG" "$@" "$out"
}
x265=(-c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p10le)
make hlg1080.mp4 "${x265[@]}" -color_primaries bt2020 -color_trc arib-std-b67 -colorspace bt2020nc
make sdr1080_hevc10.mp4 "${x265[@]}" -color_primaries bt709 -color_trc bt709 -colorspace bt709
make sdr1080_h264.mp4 -c:v libx264 -preset veryfast -pix_fmt yuv420p \
    -color_primaries bt709 -color_trc bt709 -colorspace bt709

measure() { # SRC -> "wall cpu" in seconds
    /usr/bin/time -o "$WORK/time.txt" -f "%e %U %S" "$ZXTOOL" convert "$WORK/$1" "$WORK/out.mp4" --vcodec 28 \
        --acodec 86018 --quality 50 --quiet >/dev/null 2>&1
    awk '{printf "%.2f %.2f", $1, $2 + $3}' "$WORK/time.txt"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A wall cpu
CASES="hlg1080.mp4 sdr1080_hevc10.mp4 sdr1080_h264.mp4"
for ((r = 0; r < ROUNDS; ++r)); do
    for c in $CASES; do
        read -r w u <<<"$(measure "$c")"
        wall[$c]+="$w "
        cpu[$c]+="$u "
    done
done
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| source | wall s (median of $ROUNDS) | CPU s (median) | wall runs |"
echo "|---|---|---|---|"
for c in $CASES; do
    printf "| %s | %.2f | %.2f | %s|\n" "$c" "$(echo ${wall[$c]} | tr ' ' '\n' | median)" \
        "$(echo ${cpu[$c]} | tr ' ' '\n' | median)" "${wall[$c]}"
done

# The tone-mapping stage on its own against the float filter chain it
# stands in for (CPU per picture on one thread, and how far apart their
# pictures are): on the HLG source above (SDR content tagged HLG), and on
# smooth colours of every hue coded as real HLG and PQ by zscale (diffuse
# white at 203 cd/m2, highlights above it).
STAGE="$BUILD/bin/bench_tonemap_stage"
if [ -x "$STAGE" ]; then
    for t in arib-std-b67 smpte2084; do
        out="$WORK/gradients_$t.mp4"
        [ -e "$out" ] || ffmpeg -nostdin -hide_banner -loglevel error -y \
            -f lavfi -i "gradients=s=1920x1080:speed=0.05:n=6:d=4:seed=7" \
            -vf "format=gbrp,zscale=tin=709:min=gbr:pin=709:rin=pc:npl=203:p=2020:m=2020_ncl:r=tv:t=$t,format=yuv420p10le" \
            "${x265[@]}" -color_primaries bt2020 -color_trc "$t" -colorspace bt2020nc "$out"
    done
    echo
    for f in hlg1080.mp4 gradients_arib-std-b67.mp4 gradients_smpte2084.mp4; do
        "$STAGE" "$WORK/$f" 100
    done
else
    echo "(build the bench_tonemap_stage target for the stage's own figures)"
fi
