#!/usr/bin/env bash
# Makes the small synthetic media the tests play, probe and convert.
#
#   bash tools/make_test_media.sh OUTDIR
#
# Everything comes from ffmpeg's lavfi sources (testsrc, testsrc2, smptebars,
# sine, anullsrc), so nothing is downloaded or committed. Files that already
# exist are kept; each file is written under a temporary name and renamed, so
# an interrupted run never leaves a half-written fixture behind.
#
# Produced in OUTDIR:
#   clip_h264_aac.mp4        320x240, 25 fps, 5 s, H.264 + stereo 44.1 kHz AAC, audio language "eng"
#   clip_h264_aac.srt        external subtitle beside clip_h264_aac.mp4 (same text as sample.srt)
#   sample.srt               three SubRip cues within the first 5 s
#   clip_10s.mp4             320x240, 25 fps, 10 s, H.264 + AAC (trim tests)
#   clip_mpeg4_mp3.avi       320x240, 25 fps, 4 s, MPEG-4 Part 2 + MP3
#   clip_vp8_vorbis.webm     320x240, 25 fps, 4 s, VP8 + Vorbis
#   clip_mkv_two_audio_sub.mkv
#                            320x240, 4 s, H.264; audio 0 AAC "eng" titled "English Stereo",
#                            audio 1 AAC "fre" titled "French Stereo" (other pitch);
#                            one SubRip subtitle stream "eng"
#   video_only.mp4           320x240, 3 s, H.264, no audio
#   audio_only.mp3           3 s, stereo 44.1 kHz MP3
#   audio_only.wav           3 s, stereo 44.1 kHz PCM s16
#   odd_641x361.mp4          641x361 yuv420p, 2 s, MPEG-4 Part 2 + AAC (odd size; x264 refuses it)
#   rotated_90.mp4           clip_h264_aac.mp4 remuxed with the stream tag rotate=90; ffmpeg 5.1's
#                            mov muxer turns it into a display matrix (ffprobe: rotation=90 in the
#                            stream side data); -display_rotation only exists from ffmpeg 6
#   clip_720x576_25.mpg      720x576, 25 fps, 3 s, MPEG-2 video + MP2 in an MPEG program stream
#   name with spaces [1] ü.mp4
#                            copy of clip_h264_aac.mp4 under an awkward file name
#   zero.mp4                 0 bytes
#   random.mp4               64 KiB of pseudo-random bytes from a fixed-seed generator
#   truncated.mp4            first 30 % of clip_h264_aac.mp4 (its index, written last, is cut off)
#   dvd/VIDEO_TS/            PAL DVD with two titles (3 s 16:9 testsrc, 2 s 4:3 smptebars)
#   dvd.iso                  the same DVD as a UDF/ISO9660 image (genisoimage -dvd-video)
#   dvd_multi/VIDEO_TS/      PAL DVD, three title sets of one title each:
#                              0: 5 s 16:9 testsrc, audio "en", two cells from two VOBs
#                                 (3 s + 2 s, each with time stamps from 0)
#                              1: 6 s 4:3 smptebars, two chapters, audio "en" (440 Hz) and "fr" (880 Hz)
#                              2: 7 s 16:9 testsrc2, audio "de", a subpicture stream "es" (1 s to 4 s)
#   dvd_multi.iso            the same DVD as an image
#   plain_files.iso          an ISO9660 image holding ordinary files (not a DVD)
#   empty_dir/               an empty folder (not a DVD)
# The DVD fixtures are skipped with a note when dvdauthor, spumux or genisoimage is missing.

set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
OUT=$1
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)   # the DVD steps work in subfolders of it
# The engine tests and the program tests each make the media as a fixture,
# possibly at the same moment: one run at a time per folder.
exec 9>"$OUT/.lock"
flock 9
cd "$OUT"

FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
X264=(-c:v libx264 -preset ultrafast -crf 30 -pix_fmt yuv420p)
AAC=(-c:a aac -b:a 128k)
made=()

# fixture NAME COMMAND... : runs COMMAND with "$TMP" as the output file and
# renames it to NAME; an existing NAME is left alone.
fixture() {
    local name=$1
    shift
    if [ -e "$name" ]; then
        return 0
    fi
    local ext=${name##*.}
    TMP=".partial.$$.$RANDOM.$ext"
    if ! "$@"; then
        rm -f "$TMP"
        echo "make_test_media: failed to make $name" >&2
        exit 1
    fi
    mv -f "$TMP" "$name"
    made+=("$name")
}

write_srt() {
    cat >"$TMP" <<'EOF'
1
00:00:00,500 --> 00:00:01,800
First subtitle line

2
00:00:02,000 --> 00:00:03,200
Second line, with <i>italics</i>

3
00:00:03,400 --> 00:00:03,900
Third and last
EOF
}

clip_h264_aac() {
    "${FF[@]}" -f lavfi -i testsrc=size=320x240:rate=25:duration=5 \
        -f lavfi -i sine=frequency=440:sample_rate=44100:duration=5 \
        "${X264[@]}" -g 25 "${AAC[@]}" -ac 2 -ar 44100 \
        -metadata:s:a:0 language=eng -shortest "$TMP"
}

clip_10s() {
    "${FF[@]}" -f lavfi -i testsrc2=size=320x240:rate=25:duration=10 \
        -f lavfi -i sine=frequency=660:sample_rate=44100:duration=10 \
        "${X264[@]}" -g 25 "${AAC[@]}" -ac 2 -shortest "$TMP"
}

clip_mpeg4_mp3() {
    "${FF[@]}" -f lavfi -i testsrc=size=320x240:rate=25:duration=4 \
        -f lavfi -i sine=frequency=550:sample_rate=44100:duration=4 \
        -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 128k -ac 2 -shortest "$TMP"
}

clip_vp8_vorbis() {
    "${FF[@]}" -f lavfi -i testsrc2=size=320x240:rate=25:duration=4 \
        -f lavfi -i sine=frequency=330:sample_rate=44100:duration=4 \
        -c:v libvpx -deadline realtime -cpu-used 8 -b:v 400k \
        -c:a libvorbis -q:a 3 -ac 2 -shortest "$TMP"
}

clip_mkv_two_audio_sub() {
    "${FF[@]}" -f lavfi -i testsrc=size=320x240:rate=25:duration=4 \
        -f lavfi -i sine=frequency=440:sample_rate=44100:duration=4 \
        -f lavfi -i sine=frequency=880:sample_rate=44100:duration=4 \
        -i sample.srt \
        -map 0:v -map 1:a -map 2:a -map 3:s \
        "${X264[@]}" "${AAC[@]}" -ac 2 -c:s srt \
        -metadata:s:a:0 language=eng -metadata:s:a:0 title="English Stereo" \
        -metadata:s:a:1 language=fre -metadata:s:a:1 title="French Stereo" \
        -metadata:s:s:0 language=eng -metadata:s:s:0 title="English" \
        -t 4 "$TMP"
}

video_only() {
    "${FF[@]}" -f lavfi -i testsrc2=size=320x240:rate=25:duration=3 \
        "${X264[@]}" -an "$TMP"
}

audio_only_mp3() {
    "${FF[@]}" -f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 \
        -ac 2 -c:a libmp3lame -b:a 128k "$TMP"
}

audio_only_wav() {
    "${FF[@]}" -f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 \
        -ac 2 -c:a pcm_s16le "$TMP"
}

odd_size() {
    "${FF[@]}" -f lavfi -i testsrc=size=641x361:rate=25:duration=2 \
        -f lavfi -i anullsrc=channel_layout=stereo:sample_rate=44100 \
        -c:v mpeg4 -q:v 5 -pix_fmt yuv420p "${AAC[@]}" -t 2 "$TMP"
}

rotated() {
    "${FF[@]}" -i clip_h264_aac.mp4 -map 0 -c copy -metadata:s:v:0 rotate=90 "$TMP"
}

mpeg2_ps() {
    "${FF[@]}" -f lavfi -i smptebars=size=720x576:rate=25:duration=3 \
        -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3 \
        -c:v mpeg2video -b:v 2000k -pix_fmt yuv420p -c:a mp2 -b:a 192k -ac 2 \
        -f mpeg "$TMP"
}

empty_file() {
    : >"$TMP"
}

copy_of() {
    cp "$1" "$TMP"
}

# A 32-bit LCG (Numerical Recipes constants) gives the same bytes on every machine.
random_bytes() {
    LC_ALL=C awk -v n=65536 'BEGIN {
        s = 20240601
        for (i = 0; i < n; i++) {
            s = (s * 1664525 + 1013904223) % 4294967296
            printf "%c", int(s / 16777216)
        }
    }' >"$TMP"
}

truncated() {
    local size
    size=$(stat -c %s clip_h264_aac.mp4)
    head -c $((size * 3 / 10)) clip_h264_aac.mp4 >"$TMP"
}

fixture sample.srt write_srt
fixture clip_h264_aac.srt copy_of sample.srt
fixture clip_h264_aac.mp4 clip_h264_aac
fixture clip_10s.mp4 clip_10s
fixture clip_mpeg4_mp3.avi clip_mpeg4_mp3
fixture clip_vp8_vorbis.webm clip_vp8_vorbis
fixture clip_mkv_two_audio_sub.mkv clip_mkv_two_audio_sub
fixture video_only.mp4 video_only
fixture audio_only.mp3 audio_only_mp3
fixture audio_only.wav audio_only_wav
fixture odd_641x361.mp4 odd_size
fixture rotated_90.mp4 rotated
fixture clip_720x576_25.mpg mpeg2_ps
fixture "name with spaces [1] ü.mp4" copy_of clip_h264_aac.mp4
fixture zero.mp4 empty_file
fixture random.mp4 random_bytes
fixture truncated.mp4 truncated

# DVD: dvdauthor builds VIDEO_TS title by title, then the table of titles.
dvd_title() {
    local src=$1 aspect=$2 secs=$3
    "${FF[@]}" -f lavfi -i "$src=size=720x576:rate=25:duration=$secs" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$secs" \
        -target pal-dvd -aspect "$aspect" -b:v 1500k "$TMP"
}

# Moves the DVD structure dvdauthor wrote into WORK/out to DEST and drops WORK.
take_dvd() {
    local work=$1 dest=$2
    rm -rf "$dest"
    mkdir -p "$dest"
    mv "$work/out/VIDEO_TS" "$dest/VIDEO_TS"
    if [ -d "$work/out/AUDIO_TS" ]; then
        mv "$work/out/AUDIO_TS" "$dest/AUDIO_TS"
    fi
    rm -rf "$work"
    made+=("$dest/VIDEO_TS")
}

if command -v dvdauthor >/dev/null && command -v spumux >/dev/null && command -v genisoimage >/dev/null; then
    if [ ! -e dvd/VIDEO_TS/VIDEO_TS.IFO ]; then
        work=$(mktemp -d "$OUT/.dvdwork.XXXXXX")
        (
            cd "$work"
            fixture t1.mpg dvd_title testsrc 16:9 3
            fixture t2.mpg dvd_title smptebars 4:3 2
            export VIDEO_FORMAT=PAL
            dvdauthor -o out -t t1.mpg >/dev/null 2>&1
            dvdauthor -o out -t t2.mpg >/dev/null 2>&1
            dvdauthor -o out -T >/dev/null 2>&1
        )
        take_dvd "$work" dvd
    fi
    dvd_iso() {
        genisoimage -quiet -dvd-video -V TESTDVD -o "$TMP" dvd
    }
    fixture dvd.iso dvd_iso

    # Three title sets, so every title has its own audio and subpicture table.
    if [ ! -e dvd_multi/VIDEO_TS/VIDEO_TS.IFO ]; then
        work=$(mktemp -d "$OUT/.dvdwork.XXXXXX")
        (
            cd "$work"
            dvd_mpg() {
                local src=$1 aspect=$2 secs=$3
                shift 3
                local inputs=(-f lavfi -i "$src=size=720x576:rate=25:duration=$secs") maps=(-map 0:v) n=1 freq
                for freq in "$@"; do
                    inputs+=(-f lavfi -i "sine=frequency=$freq:sample_rate=48000:duration=$secs")
                    maps+=(-map "$n:a")
                    n=$((n + 1))
                done
                "${FF[@]}" "${inputs[@]}" "${maps[@]}" -target pal-dvd -aspect "$aspect" -b:v 1000k "$TMP"
            }
            sub_png() {
                # spumux keys transparency on a colour, not on the alpha channel.
                "${FF[@]}" -f lavfi -i "color=c=black:s=720x576,drawbox=x=160:y=480:w=400:h=40:color=white:t=fill" \
                    -frames:v 1 -pix_fmt rgb24 "$TMP"
            }
            fixture m1a.mpg dvd_mpg testsrc 16:9 3 440
            fixture m1b.mpg dvd_mpg testsrc 16:9 2 440
            fixture m2.mpg dvd_mpg smptebars 4:3 6 440 880
            fixture m3.mpg dvd_mpg testsrc2 16:9 7 660
            fixture sub.png sub_png
            cat >sub.xml <<'EOF'
<subpictures><stream><spu start="00:00:01.00" end="00:00:04.00" image="sub.png" transparent="000000"/></stream></subpictures>
EOF
            spumux -s 0 sub.xml <m3.mpg >m3s.mpg 2>/dev/null
            cat >dvd.xml <<'EOF'
<dvdauthor dest="out">
 <vmgm/>
 <titleset><titles><video format="pal" aspect="16:9"/><audio lang="en"/>
  <pgc><vob file="m1a.mpg"/><vob file="m1b.mpg"/></pgc></titles></titleset>
 <titleset><titles><video format="pal" aspect="4:3"/><audio lang="en"/><audio lang="fr"/>
  <pgc><vob file="m2.mpg" chapters="0,0:03"/></pgc></titles></titleset>
 <titleset><titles><video format="pal" aspect="16:9"/><audio lang="de"/><subpicture lang="es"/>
  <pgc><vob file="m3s.mpg"/></pgc></titles></titleset>
</dvdauthor>
EOF
            VIDEO_FORMAT=PAL dvdauthor -x dvd.xml >/dev/null 2>&1
        )
        take_dvd "$work" dvd_multi
    fi
    dvd_multi_iso() {
        genisoimage -quiet -dvd-video -V TESTDVD3 -o "$TMP" dvd_multi
    }
    fixture dvd_multi.iso dvd_multi_iso
    plain_iso() {
        local tree
        tree=$(mktemp -d "$OUT/.isowork.XXXXXX")
        mkdir -p "$tree/docs"
        echo "not a DVD" >"$tree/docs/readme.txt"
        cp clip_h264_aac.mp4 "$tree/"
        genisoimage -quiet -r -J -V PLAIN -o "$TMP" "$tree"
        local rc=$?
        rm -rf "$tree"
        return $rc
    }
    fixture plain_files.iso plain_iso
    if [ ! -d empty_dir ]; then
        mkdir -p empty_dir
        made+=("empty_dir")
    fi
else
    echo "make_test_media: dvdauthor, spumux or genisoimage missing, no DVD fixtures" >&2
fi

if [ ${#made[@]} -eq 0 ]; then
    echo "make_test_media: all fixtures already present in $OUT"
else
    echo "make_test_media: made in $OUT:"
    printf '  %s\n' "${made[@]}"
fi
