// Elementary streams: tracks, packets, and the job's stream mode.
#include "codec_map.h"
#include "job.h"
#include "stream_mux.h"

#include <cstring>

namespace zx {

StreamMux::~StreamMux() { close(); }

bool StreamMux::open(const std::string &path, const std::string &container, ZxTrack *tracks[3], Failure &fail)
{
    const AVOutputFormat *muxer = findMuxer(container.c_str());
    if (!muxer)
        return fail.set(ZX_ERR_ARGUMENT, "unknown container \"" + container + "\"");
    if (avformat_alloc_output_context2(&m_oc, muxer, nullptr, nullptr) < 0)
        return fail.set(ZX_ERR_INTERNAL, "cannot create the muxer");
    for (int i = 0; i < 3; ++i) {
        ZxTrack *t = tracks[i];
        if (!t)
            continue;
        const char *name = legacyCodecName(t->codec);
        const AVCodecDescriptor *desc = name ? avcodec_descriptor_get_by_name(name) : nullptr;
        if (!desc)
            return fail.set(ZX_ERR_CODEC, "unknown codec number " + std::to_string(t->codec) + " of a track");
        AVStream *st = avformat_new_stream(m_oc, nullptr);
        if (!st)
            return fail.set(ZX_ERR_INTERNAL, "cannot add a stream");
        AVCodecParameters *par = st->codecpar;
        par->codec_id = desc->id;
        par->codec_type = desc->type;
        par->bit_rate = t->bitrate;
        if (t->kind == ZX_TRACK_VIDEO) {
            par->width = t->width;
            par->height = t->height;
            par->format = AV_PIX_FMT_YUV420P;
            par->sample_aspect_ratio = t->sar;
            st->sample_aspect_ratio = t->sar;
            st->avg_frame_rate = t->fps;
            st->time_base = t->fps.num > 0 ? av_inv_q(t->fps) : AVRational{1, 90000};
        } else if (t->kind == ZX_TRACK_AUDIO) {
            par->sample_rate = t->sampleRate;
            av_channel_layout_default(&par->ch_layout, std::max(1, t->channels));
            st->time_base = {1, std::max(1, t->sampleRate)};
        } else {
            st->time_base = {1, 1000};
        }
        if (!t->codecData.empty()) {
            par->extradata = static_cast<uint8_t *>(av_mallocz(t->codecData.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            std::memcpy(par->extradata, t->codecData.data(), t->codecData.size());
            par->extradata_size = int(t->codecData.size());
        }
        if (!t->language.empty())
            av_dict_set(&st->metadata, "language", t->language.c_str(), 0);
        t->streamIndex = st->index;
        m_ended.push_back(false);
    }
    if (m_ended.empty())
        return fail.set(ZX_ERR_ARGUMENT, "no track given");
    if (!(muxer->flags & AVFMT_NOFILE)) {
        const std::string url = path.rfind("file:", 0) == 0 ? path : "file:" + path;
        int ret = avio_open(&m_oc->pb, url.c_str(), AVIO_FLAG_WRITE);
        if (ret < 0)
            return fail.set(ZX_ERR_OUTPUT, "cannot create the output file: " + avErr(ret));
    }
    int ret = avformat_write_header(m_oc, nullptr);
    if (ret < 0) {
        m_done = true;
        return fail.set(ZX_ERR_OUTPUT, std::string("the ") + muxer->name + " container refused the tracks: " + avErr(ret));
    }
    return true;
}

int StreamMux::write(int streamIndex, const ZxPacket &p)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_done || !m_oc || state->status.load() != ZX_STATUS_RUNNING || streamIndex < 0
        || streamIndex >= int(m_ended.size()) || m_ended[size_t(streamIndex)])
        return 0;
    if (p.data.empty()) {
        m_ended[size_t(streamIndex)] = true;
        for (bool e : m_ended)
            if (!e)
                return 1;
        const bool ok = finishLocked();
        state->status.store(ok ? ZX_STATUS_FINISHED : ZX_STATUS_FAILED);
        return ok ? 1 : 0;
    }
    AVStream *st = m_oc->streams[streamIndex];
    PacketPtr pkt = makePacket();
    if (av_new_packet(pkt.get(), int(p.data.size())) < 0)
        return 0;
    std::memcpy(pkt->data, p.data.data(), p.data.size());
    const AVRational us{1, 1000000};
    pkt->pts = av_rescale_q(p.ptsUs, us, st->time_base);
    pkt->dts = av_rescale_q(p.dtsUs == INT64_MIN ? p.ptsUs : p.dtsUs, us, st->time_base);
    pkt->duration = av_rescale_q(p.durationUs, us, st->time_base);
    pkt->stream_index = streamIndex;
    if (p.key)
        pkt->flags |= AV_PKT_FLAG_KEY;
    const int64_t end = p.ptsUs + std::max<int64_t>(0, p.durationUs);
    if (end > writtenUs.load())
        writtenUs.store(end);
    int ret = av_interleaved_write_frame(m_oc, pkt.get());
    if (ret < 0) {
        state->failNow(ZX_ERR_OUTPUT, "cannot write a packet: " + avErr(ret));
        return 0;
    }
    return 1;
}

bool StreamMux::finishLocked()
{
    if (m_done || !m_oc)
        return true;
    m_done = true;
    int ret = av_write_trailer(m_oc);
    if (m_oc->pb)
        avio_closep(&m_oc->pb);
    if (ret < 0) {
        state->failNow(ZX_ERR_OUTPUT, "cannot finish the output file: " + avErr(ret));
        return false;
    }
    return true;
}

void StreamMux::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    finishLocked();
    int running = ZX_STATUS_RUNNING;
    state->status.compare_exchange_strong(running, ZX_STATUS_STOPPED);
}

void StreamMux::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_oc && !m_done && m_oc->pb && state->status.load() != ZX_STATUS_IDLE)
        finishLocked();
    m_done = true;
    if (m_oc) {
        if (m_oc->pb)
            avio_closep(&m_oc->pb);
        avformat_free_context(m_oc);
        m_oc = nullptr;
    }
}

} // namespace zx

extern "C" {

ZxTrack *TrackCreate(int kind)
{
    if (kind != ZX_TRACK_VIDEO && kind != ZX_TRACK_AUDIO && kind != ZX_TRACK_SUBTITLE)
        return nullptr;
    ZxTrack *t = new ZxTrack();
    t->kind = kind;
    return t;
}

int TrackSetCodec(ZxTrack *t, int id)
{
    if (!t || !zx::legacyCodecName(id))
        return 0;
    t->codec = id;
    return 1;
}

int TrackSetVideoSize(ZxTrack *t, int w, int h)
{
    if (!t || t->kind != ZX_TRACK_VIDEO || w <= 0 || h <= 0)
        return 0;
    t->width = w;
    t->height = h;
    return 1;
}

int TrackSetFrameRate(ZxTrack *t, int num, int den)
{
    if (!t || t->kind != ZX_TRACK_VIDEO || num <= 0 || den <= 0)
        return 0;
    t->fps = {num, den};
    return 1;
}

int TrackSetAspect(ZxTrack *t, int num, int den)
{
    if (!t || t->kind != ZX_TRACK_VIDEO || num < 0 || den <= 0)
        return 0;
    t->sar = {num, den};
    return 1;
}

int TrackSetSampleRate(ZxTrack *t, int hz)
{
    if (!t || t->kind != ZX_TRACK_AUDIO || hz <= 0)
        return 0;
    t->sampleRate = hz;
    return 1;
}

int TrackSetChannels(ZxTrack *t, int ch)
{
    if (!t || t->kind != ZX_TRACK_AUDIO || ch <= 0 || ch > 8)
        return 0;
    t->channels = ch;
    return 1;
}

int TrackSetBitrate(ZxTrack *t, int bps)
{
    if (!t || bps < 0)
        return 0;
    t->bitrate = bps;
    return 1;
}

int TrackSetCodecData(ZxTrack *t, const unsigned char *data, int size)
{
    if (!t || size < 0 || (size > 0 && !data))
        return 0;
    t->codecData.assign(data, data + size);
    return 1;
}

int TrackSetLanguage(ZxTrack *t, const char *code)
{
    if (!t || !code)
        return 0;
    t->language = code;
    return 1;
}

int JobOpenStreams(ZxJob *job, const char *output, const char *container, ZxTrack *video, ZxTrack *audio,
                   ZxTrack *subtitle)
{
    if (!job)
        return 0;
    zx::TaskState &state = *job->state;
    if (!output || !container) {
        state.failNow(ZX_ERR_ARGUMENT, "the output path or the container is missing");
        return 0;
    }
    if (job->segment || job->streams || state.status.load() != ZX_STATUS_IDLE) {
        state.failNow(ZX_ERR_ARGUMENT, "the job is already open");
        return 0;
    }
    if ((video && video->kind != ZX_TRACK_VIDEO) || (audio && audio->kind != ZX_TRACK_AUDIO)
        || (subtitle && subtitle->kind != ZX_TRACK_SUBTITLE)) {
        state.failNow(ZX_ERR_ARGUMENT, "a track is of the wrong kind");
        return 0;
    }
    state.clearError();
    auto mux = std::make_shared<zx::StreamMux>();
    mux->state = job->state;
    ZxTrack *tracks[3] = {video, audio, subtitle};
    zx::Failure fail;
    if (!mux->open(output, container, tracks, fail)) {
        mux->close();
        state.fail(fail);
        return 0;
    }
    for (ZxTrack *t : tracks)
        if (t)
            t->mux = mux;
    job->streams = mux;
    return 1;
}

ZxPacket *PacketCreate(void) { return new ZxPacket(); }

int PacketSetData(ZxPacket *p, const unsigned char *data, int size)
{
    if (!p || size < 0 || (size > 0 && !data))
        return 0;
    p->data.assign(data, data + size);
    return 1;
}

int PacketSetTimes(ZxPacket *p, int64_t pts, int64_t dts, int64_t duration)
{
    if (!p || duration < 0)
        return 0;
    p->ptsUs = pts;
    p->dtsUs = dts;
    p->durationUs = duration;
    return 1;
}

int PacketSetKeyFrame(ZxPacket *p, int key)
{
    if (!p)
        return 0;
    p->key = key != 0;
    return 1;
}

int TrackWrite(ZxTrack *t, const ZxPacket *p)
{
    if (!t || !p || !t->mux)
        return 0;
    return t->mux->write(t->streamIndex, *p);
}

void PacketRelease(ZxPacket *p) { delete p; }
void TrackRelease(ZxTrack *t) { delete t; }

} // extern "C"
