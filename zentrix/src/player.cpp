#include "player.h"
#include "tonemap.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cstdio>

namespace zx {
namespace {

constexpr AVRational kMicros{1, 1000000};
constexpr auto kPoll = std::chrono::milliseconds(10);
// The read thread stops while both queues hold this much (and never holds
// more than kMaxQueuedBytes, whatever the interleaving).
constexpr size_t kEnoughPackets = 48;
constexpr size_t kMaxQueuedBytes = size_t(24) << 20;

// The sound of one stream filtered to what the device takes, with the sound
// effects of the set.
struct SoundGraph {
    GraphPtr graph;
    AVFilterContext *src = nullptr, *sink = nullptr;
    std::string key;

    bool build(const AVFrame *f, const std::string &effects, int rate, int channels, std::string &err)
    {
        const std::string args = abufferArgs(f);
        std::string chain = effects.empty() ? "anull" : effects;
        char tail[160];
        std::snprintf(tail, sizeof tail, ",aresample=%d,aformat=sample_fmts=s16:channel_layouts=%s", rate,
                      channels == 1 ? "mono" : "stereo");
        chain += tail;
        const std::string newKey = args + chain;
        if (graph && newKey == key)
            return true;
        graph.reset(avfilter_graph_alloc());
        key.clear();
        if (!graph)
            return (err = "out of memory", false);
        const int ret = linkFilterGraph(graph.get(), "abuffer", args, "abuffersink", chain, {}, &src, &sink);
        if (ret < 0) {
            graph.reset();
            return (err = "cannot set up the sound filters: " + avErr(ret), false);
        }
        key = newKey;
        return true;
    }
};

} // namespace

Player::Player() = default;

Player::~Player() { close(); }

std::string Player::lastError() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_error;
}

void Player::fail(const std::string &why)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_error.empty())
        m_error = why;
}

bool Player::open(std::unique_ptr<MediaReader> reader, int width, int height, int openParam)
{
    close();
    std::string err;
    if (!m_media.open(std::move(reader), m_interrupter, err)) {
        std::lock_guard<std::mutex> g(m_lock);
        m_error = err;
        return false;
    }
    AVFormatContext *ic = m_media.context();
    m_hasVideo = m_media.videoStream() >= 0;
    m_hasAudio = !m_media.audioStreams().empty();
    if (!m_hasVideo && !m_hasAudio) {
        m_media.close();
        std::lock_guard<std::mutex> g(m_lock);
        m_error = "the source has no picture or sound";
        return false;
    }
    m_durationUs = m_media.durationUs();
    m_startUs = m_media.startTimeUs();
    m_wantW = std::max(0, width);
    m_wantH = std::max(0, height);
    if (m_wantW == 0 || m_wantH == 0)
        m_wantW = m_wantH = 0;
    m_soundAheadUs = openParam <= 0 ? 50000 : std::clamp(openParam, 10000, 1000000);
    if (m_hasVideo) {
        m_sourceW = m_media.displayWidth();
        m_sourceH = m_media.displayHeight();
        m_picture = m_media.picture();
        // Once, before the read thread starts; the parameter set's mode is
        // applied to it with each set.
        m_media.setScan(examineScan(m_media));
        const SourcePicture &p = m_picture;
        int64_t w = int64_t(p.width) * p.sarNum, h = int64_t(p.height) * p.sarDen;
        if (p.autoRotation == 90 || p.autoRotation == 270)
            std::swap(w, h);
        av_reduce(&m_aspectNum, &m_aspectDen, w, h, 1 << 20);
        const AVStream *st = ic->streams[m_media.videoStream()];
        AVRational rate = av_guess_frame_rate(ic, const_cast<AVStream *>(st), nullptr);
        if (rate.num > 0 && rate.den > 0) {
            m_rateNum = rate.num;
            m_rateDen = rate.den;
        }
        if (rate.num > 0 && rate.den > 0)
            m_frameUs = std::max<int64_t>(1000, av_rescale_q(1, av_inv_q(rate), kMicros));
    }
    m_audioIndex = m_media.bestAudioStream();
    if (m_hasAudio) {
        const AVCodecParameters *par = ic->streams[m_audioIndex]->codecpar;
        m_soundActive = m_sound.open(par->sample_rate, par->ch_layout.nb_channels, int(m_soundAheadUs));
        // The device pulls whole buffers: keep at least two of them queued.
        if (m_soundActive)
            m_soundAheadUs = std::max<int64_t>(m_soundAheadUs, 2 * m_sound.deviceBufferUs());
    }
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_error.clear();
        m_params = ZxParams();
        ++m_paramsGen;
        m_playing = m_ended = m_stepped = false;
        m_seekRequestUs = -1;
        m_seekTaken = false;
        m_serial = 0;
        m_seekTargetUs = -1;
        m_showNext = 0;
        m_busy = false;
        m_videoEof = m_audioEof = false;
        m_redrawAsked = m_redrawDone = 0;
        m_grabAsked = false;
        m_positionUs = 0;
    }
    m_clock.hold(0);
    m_endCalled = false;
    m_shown = m_dropped = m_maxOffsetUs = 0;
    m_open = true;
    return true;
}

void Player::close()
{
    m_abort = true;
    m_videoQueue.abort();
    m_audioQueue.abort();
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_wake.notify_all();
    }
    for (std::thread *t : {&m_reader, &m_pictureThread, &m_soundThread})
        if (t->joinable())
            t->join();
    m_sound.close();
    m_media.close();
    m_videoQueue.reset();
    m_audioQueue.reset();
    {
        std::lock_guard<std::mutex> g(m_subtitleLock);
        m_subtitlePackets.clear();
    }
    m_open = false;
    m_started = false;
    m_soundActive = false;
    m_hasVideo = m_hasAudio = false;
    m_sourceW = m_sourceH = m_aspectNum = m_aspectDen = 0;
    m_rateNum = m_rateDen = 0;
    m_durationUs = 0;
    m_frameUs = 40000;
    m_abort = false;
}

bool Player::setFrameCallback(int kind, int format, ZxFrameCallback cb, void *ctx)
{
    if ((kind != ZX_FRAME_SOURCE && kind != ZX_FRAME_OUTPUT) || (format != ZX_PIXEL_RGB32 && format != ZX_PIXEL_YUV420P))
        return false;
    std::lock_guard<std::mutex> g(m_callbackLock);
    m_sinks[kind] = FrameSink{cb, ctx, format};
    return true;
}

void Player::setEndCallback(ZxEndCallback cb, void *ctx)
{
    std::lock_guard<std::mutex> g(m_callbackLock);
    m_endCb = cb;
    m_endCtx = ctx;
}

bool Player::start()
{
    if (!m_open)
        return false;
    if (m_started)
        return true;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_showNext = m_hasVideo ? 1 : 0;
        m_busy = m_hasVideo;
    }
    m_sound.setPaused(true);
    m_started = true;
    m_reader = std::thread(&Player::readLoop, this);
    m_pictureThread = std::thread(&Player::pictureLoop, this);
    if (m_soundActive)
        m_soundThread = std::thread(&Player::soundLoop, this);
    return true;
}

void Player::requestSeekLocked(int64_t us)
{
    const int64_t last = m_durationUs > 0 ? m_durationUs - 1 : 0;
    m_seekRequestUs = std::clamp<int64_t>(us, 0, std::max<int64_t>(0, last));
    m_busy = true;
    m_showNext = 0;
    m_ended = false;
    m_stepped = false;
    m_wake.notify_all();
}

bool Player::play()
{
    if (!start())
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    if (m_ended)
        requestSeekLocked(0);
    else if (m_stepped)
        requestSeekLocked(m_positionUs); // the sound is still where the steps began
    m_playing = true;
    m_showNext = 0;
    m_endCalled = false;
    m_sound.setPaused(false);
    // The sound moves the clock as soon as it plays; without it, time does.
    if (!m_soundActive || m_audioEof)
        m_clock.run();
    m_wake.notify_all();
    return true;
}

bool Player::pause()
{
    if (!m_open)
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    m_playing = false;
    m_sound.setPaused(true);
    m_clock.hold(m_clock.now());
    m_wake.notify_all();
    return true;
}

bool Player::stop()
{
    if (!pause())
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    requestSeekLocked(0);
    return true;
}

bool Player::isPlaying() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_playing;
}

bool Player::seek(int64_t us)
{
    if (!m_open)
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    requestSeekLocked(us);
    return true;
}

bool Player::step(bool forward)
{
    if (!m_open || !m_hasVideo || !start())
        return false;
    pause();
    std::lock_guard<std::mutex> g(m_lock);
    if (forward) {
        ++m_showNext;
        m_busy = true;
    } else {
        // The picture whose time span holds the instant before this one.
        requestSeekLocked(std::max<int64_t>(0, m_positionUs - 1));
    }
    m_stepped = true;
    m_wake.notify_all();
    return true;
}

bool Player::isBusy() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_busy;
}

int64_t Player::position() const
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_hasVideo)
        return m_positionUs;
    return std::clamp<int64_t>(m_clock.now(), 0, std::max<int64_t>(0, m_durationUs));
}

bool Player::isEnd() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_ended;
}

bool Player::redraw()
{
    if (!m_open)
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    ++m_redrawAsked;
    m_wake.notify_all();
    return true;
}

bool Player::setParams(const ZxParams &set)
{
    if (!m_open)
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    const int oldTrack = m_params.audioTrack;
    m_params = set;
    ++m_paramsGen;
    const auto &audio = m_media.audioStreams();
    if (set.audioTrack != oldTrack && !audio.empty()) {
        const int wanted = set.audioTrack >= 0 && set.audioTrack < int(audio.size()) ? audio[size_t(set.audioTrack)]
                                                                                      : m_media.bestAudioStream();
        if (wanted != m_audioIndex) {
            m_audioIndex = wanted;
            // Read again from here, so the new track is heard from the picture shown.
            const bool wasPlaying = m_playing;
            requestSeekLocked(m_positionUs);
            m_playing = wasPlaying;
        }
    }
    m_wake.notify_all();
    return true;
}

ZxParams Player::params() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_params;
}

std::vector<unsigned char> Player::grab()
{
    if (!m_open || !m_hasVideo || !start())
        return {};
    std::unique_lock<std::mutex> g(m_lock);
    const int asked = ++m_redrawAsked;
    m_grabAsked = true;
    m_grab.clear();
    m_wake.notify_all();
    m_wake.wait_for(g, std::chrono::seconds(5), [&] { return m_redrawDone >= asked || m_abort; });
    m_grabAsked = false;
    return std::move(m_grab);
}

void Player::stats(int64_t &shown, int64_t &dropped, int64_t &maxOffsetUs) const
{
    shown = m_shown;
    dropped = m_dropped;
    maxOffsetUs = m_maxOffsetUs;
}

bool Player::displayAspect(int &num, int &den) const
{
    num = m_aspectNum;
    den = m_aspectDen;
    return num > 0 && den > 0;
}

void Player::outputSize(int &w, int &h) const
{
    w = h = 0;
    if (!m_hasVideo)
        return;
    ZxParams sized = params();
    sized.width = m_wantW;
    sized.height = m_wantH;
    const Geometry g = computeGeometry(sized, m_picture, true, true);
    w = g.frameW;
    h = g.frameH;
}

int64_t Player::framePtsUs(const AVFrame *f, const AVStream *st) const
{
    const int64_t ts = f->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        return AV_NOPTS_VALUE;
    return av_rescale_q(ts, st->time_base, kMicros) - m_startUs;
}

// ---- read thread ----------------------------------------------------------

void Player::readLoop()
{
    AVFormatContext *ic = m_media.context();
    const int videoIndex = m_media.videoStream();
    bool eof = false;
    int serial = 0;
    int audioIndex;
    {
        std::lock_guard<std::mutex> g(m_lock);
        audioIndex = m_audioIndex;
    }
    PacketPtr pkt = makePacket();
    while (!m_abort) {
        int64_t target = -1;
        {
            std::unique_lock<std::mutex> g(m_lock);
            const auto full = [&] {
                const bool videoFull = videoIndex < 0 || m_videoQueue.count() >= kEnoughPackets;
                const bool audioFull = !m_soundActive || m_audioQueue.count() >= kEnoughPackets;
                return (videoFull && audioFull) || m_videoQueue.bytes() + m_audioQueue.bytes() > kMaxQueuedBytes;
            };
            if (m_seekRequestUs < 0 && (eof || full())) {
                m_wake.wait_for(g, kPoll, [&] { return m_abort || m_seekRequestUs >= 0; });
                continue;
            }
            if (m_seekRequestUs >= 0) {
                target = m_seekRequestUs;
                m_seekRequestUs = -1;
                m_seekTaken = true;
                audioIndex = m_audioIndex;
            }
        }
        if (target >= 0) {
            {
                std::lock_guard<std::mutex> io(m_icLock);
                // In the stream's own ticks, rounded down: a target just
                // before a key frame must not round up onto it.
                const int index = videoIndex >= 0 ? videoIndex : audioIndex;
                const AVRational tb = ic->streams[index]->time_base;
                const int64_t ts = av_rescale_q_rnd(m_startUs + target, kMicros, tb, AV_ROUND_DOWN);
                if (avformat_seek_file(ic, index, INT64_MIN, ts, ts, 0) < 0)
                    avformat_seek_file(ic, -1, INT64_MIN, m_startUs, m_startUs, 0);
            }
            m_videoQueue.clear();
            m_audioQueue.clear();
            {
                std::lock_guard<std::mutex> g(m_subtitleLock);
                m_subtitlePackets.clear();
            }
            std::lock_guard<std::mutex> g(m_lock);
            serial = ++m_serial;
            m_seekTaken = false;
            m_seekTargetUs = target;
            m_videoEof = m_audioEof = false;
            m_sound.flush(serial);
            m_clock.hold(target);
            if (!m_hasVideo) {
                m_positionUs = target;
                if (!m_soundActive) {
                    m_busy = false;
                    if (m_playing)
                        m_clock.run();
                }
            }
            eof = false;
            m_wake.notify_all();
            continue;
        }
        int ret;
        {
            std::lock_guard<std::mutex> io(m_icLock);
            ret = av_read_frame(ic, pkt.get());
        }
        if (ret == AVERROR(EAGAIN))
            continue;
        if (ret < 0) {
            if (m_abort)
                break;
            // A stream that breaks off ends playback like its end does.
            if (ret != AVERROR_EOF && !avio_feof(ic->pb))
                fail("reading the source failed part-way: " + avErr(ret));
            if (const std::string why = m_media.readerFailure(); !why.empty())
                fail(why);
            if (videoIndex >= 0)
                m_videoQueue.put(nullptr, serial);
            if (m_soundActive)
                m_audioQueue.put(nullptr, serial);
            eof = true;
            continue;
        }
        const int index = pkt->stream_index;
        if (index == videoIndex || (m_soundActive && index == audioIndex)) {
            PacketPtr copy = makePacket();
            av_packet_move_ref(copy.get(), pkt.get());
            (index == videoIndex ? m_videoQueue : m_audioQueue).put(std::move(copy), serial);
        } else if (index == m_subtitleIndex.load()) {
            PacketPtr copy = makePacket();
            av_packet_move_ref(copy.get(), pkt.get());
            std::lock_guard<std::mutex> g(m_subtitleLock);
            if (m_subtitlePackets.size() > 512)
                m_subtitlePackets.pop_front();
            m_subtitlePackets.push_back(std::move(copy));
        }
        av_packet_unref(pkt.get());
    }
}

// ---- sound thread ---------------------------------------------------------

void Player::soundLoop()
{
    AVFormatContext *ic = m_media.context();
    CodecCtxPtr dec;
    int decIndex = -1, decSerial = -1;
    int64_t targetUs = -1;
    bool firstOfSerial = false;
    SoundGraph graph;
    int paramsGen = -1;
    std::string effects;
    FramePtr frame = makeFrame(), out = makeFrame();
    std::vector<int16_t> buffer;
    std::string err;

    // Sends filtered sound to the device, cutting what lies before a seek target.
    auto drain = [&]() {
        for (;;) {
            if (av_buffersink_get_frame(graph.sink, out.get()) < 0)
                return;
            const AVRational tb = av_buffersink_get_time_base(graph.sink);
            const int channels = out->ch_layout.nb_channels;
            int64_t ptsUs = out->pts == AV_NOPTS_VALUE ? 0 : av_rescale_q(out->pts, tb, kMicros);
            int skip = 0;
            if (targetUs >= 0 && ptsUs < targetUs)
                skip = int(std::min<int64_t>(out->nb_samples, av_rescale(targetUs - ptsUs, out->sample_rate, 1000000)));
            if (skip < out->nb_samples) {
                const int16_t *s = reinterpret_cast<const int16_t *>(out->data[0]) + size_t(skip) * channels;
                ptsUs += av_rescale(skip, 1000000, out->sample_rate);
                if (m_sound.push(s, (out->nb_samples - skip) * channels, ptsUs, decSerial) && firstOfSerial) {
                    firstOfSerial = false;
                    targetUs = -1;
                    std::lock_guard<std::mutex> g(m_lock);
                    if (!m_hasVideo && !seekPendingLocked() && decSerial == m_serial)
                        m_busy = false;
                }
            }
            av_frame_unref(out.get());
        }
    };

    while (!m_abort) {
        if (m_sound.queuedUs() >= m_soundAheadUs) {
            std::unique_lock<std::mutex> g(m_lock);
            m_wake.wait_for(g, std::chrono::milliseconds(5), [&] { return m_abort.load(); });
            continue;
        }
        QueuedPacket item;
        if (!m_audioQueue.get(item, kPoll))
            continue;
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (item.serial != m_serial)
                continue; // read before the latest seek
            if (paramsGen != m_paramsGen) {
                paramsGen = m_paramsGen;
                effects = soundStages(m_params);
            }
        }
        if (item.serial != decSerial) {
            decSerial = item.serial;
            std::lock_guard<std::mutex> g(m_lock);
            targetUs = m_seekTargetUs;
            firstOfSerial = true;
            graph.graph.reset();
            if (dec)
                avcodec_flush_buffers(dec.get());
        }
        if (!item.packet) {
            if (dec) {
                avcodec_send_packet(dec.get(), nullptr);
                while (avcodec_receive_frame(dec.get(), frame.get()) >= 0)
                    av_frame_unref(frame.get());
                avcodec_flush_buffers(dec.get());
            }
            if (graph.graph && av_buffersrc_add_frame(graph.src, nullptr) >= 0) {
                drain();
            }
            graph.graph.reset();
            std::lock_guard<std::mutex> g(m_lock);
            if (item.serial == m_serial) {
                m_audioEof = true;
                if (!m_hasVideo && !seekPendingLocked())
                    m_busy = false;
                if (m_playing && m_clock.held())
                    m_clock.run();
            }
            continue;
        }
        const int index = item.packet->stream_index;
        if (!dec || index != decIndex) {
            std::lock_guard<std::mutex> io(m_icLock);
            dec = openDecoder(ic->streams[index], err);
            decIndex = dec ? index : -1;
            graph.graph.reset();
            if (!dec)
                continue;
        }
        const AVStream *st = ic->streams[index];
        if (avcodec_send_packet(dec.get(), item.packet.get()) < 0)
            continue;
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            const int64_t ptsUs = framePtsUs(frame.get(), st);
            if (!graph.build(frame.get(), effects, m_sound.rate(), m_sound.channels(), err)) {
                fail(err);
                av_frame_unref(frame.get());
                continue;
            }
            frame->pts = ptsUs == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                                 : av_rescale_q(ptsUs, kMicros, AVRational{1, frame->sample_rate});
            if (av_buffersrc_add_frame(graph.src, frame.get()) >= 0)
                drain();
            av_frame_unref(frame.get());
        }
    }
}

// ---- picture thread -------------------------------------------------------

void Player::finishIfEnded()
{
    bool call = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_playing || m_ended || seekPendingLocked() || m_busy)
            return;
        const bool pictureDone = !m_hasVideo || m_videoEof;
        const bool soundDone = m_soundActive ? m_audioEof && m_sound.queuedUs() == 0
                                             : (m_hasVideo || m_clock.now() >= m_durationUs);
        if (!pictureDone || !soundDone)
            return;
        m_ended = true;
        m_playing = false;
        m_sound.setPaused(true);
        m_clock.hold(m_clock.now());
        call = !m_endCalled;
        m_endCalled = true;
        m_wake.notify_all();
    }
    if (call) {
        std::lock_guard<std::mutex> g(m_callbackLock);
        if (m_endCb)
            m_endCb(m_endCtx);
    }
}

void Player::pictureLoop()
{
    AVFormatContext *ic = m_media.context();
    const int videoIndex = m_media.videoStream();
    const AVStream *st = videoIndex >= 0 ? ic->streams[videoIndex] : nullptr;
    CodecCtxPtr dec;
    std::string err;
    if (st) {
        {
            std::lock_guard<std::mutex> io(m_icLock);
            dec = openDecoder(st, err);
        }
        if (!dec) {
            // Nothing to show: the sound alone decides the end.
            fail(err);
            std::lock_guard<std::mutex> g(m_lock);
            m_videoEof = true;
            m_busy = false;
            m_showNext = 0;
        }
    }
    CallbackPicture sourcePicture, outputPicture;
    UprightPicture upright;
    EditedPicture edited(m_media, m_picture, m_icLock);
    // HDR pictures are shown as an 8-bit output of the converter gets them:
    // tone-mapped once, for both views.
    ToneMapper toneMapper;
    FramePtr sdr = makeFrame();
    int paramsGen = -1;
    int decSerial = -1;
    int64_t targetUs = -1;
    FramePtr frame = makeFrame();
    FramePtr candidate;                  // the last picture before a seek target
    FramePtr pending;                    // decoded, waiting for its time
    int64_t pendingUs = 0;
    int pendingSerial = -1;
    bool pendingIsTarget = false;
    FramePtr last;                       // the picture shown
    int64_t lastUs = 0;
    bool decoderDrained = false;
    bool shownSinceSeek = false;
    // The decoder's run from its latest key packet. A seek lands the demuxer
    // on the key packet before the target; when that is the run's own and
    // the target lies past every picture given out, the decoder goes on
    // from where it is instead of starting the group of pictures over (a
    // dragged trim handle over a long group of pictures).
    int64_t runKeyPos = -1, runKeyPts = AV_NOPTS_VALUE; // pos -1: no run to go on with
    std::vector<int64_t> runPos;         // where the packets sent since the key packet (with it) lay
    size_t replayAt = 0;                 // the next of them read again after such a seek
    int64_t newestEndUs = INT64_MIN;     // end of the latest picture the decoder gave out

    // Delivers a picture through both callbacks; with grabbing (or an
    // output callback) the edits are rendered too.
    auto present = [&](const AVFrame *f, int64_t us, bool grabbing) {
        if (ToneMapper::takes(f)) {
            std::string why;
            // Should the table not be made, the views' filters tone-map.
            if (toneMapper.map(f, {AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG}, sdr.get(),
                               why))
                f = sdr.get();
        }
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (paramsGen != m_paramsGen) {
                paramsGen = m_paramsGen;
                edited.setParams(m_params, m_wantW, m_wantH);
            }
        }
        {
            std::lock_guard<std::mutex> g(m_subtitleLock);
            while (!m_subtitlePackets.empty()) {
                edited.feedPacket(m_subtitlePackets.front().get());
                m_subtitlePackets.pop_front();
            }
        }
        std::lock_guard<std::mutex> cb(m_callbackLock);
        const FrameSink source = m_sinks[ZX_FRAME_SOURCE], output = m_sinks[ZX_FRAME_OUTPUT];
        ZxFrame zf;
        if (source.cb && sourcePicture.convert(upright.turn(f, m_picture.autoRotation), source.format, zf)) {
            zf.pts_us = us;
            source.cb(source.ctx, &zf);
        }
        bool renderedOk = false;
        if (output.cb || grabbing) {
            std::string why;
            renderedOk = edited.render(f, us, why);
            if (!renderedOk)
                fail(why);
            m_subtitleIndex = edited.subtitleStream();
        }
        if (renderedOk && output.cb && outputPicture.convert(edited.frame(), output.format, zf)) {
            zf.pts_us = us;
            output.cb(output.ctx, &zf);
        }
        if (grabbing) {
            std::vector<unsigned char> bmp;
            if (renderedOk)
                bmp = outputPicture.bmp(edited.frame());
            std::lock_guard<std::mutex> g(m_lock);
            m_grab = std::move(bmp);
        }
    };

    while (!m_abort) {
        // Redraws (and grabs) wait for a seek or step under way.
        bool redraw = false, grabbing = false;
        int asked = 0;
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (m_redrawAsked != m_redrawDone && !m_busy && !seekPendingLocked()) {
                redraw = true;
                grabbing = m_grabAsked;
                asked = m_redrawAsked;
            }
        }
        if (redraw) {
            if (last)
                present(last.get(), lastUs, grabbing);
            std::lock_guard<std::mutex> g(m_lock);
            m_redrawDone = asked;
            m_wake.notify_all();
            continue;
        }
        finishIfEnded();
        if (!dec) {
            // No picture: only the end and redraw requests to watch.
            std::unique_lock<std::mutex> g(m_lock);
            m_wake.wait_for(g, kPoll);
            continue;
        }

        bool playing, forced, seekAsked;
        int serial;
        {
            std::lock_guard<std::mutex> g(m_lock);
            playing = m_playing;
            forced = m_showNext > 0 || m_busy;
            serial = m_serial;
            seekAsked = seekPendingLocked();
        }
        if (pending && pendingSerial != serial)
            pending.reset();
        if (!pending) {
            if (!playing && !forced) {
                std::unique_lock<std::mutex> g(m_lock);
                m_wake.wait_for(g, std::chrono::milliseconds(20));
                continue;
            }
            // Until a seek's packets come, the pictures still in the decoder
            // stay there: the seek may go on from them.
            if (seekAsked) {
                std::unique_lock<std::mutex> g(m_lock);
                m_wake.wait_for(g, std::chrono::milliseconds(5));
                continue;
            }
            const bool newSerial = decSerial != serial;
            int ret = newSerial ? AVERROR(EAGAIN)
                                : decoderDrained ? AVERROR_EOF : avcodec_receive_frame(dec.get(), frame.get());
            if (ret == AVERROR(EAGAIN)) {
                QueuedPacket item;
                if (!m_videoQueue.get(item, kPoll))
                    continue;
                if (newSerial && item.serial < serial)
                    continue; // read before the latest seek
                const AVPacket *pkt = item.packet.get();
                if (item.serial != decSerial) {
                    decSerial = item.serial;
                    candidate.reset();
                    shownSinceSeek = false;
                    {
                        std::lock_guard<std::mutex> g(m_lock);
                        targetUs = decSerial == m_serial ? m_seekTargetUs : -1;
                    }
                    const bool goOn = pkt && !decoderDrained && runKeyPos >= 0 && (pkt->flags & AV_PKT_FLAG_KEY)
                                      && pkt->pos == runKeyPos && pkt->pts == runKeyPts && targetUs >= 0
                                      && newestEndUs <= targetUs;
                    if (goOn) {
                        replayAt = 1; // the decoder has them all, this key packet first
                        continue;
                    }
                    avcodec_flush_buffers(dec.get());
                    decoderDrained = false;
                    runKeyPos = -1;
                    runPos.clear();
                    replayAt = 0;
                    newestEndUs = INT64_MIN;
                } else if (replayAt < runPos.size() && pkt) {
                    if (pkt->pos == runPos[replayAt]) {
                        ++replayAt; // in the decoder already
                        continue;
                    }
                    // Read back otherwise than before: start the seek over
                    // from its key packet.
                    avcodec_flush_buffers(dec.get());
                    runKeyPos = -1;
                    runPos.clear();
                    replayAt = 0;
                    newestEndUs = INT64_MIN;
                    std::lock_guard<std::mutex> g(m_lock);
                    if (decSerial == m_serial && !seekPendingLocked())
                        requestSeekLocked(targetUs >= 0 ? targetUs : lastUs);
                    continue;
                }
                if (!pkt) {
                    runKeyPos = -1; // draining: the run cannot take more packets
                } else {
                    if (pkt->flags & AV_PKT_FLAG_KEY) {
                        runKeyPos = pkt->pos;
                        runKeyPts = pkt->pts;
                        runPos.clear();
                    }
                    if (runPos.size() >= 100000) { // a stream of hardly any key packets: not worth keeping
                        runKeyPos = -1;
                        runPos.clear();
                    }
                    runPos.push_back(pkt->pos);
                    replayAt = runPos.size();
                }
                // The decoder was drained above, so it takes the packet; a
                // damaged one is skipped like the decoder skips it.
                (void)avcodec_send_packet(dec.get(), pkt);
                continue;
            }
            if (ret == AVERROR_EOF) {
                decoderDrained = true;
                if (targetUs >= 0 && candidate) {
                    // The target lies past the last picture: show the last one.
                    pending = std::move(candidate);
                    pendingUs = framePtsUs(pending.get(), st);
                    pendingSerial = decSerial;
                    pendingIsTarget = true;
                    targetUs = -1;
                } else {
                    std::lock_guard<std::mutex> g(m_lock);
                    if (decSerial == m_serial && !seekPendingLocked()) {
                        m_videoEof = true;
                        m_busy = false;
                        m_showNext = 0;
                        if (m_playing && m_clock.held() && (!m_soundActive || m_audioEof))
                            m_clock.run();
                    }
                }
                if (!pending) {
                    std::unique_lock<std::mutex> g(m_lock);
                    m_wake.wait_for(g, std::chrono::milliseconds(20));
                    continue;
                }
            } else if (ret < 0) {
                continue; // a damaged picture: go on with the next
            } else {
                ++m_decoded;
                int64_t us = framePtsUs(frame.get(), st);
                const int64_t durUs = frame->pkt_duration > 0 ? av_rescale_q(frame->pkt_duration, st->time_base, kMicros)
                                                              : m_frameUs;
                newestEndUs = us == AV_NOPTS_VALUE ? INT64_MAX : std::max(newestEndUs, us + durUs);
                if (decSerial != serial) {
                    av_frame_unref(frame.get());
                    continue;
                }
                if (us == AV_NOPTS_VALUE)
                    us = last ? lastUs + m_frameUs : 0;
                if (targetUs >= 0 && us + durUs <= targetUs) {
                    if (!candidate)
                        candidate = makeFrame();
                    av_frame_unref(candidate.get());
                    av_frame_move_ref(candidate.get(), frame.get());
                    continue;
                }
                pendingIsTarget = targetUs >= 0;
                targetUs = -1;
                candidate.reset();
                pending = makeFrame();
                av_frame_move_ref(pending.get(), frame.get());
                pendingUs = us;
                pendingSerial = decSerial;
            }
        }

        // A picture is ready: show it now, at its time, or drop it.
        bool now = pendingIsTarget;
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (pendingSerial != m_serial || seekPendingLocked()) {
                pending.reset();
                continue;
            }
            now = now || (!m_playing && m_showNext > 0);
            playing = m_playing;
        }
        if (!now) {
            if (!playing) {
                std::unique_lock<std::mutex> g(m_lock);
                m_wake.wait_for(g, std::chrono::milliseconds(20));
                continue;
            }
            const bool waitForSound = m_clock.held();
            const int64_t delay = pendingUs - m_clock.now();
            if (waitForSound || delay > 0) {
                std::unique_lock<std::mutex> g(m_lock);
                const auto wait = waitForSound ? std::chrono::milliseconds(5)
                                               : std::min<std::chrono::milliseconds>(kPoll, std::chrono::milliseconds(delay / 1000 + 1));
                m_wake.wait_for(g, wait, [&] {
                    return m_abort || !m_playing || seekPendingLocked() || m_redrawAsked != m_redrawDone;
                });
                continue;
            }
            // Later than a frame: drop it, unless nothing has been shown since
            // the seek (then the clock is waiting for this very picture).
            if (-delay > std::max<int64_t>(m_frameUs, 40000) && shownSinceSeek) {
                ++m_dropped;
                pending.reset();
                continue;
            }
        }
        const int64_t offset = playing && !now ? std::abs(pendingUs - m_clock.now()) : 0;
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_positionUs = pendingUs; // the picture being shown, already while its callbacks run
        }
        present(pending.get(), pendingUs, false);
        ++m_shown;
        if (offset > m_maxOffsetUs)
            m_maxOffsetUs = offset;
        last = std::move(pending);
        lastUs = pendingUs;
        shownSinceSeek = true;
        std::lock_guard<std::mutex> g(m_lock);
        if (pendingSerial != m_serial) {
            // A seek was carried out while the picture was delivered: that
            // seek is still to be shown, and stays busy until it is.
            pendingIsTarget = false;
            m_wake.notify_all();
            continue;
        }
        if (pendingIsTarget) {
            // Playing on: the sound restarts the clock; without sound, start it here.
            if (m_playing && (!m_soundActive || m_audioEof))
                m_clock.set(lastUs);
        } else if (!m_playing && m_showNext > 0) {
            --m_showNext;
            m_clock.hold(lastUs);
        }
        // Every picture of the current serial passed the seek's target test.
        if (!seekPendingLocked() && m_showNext == 0)
            m_busy = false;
        pendingIsTarget = false;
        m_wake.notify_all();
    }
}

} // namespace zx
