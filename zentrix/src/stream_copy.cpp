// Which source streams go into the output unchanged. Every test here is a
// reason the pictures or the sound would come out different if they were
// decoded and encoded again; when none holds, copying gives the same result
// losslessly and at the speed of the disk.
#include "stream_copy.h"
#include "geometry.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstdlib>
#include <cstring>

namespace zx {
namespace {

bool named(const char *name, std::initializer_list<const char *> list)
{
    for (const char *n : list)
        if (std::strcmp(name, n) == 0)
            return true;
    return false;
}

// Containers that take copied pictures with their own timestamps and codec
// headers (avcC, hvcC, ...) as they come from any of these. AVI, ASF and the
// program streams want other packagings or fixed rates, so they re-encode.
bool takesCopiedVideo(const AVOutputFormat *muxer, AVCodecID id)
{
    return named(muxer->name, {"mp4", "mov", "ipod", "3gp", "3g2", "matroska", "webm", "mpegts"})
           && avformat_query_codec(muxer, id, FF_COMPLIANCE_NORMAL) == 1;
}

bool takesCopiedAudio(const AVOutputFormat *muxer, AVCodecID id)
{
    return named(muxer->name, {"mp4", "mov", "ipod", "3gp", "3g2", "matroska", "webm", "mpegts", "adts", "mp3",
                               "flac", "ogg", "oga", "opus", "ac3", "wav", "w64", "caf"})
           && avformat_query_codec(muxer, id, FF_COMPLIANCE_NORMAL) == 1;
}

// Codecs whose streams carry everything a player needs in their packets and
// headers; others (DV, H.263, MPEG-1/2 with their fixed rates) re-encode.
bool copiableVideoCodec(AVCodecID id)
{
    return id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC || id == AV_CODEC_ID_VP8 || id == AV_CODEC_ID_VP9
           || id == AV_CODEC_ID_AV1 || id == AV_CODEC_ID_MPEG4;
}

// An H.264 stream fits an asked profile when every decoder of that profile
// plays it: constrained Baseline fits all three, Main fits High.
bool h264ProfileFits(int source, int asked)
{
    if (asked <= 0 || source == asked)
        return true;
    if (source == (FF_PROFILE_H264_BASELINE | FF_PROFILE_H264_CONSTRAINED))
        return asked == FF_PROFILE_H264_BASELINE || asked == FF_PROFILE_H264_MAIN || asked == FF_PROFILE_H264_HIGH;
    return source == FF_PROFILE_H264_MAIN && asked == FF_PROFILE_H264_HIGH;
}

// Program and transport streams (and DVDs) may jump in time or wrap
// around; a conversion smooths that over, a copy would carry the jumps
// into a container that refuses them.
bool steadyTimestamps(const InputMedia &src)
{
    const AVFormatContext *ic = src.context();
    return ic && ic->iformat && !(ic->iformat->flags & AVFMT_TS_DISCONT);
}

bool noPictureEdits(const ZxParams &set, const InputMedia &src)
{
    const bool progressive
        = set.deinterlace == 2 || (set.deinterlace == 0 && src.scan().kind == ScanInfo::Progressive);
    return progressive && set.crop == ZxCrop{} && set.rotation % 360 == 0 && !set.flip && set.brightness == 0
           && set.saturation == 100 && set.contrast == 100 && set.hue == 0 && set.watermarkText.empty()
           && set.watermarkImage.empty() && set.subtitleStream < 0 && !set.closedCaptions && set.subtitleFile.empty();
}

// The stream's bit rate: its own when the container records it, else the
// whole file's less the other streams' known rates (an upper bound).
int64_t videoBitrate(const InputMedia &src, const AVCodecParameters *par)
{
    if (par->bit_rate > 0)
        return par->bit_rate;
    const AVFormatContext *ic = src.context();
    if (ic->bit_rate <= 0)
        return 0;
    int64_t rest = ic->bit_rate;
    for (int i : src.audioStreams())
        rest -= std::max<int64_t>(0, ic->streams[i]->codecpar->bit_rate);
    return std::max<int64_t>(1, rest);
}

} // namespace

int chosenAudioStream(const ZxParams &set, const InputMedia &src)
{
    const auto &audio = src.audioStreams();
    if (audio.empty())
        return -1;
    return set.audioTrack >= 0 && set.audioTrack < int(audio.size()) ? audio[size_t(set.audioTrack)]
                                                                      : src.bestAudioStream();
}

bool videoFitsAsIs(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, const AVCodec *encoder)
{
    if (src.videoStream() < 0 || !encoder || !steadyTimestamps(src))
        return false;
    const AVStream *st = src.context()->streams[src.videoStream()];
    const AVCodecParameters *par = st->codecpar;
    const bool anyCodec = set.streamCopy == 2;
    if ((!anyCodec && par->codec_id != encoder->id) || !copiableVideoCodec(par->codec_id)
        || !takesCopiedVideo(muxer, par->codec_id))
        return false;
    if (!noPictureEdits(set, src))
        return false;
    // Square pixels only: a conversion would scale others to square ones.
    if (par->sample_aspect_ratio.num > 0 && av_cmp_q(par->sample_aspect_ratio, AVRational{1, 1}) != 0)
        return false;
    if (!anyCodec && par->format != choosePixelFormat(encoder, set))
        return false;
    const AVPixFmtDescriptor *pd = av_pix_fmt_desc_get(AVPixelFormat(par->format));
    const Geometry g = computeGeometry(set, src.picture(), pd && pd->log2_chroma_w > 0, pd && pd->log2_chroma_h > 0);
    if (g.frameW != g.uprightW || g.frameH != g.uprightH || g.pictureW != g.frameW || g.pictureH != g.frameH
        || g.padX || g.padY || g.cropW != g.uprightW || g.cropH != g.uprightH)
        return false;
    if (set.fpsNum > 0 && av_cmp_q(AVRational{set.fpsNum, set.fpsDen}, sourceRate(src)) != 0)
        return false;
    if (set.videoBitrate > 0) {
        const int64_t rate = videoBitrate(src, par);
        if (rate <= 0 || rate > set.videoBitrate)
            return false;
    }
    if (par->codec_id == AV_CODEC_ID_H264 && !h264ProfileFits(par->profile, set.videoProfile))
        return false;
    if (par->codec_id == AV_CODEC_ID_HEVC && set.videoProfile == FF_PROFILE_HEVC_MAIN
        && par->profile != FF_PROFILE_HEVC_MAIN)
        return false;
    return true;
}

bool audioFitsAsIs(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, const AVCodec *encoder,
                   int maxChannels)
{
    const int index = chosenAudioStream(set, src);
    if (index < 0 || !encoder || !steadyTimestamps(src))
        return false;
    const AVCodecParameters *par = src.context()->streams[index]->codecpar;
    const bool anyCodec = set.streamCopy == 2;
    if ((!anyCodec && par->codec_id != encoder->id) || !takesCopiedAudio(muxer, par->codec_id) || set.volume != 100)
        return false;
    int channels = set.channels > 0 ? set.channels : par->ch_layout.nb_channels;
    if (maxChannels > 0)
        channels = std::min(channels, maxChannels);
    const int rate = set.sampleRate > 0 ? set.sampleRate : par->sample_rate;
    if (par->ch_layout.nb_channels != channels || par->sample_rate != rate)
        return false;
    if (!anyCodec && encoder->supported_samplerates) {
        bool listed = false;
        for (const int *r = encoder->supported_samplerates; *r; ++r)
            listed = listed || *r == rate;
        if (!listed)
            return false;
    }
    // An asked bit rate is met only by a stream that says it keeps below it.
    if (set.audioBitrate > 0 && (par->bit_rate <= 0 || par->bit_rate > set.audioBitrate))
        return false;
    return true;
}

int legacyCodecFor(AVCodecID id)
{
    // One number per codec; where the catalogue has two (HEVC), either works.
    static const struct {
        AVCodecID id;
        int legacy;
    } table[] = {
        {AV_CODEC_ID_H264, 28},       {AV_CODEC_ID_HEVC, 175},      {AV_CODEC_ID_VP8, 141},
        {AV_CODEC_ID_VP9, 169},       {AV_CODEC_ID_MPEG4, 13},      {AV_CODEC_ID_MPEG2VIDEO, 2},
        {AV_CODEC_ID_MPEG1VIDEO, 1},  {AV_CODEC_ID_MJPEG, 8},       {AV_CODEC_ID_AAC, 86018},
        {AV_CODEC_ID_MP3, 86017},     {AV_CODEC_ID_MP2, 86016},     {AV_CODEC_ID_AC3, 86019},
        {AV_CODEC_ID_VORBIS, 86021},  {AV_CODEC_ID_FLAC, 86028},    {AV_CODEC_ID_ALAC, 86032},
        {AV_CODEC_ID_OPUS, 1330664787}, {AV_CODEC_ID_PCM_S16LE, 65536}, {AV_CODEC_ID_PCM_S16BE, 65537},
        {AV_CODEC_ID_PCM_S24BE, 65549},
    };
    for (const auto &row : table)
        if (row.id == id)
            return row.legacy;
    return 0;
}

ZxParams keepSourceFormat(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer)
{
    if (set.streamCopy != 2)
        return set;
    ZxParams keep = set;
    keep.videoProfile = 0;
    const int audio = chosenAudioStream(set, src);
    if (audio >= 0) {
        const AVCodecParameters *par = src.context()->streams[audio]->codecpar;
        if (par->sample_rate > 0)
            keep.sampleRate = par->sample_rate;
        if (par->ch_layout.nb_channels > 0)
            keep.channels = std::min(8, par->ch_layout.nb_channels);
    }
    // Matroska holds nearly every codec, so what must be converted there
    // stays in its own codec; the set's codecs are the fallback.
    if (muxer && std::strcmp(muxer->name, "matroska") == 0) {
        const auto ownCodec = [&](int index, int fallback, AVMediaType type) {
            if (index < 0 || fallback <= 0)
                return fallback;
            const int legacy = legacyCodecFor(src.context()->streams[index]->codecpar->codec_id);
            EncoderChoice choice;
            std::string ignored;
            return legacy && chooseEncoder(legacy, muxer, choice, ignored, type) && choice.note.empty() ? legacy
                                                                                                          : fallback;
        };
        keep.videoCodec = ownCodec(src.videoStream(), set.videoCodec, AVMEDIA_TYPE_VIDEO);
        keep.audioCodec = ownCodec(audio, set.audioCodec, AVMEDIA_TYPE_AUDIO);
    }
    return keep;
}

bool sameCodecParameters(const AVCodecParameters *a, const AVCodecParameters *b)
{
    if (!a || !b || a->codec_type != b->codec_type || a->codec_id != b->codec_id || a->profile != b->profile
        || a->extradata_size != b->extradata_size
        || (a->extradata_size > 0 && std::memcmp(a->extradata, b->extradata, size_t(a->extradata_size)) != 0))
        return false;
    if (a->codec_type == AVMEDIA_TYPE_VIDEO) {
        const AVRational sa = a->sample_aspect_ratio.num > 0 ? a->sample_aspect_ratio : AVRational{1, 1};
        const AVRational sb = b->sample_aspect_ratio.num > 0 ? b->sample_aspect_ratio : AVRational{1, 1};
        return a->width == b->width && a->height == b->height && a->format == b->format && av_cmp_q(sa, sb) == 0;
    }
    return a->sample_rate == b->sample_rate && a->ch_layout.nb_channels == b->ch_layout.nb_channels;
}

bool keyFrameAt(const InputMedia &src, int64_t startUs)
{
    AVFormatContext *ic = src.context();
    const int index = src.videoStream();
    if (!ic || index < 0)
        return false;
    const AVStream *st = ic->streams[index];
    const int64_t want = av_rescale_q(src.startTimeUs() + startUs, AV_TIME_BASE_Q, st->time_base);
    if (avformat_seek_file(ic, index, INT64_MIN, want, want, 0) < 0)
        return false;
    const AVRational rate = sourceRate(src);
    const int64_t halfFrame = av_rescale_q(1, av_inv_q(rate), st->time_base) / 2;
    PacketPtr pkt = makePacket();
    bool found = false;
    // The first packet of the video after the seek is the key frame it landed on.
    for (int reads = 0; reads < 1000 && av_read_frame(ic, pkt.get()) >= 0; ++reads) {
        const bool mine = pkt->stream_index == index;
        found = mine && (pkt->flags & AV_PKT_FLAG_KEY) && pkt->pts != AV_NOPTS_VALUE
                && std::llabs(pkt->pts - want) <= halfFrame;
        av_packet_unref(pkt.get());
        if (mine)
            break;
    }
    avformat_seek_file(ic, -1, INT64_MIN, src.startTimeUs(), src.startTimeUs(), 0);
    return found;
}

} // namespace zx
