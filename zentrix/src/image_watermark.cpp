#include "image_watermark.h"
#include "media_input.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cmath>

namespace zx {
namespace {

struct SwsDeleter { void operator()(SwsContext *c) const { sws_freeContext(c); } };
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;

// The demuxer over our own I/O: the path is never parsed as a pattern or a
// protocol, and the image kind comes from the bytes.
struct ImageInput {
    AVIOContext *pb = nullptr;
    AVFormatContext *ic = nullptr;
    ~ImageInput()
    {
        avformat_close_input(&ic);
        avio_closep(&pb);
    }
};

FramePtr toRgba(const AVFrame *src, int w, int h, std::string &err)
{
    FramePtr out = makeFrame();
    out->format = AV_PIX_FMT_RGBA;
    out->width = w;
    out->height = h;
    if (av_frame_get_buffer(out.get(), 0) < 0) {
        err = "out of memory";
        return nullptr;
    }
    SwsPtr sws(sws_getContext(src->width, src->height, AVPixelFormat(src->format), w, h, AV_PIX_FMT_RGBA,
                              SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!sws) {
        const char *name = av_get_pix_fmt_name(AVPixelFormat(src->format));
        err = std::string("pictures in ") + (name ? name : "this format") + " cannot be converted";
        return nullptr;
    }
    sws_scale(sws.get(), src->data, src->linesize, 0, src->height, out->data, out->linesize);
    return out;
}

} // namespace

bool loadImageRgba(const std::string &path, FramePtr &rgba, std::string &err)
{
    auto fail = [&](const std::string &why) {
        err = "cannot read the watermark image \"" + path + "\": " + why;
        return false;
    };
    if (path.empty())
        return fail("no path");
    ImageInput in;
    int ret = avio_open(&in.pb, ("file:" + path).c_str(), AVIO_FLAG_READ);
    if (ret < 0)
        return fail(avErr(ret));
    in.ic = avformat_alloc_context();
    if (!in.ic)
        return fail("out of memory");
    in.ic->pb = in.pb;
    in.ic->flags |= AVFMT_FLAG_CUSTOM_IO;
    ret = avformat_open_input(&in.ic, "", nullptr, nullptr);
    if (ret < 0)
        return fail("not a picture FFmpeg can read (" + avErr(ret) + ")");
    avformat_find_stream_info(in.ic, nullptr);
    const int index = av_find_best_stream(in.ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return fail("it holds no picture");
    AVStream *st = in.ic->streams[index];
    std::string why;
    CodecCtxPtr dec = openDecoder(st, why);
    if (!dec)
        return fail(why);

    FramePtr frame = makeFrame();
    PacketPtr pkt = makePacket();
    bool got = false, flushed = false;
    int packets = 0;
    while (!got) {
        if (!flushed) {
            ret = av_read_frame(in.ic, pkt.get());
            if (ret < 0 || packets >= 64) { // a still picture is one packet; a damaged file gets a few more
                avcodec_send_packet(dec.get(), nullptr);
                flushed = true;
            } else if (pkt->stream_index == index) {
                avcodec_send_packet(dec.get(), pkt.get());
                ++packets;
            }
            av_packet_unref(pkt.get());
        }
        ret = avcodec_receive_frame(dec.get(), frame.get());
        if (ret >= 0)
            got = true;
        else if (ret != AVERROR(EAGAIN) || flushed)
            break;
    }
    if (!got || frame->width <= 0 || frame->height <= 0)
        return fail("no picture could be decoded");
    if (frame->width > 16384 || frame->height > 16384)
        return fail("the picture is too large");
    FramePtr out = toRgba(frame.get(), frame->width, frame->height, why);
    if (!out)
        return fail(why);
    rgba = std::move(out);
    return true;
}

void watermarkImageSize(int imageW, int imageH, int scaleX, int scaleY, int frameH, int &w, int &h)
{
    const double unit = double(frameH) / kWatermarkReferenceLines;
    w = std::max(1, int(std::lround(imageW * unit * scaleX / 100.0)));
    h = std::max(1, int(std::lround(imageH * unit * scaleY / 100.0)));
}

bool buildImageOverlay(const AVFrame *rgba, const ZxParams &set, int frameW, int frameH, Overlay &out,
                       std::string &err)
{
    out = Overlay();
    if (!rgba || frameW <= 0 || frameH <= 0 || set.watermarkImageOpacity <= 0)
        return true;
    int w = 0, h = 0;
    watermarkImageSize(rgba->width, rgba->height, set.watermarkImageScaleX, set.watermarkImageScaleY, frameH, w, h);
    // Far larger than the frame shows nothing more, and would only cost memory.
    w = std::min(w, 4 * frameW);
    h = std::min(h, 4 * frameH);
    FramePtr pic = toRgba(rgba, w, h, err);
    if (!pic)
        return false;
    if (set.watermarkImageOpacity < 255) {
        const int opacity = set.watermarkImageOpacity;
        for (int y = 0; y < h; ++y) {
            uint8_t *row = pic->data[0] + size_t(y) * pic->linesize[0];
            for (int x = 0; x < w; ++x)
                row[4 * x + 3] = uint8_t((row[4 * x + 3] * opacity + 127) / 255);
        }
    }
    out.picture = std::move(pic);
    out.x = int(std::lround(set.watermarkImageX * frameW));
    out.y = int(std::lround(set.watermarkImageY * frameH));
    return true;
}

} // namespace zx

#include "zentrix.h"

#include <mutex>
#include <sys/stat.h>

namespace {

// The preview asks for the box at every mouse move: remember the size of the
// last image (by path and modification time) instead of decoding it again.
struct ImageSizeCache {
    std::mutex mutex;   // guards everything below
    std::string path;
    long long mtime = -1, bytes = -1;
    int width = 0, height = 0;
};

bool imageSize(const std::string &path, int &w, int &h)
{
    static ImageSizeCache cache;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    const long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    {
        std::lock_guard<std::mutex> lock(cache.mutex);
        if (cache.path == path && cache.mtime == mtime && cache.bytes == st.st_size) {
            w = cache.width;
            h = cache.height;
            return true;
        }
    }
    zx::FramePtr rgba;
    std::string err;
    if (!zx::loadImageRgba(path, rgba, err))
        return false;
    w = rgba->width;
    h = rgba->height;
    std::lock_guard<std::mutex> lock(cache.mutex);
    cache.path = path;
    cache.mtime = mtime;
    cache.bytes = st.st_size;
    cache.width = w;
    cache.height = h;
    return true;
}

} // namespace

extern "C" int ParamsWatermarkImageBox(const ZxParams *set, int frame_w, int frame_h, double *w, double *h)
{
    if (w)
        *w = 0;
    if (h)
        *h = 0;
    if (!set || frame_w <= 0 || frame_h <= 0)
        return 0;
    if (set->watermarkImage.empty())
        return 1;
    int imageW = 0, imageH = 0;
    if (!imageSize(set->watermarkImage, imageW, imageH))
        return 0;
    int pw = 0, ph = 0;
    zx::watermarkImageSize(imageW, imageH, set->watermarkImageScaleX, set->watermarkImageScaleY, frame_h, pw, ph);
    if (w)
        *w = double(pw) / frame_w;
    if (h)
        *h = double(ph) / frame_h;
    return 1;
}
