// What an HDR video says about the display it was graded on and about its
// brightest pictures (mastering display colour volume, content light
// level). Players use it to fit the pictures to their own screen; an output
// that keeps the pictures HDR keeps it too.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mastering_display_metadata.h>
}

#include <string>

namespace zx {

struct HdrMetadata {
    bool hasMastering = false;   // primaries, white point and luminance all known
    AVMasteringDisplayMetadata mastering{};
    bool hasLightLevel = false;
    AVContentLightMetadata lightLevel{};

    bool empty() const { return !hasMastering && !hasLightLevel; }
};

// The metadata of a video stream: the stream's own (MP4 and Matroska keep
// it in the container), else that of its first decoded picture (HEVC keeps
// it in the bitstream). Looking at the picture reads the source, so it is
// done only where the source can seek, and the source is back at its start
// afterwards.
HdrMetadata readHdrMetadata(AVFormatContext *ic, int videoIndex, bool canSeek);

// The x265 options (its ':'-separated key=value syntax) that write the
// metadata into the stream. pq: the pictures use the PQ transfer, for which
// x265 has its own quantiser tuning.
std::string x265HdrOptions(const HdrMetadata &m, bool pq);

// The metadata as the stream's side data, from which the muxers write their
// boxes and elements.
bool addHdrSideData(AVStream *st, const HdrMetadata &m);

} // namespace zx
