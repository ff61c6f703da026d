// Segment: one source decoded, filtered to the output's formats and sent on.
#include "filter_stages.h"
#include "transcoder.h"
#include "zentrix.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cinttypes>
#include <deque>
#include <cstdio>

namespace zx {
namespace {

constexpr AVRational kMicros{1, 1000000};

// One filter graph from a buffer source to a sink, rebuilt when the decoded
// frames change format mid-stream.
struct Graph {
    GraphPtr graph;
    AVFilterContext *src = nullptr;
    AVFilterContext *sink = nullptr;
    // What the graph was built for.
    int width = 0, height = 0, format = -1, sampleRate = 0;
    AVChannelLayout layout{};
    ~Graph() { av_channel_layout_uninit(&layout); }

    // chain reads the pads [in] and the extra sources' labels and ends at [out].
    bool build(const char *srcName, const std::string &srcArgs, const char *sinkName, const std::string &chain,
               const std::vector<ExtraSource> &extras, std::string &err)
    {
        graph.reset(avfilter_graph_alloc());
        if (!graph)
            return (err = "out of memory", false);
        int ret = avfilter_graph_create_filter(&src, avfilter_get_by_name(srcName), "in", srcArgs.c_str(), nullptr,
                                               graph.get());
        if (ret >= 0)
            ret = avfilter_graph_create_filter(&sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr, graph.get());
        if (ret < 0)
            return (err = "cannot create the filter graph: " + avErr(ret), false);
        AVFilterInOut *outputs = avfilter_inout_alloc();
        AVFilterInOut *inputs = avfilter_inout_alloc();
        if (!outputs || !inputs) {
            avfilter_inout_free(&inputs);
            avfilter_inout_free(&outputs);
            return (err = "out of memory", false);
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = src;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        for (auto it = extras.rbegin(); ret >= 0 && it != extras.rend(); ++it) {
            AVFilterContext *extra = nullptr;
            ret = avfilter_graph_create_filter(&extra, avfilter_get_by_name("buffer"), it->label.c_str(),
                                               it->args.c_str(), nullptr, graph.get());
            AVFilterInOut *pad = ret >= 0 ? avfilter_inout_alloc() : nullptr;
            if (ret >= 0 && !pad)
                ret = AVERROR(ENOMEM);
            if (ret >= 0) {
                pad->name = av_strdup(it->label.c_str());
                pad->filter_ctx = extra;
                pad->next = outputs->next;
                outputs->next = pad;
            }
        }
        if (ret >= 0)
            ret = avfilter_graph_parse_ptr(graph.get(), chain.c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (ret >= 0)
            ret = avfilter_graph_config(graph.get(), nullptr);
        if (ret < 0)
            return (err = "cannot set up the filters \"" + chain + "\": " + avErr(ret), false);
        return true;
    }
};

struct StreamState {
    int index = -1;
    AVStream *st = nullptr;
    CodecCtxPtr dec;
    Graph graph;
    bool graphBuiltOnce = false;
    int64_t nextPts = AV_NOPTS_VALUE;  // stream time base, for frames without timestamps
    bool done = false;                 // reached the end of the range
    int64_t frames = 0;
    int decodeErrors = 0;
    int64_t graphEndPts = AV_NOPTS_VALUE;  // end of the last frame sent, graph time base
};

std::string describeLayout(const AVChannelLayout &l)
{
    char buf[128] = {0};
    av_channel_layout_describe(&l, buf, sizeof buf);
    return buf;
}

} // namespace

Segment::Segment(const std::atomic<bool> &stop) : m_interrupter(&stop), m_stop(stop), m_edits(new EditStage) {}
Segment::~Segment() = default;

bool Segment::open(std::unique_ptr<MediaReader> reader, const ZxParams &set, Failure &fail)
{
    m_set = set;
    std::string err;
    if (!m_media.open(std::move(reader), m_interrupter, err))
        return fail.set(ZX_ERR_INPUT, err);
    if (m_media.videoStream() < 0 && m_media.audioStreams().empty())
        return fail.set(ZX_ERR_INPUT, "the source has no video or audio stream");
    if (m_media.videoStream() >= 0) {
        // The output frame is not known yet: the source's own size tries the
        // drawings, and run() redoes them only when the frame differs.
        m_editsW = m_media.displayWidth();
        m_editsH = m_media.displayHeight();
        // The set counts subtitle streams in the order the source lists them
        // (a DVD's own order); the burner counts them in the demuxer's order.
        ZxParams editSet = m_set;
        const std::vector<int> &listed = m_media.subtitleStreams();
        if (editSet.subtitleStream >= 0 && editSet.subtitleStream < int(listed.size())) {
            const int wanted = listed[size_t(editSet.subtitleStream)];
            int rank = 0;
            for (int i = 0; i < wanted; ++i)
                rank += m_media.context()->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
            editSet.subtitleStream = rank;
        }
        if (!m_edits->prepare(editSet, err) || !m_edits->open(m_media.context(), m_editsW, m_editsH, err))
            return fail.set(ZX_ERR_INPUT, err);
    }
    return true;
}

int64_t Segment::expectedUs(int64_t startUs, int64_t lengthUs) const
{
    const int64_t rest = std::max<int64_t>(0, m_media.durationUs() - std::max<int64_t>(0, startUs));
    return lengthUs > 0 ? std::min(lengthUs, rest > 0 ? rest : lengthUs) : rest;
}

Segment::Result Segment::run(Output &out, int64_t startUs, int64_t lengthUs, int64_t offsetUs, Failure &fail)
{
    AVFormatContext *ic = m_media.context();
    startUs = std::max<int64_t>(0, startUs);
    const int64_t endUs = lengthUs > 0 ? offsetUs + lengthUs : INT64_MAX;   // on the output timeline
    std::string err;

    StreamState video, audio;
    if (out.hasVideo() && m_media.videoStream() >= 0) {
        video.index = m_media.videoStream();
        video.st = ic->streams[video.index];
        video.dec = openDecoder(video.st, err);
        if (!video.dec)
            return fail.set(ZX_ERR_INPUT, err), Result::Failed;
    }
    const auto &audioStreams = m_media.audioStreams();
    if (out.hasAudio() && !audioStreams.empty()) {
        audio.index = m_set.audioTrack >= 0 && m_set.audioTrack < int(audioStreams.size())
                          ? audioStreams[size_t(m_set.audioTrack)] : m_media.bestAudioStream();
        audio.st = ic->streams[audio.index];
        audio.dec = openDecoder(audio.st, err);
        if (!audio.dec)
            return fail.set(ZX_ERR_INPUT, err), Result::Failed;
    }
    if (!video.dec && !audio.dec)
        return fail.set(ZX_ERR_INPUT, "the source has no stream the output takes"), Result::Failed;
    int subtitleIndex = -1;
    if (video.dec) {
        if ((out.frameWidth() != m_editsW || out.frameHeight() != m_editsH)
            && !m_edits->open(ic, out.frameWidth(), out.frameHeight(), err))
            return fail.set(ZX_ERR_INPUT, err), Result::Failed;
        m_editsW = out.frameWidth();
        m_editsH = out.frameHeight();
        m_edits->setOutputFormat(out.pixelFormat());
        subtitleIndex = m_edits->subtitleStream();
    }
    // Muxers put video ahead of the other streams (a DVD by half a second),
    // so a subtitle packet is read after the pictures it covers: while
    // subtitles come from the source, decoded pictures wait until the other
    // streams have been read up to their time. A sound stream, read only as
    // that clock, keeps the wait short where the subtitles are sparse.
    const bool holdVideo = subtitleIndex >= 0;
    const int clockIndex = holdVideo && audio.index < 0 ? m_media.bestAudioStream() : -1;
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        ic->streams[i]->discard = (int(i) == video.index || int(i) == audio.index || int(i) == subtitleIndex
                                   || int(i) == clockIndex)
                                      ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    const int64_t sourceStart = m_media.startTimeUs();
    if (startUs > 0) {
        const int64_t ts = sourceStart + startUs;
        avformat_seek_file(ic, -1, INT64_MIN, ts, ts, 0);
    }
    // Output timeline of a frame = its source time - source start - range start + offset.
    const int64_t shiftUs = offsetUs - startUs - sourceStart;

    const SourcePicture srcPicture = m_media.picture();
    ZxParams frameSet = m_set;
    {
        // The output frame is fixed; give it to the geometry before rotation.
        const bool turn = frameSet.rotation == 90 || frameSet.rotation == 270;
        frameSet.width = turn ? out.frameHeight() : out.frameWidth();
        frameSet.height = turn ? out.frameWidth() : out.frameHeight();
    }

    auto buildVideoGraph = [&](const AVFrame *f) -> bool {
        SourcePicture pic = srcPicture;
        pic.width = f->width;
        pic.height = f->height;
        if (f->sample_aspect_ratio.num > 0 && f->sample_aspect_ratio.den > 0) {
            pic.sarNum = f->sample_aspect_ratio.num;
            pic.sarDen = f->sample_aspect_ratio.den;
        }
        const Geometry g = computeGeometry(frameSet, pic, false, false);
        char args[256];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=%d/%d",
                      f->width, f->height, f->format, pic.sarNum, pic.sarDen);
        std::string chain = "[in]";
        char buf[160];
        if (lengthUs > 0)
            std::snprintf(buf, sizeof buf, "trim=start_pts=%" PRId64 ":end_pts=%" PRId64 ",", offsetUs, endUs);
        else
            std::snprintf(buf, sizeof buf, "trim=start_pts=%" PRId64 ",", offsetUs);
        chain += buf;
        chain += geometryFilters(g, srcPicture.autoRotation);
        // Effects, subtitles and watermarks work on the output frame, before
        // the frame rate is conformed.
        const std::string edits = m_edits->pictureGraph("zxgeometry", "zxedited");
        if (!edits.empty())
            chain += "[zxgeometry];" + edits + ";[zxedited]null";
        const AVRational fps = out.frameRate();
        // The first graph of a segment starts the picture exactly at the
        // offset, so appended sources continue without a gap.
        if (!video.graphBuiltOnce)
            std::snprintf(buf, sizeof buf, ",fps=fps=%d/%d:start_time=%.6f", fps.num, fps.den, offsetUs / 1e6);
        else
            std::snprintf(buf, sizeof buf, ",fps=fps=%d/%d", fps.num, fps.den);
        chain += buf;
        chain += std::string(",format=pix_fmts=") + av_get_pix_fmt_name(out.pixelFormat()) + "[out]";
        if (!video.graph.build("buffer", args, "buffersink", chain, m_edits->sources(kMicros), err)
            || !m_edits->start(video.graph.graph.get(), err))
            return false;
        video.graph.width = f->width;
        video.graph.height = f->height;
        video.graph.format = f->format;
        video.graphBuiltOnce = true;
        return true;
    };

    auto buildAudioGraph = [&](const AVFrame *f) -> bool {
        AVChannelLayout in{};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || !f->ch_layout.nb_channels)
            av_channel_layout_default(&in, std::max(1, f->ch_layout.nb_channels));
        else
            av_channel_layout_copy(&in, &f->ch_layout);
        char args[512];
        std::snprintf(args, sizeof args, "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", f->sample_rate,
                      f->sample_rate, av_get_sample_fmt_name(AVSampleFormat(f->format)), describeLayout(in).c_str());
        const AVRational tb{1, f->sample_rate};
        const int64_t startPts = av_rescale_q(offsetUs, kMicros, tb);
        std::string chain = "[in]";
        char buf[256];
        if (lengthUs > 0)
            std::snprintf(buf, sizeof buf, "atrim=start_pts=%" PRId64 ":end_pts=%" PRId64, startPts,
                          av_rescale_q(endUs, kMicros, tb));
        else
            std::snprintf(buf, sizeof buf, "atrim=start_pts=%" PRId64, startPts);
        chain += buf;
        const std::string sound = soundStages(m_set);
        if (!sound.empty())
            chain += "," + sound;
        // async fills gaps in the source with silence; the first graph of a
        // segment starts the sound exactly at the offset.
        if (!audio.graphBuiltOnce)
            std::snprintf(buf, sizeof buf, ",aresample=%d:async=1:first_pts=%" PRId64, out.sampleRate(),
                          startPts); // in samples of the input rate, as libswresample counts them
        else
            std::snprintf(buf, sizeof buf, ",aresample=%d:async=1", out.sampleRate());
        chain += buf;
        chain += std::string(",aformat=sample_fmts=") + av_get_sample_fmt_name(out.sampleFormat())
                 + ":channel_layouts=" + describeLayout(out.channelLayout()) + "[out]";
        const bool ok = audio.graph.build("abuffer", args, "abuffersink", chain, {}, err);
        if (ok) {
            if (out.audioFrameSize() > 0)
                av_buffersink_set_frame_size(audio.graph.sink, unsigned(out.audioFrameSize()));
            audio.graph.format = f->format;
            audio.graph.sampleRate = f->sample_rate;
            av_channel_layout_uninit(&audio.graph.layout);
            av_channel_layout_copy(&audio.graph.layout, &f->ch_layout);
            audio.graphBuiltOnce = true;
        }
        av_channel_layout_uninit(&in);
        return ok;
    };

    FramePtr filtered = makeFrame();
    // Pulls every frame the graph has ready and encodes it.
    auto drain = [&](StreamState &s, bool isVideo) -> bool {
        if (!s.graph.graph)
            return true;
        for (;;) {
            int ret = av_buffersink_get_frame(s.graph.sink, filtered.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                return true;
            if (ret < 0)
                return fail.set(ZX_ERR_INTERNAL, "filtering failed: " + avErr(ret));
            const AVRational tb = av_buffersink_get_time_base(s.graph.sink);
            if (isVideo && filtered->pts != AV_NOPTS_VALUE) {
                // The subtitles' clock, as for the frames going in.
                const int64_t sourceUs = av_rescale_q(filtered->pts, tb, kMicros) - offsetUs + startUs;
                if (!m_edits->drawSubtitles(filtered.get(), sourceUs, err)) {
                    av_frame_unref(filtered.get());
                    return fail.set(ZX_ERR_INTERNAL, err);
                }
            }
            const bool ok = isVideo ? out.sendVideo(filtered.get(), tb, fail) : out.sendAudio(filtered.get(), tb, fail);
            av_frame_unref(filtered.get());
            if (!ok)
                return false;
        }
    };

    auto endGraph = [&](StreamState &s, bool isVideo) -> bool {
        if (!s.graph.graph)
            return true;
        if (isVideo)
            m_edits->closeSubtitles(s.graphEndPts != AV_NOPTS_VALUE ? s.graphEndPts : 0);
        // Closing at the end of the last frame lets the fps filter emit it.
        const int closed = s.graphEndPts != AV_NOPTS_VALUE
                               ? av_buffersrc_close(s.graph.src, s.graphEndPts, AV_BUFFERSRC_FLAG_PUSH)
                               : av_buffersrc_add_frame(s.graph.src, nullptr);
        (void)closed; // a graph that refuses the end has nothing left to give
        s.graphEndPts = AV_NOPTS_VALUE;
        const bool ok = drain(s, isVideo);
        if (isVideo)
            m_edits->detach();
        s.graph.graph.reset();
        return ok;
    };

    // Sends one decoded frame through its graph.
    auto filterFrame = [&](StreamState &s, AVFrame *f, bool isVideo) -> bool {
        int64_t pts = f->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE)
            pts = s.nextPts;
        if (pts == AV_NOPTS_VALUE)
            pts = s.st->start_time != AV_NOPTS_VALUE ? s.st->start_time : 0;
        const int64_t frameDur = isVideo ? (f->pkt_duration > 0 ? f->pkt_duration
                                                                 : av_rescale_q(1, av_inv_q(out.frameRate()), s.st->time_base))
                                         : av_rescale_q(f->nb_samples, AVRational{1, f->sample_rate}, s.st->time_base);
        s.nextPts = pts + std::max<int64_t>(1, frameDur);
        const int64_t outUs = av_rescale_q(pts, s.st->time_base, kMicros) + shiftUs;
        // The subtitles' clock: the source's own, from its start, untrimmed.
        const int64_t sourceUs = outUs - offsetUs + startUs;
        if (isVideo && m_edits->wantsVideoFrames())
            m_edits->feedVideoFrame(f, sourceUs);
        if (outUs >= endUs) {
            s.done = true;
            return true;
        }
        ++s.frames;
        if (isVideo) {
            if (!s.graph.graph || f->width != s.graph.width || f->height != s.graph.height || f->format != s.graph.format) {
                if (!endGraph(s, true) || !buildVideoGraph(f))
                    return fail.code ? false : fail.set(ZX_ERR_INTERNAL, err);
            }
            f->pts = outUs;
            s.graphEndPts = outUs + av_rescale_q(std::max<int64_t>(1, frameDur), s.st->time_base, kMicros);
            // The trim drops what lies before the range; its canvas is not needed.
            if (outUs >= offsetUs && !m_edits->pushSubtitle(outUs, sourceUs, err))
                return fail.set(ZX_ERR_INTERNAL, err);
        } else {
            if (!s.graph.graph || f->format != s.graph.format || f->sample_rate != s.graph.sampleRate
                || av_channel_layout_compare(&f->ch_layout, &s.graph.layout)) {
                if (!endGraph(s, false) || !buildAudioGraph(f))
                    return fail.code ? false : fail.set(ZX_ERR_INTERNAL, err);
            }
            f->pts = av_rescale_q(outUs, kMicros, AVRational{1, f->sample_rate});
            s.graphEndPts = f->pts + f->nb_samples;
        }
        f->pict_type = AV_PICTURE_TYPE_NONE;
        int ret = av_buffersrc_add_frame_flags(s.graph.src, f, AV_BUFFERSRC_FLAG_KEEP_REF);
        if (ret < 0)
            return fail.set(ZX_ERR_INTERNAL, "filtering failed: " + avErr(ret));
        return drain(s, isVideo);
    };

    // Pictures held back for the subtitles, and how far (source time) the
    // other streams have been read. At most about two seconds of pictures,
    // fewer when they are large (some 100 MB).
    size_t maxHeld = 0;
    if (holdVideo) {
        const size_t pictureBytes = std::max<size_t>(1, size_t(video.st->codecpar->width) * video.st->codecpar->height * 3 / 2);
        maxHeld = std::clamp<size_t>((size_t(100) << 20) / pictureBytes, 8, 50);
    }
    std::deque<FramePtr> held;
    int64_t readUpToUs = INT64_MIN;
    auto releaseHeld = [&](bool all) -> bool {
        while (!held.empty()) {
            AVFrame *f = held.front().get();
            const int64_t ts = f->best_effort_timestamp;
            const bool due = ts == AV_NOPTS_VALUE
                             || av_rescale_q(ts, video.st->time_base, kMicros) - sourceStart <= readUpToUs;
            if (!all && !due && held.size() <= maxHeld)
                return true;
            const bool ok = video.done || filterFrame(video, f, true);
            held.pop_front();
            if (!ok)
                return false;
        }
        return true;
    };

    FramePtr frame = makeFrame();
    auto receiveAll = [&](StreamState &s, bool isVideo) -> bool {
        for (;;) {
            int ret = avcodec_receive_frame(s.dec.get(), frame.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                return true;
            if (ret < 0) {
                ++s.decodeErrors;
                return true;
            }
            if (isVideo && holdVideo) {
                held.push_back(makeFrame());
                av_frame_move_ref(held.back().get(), frame.get());
                if (!releaseHeld(false))
                    return false;
                continue;
            }
            const bool ok = s.done || filterFrame(s, frame.get(), isVideo);
            av_frame_unref(frame.get());
            if (!ok)
                return false;
        }
    };

    PacketPtr pkt = makePacket();
    bool inputError = false;
    while (!m_stop.load()) {
        if ((!video.dec || video.done) && (!audio.dec || audio.done))
            break;
        int ret = av_read_frame(ic, pkt.get());
        if (ret == AVERROR(EAGAIN))
            continue;
        if (ret < 0) {
            // A damaged tail reads as the end; a damaged middle is a failure
            // when nothing at all could be decoded (checked below).
            inputError = ret != AVERROR_EOF && !avio_feof(ic->pb);
            break;
        }
        if (pkt->stream_index == subtitleIndex && subtitleIndex >= 0)
            m_edits->feedPacket(pkt.get());
        if (holdVideo && pkt->stream_index != video.index) {
            const int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
            if (ts != AV_NOPTS_VALUE) {
                readUpToUs = std::max(readUpToUs, av_rescale_q(ts, ic->streams[pkt->stream_index]->time_base, kMicros)
                                                      - sourceStart);
                if (!releaseHeld(false)) {
                    av_packet_unref(pkt.get());
                    return Result::Failed;
                }
            }
        }
        StreamState *s = pkt->stream_index == video.index ? &video : pkt->stream_index == audio.index ? &audio : nullptr;
        if (s && !s->done) {
            ret = avcodec_send_packet(s->dec.get(), pkt.get());
            if (ret < 0 && ret != AVERROR(EAGAIN))
                ++s->decodeErrors;
            if (!receiveAll(*s, s == &video)) {
                av_packet_unref(pkt.get());
                return Result::Failed;
            }
        }
        av_packet_unref(pkt.get());
    }
    if (m_stop.load())
        return Result::Stopped;
    // A scrambled DVD sector ends the reading: nothing more is written.
    if (const std::string why = m_media.readerFailure(); !why.empty()) {
        fail.set(ZX_ERR_INPUT, why);
        return Result::Failed;
    }

    for (StreamState *s : {&video, &audio}) {
        if (!s->dec)
            continue;
        avcodec_send_packet(s->dec.get(), nullptr);
        if (!receiveAll(*s, s == &video) || (s == &video && !releaseHeld(true)) || !endGraph(*s, s == &video))
            return Result::Failed;
    }
    if (m_stop.load())
        return Result::Stopped;
    const bool nothing = (!video.dec || video.frames == 0) && (!audio.dec || audio.frames == 0);
    if (nothing && (inputError || video.decodeErrors || audio.decodeErrors)) {
        fail.set(ZX_ERR_INPUT, "the source could not be decoded");
        return Result::Failed;
    }
    if (inputError && fail.message.empty()) {
        fail.set(ZX_ERR_INPUT, "reading the source failed part-way");
        return Result::Failed;
    }
    return Result::Done;
}

} // namespace zx
