#include "filter_stages.h"
#include "image_watermark.h"
#include "subtitle_burner.h"
#include "text_render.h"

extern "C" {
#include <libavfilter/buffersrc.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zx {
namespace {

constexpr const char *kSubtitleLabel = "zxsub";

std::string format(const char *fmt, double a, double b = 0, double c = 0)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

std::string bufferArgs(int w, int h, AVRational tb)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=1/1", w, h,
                  int(AV_PIX_FMT_RGBA), tb.num, tb.den);
    return buf;
}

// Overlays of static pictures keep their single frame for the whole input
// (eof_action=repeat); subtitle canvases come one per main frame.
std::string overlayFilter(int x, int y)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "overlay=x=%d:y=%d:format=auto:eof_action=repeat", x, y);
    return buf;
}

} // namespace

std::string soundStages(const ZxParams &set)
{
    if (set.volume == 100)
        return {};
    std::string chain = format("volume=volume=%.4f:precision=float", set.volume / 100.0);
    // Gain may push peaks past full scale; the limiter holds them just below
    // (level=0: no make-up gain; latency=1: no delay added to the sound).
    if (set.volume > 100)
        chain += ",alimiter=limit=0.98:level=0:latency=1";
    return chain;
}

std::string effectStages(const ZxParams &set)
{
    std::string chain;
    if (set.brightness != 0 || set.contrast != 100 || set.saturation != 100) {
        // brightness is in 8-bit levels of the picture, contrast and
        // saturation in percent (0 = flat grey, 0 = no colour).
        chain = format("eq=brightness=%.4f:contrast=%.4f:saturation=%.4f", set.brightness / 255.0,
                       set.contrast / 100.0, set.saturation / 100.0);
    }
    if (set.hue != 0)
        chain += (chain.empty() ? "" : ",") + format("hue=h=%.0f", set.hue);
    return chain;
}

EditStage::EditStage() = default;
EditStage::~EditStage() = default;

bool EditStage::hasSubtitles() const
{
    return m_set.subtitleStream >= 0 || m_set.closedCaptions || !m_set.subtitleFile.empty();
}

bool EditStage::prepare(const ZxParams &set, std::string &err)
{
    m_set = set;
    m_image.reset();
    if (!m_set.watermarkImage.empty() && !loadImageRgba(m_set.watermarkImage, m_image, err))
        return false;
    return true;
}

bool EditStage::open(AVFormatContext *ic, int frameW, int frameH, std::string &err)
{
    detach();
    m_frameW = frameW;
    m_frameH = frameH;
    m_imageLayer = Overlay();
    m_textLayer = Overlay();
    m_burner.reset();
    m_lastCanvas = nullptr;
    m_clearCanvas.reset();
    if (frameW <= 0 || frameH <= 0)
        return true;
    if (m_image && !buildImageOverlay(m_image.get(), m_set, frameW, frameH, m_imageLayer, err))
        return false;
    if (!m_set.watermarkText.empty()) {
        TextRenderer text;
        if (!text.renderWatermark(m_set, frameW, frameH, m_textLayer, err))
            return false;
    }
    if (hasSubtitles()) {
        auto burner = std::make_unique<SubtitleBurner>();
        if (!burner->open(m_set, ic, frameW, frameH, err))
            return false;
        if (burner->active()) {
            m_clearCanvas = makeFrame();
            m_clearCanvas->format = AV_PIX_FMT_RGBA;
            m_clearCanvas->width = frameW;
            m_clearCanvas->height = frameH;
            if (av_frame_get_buffer(m_clearCanvas.get(), 0) < 0) {
                err = "out of memory";
                return false;
            }
            for (int y = 0; y < frameH; ++y)
                std::memset(m_clearCanvas->data[0] + size_t(y) * m_clearCanvas->linesize[0], 0, size_t(frameW) * 4);
            m_burner = std::move(burner);
        }
    }
    return true;
}

int EditStage::subtitleStream() const { return m_burner ? m_burner->streamIndex() : -1; }

void EditStage::feedPacket(const AVPacket *pkt)
{
    if (m_burner)
        m_burner->feedPacket(pkt);
}

bool EditStage::wantsVideoFrames() const { return m_burner && m_set.closedCaptions; }

void EditStage::feedVideoFrame(const AVFrame *frame, int64_t sourceUs)
{
    if (m_burner)
        m_burner->feedCaptions(frame, sourceUs);
}

std::string EditStage::pictureGraph(const std::string &in, const std::string &out) const
{
    struct Layer {
        std::string label;
        int x, y;
    };
    std::vector<Layer> layers;
    const Overlay *order[2] = {&m_imageLayer, &m_textLayer};
    if (m_set.watermarkActiveLayer == 0)
        std::swap(order[0], order[1]);
    for (const Overlay *o : order)
        if (!o->empty())
            layers.push_back({o == &m_imageLayer ? "zxwmimage" : "zxwmtext", o->x, o->y});
    if (subtitlesInGraph())
        layers.push_back({kSubtitleLabel, 0, 0});
    if (layers.empty())
        return {};

    std::string graph = "[" + in + "]null";
    for (size_t i = 0; i < layers.size(); ++i) {
        const std::string below = "zxpic" + std::to_string(i);
        graph += "[" + below + "];[" + below + "][" + layers[i].label + "]" + overlayFilter(layers[i].x, layers[i].y);
    }
    return graph + "[" + out + "]";
}

std::vector<ExtraSource> EditStage::sources(AVRational tb) const
{
    std::vector<ExtraSource> list;
    if (subtitlesInGraph())
        list.push_back({kSubtitleLabel, bufferArgs(m_frameW, m_frameH, tb)});
    if (!m_imageLayer.empty())
        list.push_back({"zxwmimage", bufferArgs(m_imageLayer.picture->width, m_imageLayer.picture->height, tb)});
    if (!m_textLayer.empty())
        list.push_back({"zxwmtext", bufferArgs(m_textLayer.picture->width, m_textLayer.picture->height, tb)});
    return list;
}

bool EditStage::start(AVFilterGraph *graph, std::string &err)
{
    detach();
    for (const auto &[label, layer] : {std::make_pair("zxwmimage", &m_imageLayer), std::make_pair("zxwmtext", &m_textLayer)}) {
        if (layer->empty())
            continue;
        AVFilterContext *src = avfilter_graph_get_filter(graph, label);
        FramePtr still = makeFrame();
        int ret = src ? av_frame_ref(still.get(), layer->picture.get()) : AVERROR(EINVAL);
        if (ret >= 0) {
            still->pts = 0; // before every main frame: the trim keeps none earlier
            ret = av_buffersrc_add_frame_flags(src, still.get(), 0);
        }
        if (ret >= 0)
            ret = av_buffersrc_add_frame_flags(src, nullptr, 0);
        if (ret < 0) {
            err = "cannot send the watermark to the filters: " + avErr(ret);
            return false;
        }
    }
    if (subtitlesInGraph()) {
        m_subtitleSrc = avfilter_graph_get_filter(graph, kSubtitleLabel);
        if (!m_subtitleSrc) {
            err = "the filter graph has no input for the subtitles";
            return false;
        }
    }
    return true;
}

void EditStage::detach()
{
    m_subtitleSrc = nullptr;
    m_subtitleClosed = false;
}

bool EditStage::pushSubtitle(int64_t pts, int64_t sourceUs, std::string &err)
{
    if (!m_subtitleSrc || m_subtitleClosed)
        return true;
    const AVFrame *canvas = m_burner->canvasAt(sourceUs);
    if (!canvas)
        canvas = m_clearCanvas.get();
    // A reference: an unchanged canvas is shared, never copied.
    FramePtr ref = makeFrame();
    int ret = av_frame_ref(ref.get(), canvas);
    if (ret >= 0) {
        ref->pts = pts;
        ret = av_buffersrc_add_frame_flags(m_subtitleSrc, ref.get(), 0);
    }
    if (ret < 0) {
        err = "cannot send the subtitles to the filters: " + avErr(ret);
        return false;
    }
    return true;
}

void EditStage::setOutputFormat(int pixelFormat) { m_outFormat = pixelFormat; }

bool EditStage::subtitlesInGraph() const { return m_burner && !canBlendInto(m_outFormat); }

bool EditStage::drawSubtitles(AVFrame *frame, int64_t sourceUs, std::string &err)
{
    if (!m_burner || subtitlesInGraph())
        return true;
    const AVFrame *canvas = m_burner->canvasAt(sourceUs);
    if (!canvas) {
        m_lastCanvas = nullptr;
        return true;
    }
    // A changed picture comes back as another canvas: measure it once.
    if (canvas != m_lastCanvas) {
        m_lastBox = drawnBox(canvas);
        m_lastCanvas = canvas;
    }
    if (m_lastBox.empty())
        return true;
    const int ret = av_frame_make_writable(frame);
    if (ret < 0) {
        err = "cannot draw the subtitles: " + avErr(ret);
        return false;
    }
    blendInto(frame, canvas, m_lastBox);
    return true;
}

void EditStage::closeSubtitles(int64_t pts)
{
    if (m_subtitleSrc && !m_subtitleClosed)
        av_buffersrc_close(m_subtitleSrc, pts, 0);
    m_subtitleClosed = true;
}

std::string describeLayout(const AVChannelLayout &layout)
{
    char buf[128] = {0};
    av_channel_layout_describe(&layout, buf, sizeof buf);
    return buf;
}

std::string abufferArgs(const AVFrame *f)
{
    AVChannelLayout in{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || !f->ch_layout.nb_channels)
        av_channel_layout_default(&in, std::max(1, f->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&in, &f->ch_layout);
    char args[512];
    std::snprintf(args, sizeof args, "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", f->sample_rate,
                  f->sample_rate, av_get_sample_fmt_name(AVSampleFormat(f->format)), describeLayout(in).c_str());
    av_channel_layout_uninit(&in);
    return args;
}

int linkFilterGraph(AVFilterGraph *graph, const char *srcName, const std::string &srcArgs, const char *sinkName,
                    const std::string &chain, const std::vector<ExtraSource> &extras, AVFilterContext **src,
                    AVFilterContext **sink)
{
    int ret = avfilter_graph_create_filter(src, avfilter_get_by_name(srcName), "in", srcArgs.c_str(), nullptr, graph);
    if (ret >= 0)
        ret = avfilter_graph_create_filter(sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr, graph);
    if (ret < 0)
        return ret;
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    if (!outputs || !inputs)
        ret = AVERROR(ENOMEM);
    if (ret >= 0) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = *src;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = *sink;
        for (auto it = extras.rbegin(); ret >= 0 && it != extras.rend(); ++it) {
            AVFilterContext *extra = nullptr;
            ret = avfilter_graph_create_filter(&extra, avfilter_get_by_name("buffer"), it->label.c_str(),
                                               it->args.c_str(), nullptr, graph);
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
    }
    if (ret >= 0)
        ret = avfilter_graph_parse_ptr(graph, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (ret >= 0)
        ret = avfilter_graph_config(graph, nullptr);
    return ret;
}

} // namespace zx
