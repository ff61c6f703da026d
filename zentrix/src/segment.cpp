// Segment: one source decoded, filtered to the output's formats and sent on.
#include "filter_stages.h"
#include "tonemap.h"
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
#include <cstring>

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
        const int ret = linkFilterGraph(graph.get(), srcName, srcArgs, sinkName, chain, extras, &src, &sink);
        if (ret < 0)
            return (err = "cannot set up the filters \"" + chain + "\": " + avErr(ret), false);
        return true;
    }
};

struct StreamState {
    int index = -1;
    AVStream *st = nullptr;
    CodecCtxPtr dec;
    bool copy = false;                 // packets go to the output as they are
    Graph graph;
    bool graphBuiltOnce = false;
    int64_t nextPts = AV_NOPTS_VALUE;  // stream time base, for frames without timestamps
    bool done = false;                 // reached the end of the range
    int64_t frames = 0;
    int decodeErrors = 0;
    int64_t graphEndPts = AV_NOPTS_VALUE;  // end of the last frame sent, graph time base
};

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
    // Decided once here, before the output opens: a film source sets the
    // output's frame rate. Each source of a merge decides for itself.
    if (m_media.videoStream() >= 0 && m_set.deinterlace != 2)
        m_media.setScan(scanForMode(examineScan(m_media), m_set.deinterlace));
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

namespace {

// One pass of a segment over its range. Each step of the pass is a method;
// what the steps share (decoders, graphs, the pictures held for the
// subtitles, the read position) lives here for the length of the pass.
class SegmentRun {
public:
    struct Range {
        int64_t startUs, lengthUs, offsetUs;
    };

    SegmentRun(InputMedia &media, const ZxParams &set, EditStage &edits, const std::atomic<bool> &stop, Output &out,
               Range range, Failure &fail)
        : m_media(media), m_set(set), m_edits(edits), m_stop(stop), m_out(out), m_fail(fail),
          m_ic(media.context()), m_startUs(std::max<int64_t>(0, range.startUs)), m_lengthUs(range.lengthUs),
          m_offsetUs(range.offsetUs),
          m_endUs(range.lengthUs > 0 ? range.offsetUs + range.lengthUs : INT64_MAX),
          m_filtered(makeFrame()), m_frame(makeFrame())
    {
    }

    // editsW/H: the frame size the edit stage is open for, kept by the
    // segment across passes so that a merge reopens it only when it must.
    Segment::Result run(int &editsW, int &editsH)
    {
        if (!openDecoders() || !prepareEdits(editsW, editsH))
            return Segment::Result::Failed;
        chooseStreamsToRead();
        seekToStart();
        fixFrameForGeometry();
        if (!readPackets())
            return Segment::Result::Failed;
        if (m_stop.load())
            return Segment::Result::Stopped;
        // A scrambled DVD sector ends the reading: nothing more is written.
        if (const std::string why = m_media.readerFailure(); !why.empty()) {
            m_fail.set(ZX_ERR_INPUT, why);
            return Segment::Result::Failed;
        }
        if (!flushDecoders())
            return Segment::Result::Failed;
        if (m_stop.load())
            return Segment::Result::Stopped;
        return judgeOutcome();
    }

private:
    // Only the streams the output takes are decoded: a source's extra
    // audio tracks cost nothing.
    bool openDecoders()
    {
        if (m_out.hasVideo() && m_media.videoStream() >= 0) {
            m_video.index = m_media.videoStream();
            m_video.st = m_ic->streams[m_video.index];
            m_video.copy = m_out.videoCopied();
            if (!m_video.copy)
                m_video.dec = openDecoder(m_video.st, m_err);
            if (!m_video.dec && !m_video.copy)
                return m_fail.set(ZX_ERR_INPUT, m_err);
        }
        const auto &audioStreams = m_media.audioStreams();
        if (m_out.hasAudio() && !audioStreams.empty()) {
            m_audio.index = m_set.audioTrack >= 0 && m_set.audioTrack < int(audioStreams.size())
                                ? audioStreams[size_t(m_set.audioTrack)] : m_media.bestAudioStream();
            m_audio.st = m_ic->streams[m_audio.index];
            m_audio.copy = m_out.audioCopied();
            if (!m_audio.copy)
                m_audio.dec = openDecoder(m_audio.st, m_err);
            if (!m_audio.dec && !m_audio.copy)
                return m_fail.set(ZX_ERR_INPUT, m_err);
        }
        if (!m_video.dec && !m_audio.dec && !m_video.copy && !m_audio.copy)
            return m_fail.set(ZX_ERR_INPUT, "the source has no stream the output takes");
        return true;
    }

    // The edits were tried on the source's own size when the segment was
    // opened; the output frame is known only now.
    bool prepareEdits(int &editsW, int &editsH)
    {
        if (!m_video.dec)
            return true;
        if ((m_out.frameWidth() != editsW || m_out.frameHeight() != editsH)
            && !m_edits.open(m_ic, m_out.frameWidth(), m_out.frameHeight(), m_err))
            return m_fail.set(ZX_ERR_INPUT, m_err);
        editsW = m_out.frameWidth();
        editsH = m_out.frameHeight();
        m_edits.setOutputFormat(m_out.pixelFormat());
        m_subtitleIndex = m_edits.subtitleStream();
        return true;
    }

    // Muxers put video ahead of the other streams (a DVD by half a second),
    // so a subtitle packet is read after the pictures it covers: while
    // subtitles come from the source, decoded pictures wait until the other
    // streams have been read up to their time. A sound stream, read only as
    // that clock, keeps the wait short where the subtitles are sparse.
    void chooseStreamsToRead()
    {
        m_holdVideo = m_subtitleIndex >= 0;
        const int clockIndex = m_holdVideo && m_audio.index < 0 ? m_media.bestAudioStream() : -1;
        for (unsigned i = 0; i < m_ic->nb_streams; ++i)
            m_ic->streams[i]->discard = (int(i) == m_video.index || int(i) == m_audio.index
                                         || int(i) == m_subtitleIndex || int(i) == clockIndex)
                                            ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        // At most about two seconds of pictures are held, fewer when they
        // are large (some 100 MB).
        if (m_holdVideo) {
            const size_t pictureBytes
                = std::max<size_t>(1, size_t(m_video.st->codecpar->width) * m_video.st->codecpar->height * 3 / 2);
            m_maxHeld = std::clamp<size_t>((size_t(100) << 20) / pictureBytes, 8, 50);
        }
    }

    // The seek lands on a key frame before the range; the graphs' trims cut
    // to the exact frame.
    void seekToStart()
    {
        m_sourceStart = m_media.startTimeUs();
        if (m_startUs > 0) {
            const int64_t ts = m_sourceStart + m_startUs;
            avformat_seek_file(m_ic, -1, INT64_MIN, ts, ts, 0);
        } else if (m_video.copy || m_audio.copy) {
            // Examining the source on opening read from it and went back to
            // time 0, where some demuxers skip the packets a codec delay puts
            // before 0; a copy needs those too.
            avformat_seek_file(m_ic, -1, INT64_MIN, m_sourceStart, m_sourceStart, 0);
        }
        // Output timeline of a frame = its source time - source start - range start + offset.
        m_shiftUs = m_offsetUs - m_startUs - m_sourceStart;
    }

    // The output frame is fixed; give it to the geometry before rotation.
    void fixFrameForGeometry()
    {
        m_srcPicture = m_media.picture();
        m_frameSet = m_set;
        const bool turn = m_frameSet.rotation == 90 || m_frameSet.rotation == 270;
        m_frameSet.width = turn ? m_out.frameHeight() : m_out.frameWidth();
        m_frameSet.height = turn ? m_out.frameWidth() : m_out.frameHeight();
    }

    // Reads until both streams have passed the range, the source ends or a
    // stop is asked for.
    bool readPackets()
    {
        PacketPtr pkt = makePacket();
        while (!m_stop.load()) {
            if (!active(m_video) && !active(m_audio))
                break;
            int ret = av_read_frame(m_ic, pkt.get());
            if (ret == AVERROR(EAGAIN))
                continue;
            if (ret < 0) {
                // A damaged tail reads as the end; a damaged middle is a
                // failure when nothing at all could be decoded (judged last).
                // A failed read also marks the stream as ended, and demuxers
                // then often answer "end of file": the stream's own error
                // tells a read error from the end.
                m_inputError = (ret != AVERROR_EOF && !avio_feof(m_ic->pb))
                               || (m_ic->pb && m_ic->pb->error < 0 && m_ic->pb->error != AVERROR_EOF);
                break;
            }
            const bool ok = handlePacket(pkt.get());
            av_packet_unref(pkt.get());
            if (!ok)
                return false;
        }
        return true;
    }

    bool handlePacket(AVPacket *pkt)
    {
        if (pkt->stream_index == m_subtitleIndex && m_subtitleIndex >= 0)
            m_edits.feedPacket(pkt);
        if (m_holdVideo && pkt->stream_index != m_video.index) {
            const int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
            if (ts != AV_NOPTS_VALUE) {
                m_readUpToUs = std::max(m_readUpToUs, av_rescale_q(ts, m_ic->streams[pkt->stream_index]->time_base, kMicros)
                                                          - m_sourceStart);
                if (!releaseHeldPictures(false))
                    return false;
            }
        }
        StreamState *s = pkt->stream_index == m_video.index ? &m_video
                       : pkt->stream_index == m_audio.index ? &m_audio : nullptr;
        if (s && s->copy && !s->done)
            return copyPacket(*s, pkt);
        if (s && !s->done) {
            const int ret = avcodec_send_packet(s->dec.get(), pkt);
            if (ret < 0 && ret != AVERROR(EAGAIN))
                ++s->decodeErrors;
            if (!receiveFrames(*s, s == &m_video))
                return false;
        }
        return true;
    }

    static bool active(const StreamState &s) { return (s.dec || s.copy) && !s.done; }

    // A copied stream's packets keep their bytes; only their times move onto
    // the output's timeline, and the range's end still ends the stream.
    bool copyPacket(StreamState &s, AVPacket *pkt)
    {
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        const int64_t outUs = ts != AV_NOPTS_VALUE ? av_rescale_q(ts, s.st->time_base, kMicros) + m_shiftUs : m_offsetUs;
        if (outUs >= m_endUs) {
            s.done = true;
            return true;
        }
        // A range starts on a key frame; what the seek gave before it (sound,
        // pictures shown earlier) stays out. Without a range every packet
        // counts, also those a codec delay puts before the start, except
        // after a merge's join, where they would overlap the part before.
        if ((m_startUs > 0 || m_offsetUs > 0) && outUs < m_offsetUs)
            return true;
        ++s.frames;
        return m_out.writeCopied(pkt, s.st->time_base, m_shiftUs, &s == &m_video, m_fail);
    }

    // Decoding errors are counted, not fatal: a few broken frames must not
    // cost the whole conversion (the outcome is judged at the end).
    bool receiveFrames(StreamState &s, bool isVideo)
    {
        for (;;) {
            int ret = avcodec_receive_frame(s.dec.get(), m_frame.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                return true;
            if (ret < 0) {
                ++s.decodeErrors;
                return true;
            }
            if (isVideo && m_holdVideo) {
                m_held.push_back(makeFrame());
                av_frame_move_ref(m_held.back().get(), m_frame.get());
                if (!releaseHeldPictures(false))
                    return false;
                continue;
            }
            const bool ok = s.done || filterFrame(s, m_frame.get(), isVideo);
            av_frame_unref(m_frame.get());
            if (!ok)
                return false;
        }
    }

    // A held picture goes on once the other streams have been read up to
    // its time (its subtitle is then known), or when too many wait.
    bool releaseHeldPictures(bool all)
    {
        while (!m_held.empty()) {
            AVFrame *f = m_held.front().get();
            const int64_t ts = f->best_effort_timestamp;
            const bool due = ts == AV_NOPTS_VALUE
                             || av_rescale_q(ts, m_video.st->time_base, kMicros) - m_sourceStart <= m_readUpToUs;
            if (!all && !due && m_held.size() <= m_maxHeld)
                return true;
            const bool ok = m_video.done || filterFrame(m_video, f, true);
            m_held.pop_front();
            if (!ok)
                return false;
        }
        return true;
    }

    // Sends one decoded frame through its graph, rebuilding the graph when
    // the decoded format changes mid-stream.
    bool filterFrame(StreamState &s, AVFrame *f, bool isVideo)
    {
        int64_t pts = f->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE)
            pts = s.nextPts;
        if (pts == AV_NOPTS_VALUE)
            pts = s.st->start_time != AV_NOPTS_VALUE ? s.st->start_time : 0;
        const int64_t frameDur
            = isVideo ? (f->pkt_duration > 0 ? f->pkt_duration
                                             : av_rescale_q(1, av_inv_q(m_out.frameRate()), s.st->time_base))
                      : av_rescale_q(f->nb_samples, AVRational{1, f->sample_rate}, s.st->time_base);
        s.nextPts = pts + std::max<int64_t>(1, frameDur);
        const int64_t outUs = av_rescale_q(pts, s.st->time_base, kMicros) + m_shiftUs;
        // The subtitles' clock: the source's own, from its start, untrimmed.
        const int64_t sourceUs = outUs - m_offsetUs + m_startUs;
        if (isVideo && m_edits.wantsVideoFrames())
            m_edits.feedVideoFrame(f, sourceUs);
        if (outUs >= m_endUs) {
            s.done = true;
            return true;
        }
        ++s.frames;
        if (isVideo) {
            // HDR pictures for an SDR output are tone-mapped before the
            // graph, which then only sees BT.709 pictures.
            if (!isHdr(m_out.colours()) && ToneMapper::takes(f)) {
                if (!m_toneMapper.map(f, sdrColoursFor(m_out.colours()), m_mapped.get(), m_err))
                    return m_fail.set(ZX_ERR_INTERNAL, m_err);
                f = m_mapped.get();
            }
            if (!s.graph.graph || f->width != s.graph.width || f->height != s.graph.height || f->format != s.graph.format) {
                if (!closeGraph(s, true) || !buildVideoGraph(f))
                    return m_fail.code ? false : m_fail.set(ZX_ERR_INTERNAL, m_err);
            }
            f->pts = outUs;
            s.graphEndPts = outUs + av_rescale_q(std::max<int64_t>(1, frameDur), s.st->time_base, kMicros);
            // The trim drops what lies before the range; its canvas is not needed.
            if (outUs >= m_offsetUs && !m_edits.pushSubtitle(outUs, sourceUs, m_err))
                return m_fail.set(ZX_ERR_INTERNAL, m_err);
        } else {
            if (!s.graph.graph || f->format != s.graph.format || f->sample_rate != s.graph.sampleRate
                || av_channel_layout_compare(&f->ch_layout, &s.graph.layout)) {
                if (!closeGraph(s, false) || !buildAudioGraph(f))
                    return m_fail.code ? false : m_fail.set(ZX_ERR_INTERNAL, m_err);
            }
            f->pts = av_rescale_q(outUs, kMicros, AVRational{1, f->sample_rate});
            s.graphEndPts = f->pts + f->nb_samples;
        }
        f->pict_type = AV_PICTURE_TYPE_NONE;
        int ret = av_buffersrc_add_frame_flags(s.graph.src, f, AV_BUFFERSRC_FLAG_KEEP_REF);
        if (ret < 0)
            return m_fail.set(ZX_ERR_INTERNAL, "filtering failed: " + avErr(ret));
        return encodeFiltered(s, isVideo);
    }

    // The picture graph: trim to the range, geometry, edits, then the
    // output's rate and pixel format.
    bool buildVideoGraph(const AVFrame *f)
    {
        SourcePicture pic = m_srcPicture;
        pic.width = f->width;
        pic.height = f->height;
        if (f->sample_aspect_ratio.num > 0 && f->sample_aspect_ratio.den > 0) {
            pic.sarNum = f->sample_aspect_ratio.num;
            pic.sarDen = f->sample_aspect_ratio.den;
        }
        const Geometry g = computeGeometry(m_frameSet, pic, false, false);
        char args[256];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=%d/%d",
                      f->width, f->height, f->format, pic.sarNum, pic.sarDen);
        std::string chain = "[in]";
        // Fields are put together first, on the whole source picture and
        // with the frames before the range as neighbours; the inverse
        // telecine's decimation needs the source's rate.
        const std::string scan = scanFilters(m_media.scan());
        if (!scan.empty()) {
            const AVRational rate = av_guess_frame_rate(m_ic, m_video.st, nullptr);
            if (rate.num > 0 && rate.den > 0)
                std::snprintf(args + std::strlen(args), sizeof args - std::strlen(args), ":frame_rate=%d/%d", rate.num,
                              rate.den);
            chain += scan + ",";
        }
        char buf[160];
        if (m_lengthUs > 0)
            std::snprintf(buf, sizeof buf, "trim=start_pts=%" PRId64 ":end_pts=%" PRId64 ",", m_offsetUs, m_endUs);
        else
            std::snprintf(buf, sizeof buf, "trim=start_pts=%" PRId64 ",", m_offsetUs);
        chain += buf;
        const ColourTags from = completeColours(tagsOf(f), f->height, AVPixelFormat(f->format));
        // The effects change the picture before its borders are added; the
        // subtitles and watermarks work on the output frame, before the
        // frame rate is conformed.
        chain += geometryFilters(g, m_srcPicture.autoRotation,
                                 colourScale(from, m_out.colours(), g.pictureW, g.pictureH), effectStages(m_set));
        const std::string edits = m_edits.pictureGraph("zxgeometry", "zxedited");
        if (!edits.empty())
            chain += "[zxgeometry];" + edits + ";[zxedited]null";
        const AVRational fps = m_out.frameRate();
        // The first graph of a segment starts the picture exactly at the
        // offset, so appended sources continue without a gap.
        if (!m_video.graphBuiltOnce)
            std::snprintf(buf, sizeof buf, ",fps=fps=%d/%d:start_time=%.6f", fps.num, fps.den, m_offsetUs / 1e6);
        else
            std::snprintf(buf, sizeof buf, ",fps=fps=%d/%d", fps.num, fps.den);
        chain += buf;
        chain += std::string(",format=pix_fmts=") + av_get_pix_fmt_name(m_out.pixelFormat()) + "[out]";
        if (!m_video.graph.build("buffer", args, "buffersink", chain, m_edits.sources(kMicros), m_err)
            || !m_edits.start(m_video.graph.graph.get(), m_err))
            return false;
        m_video.graph.width = f->width;
        m_video.graph.height = f->height;
        m_video.graph.format = f->format;
        m_video.graphBuiltOnce = true;
        return true;
    }

    // The sound graph: trim to the range, the volume, then the output's
    // rate, sample format and layout.
    bool buildAudioGraph(const AVFrame *f)
    {
        const std::string args = abufferArgs(f);
        const AVRational tb{1, f->sample_rate};
        const int64_t startPts = av_rescale_q(m_offsetUs, kMicros, tb);
        std::string chain = "[in]";
        char buf[256];
        if (m_lengthUs > 0)
            std::snprintf(buf, sizeof buf, "atrim=start_pts=%" PRId64 ":end_pts=%" PRId64, startPts,
                          av_rescale_q(m_endUs, kMicros, tb));
        else
            std::snprintf(buf, sizeof buf, "atrim=start_pts=%" PRId64, startPts);
        chain += buf;
        const std::string sound = soundStages(m_set);
        if (!sound.empty())
            chain += "," + sound;
        // async fills gaps in the source with silence; the first graph of a
        // segment starts the sound exactly at the offset.
        if (!m_audio.graphBuiltOnce)
            std::snprintf(buf, sizeof buf, ",aresample=%d:async=1:first_pts=%" PRId64, m_out.sampleRate(),
                          startPts); // in samples of the input rate, as libswresample counts them
        else
            std::snprintf(buf, sizeof buf, ",aresample=%d:async=1", m_out.sampleRate());
        chain += buf;
        chain += std::string(",aformat=sample_fmts=") + av_get_sample_fmt_name(m_out.sampleFormat())
                 + ":channel_layouts=" + describeLayout(m_out.channelLayout()) + "[out]";
        const bool ok = m_audio.graph.build("abuffer", args, "abuffersink", chain, {}, m_err);
        if (ok) {
            if (m_out.audioFrameSize() > 0)
                av_buffersink_set_frame_size(m_audio.graph.sink, unsigned(m_out.audioFrameSize()));
            m_audio.graph.format = f->format;
            m_audio.graph.sampleRate = f->sample_rate;
            av_channel_layout_uninit(&m_audio.graph.layout);
            av_channel_layout_copy(&m_audio.graph.layout, &f->ch_layout);
            m_audio.graphBuiltOnce = true;
        }
        return ok;
    }

    // Pulls every frame the graph has ready and encodes it. Subtitles are
    // drawn here, on the finished output frame, so that they sit on top of
    // everything else.
    bool encodeFiltered(StreamState &s, bool isVideo)
    {
        if (!s.graph.graph)
            return true;
        for (;;) {
            int ret = av_buffersink_get_frame(s.graph.sink, m_filtered.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                return true;
            if (ret < 0)
                return m_fail.set(ZX_ERR_INTERNAL, "filtering failed: " + avErr(ret));
            const AVRational tb = av_buffersink_get_time_base(s.graph.sink);
            if (isVideo && m_filtered->pts != AV_NOPTS_VALUE) {
                // The subtitles' clock, as for the frames going in.
                const int64_t sourceUs = av_rescale_q(m_filtered->pts, tb, kMicros) - m_offsetUs + m_startUs;
                if (!m_edits.drawSubtitles(m_filtered.get(), sourceUs, m_err)) {
                    av_frame_unref(m_filtered.get());
                    return m_fail.set(ZX_ERR_INTERNAL, m_err);
                }
            }
            const bool ok = isVideo ? m_out.sendVideo(m_filtered.get(), tb, m_fail)
                                    : m_out.sendAudio(m_filtered.get(), tb, m_fail);
            av_frame_unref(m_filtered.get());
            if (!ok)
                return false;
        }
    }

    // Ends a graph (at the end of the range, or before a rebuild) and
    // encodes what it still holds.
    bool closeGraph(StreamState &s, bool isVideo)
    {
        if (!s.graph.graph)
            return true;
        if (isVideo)
            m_edits.closeSubtitles(s.graphEndPts != AV_NOPTS_VALUE ? s.graphEndPts : 0);
        // Closing at the end of the last frame lets the fps filter emit it.
        const int closed = s.graphEndPts != AV_NOPTS_VALUE
                               ? av_buffersrc_close(s.graph.src, s.graphEndPts, AV_BUFFERSRC_FLAG_PUSH)
                               : av_buffersrc_add_frame(s.graph.src, nullptr);
        (void)closed; // a graph that refuses the end has nothing left to give
        s.graphEndPts = AV_NOPTS_VALUE;
        const bool ok = encodeFiltered(s, isVideo);
        if (isVideo)
            m_edits.detach();
        s.graph.graph.reset();
        return ok;
    }

    // The decoders hold back frames of their own (reordering, threads); the
    // held pictures and the graphs give up theirs last.
    bool flushDecoders()
    {
        for (StreamState *s : {&m_video, &m_audio}) {
            if (!s->dec)
                continue;
            avcodec_send_packet(s->dec.get(), nullptr);
            const bool isVideo = s == &m_video;
            if (!receiveFrames(*s, isVideo) || (isVideo && !releaseHeldPictures(true)) || !closeGraph(*s, isVideo))
                return false;
        }
        return true;
    }

    // A source that read badly fails only when nothing came of it, or when
    // the reading broke off part-way.
    Segment::Result judgeOutcome()
    {
        const bool nothing = (!(m_video.dec || m_video.copy) || m_video.frames == 0)
                             && (!(m_audio.dec || m_audio.copy) || m_audio.frames == 0);
        if (nothing && (m_inputError || m_video.decodeErrors || m_audio.decodeErrors)) {
            m_fail.set(ZX_ERR_INPUT, "the source could not be decoded");
            return Segment::Result::Failed;
        }
        if (m_inputError && m_fail.message.empty()) {
            m_fail.set(ZX_ERR_INPUT, "reading the source failed part-way");
            return Segment::Result::Failed;
        }
        if (const std::string why = shortfall(); !why.empty()) {
            m_fail.set(ZX_ERR_INPUT, why);
            return Segment::Result::Failed;
        }
        return Segment::Result::Done;
    }

    // A source whose index promises more than its data holds (a cut-off or
    // damaged file) ends early without a read error; a conversion that
    // stopped far short of the source's length is not a success. Only the
    // whole rest of a source is judged: a chosen length may run past the end.
    // Lengths guessed from the bit rate are too rough to judge by.
    std::string shortfall() const
    {
        if (m_lengthUs > 0 || m_ic->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
            return {};
        const int64_t expected = m_media.durationUs() - m_startUs;
        if (expected < 1000000)
            return {};
        const int64_t converted = m_out.endUs() - m_offsetUs;
        if (converted * 10 >= expected * 9)
            return {};
        char buf[160];
        std::snprintf(buf, sizeof buf,
                      "the source ended after %.1f s of its %.1f s (the file is cut off or damaged)",
                      double(std::max<int64_t>(0, converted)) / 1e6, double(expected) / 1e6);
        return buf;
    }

    InputMedia &m_media;
    const ZxParams &m_set;
    EditStage &m_edits;
    const std::atomic<bool> &m_stop;
    Output &m_out;
    Failure &m_fail;
    AVFormatContext *m_ic;
    const int64_t m_startUs, m_lengthUs, m_offsetUs;
    const int64_t m_endUs;          // on the output timeline
    std::string m_err;              // why a graph or an edit step failed

    StreamState m_video, m_audio;
    int m_subtitleIndex = -1;
    bool m_holdVideo = false;
    int64_t m_sourceStart = 0;
    int64_t m_shiftUs = 0;          // source time -> output time
    SourcePicture m_srcPicture;
    ZxParams m_frameSet;            // the set with the output frame as its size

    // Pictures held back for the subtitles, and how far (source time) the
    // other streams have been read.
    std::deque<FramePtr> m_held;
    size_t m_maxHeld = 0;
    int64_t m_readUpToUs = INT64_MIN;
    bool m_inputError = false;

    FramePtr m_filtered, m_frame;
    ToneMapper m_toneMapper;
    FramePtr m_mapped = makeFrame();  // the tone-mapped picture
};

} // namespace

Segment::Result Segment::run(Output &out, int64_t startUs, int64_t lengthUs, int64_t offsetUs, Failure &fail)
{
    SegmentRun pass(m_media, m_set, *m_edits, m_stop, out, {startUs, lengthUs, offsetUs}, fail);
    return pass.run(m_editsW, m_editsH);
}

} // namespace zx
