#include "player_render.h"

#include "bmp.h"
#include "colour.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdio>

namespace zx {
namespace {

constexpr AVRational kMicros{1, 1000000};

// HD pictures without a colour tag are BT.709, as players and encoders assume.
int colourMatrix(const AVFrame *f)
{
    switch (f->colorspace) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return f->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool isFullRange(const AVFrame *f)
{
    return f->color_range == AVCOL_RANGE_JPEG || f->format == AV_PIX_FMT_YUVJ420P || f->format == AV_PIX_FMT_YUVJ422P
           || f->format == AV_PIX_FMT_YUVJ444P;
}

void appendKey(std::string &key, const char *fmt, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    key += buf;
}

void appendStyle(std::string &key, const ZxTextStyle &s)
{
    key += s.font + '|';
    for (double v : {double(s.opacity), double(s.scaleX), double(s.scaleY), double(s.fontSize), double(s.bold),
                     double(s.italic), double(s.underline), double(s.strikeOut), double(s.color), double(s.color2),
                     double(s.color3), s.anchorX, s.anchorY})
        appendKey(key, "%.17g,", v);
}

// Everything EditStage::open() draws from: a change means rendering the
// watermarks and opening the subtitles again.
std::string drawKey(const ZxParams &s, int w, int h)
{
    std::string key = s.watermarkText + '|' + s.watermarkImage + '|' + s.subtitleFile + '|';
    appendStyle(key, s.watermarkStyle);
    appendStyle(key, s.subtitleStyle);
    for (double v : {double(w), double(h), s.watermarkTextX, s.watermarkTextY, double(s.watermarkActiveLayer),
                     double(s.watermarkImageOpacity), double(s.watermarkImageScaleX), double(s.watermarkImageScaleY),
                     s.watermarkImageX, s.watermarkImageY, double(s.subtitleStream), double(s.closedCaptions),
                     double(s.subtitleTimeValue)})
        appendKey(key, "%.17g,", v);
    return key;
}

} // namespace

CallbackPicture::~CallbackPicture() { sws_freeContext(m_sws); }

SwsContext *CallbackPicture::scaler(const AVFrame *in, int w, int h, AVPixelFormat to)
{
    m_sws = sws_getCachedContext(m_sws, in->width, in->height, AVPixelFormat(in->format), w, h, to, SWS_BILINEAR,
                                 nullptr, nullptr, nullptr);
    if (!m_sws)
        return nullptr;
    const int *coefs = sws_getCoefficients(colourMatrix(in));
    int *invTable = nullptr, *table = nullptr, srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(m_sws, &invTable, &srcRange, &table, &dstRange, &brightness, &contrast, &saturation) >= 0)
        sws_setColorspaceDetails(m_sws, coefs, isFullRange(in) ? 1 : 0, coefs, to == AV_PIX_FMT_YUV420P ? dstRange : 1,
                                 brightness, contrast, saturation);
    return m_sws;
}

bool CallbackPicture::convert(const AVFrame *in, int format, ZxFrame &out)
{
    out = ZxFrame{};
    out.format = format;
    out.width = in->width;
    out.height = in->height;
    if (format == ZX_PIXEL_YUV420P && in->format == AV_PIX_FMT_YUV420P) {
        for (int i = 0; i < 3; ++i) {
            out.data[i] = in->data[i];
            out.stride[i] = in->linesize[i];
        }
        return true;
    }
    const AVPixelFormat to = format == ZX_PIXEL_RGB32 ? AV_PIX_FMT_RGB32 : AV_PIX_FMT_YUV420P;
    if (!m_out || m_out->width != in->width || m_out->height != in->height || m_out->format != to) {
        m_out = makeFrame();
        m_out->width = in->width;
        m_out->height = in->height;
        m_out->format = to;
        if (av_frame_get_buffer(m_out.get(), 0) < 0) {
            m_out.reset();
            return false;
        }
    }
    SwsContext *sws = scaler(in, in->width, in->height, to);
    if (!sws)
        return false;
    sws_scale(sws, in->data, in->linesize, 0, in->height, m_out->data, m_out->linesize);
    for (int i = 0; i < (format == ZX_PIXEL_RGB32 ? 1 : 3); ++i) {
        out.data[i] = m_out->data[i];
        out.stride[i] = m_out->linesize[i];
    }
    return true;
}

std::vector<unsigned char> CallbackPicture::bmp(const AVFrame *in)
{
    SwsContext *sws = scaler(in, in->width, in->height, AV_PIX_FMT_BGR24);
    if (!sws)
        return {};
    const int stride = (in->width * 3 + 31) & ~31;
    std::vector<uint8_t> bgr(size_t(stride) * size_t(in->height));
    uint8_t *dst[4] = {bgr.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {stride, 0, 0, 0};
    sws_scale(sws, in->data, in->linesize, 0, in->height, dst, dstStride);
    return encodeBmp24(bgr.data(), stride, in->width, in->height);
}

const AVFrame *UprightPicture::turn(const AVFrame *f, int autoRotation)
{
    const bool quarter = autoRotation == 90 || autoRotation == 270;
    std::string chain = autoRotation == 90 ? "transpose=clock" : autoRotation == 270 ? "transpose=cclock"
                      : autoRotation == 180 ? "hflip,vflip" : "";
    // An HDR picture is tone-mapped here too, as for the edited picture:
    // shown as decoded it would look flat and grey.
    const ColourTags from = completeColours(tagsOf(f), f->height, AVPixelFormat(f->format));
    if (isHdr(from)) {
        const int w = quarter ? f->height : f->width, h = quarter ? f->width : f->height;
        const ColourTags to = outputColours(tagsOf(f), f->height, AVPixelFormat(f->format), AV_PIX_FMT_YUV420P, h,
                                            false);
        chain += (chain.empty() ? "" : ",") + colourScale(from, to, w, h);
    }
    if (chain.empty())
        return f;
    char args[160];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=1/1", f->width,
                  f->height, f->format);
    const std::string key = args + chain;
    if (!m_graph || m_key != key) {
        m_graph.reset(avfilter_graph_alloc());
        m_key.clear();
        if (!m_graph
            || linkFilterGraph(m_graph.get(), "buffer", args, "buffersink", "[in]" + chain + "[out]", {}, &m_src,
                               &m_sink) < 0) {
            m_graph.reset();
            return f;
        }
        m_key = key;
    }
    FramePtr in = makeFrame();
    m_out = makeFrame();
    if (av_frame_ref(in.get(), f) < 0 || av_buffersrc_add_frame_flags(m_src, in.get(), AV_BUFFERSRC_FLAG_PUSH) < 0
        || av_buffersink_get_frame(m_sink, m_out.get()) < 0) {
        m_graph.reset();
        return f;
    }
    return m_out.get();
}

EditedPicture::~EditedPicture() { m_stage.detach(); }

void EditedPicture::setParams(const ZxParams &set, int frameW, int frameH)
{
    m_set = set;
    m_wantW = frameW;
    m_wantH = frameH;
    m_setChanged = true;
    // The frame size is known before the first picture decodes.
    ZxParams sized = m_set;
    sized.width = m_wantW;
    sized.height = m_wantH;
    m_geometry = computeGeometry(sized, m_picture, true, true);
}

bool EditedPicture::rebuild(const AVFrame *f, std::string &err)
{
    SourcePicture pic = m_picture;
    pic.width = f->width;
    pic.height = f->height;
    if (f->sample_aspect_ratio.num > 0 && f->sample_aspect_ratio.den > 0) {
        pic.sarNum = f->sample_aspect_ratio.num;
        pic.sarDen = f->sample_aspect_ratio.den;
    }
    ZxParams sized = m_set;
    sized.width = m_wantW;
    sized.height = m_wantH;
    // Even sizes, as the 4:2:0 output of the converter has them.
    m_geometry = computeGeometry(sized, pic, true, true);

    if (m_setChanged) {
        // The set counts subtitle streams in the order the source lists them;
        // the stage counts them in the demuxer's order.
        ZxParams stageSet = m_set;
        const std::vector<int> &listed = m_media.subtitleStreams();
        if (stageSet.subtitleStream >= 0 && stageSet.subtitleStream < int(listed.size())) {
            const int wanted = listed[size_t(stageSet.subtitleStream)];
            int rank = 0;
            std::lock_guard<std::mutex> g(m_icLock);
            for (int i = 0; i < wanted; ++i)
                rank += m_media.context()->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
            stageSet.subtitleStream = rank;
        }
        m_stage.detach();
        if (!m_stage.prepare(stageSet, err))
            return false;
        const std::string key = drawKey(stageSet, m_geometry.frameW, m_geometry.frameH);
        if (key != m_drawKey) {
            m_drawKey.clear();
            std::lock_guard<std::mutex> g(m_icLock);
            if (!m_stage.open(m_media.context(), m_geometry.frameW, m_geometry.frameH, err))
                return false;
            m_drawKey = key;
        }
        m_stage.setOutputFormat(AV_PIX_FMT_YUV420P);
        m_setChanged = false;
        m_graphKey.clear();
    }

    // Fields are put together before the geometry, as the converter does.
    const std::string scan = previewScanFilters(scanForMode(m_media.scan(), m_set.deinterlace));
    m_deinterlaced = !scan.empty();
    // The preview shows 8-bit pictures: colours as an 8-bit output of the
    // converter gets them (an HDR source tone-mapped the same way).
    const ColourTags from = completeColours(tagsOf(f), f->height, AVPixelFormat(f->format));
    const ColourTags to = outputColours(tagsOf(f), f->height, AVPixelFormat(f->format), AV_PIX_FMT_YUV420P,
                                        m_geometry.frameH, false);
    std::string chain = "[in]" + (scan.empty() ? std::string() : scan + ",")
                        + geometryFilters(m_geometry, pic.autoRotation,
                                          colourScale(from, to, m_geometry.pictureW, m_geometry.pictureH),
                                          effectStages(m_set));
    const std::string edits = m_stage.pictureGraph("zxgeometry", "zxedited");
    if (!edits.empty())
        chain += "[zxgeometry];" + edits + ";[zxedited]null";
    chain += ",format=pix_fmts=yuv420p[out]";
    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=%d/%d", f->width,
                  f->height, f->format, pic.sarNum, pic.sarDen);
    const std::string key = chain + args;
    if (m_graph && key == m_graphKey)
        return true;

    m_stage.detach();
    m_graph.reset();
    m_graphKey.clear();
    GraphPtr graph(avfilter_graph_alloc());
    if (!graph)
        return (err = "out of memory", false);
    // The player's thread is the picture's; decoding has the other cores.
    // Tone mapping alone costs more than a picture's time on one core at
    // 1080p, so it gets slice threads.
    graph->nb_threads = isHdr(from) ? 0 : 1;
    const int ret = linkFilterGraph(graph.get(), "buffer", args, "buffersink", chain, m_stage.sources(kMicros), &m_src,
                                    &m_sink);
    if (ret < 0)
        return (err = "cannot set up the preview filters: " + avErr(ret), false);
    if (!m_stage.start(graph.get(), err))
        return false;
    m_graph = std::move(graph);
    m_graphKey = key;
    m_graphPts = 0;
    return true;
}

bool EditedPicture::render(const AVFrame *decoded, int64_t sourceUs, std::string &err)
{
    if (!rebuild(decoded, err))
        return false;
    FramePtr in = makeFrame();
    if (av_frame_ref(in.get(), decoded) < 0)
        return (err = "out of memory", false);
    // The graph sees rising times whatever the viewer does (seeks, redraws
    // of the same picture); the subtitles go by the source time.
    in->pict_type = AV_PICTURE_TYPE_NONE;
    int ret = 0;
    // The deinterlacer gives a picture out once it has seen the next one: the
    // picture goes in twice, and what the first time gives out (the picture
    // before, its neighbours now complete) is let go.
    if (m_deinterlaced) {
        FramePtr lead = makeFrame();
        if (av_frame_ref(lead.get(), in.get()) < 0)
            return (err = "out of memory", false);
        lead->pts = m_graphPts;
        m_graphPts += 40000;
        if (!m_stage.pushSubtitle(lead->pts, sourceUs, err))
            return false;
        ret = av_buffersrc_add_frame_flags(m_src, lead.get(), AV_BUFFERSRC_FLAG_PUSH);
        FramePtr earlier = makeFrame();
        while (ret >= 0 && av_buffersink_get_frame(m_sink, earlier.get()) >= 0)
            av_frame_unref(earlier.get());
    }
    in->pts = m_graphPts;
    m_graphPts += 40000;
    if (!m_stage.pushSubtitle(in->pts, sourceUs, err))
        return false;
    if (ret >= 0)
        ret = av_buffersrc_add_frame_flags(m_src, in.get(), AV_BUFFERSRC_FLAG_PUSH);
    FramePtr out = makeFrame();
    if (ret >= 0)
        ret = av_buffersink_get_frame(m_sink, out.get());
    if (ret < 0) {
        // A graph that holds the frame back is rebuilt next time.
        m_stage.detach();
        m_graph.reset();
        m_graphKey.clear();
        return (err = "filtering the preview failed: " + avErr(ret), false);
    }
    if (!m_stage.drawSubtitles(out.get(), sourceUs, err))
        return false;
    m_result = std::move(out);
    return true;
}

} // namespace zx
