#include "media_input.h"

extern "C" {
#include <libavutil/display.h>
}

#include <cerrno>
#include <chrono>
#include <cstring>

#include <sys/stat.h>

namespace zx {

std::string MediaReader::brand(const AVFormatContext *ic) const
{
    if (!ic || !ic->iformat || !ic->iformat->name)
        return {};
    // "mov,mp4,m4a,3gp,3g2,mj2" -> "mov": the first short name.
    std::string name = ic->iformat->name;
    return name.substr(0, name.find(','));
}

int FileReader::open(InputPtr &out, const AVIOInterruptCB &interrupt)
{
    // "file:" keeps a name such as "a:b.mp4" from reading as a protocol.
    const bool prefixed = m_path.rfind("file:", 0) == 0;
    const std::string url = prefixed ? m_path : "file:" + m_path;
    // Opening a FIFO or a terminal blocks in open() itself, where no
    // interrupt callback reaches: only files (and disc devices) are read.
    struct stat st;
    const std::string local = prefixed ? m_path.substr(5) : m_path;
    if (::stat(local.c_str(), &st) != 0) {
        const int err = errno;
        m_failure = "cannot open the source: " + std::string(std::strerror(err));
        return AVERROR(err);
    }
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
        m_failure = S_ISDIR(st.st_mode) ? "the source is a folder, not a media file"
                                        : "the source is not a regular file (a pipe, socket or device)";
        return AVERROR(EINVAL);
    }
    AVFormatContext *ic = avformat_alloc_context();
    if (!ic)
        return AVERROR(ENOMEM);
    ic->interrupt_callback = interrupt;
    int ret = avformat_open_input(&ic, url.c_str(), nullptr, nullptr);
    if (ret < 0)
        return ret; // avformat_open_input frees the context on failure
    out.reset(ic);
    return 0;
}

bool InputMedia::open(std::unique_ptr<MediaReader> reader, Interrupter &interrupter, std::string &error)
{
    close();
    m_reader = std::move(reader);
    interrupter.setDeadline(std::chrono::seconds(15));
    int ret = m_reader->open(m_ic, interrupter.callback());
    if (ret < 0) {
        interrupter.clearDeadline();
        error = m_reader->failure();
        if (error.empty())
            error = "cannot open the source: " + avErr(ret);
        m_ic.reset();
        return false;
    }
    ret = avformat_find_stream_info(m_ic.get(), nullptr);
    interrupter.clearDeadline();
    if (!m_reader->failure().empty() || (ret < 0 && m_ic->nb_streams == 0)) {
        error = m_reader->failure();
        if (error.empty())
            error = "cannot read the source: " + avErr(ret);
        m_ic.reset();
        return false;
    }
    for (unsigned i = 0; i < m_ic->nb_streams; ++i) {
        const AVStream *st = m_ic->streams[i];
        const AVCodecParameters *par = st->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->codec_id != AV_CODEC_ID_NONE)
            m_audio.push_back(int(i));
        else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE)
            m_subtitles.push_back(int(i));
    }
    const bool ordered = m_reader->arrange(m_ic.get(), m_audio, m_subtitles);
    // Cover art is an attached picture, not a video.
    m_video = -1;
    for (unsigned i = 0; i < m_ic->nb_streams; ++i) {
        const AVStream *st = m_ic->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            && st->codecpar->width > 0 && st->codecpar->height > 0) {
            m_video = av_find_best_stream(m_ic.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            if (m_video < 0 || (m_ic->streams[m_video]->disposition & AV_DISPOSITION_ATTACHED_PIC))
                m_video = int(i);
            break;
        }
    }
    m_bestAudio = m_audio.empty() ? -1 : ordered ? m_audio.front() : av_find_best_stream(m_ic.get(), AVMEDIA_TYPE_AUDIO, -1, m_video, nullptr, 0);
    if (m_bestAudio < 0 && !m_audio.empty())
        m_bestAudio = m_audio.front();
    return true;
}

void InputMedia::close()
{
    m_ic.reset();
    m_reader.reset();
    m_video = m_bestAudio = -1;
    m_audio.clear();
    m_subtitles.clear();
}

std::string InputMedia::brand() const { return m_reader && m_ic ? m_reader->brand(m_ic.get()) : std::string(); }

int64_t InputMedia::durationUs() const
{
    if (!m_ic || (m_video < 0 && m_audio.empty()))
        return 0;
    if (const int64_t known = m_reader->durationUs(); known > 0)
        return known;
    if (m_ic->duration > 0)
        return m_ic->duration;
    int64_t best = 0;
    for (unsigned i = 0; i < m_ic->nb_streams; ++i) {
        const AVStream *st = m_ic->streams[i];
        if (st->duration > 0)
            best = std::max(best, av_rescale_q(st->duration, st->time_base, AV_TIME_BASE_Q));
    }
    return best;
}

int64_t InputMedia::startTimeUs() const
{
    return m_ic && m_ic->start_time != AV_NOPTS_VALUE ? m_ic->start_time : 0;
}

SourcePicture InputMedia::picture() const
{
    SourcePicture p;
    if (!m_ic || m_video < 0)
        return p;
    AVStream *st = m_ic->streams[m_video];
    p.width = st->codecpar->width;
    p.height = st->codecpar->height;
    AVRational sar = av_guess_sample_aspect_ratio(m_ic.get(), st, nullptr);
    const AVRational dar = m_reader->displayAspect();
    if (dar.num > 0 && dar.den > 0 && p.width > 0 && p.height > 0)
        av_reduce(&sar.num, &sar.den, int64_t(dar.num) * p.height, int64_t(dar.den) * p.width, 1 << 20);
    if (sar.num > 0 && sar.den > 0) {
        p.sarNum = sar.num;
        p.sarDen = sar.den;
    }
    const uint8_t *matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    p.autoRotation = rotationFromDisplayMatrix(reinterpret_cast<const int32_t *>(matrix));
    return p;
}

int InputMedia::displayWidth() const
{
    const SourcePicture p = picture();
    return (p.autoRotation == 90 || p.autoRotation == 270) ? p.height : p.width;
}

int InputMedia::displayHeight() const
{
    const SourcePicture p = picture();
    return (p.autoRotation == 90 || p.autoRotation == 270) ? p.width : p.height;
}

bool InputMedia::canSeek() const
{
    return m_ic && m_ic->pb && (m_ic->pb->seekable & AVIO_SEEKABLE_NORMAL) && durationUs() > 0;
}

CodecCtxPtr openDecoder(const AVStream *st, std::string &error)
{
    const AVCodec *dec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!dec) {
        error = std::string("no decoder for ") + avcodec_get_name(st->codecpar->codec_id);
        return nullptr;
    }
    CodecCtxPtr ctx(avcodec_alloc_context3(dec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), st->codecpar) < 0) {
        error = "cannot set up the decoder";
        return nullptr;
    }
    ctx->pkt_timebase = st->time_base;
    ctx->thread_count = 0;
    ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    int ret = avcodec_open2(ctx.get(), dec, nullptr);
    if (ret < 0) {
        error = std::string("cannot open the ") + dec->name + " decoder: " + avErr(ret);
        return nullptr;
    }
    return ctx;
}

void decodeFromHere(AVFormatContext *ic, int videoIndex, AVCodecContext *dec, int maxPackets,
                    const std::function<bool(AVFrame *)> &take)
{
    std::vector<AVDiscard> discard(ic->nb_streams);
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        discard[i] = ic->streams[i]->discard;
        ic->streams[i]->discard = int(i) == videoIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    PacketPtr pkt = makePacket();
    FramePtr frame = makeFrame();
    bool more = true, ended = false;
    for (int n = 0; n < maxPackets && more && !ended; ++n) {
        const int ret = av_read_frame(ic, pkt.get());
        if (ret == AVERROR(EAGAIN))
            continue;
        if (ret < 0) {
            ended = true;
            avcodec_send_packet(dec, nullptr);
        } else {
            if (pkt->stream_index == videoIndex)
                avcodec_send_packet(dec, pkt.get());
            av_packet_unref(pkt.get());
        }
        // After the end the decoder gives out what it still holds.
        while (more && avcodec_receive_frame(dec, frame.get()) >= 0) {
            more = take(frame.get());
            av_frame_unref(frame.get());
        }
    }
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        ic->streams[i]->discard = discard[i];
}

void rewindInput(AVFormatContext *ic)
{
    if ((ic->iformat->flags & AVFMT_TS_DISCONT) && !(ic->iformat->flags & AVFMT_NO_BYTE_SEEK)
        && av_seek_frame(ic, -1, 0, AVSEEK_FLAG_BYTE) >= 0)
        return;
    const int64_t start = ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0;
    avformat_seek_file(ic, -1, INT64_MIN, start, start, 0);
}

} // namespace zx
