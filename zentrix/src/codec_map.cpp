#include "codec_map.h"
#include "zentrix.h"

#include <cstring>

namespace zx {
namespace {

// Video quality 90 and above asks for quality over speed.
bool favoursQuality(const ZxParams &set) { return set.videoQuality >= 90; }

// The codecs FFmpeg encodes itself take a fixed quantiser when no bit rate
// is asked for: their own default, 200 kb/s, is far too low for most frame
// sizes.
void tuneQuantiser(AVCodecContext *enc, AVDictionary **, const ZxParams &set)
{
    if (set.videoBitrate > 0)
        return;
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * (favoursQuality(set) ? 3 : 5);
}

// Motion JPEG as players expect it: full-range pictures.
void tuneMjpeg(AVCodecContext *enc, AVDictionary **opts, const ZxParams &set)
{
    tuneQuantiser(enc, opts, set);
    enc->color_range = AVCOL_RANGE_JPEG;
}

// x264 and x265 share their presets; their quality scales differ.
void tuneX26x(AVDictionary **opts, const ZxParams &set, const char *crfFast, const char *crfBetter)
{
    const bool better = favoursQuality(set);
    av_dict_set(opts, "preset", better ? "medium" : "veryfast", 0);
    if (set.videoBitrate <= 0)
        av_dict_set(opts, "crf", better ? crfBetter : crfFast, 0);
}

void tuneX264(AVCodecContext *, AVDictionary **opts, const ZxParams &set)
{
    tuneX26x(opts, set, "23", "20");
    const char *profile = set.videoProfile == 66 ? "baseline" : set.videoProfile == 77 ? "main"
                        : set.videoProfile == 100 ? "high" : nullptr;
    if (profile)
        av_dict_set(opts, "profile", profile, 0);
}

void tuneX265(AVCodecContext *, AVDictionary **opts, const ZxParams &set)
{
    tuneX26x(opts, set, "28", "24");
    // x265 prints its own banner and statistics on stderr otherwise.
    av_dict_set(opts, "x265-params", "log-level=error", 0);
    if (set.videoProfile == 1)
        av_dict_set(opts, "profile", "main", 0);
}

void tuneVp8(AVCodecContext *enc, AVDictionary **opts, const ZxParams &set)
{
    const bool better = favoursQuality(set);
    av_dict_set(opts, "deadline", "good", 0);
    av_dict_set(opts, "cpu-used", better ? "2" : "4", 0);
    if (set.videoBitrate <= 0) {
        av_dict_set(opts, "crf", better ? "8" : "12", 0);
        // VP8's quality mode is capped by a bit rate.
        enc->bit_rate = 4000000;
    }
}

void tuneVp9(AVCodecContext *enc, AVDictionary **opts, const ZxParams &set)
{
    const bool better = favoursQuality(set);
    av_dict_set(opts, "deadline", "good", 0);
    av_dict_set(opts, "cpu-used", better ? "2" : "5", 0);
    // Rows and tiles in parallel: without them VP9 uses one core.
    av_dict_set(opts, "row-mt", "1", 0);
    av_dict_set(opts, "tile-columns", "2", 0);
    if (set.videoBitrate <= 0) {
        av_dict_set(opts, "crf", better ? "31" : "36", 0);
        enc->bit_rate = 0;   // 0 = quality without a bit-rate cap
    }
}

struct LegacyCodec {
    int id;
    const char *codec;          // FFmpeg descriptor name of the codec itself
    const char *encoders[3];    // encoders of that codec, preferred first
    const char *fallback;       // nearest encoder when the codec has none here
    uint32_t tag;
    int maxChannels;
    VideoTuning tune;           // for the encoders and the fallback; null for DV (fixed rates) and non-video
};

constexpr uint32_t fourcc(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// Numbers of the FFmpeg generation the catalogue was written for; today's
// enum values differ, so the numbers are looked up here, never computed.
const LegacyCodec kCodecs[] = {
    {1, "mpeg1video", {"mpeg1video"}, nullptr, 0, 0, tuneQuantiser},
    {2, "mpeg2video", {"mpeg2video"}, nullptr, 0, 0, tuneQuantiser},
    {5, "h263", {"h263"}, nullptr, 0, 0, tuneQuantiser},
    {8, "mjpeg", {"mjpeg"}, nullptr, 0, 0, tuneMjpeg},
    {13, "mpeg4", {"mpeg4", "libxvid"}, nullptr, 0, 0, tuneQuantiser},
    {17, "msmpeg4v3", {"msmpeg4"}, nullptr, 0, 0, tuneQuantiser},
    {18, "wmv1", {"wmv1"}, nullptr, 0, 0, tuneQuantiser},
    {19, "wmv2", {"wmv2"}, nullptr, 0, 0, tuneQuantiser},
    {22, "flv1", {"flv"}, nullptr, 0, 0, tuneQuantiser},
    {25, "dvvideo", {"dvvideo"}, nullptr, 0, 0, nullptr},
    {28, "h264", {"libx264"}, nullptr, 0, 0, tuneX264},
    {71, "vc1", {nullptr}, "wmv2", 0, 0, tuneQuantiser},
    {72, "wmv3", {nullptr}, "wmv2", 0, 0, tuneQuantiser},
    {141, "vp8", {"libvpx"}, nullptr, 0, 0, tuneVp8},
    {169, "vp9", {"libvpx-vp9"}, nullptr, 0, 0, tuneVp9},
    {175, "hevc", {"libx265"}, nullptr, 0, 0, tuneX265},
    {1211250229, "hevc", {"libx265"}, nullptr, 0, 0, tuneX265},
    {1145656920, "mpeg4", {"mpeg4", "libxvid"}, nullptr, fourcc('X', 'V', 'I', 'D'), 0, tuneQuantiser},
    {808802372, "mpeg4", {"mpeg4", "libxvid"}, nullptr, fourcc('D', 'X', '5', '0'), 0, tuneQuantiser},
    {65536, "pcm_s16le", {"pcm_s16le"}, nullptr, 0, 0, nullptr},
    {65537, "pcm_s16be", {"pcm_s16be"}, nullptr, 0, 0, nullptr},
    {65549, "pcm_s24be", {"pcm_s24be"}, nullptr, 0, 0, nullptr},
    {69632, "adpcm_ima_qt", {"adpcm_ima_qt"}, nullptr, 0, 2, nullptr},
    {69645, "adpcm_swf", {"adpcm_swf"}, nullptr, 0, 2, nullptr},
    {73728, "amr_nb", {"libopencore_amrnb"}, "aac", 0, 0, nullptr},
    {86016, "mp2", {"mp2", "libtwolame"}, nullptr, 0, 2, nullptr},
    {86017, "mp3", {"libmp3lame", "libshine"}, nullptr, 0, 2, nullptr},
    {86018, "aac", {"aac"}, nullptr, 0, 0, nullptr},
    {86019, "ac3", {"ac3"}, nullptr, 0, 0, nullptr},
    {86021, "vorbis", {"libvorbis"}, nullptr, 0, 0, nullptr},
    {86023, "wmav1", {"wmav1"}, nullptr, 0, 2, nullptr},
    {86024, "wmav2", {"wmav2"}, nullptr, 0, 2, nullptr},
    {86028, "flac", {"flac"}, nullptr, 0, 0, nullptr},
    {86032, "alac", {"alac"}, nullptr, 0, 0, nullptr},
    {86054, "wmapro", {nullptr}, "wmav2", 0, 2, nullptr},
    {1330664787, "opus", {"libopus"}, nullptr, 0, 0, nullptr},   // 'OPUS'
    // Subtitle codecs, for elementary-stream tracks (muxed, never encoded).
    {94208, "dvd_subtitle", {nullptr}, nullptr, 0, 0, nullptr},
    {94209, "dvb_subtitle", {nullptr}, nullptr, 0, 0, nullptr},
    {94210, "text", {nullptr}, nullptr, 0, 0, nullptr},
    {94212, "ssa", {nullptr}, nullptr, 0, 0, nullptr},
    {94213, "mov_text", {nullptr}, nullptr, 0, 0, nullptr},
    {94214, "hdmv_pgs_subtitle", {nullptr}, nullptr, 0, 0, nullptr},
    {1397909872, "subrip", {nullptr}, nullptr, 0, 0, nullptr},      // 'SRip'
    {1095979808, "ass", {nullptr}, nullptr, 0, 0, nullptr},         // 'ASS '
    {1465275476, "webvtt", {nullptr}, nullptr, 0, 0, nullptr},      // 'WVTT'
};

const LegacyCodec *findLegacy(int id)
{
    for (const auto &c : kCodecs)
        if (c.id == id)
            return &c;
    return nullptr;
}

bool muxerAccepts(const AVOutputFormat *muxer, const AVCodec *enc)
{
    if (!muxer)
        return true;
    // 1 = supported, 0 = not, negative = the muxer does not say: then a
    // muxer without a default codec of that kind takes none.
    const int answer = avformat_query_codec(muxer, enc->id, FF_COMPLIANCE_NORMAL);
    if (answer >= 0)
        return answer == 1;
    if (enc->type == AVMEDIA_TYPE_VIDEO)
        return muxer->video_codec != AV_CODEC_ID_NONE;
    if (enc->type == AVMEDIA_TYPE_AUDIO)
        return muxer->audio_codec != AV_CODEC_ID_NONE;
    return true;
}

} // namespace

const char *legacyCodecName(int legacyId)
{
    const LegacyCodec *c = findLegacy(legacyId);
    return c ? c->codec : nullptr;
}

const AVOutputFormat *findMuxer(const char *container)
{
    if (!container || !*container)
        return nullptr;
    return av_guess_format(container, nullptr, nullptr);
}

bool chooseEncoder(int legacyId, const AVOutputFormat *muxer, EncoderChoice &out, std::string &error, AVMediaType type)
{
    const LegacyCodec *c = findLegacy(legacyId);
    if (!c) {
        error = "unknown codec number " + std::to_string(legacyId);
        return false;
    }
    const AVCodecDescriptor *desc = avcodec_descriptor_get_by_name(c->codec);
    if (type != AVMEDIA_TYPE_UNKNOWN && desc && desc->type != type) {
        error = std::string(c->codec) + " is not a " + (type == AVMEDIA_TYPE_VIDEO ? "video" : "audio") + " codec";
        return false;
    }
    out = EncoderChoice{};
    out.maxChannels = c->maxChannels;
    out.tuneVideo = c->tune;
    for (const char *name : c->encoders) {
        if (!name)
            break;
        if (const AVCodec *enc = avcodec_find_encoder_by_name(name)) {
            if (!muxerAccepts(muxer, enc)) {
                error = std::string("the container ") + muxer->name + " cannot hold " + c->codec;
                return false;
            }
            out.encoder = enc;
            if (muxer && c->tag && std::strcmp(muxer->name, "avi") == 0)
                out.codecTag = c->tag;
            return true;
        }
    }
    if (c->fallback) {
        // A stand-in must be known to fit: the muxer says so, or it is the muxer's own default.
        const AVCodec *enc = avcodec_find_encoder_by_name(c->fallback);
        const bool fits = enc && (!muxer || avformat_query_codec(muxer, enc->id, FF_COMPLIANCE_NORMAL) == 1
                                  || muxer->video_codec == enc->id || muxer->audio_codec == enc->id);
        if (fits) {
            out.encoder = enc;
            out.note = std::string(c->codec) + " has no encoder here; using " + c->fallback;
            return true;
        }
    }
    error = std::string("no encoder for ") + c->codec + (muxer ? std::string(" in the container ") + muxer->name : "");
    return false;
}

} // namespace zx

extern "C" const char *ZxEncoderName(int legacy_codec_id, const char *container)
{
    zx::EncoderChoice choice;
    std::string err;
    const AVOutputFormat *muxer = container ? zx::findMuxer(container) : nullptr;
    if (container && !muxer)
        return nullptr;
    if (!zx::chooseEncoder(legacy_codec_id, muxer, choice, err))
        return nullptr;
    return choice.encoder->name;
}
