#include "hdr_metadata.h"

#include "media_input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zx {
namespace {

// Pictures read at most before giving up on the first one (a stream whose
// start does not decode).
constexpr int kMaxPackets = 500;

bool complete(const AVMasteringDisplayMetadata &m) { return m.has_primaries && m.has_luminance; }

void take(HdrMetadata &out, const AVMasteringDisplayMetadata *md, const AVContentLightMetadata *cll)
{
    if (md && !out.hasMastering && complete(*md)) {
        out.mastering = *md;
        out.hasMastering = true;
    }
    if (cll && !out.hasLightLevel) {
        out.lightLevel = *cll;
        out.hasLightLevel = true;
    }
}

void fromFirstPicture(AVFormatContext *ic, int v, HdrMetadata &out)
{
    std::string err;
    CodecCtxPtr dec = openDecoder(ic->streams[v], err);
    if (!dec)
        return;
    decodeFromHere(ic, v, dec.get(), kMaxPackets, [&out](AVFrame *frame) {
        const AVFrameSideData *md = av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
        const AVFrameSideData *cll = av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
        take(out,
             md && md->size >= sizeof(AVMasteringDisplayMetadata)
                 ? reinterpret_cast<const AVMasteringDisplayMetadata *>(md->data) : nullptr,
             cll && cll->size >= sizeof(AVContentLightMetadata)
                 ? reinterpret_cast<const AVContentLightMetadata *>(cll->data) : nullptr);
        return false;  // the first picture says it
    });
    rewindInput(ic);
}

// x265 wants chromaticities in steps of 0.00002 and luminances in steps of
// 0.0001 cd/m², as the HEVC message stores them.
long long scaled(AVRational q, double steps, double most)
{
    if (q.den == 0)
        return 0;
    return std::llround(std::clamp(av_q2d(q) * steps, 0.0, most));
}

} // namespace

HdrMetadata readHdrMetadata(AVFormatContext *ic, int videoIndex, bool canSeek)
{
    HdrMetadata out;
    if (!ic || videoIndex < 0 || videoIndex >= int(ic->nb_streams))
        return out;
    const AVStream *st = ic->streams[videoIndex];
    size_t size = 0;
    const uint8_t *md = av_stream_get_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, &size);
    const bool mdFits = md && size >= sizeof(AVMasteringDisplayMetadata);
    const uint8_t *cll = av_stream_get_side_data(st, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, &size);
    const bool cllFits = cll && size >= sizeof(AVContentLightMetadata);
    take(out, mdFits ? reinterpret_cast<const AVMasteringDisplayMetadata *>(md) : nullptr,
         cllFits ? reinterpret_cast<const AVContentLightMetadata *>(cll) : nullptr);
    if ((!out.hasMastering || !out.hasLightLevel) && canSeek)
        fromFirstPicture(ic, videoIndex, out);
    return out;
}

std::string x265HdrOptions(const HdrMetadata &m, bool pq)
{
    std::string s;
    if (m.hasMastering) {
        const AVMasteringDisplayMetadata &d = m.mastering;
        // x265 lists green, blue, red; FFmpeg stores red, green, blue.
        auto xy = [&](const AVRational *p) {
            return std::to_string(scaled(p[0], 50000, 65535)) + "," + std::to_string(scaled(p[1], 50000, 65535));
        };
        s += "master-display=G(" + xy(d.display_primaries[1]) + ")B(" + xy(d.display_primaries[2]) + ")R("
             + xy(d.display_primaries[0]) + ")WP(" + xy(d.white_point) + ")L("
             + std::to_string(scaled(d.max_luminance, 10000, 4294967295.0)) + ","
             + std::to_string(scaled(d.min_luminance, 10000, 4294967295.0)) + ")";
    }
    if (m.hasLightLevel) {
        if (!s.empty())
            s += ':';
        s += "max-cll=" + std::to_string(std::min(m.lightLevel.MaxCLL, 65535u)) + ","
             + std::to_string(std::min(m.lightLevel.MaxFALL, 65535u));
    }
    if (s.empty())
        return s;
    // hdr10 makes x265 write a light level of 0,0 too ("not known"), which
    // it leaves out otherwise.
    s += ":hdr10=1";
    if (pq)
        s += ":hdr10-opt=1";
    return s;
}

bool addHdrSideData(AVStream *st, const HdrMetadata &m)
{
    if (m.hasMastering) {
        uint8_t *dst = av_stream_new_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA,
                                               sizeof(AVMasteringDisplayMetadata));
        if (!dst)
            return false;
        std::memcpy(dst, &m.mastering, sizeof m.mastering);
    }
    if (m.hasLightLevel) {
        uint8_t *dst = av_stream_new_side_data(st, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, sizeof(AVContentLightMetadata));
        if (!dst)
            return false;
        std::memcpy(dst, &m.lightLevel, sizeof m.lightLevel);
    }
    return true;
}

} // namespace zx
