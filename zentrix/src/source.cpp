// Source probe: streams, facts and a thumbnail of one file or DVD title.
#include "bmp.h"
#include "dvd_reader.h"
#include "media_input.h"
#include "tonemap.h"
#include "zentrix.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <vector>

struct ZxSource {
    zx::Interrupter interrupter;
    zx::InputMedia media;
    int selectedAudio = -1;     // index into media.audioStreams()
    int selectedSubtitle = -1;  // index into media.subtitleStreams()
    // An open DVD: its path and title count; media then holds one title.
    bool dvd = false;
    std::string dvdPath;
    int dvdTitles = 0;
    std::string lastError;
    // Returned strings live here until the next call of the same query.
    std::string metadata, brand, audioTitle, audioCodec, audioLanguage, subTitle, subCodec, subLanguage;
    std::vector<unsigned char> thumbnail;
};

namespace {

const char *tag(const AVStream *st, const char *key, std::string &holder)
{
    const AVDictionaryEntry *e = st ? av_dict_get(st->metadata, key, nullptr, 0) : nullptr;
    holder = e && e->value ? e->value : "";
    return holder.c_str();
}

const char *language(const AVStream *st, std::string &holder)
{
    tag(st, "language", holder);
    if (holder == "und")
        holder.clear();
    return holder.c_str();
}

const char *codecName(const AVStream *st, std::string &holder)
{
    holder = st ? avcodec_get_name(st->codecpar->codec_id) : "";
    if (holder == "none")
        holder.clear();
    return holder.c_str();
}

const AVStream *selected(const ZxSource *src, const std::vector<int> &streams, int index)
{
    if (!src || !src->media.isOpen() || index < 0 || index >= int(streams.size()))
        return nullptr;
    return src->media.context()->streams[streams[size_t(index)]];
}

// Rotates a BGR24 picture by a quarter turn clockwise (90) or anticlockwise (270).
std::vector<uint8_t> turnBgr(const uint8_t *in, int stride, int w, int h, int degrees)
{
    std::vector<uint8_t> out(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int nx = degrees == 90 ? h - 1 - y : y;
            const int ny = degrees == 90 ? x : w - 1 - x;
            const uint8_t *s = in + size_t(y) * stride + size_t(x) * 3;
            uint8_t *d = out.data() + (size_t(ny) * h + nx) * 3;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    return out;
}

bool decodeThumbnailFrame(ZxSource *src, int64_t timeUs, AVFrame *out)
{
    AVFormatContext *ic = src->media.context();
    const int vs = src->media.videoStream();
    AVStream *st = ic->streams[vs];
    std::string err;
    zx::CodecCtxPtr dec = zx::openDecoder(st, err);
    if (!dec)
        return false;
    const int64_t duration = src->media.durationUs();
    timeUs = std::max<int64_t>(0, std::min(timeUs, duration > 0 ? duration - 1 : 0));
    const int64_t target = src->media.startTimeUs() + timeUs;
    if (timeUs > 0 && src->media.canSeek())
        avformat_seek_file(ic, -1, INT64_MIN, target, target, 0);
    else
        avformat_seek_file(ic, -1, INT64_MIN, src->media.startTimeUs(), src->media.startTimeUs(), 0);

    src->interrupter.setDeadline(std::chrono::seconds(10));
    zx::PacketPtr pkt = zx::makePacket();
    zx::FramePtr frame = zx::makeFrame();
    bool have = false, draining = false;
    int packets = 0;
    while (!src->interrupter.fired()) {
        if (!draining) {
            int ret = av_read_frame(ic, pkt.get());
            if (ret < 0) {
                draining = true;
                avcodec_send_packet(dec.get(), nullptr);
            } else {
                if (pkt->stream_index == vs) {
                    ++packets;
                    avcodec_send_packet(dec.get(), pkt.get());
                }
                av_packet_unref(pkt.get());
            }
        }
        bool done = false;
        for (;;) {
            int ret = avcodec_receive_frame(dec.get(), frame.get());
            if (ret == AVERROR(EAGAIN))
                break;
            if (ret < 0) {
                done = draining;
                break;
            }
            av_frame_unref(out);
            av_frame_move_ref(out, frame.get());
            have = true;
            const int64_t pts = out->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE || av_rescale_q(pts, st->time_base, AV_TIME_BASE_Q) >= target) {
                done = true;
                break;
            }
        }
        // Give up after a few seconds of packets past a bad seek: the last
        // decoded picture is close enough for a thumbnail.
        if (done || (draining && !have) || packets > 1500)
            break;
    }
    src->interrupter.clearDeadline();
    return have;
}

} // namespace

extern "C" {

ZxSource *SourceCreate(int) { return new ZxSource(); }

int SourceOpenFile(ZxSource *src, const char *path)
{
    if (!src || !path)
        return 0;
    SourceClose(src);
    return src->media.open(std::make_unique<zx::FileReader>(path), src->interrupter, src->lastError) ? 1 : 0;
}

int SourceOpenDvd(ZxSource *src, const char *path)
{
    if (!src)
        return 0;
    SourceClose(src);
    if (!path) {
        src->lastError = "no path";
        return 0;
    }
    zx::DvdStructure structure;
    if (!structure.open(path, src->lastError))
        return 0;
    src->dvdTitles = structure.titleCount();
    src->dvdPath = path;
    src->dvd = true;
    // The first title answers until another is selected; a disc that cannot
    // play it (scrambled, damaged) is refused here, not title by title.
    if (src->dvdTitles > 0 && !SourceSelectTitle(src, 0)) {
        const std::string why = src->lastError;
        SourceClose(src);
        src->lastError = why;
        return 0;
    }
    return 1;
}

int SourceSelectTitle(ZxSource *src, int title)
{
    if (!src || !src->dvd)
        return 0;
    if (title < 0 || title >= src->dvdTitles) {
        src->lastError = "the DVD has no title " + std::to_string(title + 1);
        return 0;
    }
    src->media.close();
    src->selectedAudio = src->selectedSubtitle = -1;
    src->thumbnail.clear();
    src->lastError.clear();
    return src->media.open(std::make_unique<zx::DvdReader>(src->dvdPath, title), src->interrupter, src->lastError)
               ? 1 : 0;
}

unsigned DvdTitleCount(ZxSource *src)
{
    // Six entries beyond the titles, as the callers expect.
    return src && src->dvd ? unsigned(src->dvdTitles) + 6 : 0;
}

const char *SourceLastError(ZxSource *src) { return src ? src->lastError.c_str() : ""; }

const char *SourceMetadata(ZxSource *src, const char *key, int streamIndex)
{
    if (!src)
        return "";
    src->metadata.clear();
    AVFormatContext *ic = src->media.context();
    if (ic && key) {
        AVDictionary *dict = ic->metadata;
        if (streamIndex >= 0)
            dict = unsigned(streamIndex) < ic->nb_streams ? ic->streams[streamIndex]->metadata : nullptr;
        if (const AVDictionaryEntry *e = av_dict_get(dict, key, nullptr, 0))
            src->metadata = e->value ? e->value : "";
    }
    return src->metadata.c_str();
}

const char *SourceBrand(ZxSource *src)
{
    if (!src)
        return "";
    src->brand = src->dvd ? "DVD" : src->media.brand();
    return src->brand.c_str();
}

int SourceHasVideo(ZxSource *src) { return src && src->media.videoStream() >= 0 ? 1 : 0; }
int SourceHasAudio(ZxSource *src) { return src && !src->media.audioStreams().empty() ? 1 : 0; }
int64_t SourceDuration(ZxSource *src) { return src ? src->media.durationUs() : 0; }
int SourceWidth(ZxSource *src) { return src && src->media.videoStream() >= 0 ? src->media.displayWidth() : 0; }
int SourceHeight(ZxSource *src) { return src && src->media.videoStream() >= 0 ? src->media.displayHeight() : 0; }

int SourceDisplayAspect(ZxSource *src, int *num, int *den)
{
    if (!src || src->media.videoStream() < 0)
        return 0;
    const zx::SourcePicture p = src->media.picture();
    const bool turn = p.autoRotation == 90 || p.autoRotation == 270;
    int64_t w = int64_t(p.width) * p.sarNum, h = int64_t(p.height) * p.sarDen;
    if (turn)
        std::swap(w, h);
    int n = 0, d = 0;
    av_reduce(&n, &d, w, h, 1 << 20);
    if (num)
        *num = n;
    if (den)
        *den = d;
    return n > 0 && d > 0 ? 1 : 0;
}

int SourceCanSeek(ZxSource *src) { return src && src->media.canSeek() ? 1 : 0; }

const unsigned char *SourceThumbnail(ZxSource *src, int64_t timeUs, int, int width, int height, int)
{
    if (!src)
        return nullptr;
    src->thumbnail.clear();
    if (src->media.videoStream() < 0)
        return nullptr;
    zx::FramePtr frame = zx::makeFrame();
    // A seek near the end can land past the last picture: then take the first.
    bool have = decodeThumbnailFrame(src, timeUs, frame.get());
    if (!have && timeUs > 0)
        have = decodeThumbnailFrame(src, 0, frame.get());
    if (!have || frame->width <= 0 || frame->height <= 0)
        return nullptr;
    // An HDR picture would look flat and grey: made SDR as a conversion
    // makes it.
    zx::ToneMapper toneMapper;
    zx::FramePtr sdr = zx::makeFrame();
    std::string why;
    if (zx::ToneMapper::takes(frame.get())
        && toneMapper.map(frame.get(), {AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG},
                          sdr.get(), why))
        std::swap(frame, sdr);
    const int turn = src->media.picture().autoRotation;
    const bool quarter = turn == 90 || turn == 270;
    if (width <= 0 || height <= 0) {
        width = src->media.displayWidth();
        height = src->media.displayHeight();
    }
    width = std::min(width, 8192);
    height = std::min(height, 8192);
    // Scale to the picture as stored, then turn it upright.
    const int sw = quarter ? height : width, sh = quarter ? width : height;
    SwsContext *sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), sw, sh,
                                     AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!sws)
        return nullptr;
    // The picture's own matrix (swscale takes BT.601 otherwise).
    const int matrix = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709
                       : frame->colorspace == AVCOL_SPC_BT2020_NCL ? SWS_CS_BT2020
                                                                   : SWS_CS_DEFAULT;
    const int fullIn = frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P
                       || frame->format == AV_PIX_FMT_YUVJ422P || frame->format == AV_PIX_FMT_YUVJ444P;
    sws_setColorspaceDetails(sws, sws_getCoefficients(matrix), fullIn, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
    const int stride = (sw * 3 + 31) & ~31;
    std::vector<uint8_t> bgr(size_t(stride) * sh);
    uint8_t *dst[4] = {bgr.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {stride, 0, 0, 0};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    sws_freeContext(sws);
    if (turn == 180) {
        std::vector<uint8_t> flipped(bgr.size());
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x)
                std::copy_n(&bgr[size_t(y) * stride + size_t(x) * 3], 3,
                            &flipped[size_t(sh - 1 - y) * stride + size_t(sw - 1 - x) * 3]);
        bgr.swap(flipped);
    }
    if (quarter) {
        std::vector<uint8_t> upright = turnBgr(bgr.data(), stride, sw, sh, turn);
        src->thumbnail = zx::encodeBmp24(upright.data(), width * 3, width, height);
    } else {
        src->thumbnail = zx::encodeBmp24(bgr.data(), stride, width, height);
    }
    return src->thumbnail.data();
}

int SourceAudioCount(ZxSource *src) { return src ? int(src->media.audioStreams().size()) : 0; }

int SourceSelectAudio(ZxSource *src, int index)
{
    if (!selected(src, src ? src->media.audioStreams() : std::vector<int>(), index))
        return 0;
    src->selectedAudio = index;
    return 1;
}

const char *AudioTitle(ZxSource *src)
{
    if (!src)
        return "";
    return tag(selected(src, src->media.audioStreams(), src->selectedAudio), "title", src->audioTitle);
}
const char *AudioCodecName(ZxSource *src)
{
    if (!src)
        return "";
    return codecName(selected(src, src->media.audioStreams(), src->selectedAudio), src->audioCodec);
}
int64_t AudioBitRate(ZxSource *src)
{
    const AVStream *st = src ? selected(src, src->media.audioStreams(), src->selectedAudio) : nullptr;
    if (!st)
        return 0;
    const AVCodecParameters *par = st->codecpar;
    if (par->bit_rate > 0)
        return par->bit_rate;
    if (const int bits = av_get_bits_per_sample(par->codec_id); bits > 0 && par->sample_rate > 0)
        return int64_t(bits) * par->sample_rate * par->ch_layout.nb_channels;
    // Matroska and others record no rate: the stream's bytes over the time
    // they span, from the start.
    AVFormatContext *ic = src->media.context();
    const int64_t start = src->media.startTimeUs();
    if (avformat_seek_file(ic, -1, INT64_MIN, start, start, 0) < 0)
        return 0;
    zx::PacketPtr pkt = zx::makePacket();
    int64_t bytes = 0, first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE;
    const int64_t span = av_rescale_q(5 * AV_TIME_BASE, AV_TIME_BASE_Q, st->time_base);
    for (int reads = 0; reads < 20000 && av_read_frame(ic, pkt.get()) >= 0; ++reads) {
        const bool mine = pkt->stream_index == st->index && pkt->pts != AV_NOPTS_VALUE;
        if (mine) {
            if (first == AV_NOPTS_VALUE)
                first = pkt->pts;
            last = std::max(last == AV_NOPTS_VALUE ? pkt->pts : last, pkt->pts + pkt->duration);
            bytes += pkt->size;
        }
        av_packet_unref(pkt.get());
        if (mine && last - first >= span)
            break;
    }
    avformat_seek_file(ic, -1, INT64_MIN, start, start, 0);
    if (first == AV_NOPTS_VALUE || last <= first)
        return 0;
    return av_rescale(bytes * 8, st->time_base.den, (last - first) * int64_t(st->time_base.num));
}
const char *AudioLanguage(ZxSource *src)
{
    if (!src)
        return "";
    return language(selected(src, src->media.audioStreams(), src->selectedAudio), src->audioLanguage);
}

int SourceSubtitleCount(ZxSource *src) { return src ? int(src->media.subtitleStreams().size()) : 0; }

int SourceSelectSubtitle(ZxSource *src, int index)
{
    if (!selected(src, src ? src->media.subtitleStreams() : std::vector<int>(), index))
        return 0;
    src->selectedSubtitle = index;
    return 1;
}

const char *SubtitleLanguage(ZxSource *src)
{
    if (!src)
        return "";
    return language(selected(src, src->media.subtitleStreams(), src->selectedSubtitle), src->subLanguage);
}
const char *SubtitleTitle(ZxSource *src)
{
    if (!src)
        return "";
    return tag(selected(src, src->media.subtitleStreams(), src->selectedSubtitle), "title", src->subTitle);
}
const char *SubtitleCodecName(ZxSource *src)
{
    if (!src)
        return "";
    return codecName(selected(src, src->media.subtitleStreams(), src->selectedSubtitle), src->subCodec);
}

void SourceClose(ZxSource *src)
{
    if (!src)
        return;
    src->media.close();
    src->selectedAudio = src->selectedSubtitle = -1;
    src->thumbnail.clear();
    src->dvd = false;
    src->dvdPath.clear();
    src->dvdTitles = 0;
    src->lastError.clear();
}

void SourceRelease(ZxSource *src)
{
    SourceClose(src);
    delete src;
}

} // extern "C"
