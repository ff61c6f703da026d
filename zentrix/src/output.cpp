// Output: encoders conformed to their limits, and the muxer.
#include "transcoder.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}
#include "lang_codes.h"
#include "colour.h"
#include "geometry.h"
#include "hdr_metadata.h"
#include "stream_copy.h"
#include "zentrix.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace zx {

bool sameFile(const std::string &a, const std::string &b)
{
    auto local = [](const std::string &p) { return p.rfind("file:", 0) == 0 ? p.substr(5) : p; };
    struct stat sa, sb;
    return ::stat(local(a).c_str(), &sa) == 0 && ::stat(local(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
           && sa.st_ino == sb.st_ino;
}
namespace {

bool offersFormat(const AVCodec *enc, AVPixelFormat wanted)
{
    for (const AVPixelFormat *f = enc->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f)
        if (*f == wanted)
            return true;
    return false;
}

// H.263 codes only these picture sizes; pick the one of nearest area.
void conformH263(int &w, int &h)
{
    static const int sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
    double best = 1e18;
    int bw = 176, bh = 144;
    for (const auto &s : sizes) {
        const double d = std::fabs(std::log(double(s[0]) * s[1] / (double(w) * h)));
        if (d < best) {
            best = d;
            bw = s[0];
            bh = s[1];
        }
    }
    w = bw;
    h = bh;
}

int nearestRate(const int *rates, int want)
{
    if (!rates)
        return want;
    int best = rates[0];
    for (const int *r = rates; *r; ++r)
        if (std::abs(*r - want) < std::abs(best - want))
            best = *r;
    return best;
}

bool isLossless(AVCodecID id)
{
    const AVCodecDescriptor *d = avcodec_descriptor_get(id);
    return d && (d->props & AV_CODEC_PROP_LOSSLESS) && !(d->props & AV_CODEC_PROP_LOSSY);
}

} // namespace

AVPixelFormat choosePixelFormat(const AVCodec *enc, const ZxParams &set)
{
    if (!enc->pix_fmts)
        return AV_PIX_FMT_YUV420P;
    // HEVC's Main 10 profile: ten bits, enough to carry HDR pictures as they are.
    if (enc->id == AV_CODEC_ID_HEVC && set.videoProfile == FF_PROFILE_HEVC_MAIN_10
        && offersFormat(enc, AV_PIX_FMT_YUV420P10))
        return AV_PIX_FMT_YUV420P10;
    if (offersFormat(enc, AV_PIX_FMT_YUV420P))
        return AV_PIX_FMT_YUV420P;
    return enc->pix_fmts[0];
}

AVRational sourceRate(const InputMedia &src)
{
    if (src.videoStream() < 0)
        return {25, 1};
    const AVStream *st = src.context()->streams[src.videoStream()];
    for (AVRational r : {st->avg_frame_rate, st->r_frame_rate})
        if (r.num > 0 && r.den > 0 && av_q2d(r) >= 1 && av_q2d(r) <= 240)
            return rateAfterScan(src.scan(), r); // film with pulldown comes out at its own rate
    return {25, 1};
}

Output::Output() : m_pkt(makePacket()) {}

Output::~Output()
{
    if (m_oc) {
        if (m_oc->pb)
            avio_closep(&m_oc->pb);
        avformat_free_context(m_oc);
    }
    if (m_heldAudio)
        av_audio_fifo_free(m_heldAudio);
    av_channel_layout_uninit(&m_layout);
}

int Output::audioFrameSize() const
{
    if (!m_aenc || (m_aenc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
        return 0;
    return m_aenc->frame_size;
}

bool Output::open(const std::string &path, const std::string &container, const ZxParams &asked,
                  const InputMedia &firstSource, bool wantAudioAlways, Failure &fail, bool allowCopy,
                  const ZxParams *partSet)
{
    const AVOutputFormat *muxer = findMuxer(container.c_str());
    const ZxParams set = keepSourceFormat(asked, firstSource, muxer);
    if (!muxer)
        return fail.set(ZX_ERR_ARGUMENT, "unknown container \"" + container + "\"");
    if (avformat_alloc_output_context2(&m_oc, muxer, nullptr, nullptr) < 0 || !m_oc)
        return fail.set(ZX_ERR_INTERNAL, "cannot create the muxer");
    // Room for the program-stream muxers to interleave large pictures.
    m_oc->max_delay = 700000;

    const bool wantVideo = set.videoCodec > 0 && firstSource.videoStream() >= 0;
    const bool wantAudio = set.audioCodec > 0 && (wantAudioAlways || !firstSource.audioStreams().empty());
    if (!wantVideo && !wantAudio)
        return fail.set(ZX_ERR_ARGUMENT, "nothing to convert: the source has no stream the output asks for");
    // Copying is decided per stream: a stream that needs new pictures or
    // new sound is encoded while the other is copied.
    EncoderChoice vchoice, achoice;
    std::string ignored;
    allowCopy = allowCopy && set.streamCopy;
    const ZxParams part = partSet ? keepSourceFormat(*partSet, firstSource, muxer) : set;
    const bool copyVideo = allowCopy && wantVideo
                           && chooseEncoder(set.videoCodec, muxer, vchoice, ignored, AVMEDIA_TYPE_VIDEO)
                           && videoFitsAsIs(set, firstSource, muxer, vchoice.encoder)
                           && videoFitsAsIs(part, firstSource, muxer, vchoice.encoder);
    const bool copyAudio = allowCopy && wantAudio
                           && chooseEncoder(set.audioCodec, muxer, achoice, ignored, AVMEDIA_TYPE_AUDIO)
                           && audioFitsAsIs(set, firstSource, muxer, achoice.encoder, achoice.maxChannels)
                           && audioFitsAsIs(part, firstSource, muxer, achoice.encoder, achoice.maxChannels);
    if (wantVideo
        && !(copyVideo ? openCopy(firstSource.context()->streams[firstSource.videoStream()], true, fail)
                       : openVideo(set, firstSource, muxer, fail)))
        return false;
    if (wantAudio
        && !(copyAudio ? openCopy(firstSource.context()->streams[chosenAudioStream(set, firstSource)], false, fail)
                       : openAudio(set, firstSource, muxer, fail)))
        return false;

    if (!(muxer->flags & AVFMT_NOFILE)) {
        const std::string url = path.rfind("file:", 0) == 0 ? path : "file:" + path;
        int ret = avio_open(&m_oc->pb, url.c_str(), AVIO_FLAG_WRITE);
        if (ret < 0)
            return fail.set(ZX_ERR_OUTPUT, "cannot create the output file: " + avErr(ret));
        m_fileCreated = true;
    }
    int ret = avformat_write_header(m_oc, nullptr);
    if (ret < 0)
        return fail.set(ZX_ERR_OUTPUT, std::string("the ") + muxer->name + " container refused the streams: " + avErr(ret));
    m_headerWritten = true;
    return true;
}

bool Output::openVideo(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, Failure &fail)
{
    EncoderChoice choice;
    std::string err;
    if (!chooseEncoder(set.videoCodec, muxer, choice, err, AVMEDIA_TYPE_VIDEO))
        return fail.set(ZX_ERR_CODEC, err);
    const AVCodec *codec = choice.encoder;
    m_pixFmt = choosePixelFormat(codec, set);
    const AVPixFmtDescriptor *pd = av_pix_fmt_desc_get(m_pixFmt);
    const bool evenW = pd && pd->log2_chroma_w > 0, evenH = pd && pd->log2_chroma_h > 0;
    Geometry g = computeGeometry(set, src.picture(), evenW, evenH);
    m_frameW = g.frameW;
    m_frameH = g.frameH;

    AVRational fps = set.fpsNum > 0 ? AVRational{set.fpsNum, set.fpsDen} : sourceRate(src);
    av_reduce(&fps.num, &fps.den, fps.num, fps.den, 65535);
    if (codec->supported_framerates)
        fps = codec->supported_framerates[av_find_nearest_q_idx(fps, codec->supported_framerates)];

    if (codec->id == AV_CODEC_ID_H263)
        conformH263(m_frameW, m_frameH);
    if (codec->id == AV_CODEC_ID_DVVIDEO) {
        // DV has fixed profiles: the PAL one unless the rate is nearer 30.
        if (std::fabs(av_q2d(fps) - 29.97) < std::fabs(av_q2d(fps) - 25)) {
            m_frameW = 720, m_frameH = 480, fps = {30000, 1001}, m_pixFmt = AV_PIX_FMT_YUV411P;
        } else {
            m_frameW = 720, m_frameH = 576, fps = {25, 1}, m_pixFmt = AV_PIX_FMT_YUV420P;
        }
    }
    if (codec->id == AV_CODEC_ID_MPEG1VIDEO || codec->id == AV_CODEC_ID_MPEG2VIDEO) {
        m_frameW = std::min(m_frameW, 4094);
        m_frameH = std::min(m_frameH, 4094);
    }
    m_fps = fps;

    m_venc.reset(avcodec_alloc_context3(codec));
    AVCodecContext *enc = m_venc.get();
    enc->width = m_frameW;
    enc->height = m_frameH;
    enc->pix_fmt = m_pixFmt;
    enc->sample_aspect_ratio = {1, 1};
    enc->framerate = fps;
    // Pictures made progressive are marked so; others keep the encoder's default.
    if (src.scan().kind != ScanInfo::Progressive)
        enc->field_order = AV_FIELD_PROGRESSIVE;
    enc->time_base = av_inv_q(fps);
    enc->thread_count = 0;
    enc->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (muxer->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary *opts = nullptr;
    if (set.videoBitrate > 0)
        enc->bit_rate = set.videoBitrate;
    if (choice.tuneVideo)
        choice.tuneVideo(enc, &opts, set);
    // The first source decides the output's colours; the picture graphs
    // convert every source to them.
    const AVCodecParameters *sp = src.context()->streams[src.videoStream()]->codecpar;
    m_colours = outputColours(tagsOf(sp), sp->height, AVPixelFormat(sp->format), m_pixFmt, m_frameH,
                              enc->color_range == AVCOL_RANGE_JPEG);
    // JPEG pictures are BT.601 by definition: decoders read them so whatever
    // the tag says, so the picture is converted to that matrix.
    if (codec->id == AV_CODEC_ID_MJPEG)
        m_colours.matrix = AVCOL_SPC_BT470BG;
    // The other codecs without a colour description in their streams are
    // read by players by size (BT.601 below 720 lines, BT.709 from 720 up):
    // their pictures are converted to the matrix they will be read with.
    const AVCodecID described[] = {AV_CODEC_ID_H264, AV_CODEC_ID_HEVC, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_VP9,
                                   AV_CODEC_ID_MJPEG};
    if (std::find(std::begin(described), std::end(described), codec->id) == std::end(described)
        && m_colours.matrix != AVCOL_SPC_RGB)
        m_colours.matrix = completeColours({}, m_frameH, m_pixFmt).matrix;
    tagEncoder(enc, m_colours);
    // HDR pictures passed on keep what the source says of its mastering
    // display and light levels; tone-mapped ones are SDR and say nothing.
    // FFmpeg 5.1's libx265 wrapper does not take these from the frames, so
    // x265 gets them as its own options.
    HdrMetadata hdr;
    if (isHdr(m_colours))
        hdr = readHdrMetadata(src.context(), src.videoStream(), src.canSeek());
    if (!hdr.empty() && std::strcmp(codec->name, "libx265") == 0) {
        const AVDictionaryEntry *e = av_dict_get(opts, "x265-params", nullptr, 0);
        std::string x265 = e ? std::string(e->value) + ":" : std::string();
        x265 += x265HdrOptions(hdr, m_colours.transfer == AVCOL_TRC_SMPTE2084);
        av_dict_set(&opts, "x265-params", x265.c_str(), 0);
    }
    int ret = avcodec_open2(enc, codec, &opts);
    av_dict_free(&opts);
    if (ret < 0)
        return fail.set(ZX_ERR_CODEC, std::string("the ") + codec->name + " encoder refused " + std::to_string(m_frameW)
                                           + "x" + std::to_string(m_frameH) + " at " + std::to_string(fps.num) + "/"
                                           + std::to_string(fps.den) + " fps: " + avErr(ret));
    m_vst = avformat_new_stream(m_oc, nullptr);
    if (!m_vst || avcodec_parameters_from_context(m_vst->codecpar, enc) < 0)
        return fail.set(ZX_ERR_INTERNAL, "cannot add the video stream");
    m_vst->time_base = enc->time_base;
    m_vst->avg_frame_rate = fps;
    m_vst->sample_aspect_ratio = enc->sample_aspect_ratio;
    m_vst->codecpar->codec_tag = choice.codecTag;
    // Buffer sizes and rates the encoder reports guide the program-stream muxers.
    for (int i = 0; i < enc->nb_coded_side_data; ++i) {
        const AVPacketSideData &sd = enc->coded_side_data[i];
        if (uint8_t *dst = av_stream_new_side_data(m_vst, sd.type, sd.size))
            std::memcpy(dst, sd.data, sd.size);
    }
    if (!addHdrSideData(m_vst, hdr))
        return fail.set(ZX_ERR_INTERNAL, "out of memory");
    return true;
}

bool Output::openAudio(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, Failure &fail)
{
    EncoderChoice choice;
    std::string err;
    if (!chooseEncoder(set.audioCodec, muxer, choice, err, AVMEDIA_TYPE_AUDIO))
        return fail.set(ZX_ERR_CODEC, err);
    const AVCodec *codec = choice.encoder;

    int channels = std::max(1, set.channels);
    if (choice.maxChannels > 0)
        channels = std::min(channels, choice.maxChannels);
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    if (codec->ch_layouts) {
        // The encoder's own layout of the nearest channel count not above
        // the wanted one (else the smallest it has).
        const AVChannelLayout *best = nullptr;
        for (const AVChannelLayout *l = codec->ch_layouts; l->nb_channels; ++l) {
            if (!av_channel_layout_compare(l, &layout)) {
                best = l;
                break;
            }
            const bool fits = l->nb_channels <= channels;
            if (!best || (fits && (best->nb_channels > channels || l->nb_channels > best->nb_channels))
                || (!fits && best->nb_channels > channels && l->nb_channels < best->nb_channels))
                best = l;
        }
        av_channel_layout_uninit(&layout);
        av_channel_layout_copy(&layout, best);
    }
    int rate = set.sampleRate > 0 ? set.sampleRate : 44100;
    if (std::strcmp(muxer->name, "dv") == 0)
        rate = 48000; // the DV container carries 48 kHz (or 32 kHz) PCM only
    static const int swfRates[] = {11025, 22050, 44100, 0}; // checked by the encoder, not listed
    rate = nearestRate(codec->id == AV_CODEC_ID_ADPCM_SWF ? swfRates : codec->supported_samplerates, rate);

    m_aenc.reset(avcodec_alloc_context3(codec));
    AVCodecContext *enc = m_aenc.get();
    enc->sample_rate = rate;
    av_channel_layout_copy(&enc->ch_layout, &layout);
    enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    enc->time_base = {1, rate};
    enc->thread_count = 0;
    if (!isLossless(codec->id) && codec->id != AV_CODEC_ID_ADPCM_IMA_QT && codec->id != AV_CODEC_ID_ADPCM_SWF) {
        const int defaultRate = 64000 * std::min(layout.nb_channels, 2) + 32000 * std::max(0, layout.nb_channels - 2);
        enc->bit_rate = set.audioBitrate > 0 ? set.audioBitrate : defaultRate;
    }
    if (muxer->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL)
        enc->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    const std::string asked = std::to_string(rate) + " Hz, " + std::to_string(layout.nb_channels) + " channels, "
                              + std::to_string(enc->bit_rate / 1000) + " kbit/s";
    int ret = avcodec_open2(enc, codec, nullptr);
    if (ret < 0) {
        av_channel_layout_uninit(&layout);
        return fail.set(ZX_ERR_CODEC, std::string("the ") + codec->name + " encoder refused " + asked + ": " + avErr(ret));
    }
    m_sampleRate = rate;
    m_sampleFmt = enc->sample_fmt;
    av_channel_layout_uninit(&m_layout);
    av_channel_layout_copy(&m_layout, &enc->ch_layout);
    av_channel_layout_uninit(&layout);

    m_ast = avformat_new_stream(m_oc, nullptr);
    if (!m_ast || avcodec_parameters_from_context(m_ast->codecpar, enc) < 0)
        return fail.set(ZX_ERR_INTERNAL, "cannot add the audio stream");
    m_ast->time_base = enc->time_base;
    // Keep the language of the chosen audio stream.
    const auto &audio = src.audioStreams();
    if (!audio.empty()) {
        const int idx = set.audioTrack >= 0 && set.audioTrack < int(audio.size()) ? audio[size_t(set.audioTrack)]
                                                                                  : src.bestAudioStream();
        if (const AVDictionaryEntry *e = av_dict_get(src.context()->streams[idx]->metadata, "language", nullptr, 0))
            if (const char *code = threeLetterLanguage(e->value))
                av_dict_set(&m_ast->metadata, "language", code, 0);
    }
    return true;
}

bool Output::openCopy(const AVStream *source, bool video, Failure &fail)
{
    AVStream *st = avformat_new_stream(m_oc, nullptr);
    if (!st || avcodec_parameters_copy(st->codecpar, source->codecpar) < 0)
        return fail.set(ZX_ERR_INTERNAL, "cannot add the copied stream");
    // The source container's tag may mean nothing in this one: the muxer picks its own.
    st->codecpar->codec_tag = 0;
    // Apple's players take HEVC only under the tag that keeps its headers out of band.
    if (source->codecpar->codec_id == AV_CODEC_ID_HEVC
        && (std::strcmp(m_oc->oformat->name, "mp4") == 0 || std::strcmp(m_oc->oformat->name, "mov") == 0))
        st->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    st->time_base = source->time_base;
    // Rotation (the display matrix), HDR descriptions and the like travel
    // with the stream, as the pictures are not turned or converted.
    for (int i = 0; i < source->nb_side_data; ++i) {
        const AVPacketSideData &sd = source->side_data[i];
        if (uint8_t *dst = av_stream_new_side_data(st, sd.type, sd.size))
            std::memcpy(dst, sd.data, sd.size);
    }
    if (const AVDictionaryEntry *e = av_dict_get(source->metadata, "language", nullptr, 0))
        if (const char *code = threeLetterLanguage(e->value))
            av_dict_set(&st->metadata, "language", code, 0);
    if (video) {
        st->avg_frame_rate = source->avg_frame_rate;
        st->r_frame_rate = source->r_frame_rate;
        st->sample_aspect_ratio = source->codecpar->sample_aspect_ratio;
        m_vst = st;
        m_frameW = source->codecpar->width;
        m_frameH = source->codecpar->height;
        m_pixFmt = AVPixelFormat(source->codecpar->format);
        m_fps = source->avg_frame_rate.num > 0 ? source->avg_frame_rate : m_fps;
    } else {
        m_ast = st;
        m_sampleRate = source->codecpar->sample_rate;
    }
    return true;
}

bool Output::writeCopied(AVPacket *pkt, AVRational tb, int64_t shiftUs, bool video, Failure &fail)
{
    AVStream *st = video ? m_vst : m_ast;
    if (!st)
        return true;
    const int64_t shift = av_rescale_q(shiftUs, AV_TIME_BASE_Q, tb);
    if (pkt->pts != AV_NOPTS_VALUE)
        pkt->pts += shift;
    if (pkt->dts != AV_NOPTS_VALUE)
        pkt->dts += shift;
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts != AV_NOPTS_VALUE) {
        const int64_t end = av_rescale_q(ts + std::max<int64_t>(0, pkt->duration), tb, AV_TIME_BASE_Q);
        int64_t &copyEnd = video ? m_videoCopyEndUs : m_audioCopyEndUs;
        copyEnd = std::max(copyEnd, end);
        std::atomic<int64_t> &written = video ? m_videoWrittenUs : m_audioWrittenUs;
        if (end > written.load())
            written.store(end);
    }
    av_packet_rescale_ts(pkt, tb, st->time_base);
    // Some demuxers leave the first pictures of a reordered stream without
    // a dts and the muxer guesses it, which works at the file's start only:
    // after a merge's join the guess falls before the previous part's.
    int64_t &lastDts = video ? m_videoCopyDts : m_audioCopyDts;
    if (pkt->dts == AV_NOPTS_VALUE && lastDts != AV_NOPTS_VALUE) {
        pkt->dts = lastDts + std::max<int64_t>(1, pkt->duration);
        if (pkt->pts != AV_NOPTS_VALUE)
            pkt->dts = std::min(pkt->dts, pkt->pts);
    }
    if (pkt->dts != AV_NOPTS_VALUE)
        lastDts = pkt->dts;
    pkt->stream_index = st->index;
    pkt->pos = -1;
    const int ret = av_interleaved_write_frame(m_oc, pkt);
    if (ret < 0)
        return fail.set(ZX_ERR_OUTPUT, "cannot write the output file: " + avErr(ret));
    return true;
}

bool Output::encode(AVCodecContext *enc, AVStream *st, AVFrame *frame, Failure &fail)
{
    int ret = avcodec_send_frame(enc, frame);
    if (ret < 0 && ret != AVERROR_EOF)
        return fail.set(ZX_ERR_CODEC, std::string("the ") + enc->codec->name + " encoder failed: " + avErr(ret));
    for (;;) {
        ret = avcodec_receive_packet(enc, m_pkt.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return true;
        if (ret < 0)
            return fail.set(ZX_ERR_CODEC, std::string("the ") + enc->codec->name + " encoder failed: " + avErr(ret));
        m_pkt->stream_index = st->index;
        // Players read the length of the last picture from its packet.
        if (enc->codec_type == AVMEDIA_TYPE_VIDEO && m_pkt->duration <= 0)
            m_pkt->duration = 1;
        av_packet_rescale_ts(m_pkt.get(), enc->time_base, st->time_base);
        if (m_pkt->pts != AV_NOPTS_VALUE) {
            const int64_t end = av_rescale_q(m_pkt->pts + std::max<int64_t>(0, m_pkt->duration), st->time_base, AV_TIME_BASE_Q);
            std::atomic<int64_t> &written = st == m_vst ? m_videoWrittenUs : m_audioWrittenUs;
            if (end > written.load())
                written.store(end);
        }
        ret = av_interleaved_write_frame(m_oc, m_pkt.get());
        if (ret < 0)
            return fail.set(ZX_ERR_OUTPUT, "cannot write the output file: " + avErr(ret));
    }
}

bool Output::sendVideo(AVFrame *frame, AVRational tb, Failure &fail)
{
    if (!m_venc)
        return true;
    const int64_t pts = av_rescale_q(frame->pts, tb, m_venc->time_base);
    if (m_lastVideoPts != AV_NOPTS_VALUE && pts <= m_lastVideoPts)
        return true; // a late duplicate; the encoder needs rising timestamps
    frame->pts = pts;
    // Frame types of the source must not force key frames in the encoder.
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    m_lastVideoPts = pts;
    return encode(m_venc.get(), m_vst, frame, fail);
}

bool Output::sendAudio(AVFrame *frame, AVRational tb, Failure &fail)
{
    if (!m_aenc)
        return true;
    int64_t pts = av_rescale_q(frame->pts, tb, m_aenc->time_base);
    if (pts < m_nextAudioPts)
        pts = m_nextAudioPts;
    const int fixed = audioFrameSize();
    const bool holding = m_heldAudio && av_audio_fifo_size(m_heldAudio) > 0;
    if (fixed > 0 && (holding || frame->nb_samples < fixed)) {
        // The encoder would take this short frame as its last one and refuse
        // every later frame: hold the samples and encode whole frames only.
        if (!m_heldAudio && !(m_heldAudio = av_audio_fifo_alloc(m_sampleFmt, m_layout.nb_channels, fixed)))
            return fail.set(ZX_ERR_INTERNAL, "out of memory");
        if (!holding)
            m_heldPts = pts;
        if (av_audio_fifo_write(m_heldAudio, reinterpret_cast<void **>(frame->extended_data), frame->nb_samples)
            < frame->nb_samples)
            return fail.set(ZX_ERR_INTERNAL, "out of memory");
        m_nextAudioPts = m_heldPts + av_audio_fifo_size(m_heldAudio);
        return drainAudio(false, fail);
    }
    frame->pts = pts;
    m_nextAudioPts = pts + frame->nb_samples;
    return encode(m_aenc.get(), m_ast, frame, fail);
}

bool Output::drainAudio(bool last, Failure &fail)
{
    const int fixed = audioFrameSize();
    while (m_heldAudio && fixed > 0) {
        const int held = av_audio_fifo_size(m_heldAudio);
        if (held == 0 || (held < fixed && !last))
            return true;
        FramePtr frame = makeFrame();
        frame->format = m_sampleFmt;
        frame->sample_rate = m_sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &m_layout);
        frame->nb_samples = std::min(held, fixed);
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return fail.set(ZX_ERR_INTERNAL, "out of memory");
        av_audio_fifo_read(m_heldAudio, reinterpret_cast<void **>(frame->extended_data), frame->nb_samples);
        frame->pts = m_heldPts;
        m_heldPts += frame->nb_samples;
        if (!encode(m_aenc.get(), m_ast, frame.get(), fail))
            return false;
    }
    return true;
}

int64_t Output::videoEndUs() const
{
    if (videoCopied())
        return m_videoCopyEndUs;
    if (!m_venc || m_lastVideoPts == AV_NOPTS_VALUE)
        return 0;
    return av_rescale_q(m_lastVideoPts + 1, m_venc->time_base, AV_TIME_BASE_Q);
}

int64_t Output::audioEndUs() const
{
    if (audioCopied())
        return m_audioCopyEndUs;
    return m_aenc ? av_rescale_q(m_nextAudioPts, m_aenc->time_base, AV_TIME_BASE_Q) : 0;
}

int64_t Output::endUs() const { return std::max(videoEndUs(), audioEndUs()); }

int64_t Output::writtenUs() const { return writtenUs(true, true); }

int64_t Output::writtenUs(bool video, bool audio) const
{
    video = video && m_vst;
    audio = audio && m_ast;
    if (video && audio)
        return std::min(m_videoWrittenUs.load(), m_audioWrittenUs.load());
    if (video || audio)
        return video ? m_videoWrittenUs.load() : m_audioWrittenUs.load();
    return std::max(m_videoWrittenUs.load(), m_audioWrittenUs.load());
}

bool Output::fillTo(int64_t endUs, Failure &fail)
{
    if (m_venc) {
        FramePtr black = makeFrame();
        black->format = m_pixFmt;
        black->width = m_frameW;
        black->height = m_frameH;
        if (av_frame_get_buffer(black.get(), 0) < 0)
            return fail.set(ZX_ERR_INTERNAL, "out of memory");
        ptrdiff_t lines[4] = {black->linesize[0], black->linesize[1], black->linesize[2], black->linesize[3]};
        av_image_fill_black(black->data, lines, m_pixFmt, m_colours.range, m_frameW, m_frameH);
        const AVRational tb = m_venc->time_base;
        int64_t next = m_lastVideoPts == AV_NOPTS_VALUE ? 0 : m_lastVideoPts + 1;
        while (av_rescale_q(next, tb, AV_TIME_BASE_Q) < endUs) {
            if (av_frame_make_writable(black.get()) < 0)
                return fail.set(ZX_ERR_INTERNAL, "out of memory");
            black->pts = next;
            if (!sendVideo(black.get(), tb, fail))
                return false;
            next = m_lastVideoPts + 1;
        }
    }
    if (m_aenc) {
        const int frameSize = audioFrameSize() > 0 ? audioFrameSize() : 1024;
        const int64_t endSamples = av_rescale_q(endUs, AV_TIME_BASE_Q, m_aenc->time_base);
        while (m_nextAudioPts + frameSize / 2 < endSamples) {
            FramePtr silence = makeFrame();
            silence->format = m_sampleFmt;
            silence->sample_rate = m_sampleRate;
            av_channel_layout_copy(&silence->ch_layout, &m_layout);
            silence->nb_samples = frameSize;
            if (av_frame_get_buffer(silence.get(), 0) < 0)
                return fail.set(ZX_ERR_INTERNAL, "out of memory");
            av_samples_set_silence(silence->extended_data, 0, frameSize, m_layout.nb_channels, m_sampleFmt);
            silence->pts = m_nextAudioPts;
            if (!sendAudio(silence.get(), m_aenc->time_base, fail))
                return false;
        }
    }
    return true;
}

bool Output::finish(bool abandon, Failure &fail)
{
    if (!m_oc)
        return true;
    bool ok = true;
    if (!abandon) {
        if (m_venc)
            ok = encode(m_venc.get(), m_vst, nullptr, fail) && ok;
        if (m_aenc && ok)
            ok = drainAudio(true, fail) && encode(m_aenc.get(), m_ast, nullptr, fail);
    }
    if (m_headerWritten) {
        int ret = av_write_trailer(m_oc);
        if (ret < 0 && ok)
            ok = fail.set(ZX_ERR_OUTPUT, "cannot finish the output file: " + avErr(ret));
        m_headerWritten = false;
    }
    if (m_oc->pb)
        avio_closep(&m_oc->pb);
    return ok;
}

} // namespace zx
