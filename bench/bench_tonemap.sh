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

# Where the time goes: the same HLG source decoded and filtered by the
# ffmpeg tool alone (no encoding), through the engine's chain and cheaper
# variants of it; CPU seconds, median of ROUNDS.
declare -A chains=(
    [a_decode_only]="format=yuv420p"
    [b_zscale_only]="zscale=t=linear:npl=100:p=709,format=gbrpf32le,zscale=t=709:m=709:r=tv,format=yuv420p"
    [c_engine_mobius]="zscale=t=linear:npl=100:p=709,format=gbrpf32le,tonemap=tonemap=mobius:desat=0,zscale=t=709:m=709:r=tv,format=yuv420p"
    [d_point_filter]="zscale=f=point:t=linear:npl=100:p=709,format=gbrpf32le,tonemap=tonemap=mobius:desat=0,zscale=f=point:t=709:m=709:r=tv,format=yuv420p"
    [e_hable]="zscale=t=linear:npl=100:p=709,format=gbrpf32le,tonemap=tonemap=hable:desat=0,zscale=t=709:m=709:r=tv,format=yuv420p"
    [f_clip]="zscale=t=linear:npl=100:p=709,format=gbrpf32le,tonemap=tonemap=clip:desat=0,zscale=t=709:m=709:r=tv,format=yuv420p"
    [g_three_zscales]="zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=709,tonemap=tonemap=mobius:desat=0,zscale=t=709:m=709:r=tv,format=yuv420p"
)
declare -A fcpu
for ((r = 0; r < ROUNDS; ++r)); do
    for k in "${!chains[@]}"; do
        /usr/bin/time -o "$WORK/time.txt" -f "%e %U %S" ffmpeg -nostdin -hide_banner -loglevel error \
            -i "$WORK/hlg1080.mp4" -vf "${chains[$k]}" -f null - >/dev/null 2>&1
        fcpu[$k]+="$(awk '{printf "%.2f", $2 + $3}' "$WORK/time.txt") "
    done
done
echo
echo "| ffmpeg decode + filter, HLG 1080p | CPU s (median of $ROUNDS) |"
echo "|---|---|"
for k in $(echo "${!chains[@]}" | tr ' ' '\n' | sort); do
    printf "| %s | %.2f |\n" "$k" "$(echo ${fcpu[$k]} | tr ' ' '\n' | median)"
done
