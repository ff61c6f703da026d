// Small RAII wrappers and helpers over the FFmpeg C API, shared by the engine.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace zx {

struct FormatInputDeleter { void operator()(AVFormatContext *c) const { avformat_close_input(&c); } };
struct CodecCtxDeleter { void operator()(AVCodecContext *c) const { avcodec_free_context(&c); } };
struct FrameDeleter { void operator()(AVFrame *f) const { av_frame_free(&f); } };
struct PacketDeleter { void operator()(AVPacket *p) const { av_packet_free(&p); } };
struct GraphDeleter { void operator()(AVFilterGraph *g) const { avfilter_graph_free(&g); } };

using InputPtr = std::unique_ptr<AVFormatContext, FormatInputDeleter>;
using CodecCtxPtr = std::unique_ptr<AVCodecContext, CodecCtxDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using GraphPtr = std::unique_ptr<AVFilterGraph, GraphDeleter>;

inline FramePtr makeFrame() { return FramePtr(av_frame_alloc()); }
inline PacketPtr makePacket() { return PacketPtr(av_packet_alloc()); }

inline std::string avErr(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

// Interrupts blocking libavformat calls on a stop request or after a time
// limit, so a hostile or stalled input cannot hang a worker.
class Interrupter {
public:
    explicit Interrupter(const std::atomic<bool> *stop = nullptr) : m_stop(stop) {}
    void setDeadline(std::chrono::milliseconds fromNow)
    {
        m_deadlineNs.store((std::chrono::steady_clock::now() + fromNow).time_since_epoch().count());
    }
    void clearDeadline() { m_deadlineNs.store(0); }
    AVIOInterruptCB callback() { return AVIOInterruptCB{&Interrupter::check, this}; }
    bool fired() const
    {
        if (m_stop && m_stop->load())
            return true;
        const long long d = m_deadlineNs.load();
        return d && std::chrono::steady_clock::now().time_since_epoch().count() > d;
    }

private:
    static int check(void *self) { return static_cast<Interrupter *>(self)->fired() ? 1 : 0; }
    const std::atomic<bool> *m_stop;
    std::atomic<long long> m_deadlineNs{0};
};

} // namespace zx
