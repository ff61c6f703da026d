#include "picture_blend.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zx {
namespace {

bool isPlanarYuv8(const AVPixFmtDescriptor *d)
{
    if (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL
                    | AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_BE))
        return false;
    if (d->nb_components < 3 || !(d->flags & AV_PIX_FMT_FLAG_PLANAR))
        return false;
    for (int i = 0; i < 3; ++i)
        if (d->comp[i].plane != i || d->comp[i].depth != 8 || d->comp[i].step != 1 || d->comp[i].shift != 0
            || d->comp[i].offset != 0)
            return false;
    return true;
}

bool isPackedRgb8(const AVPixFmtDescriptor *d)
{
    if (!(d->flags & AV_PIX_FMT_FLAG_RGB) || (d->flags & (AV_PIX_FMT_FLAG_PLANAR | AV_PIX_FMT_FLAG_PAL
                                                          | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL
                                                          | AV_PIX_FMT_FLAG_FLOAT)))
        return false;
    if (d->nb_components < 3 || d->log2_chroma_w || d->log2_chroma_h)
        return false;
    for (int i = 0; i < 3; ++i)
        if (d->comp[i].plane != 0 || d->comp[i].depth != 8 || d->comp[i].shift != 0
            || d->comp[i].step != d->comp[0].step || (d->comp[i].step != 3 && d->comp[i].step != 4))
            return false;
    return true;
}

// Y, U, V of an 8-bit RGB colour.
struct YuvMatrix {
    float yr, yg, yb, yOff;
    float ur, ug, ub;
    float vr, vg, vb;
};

YuvMatrix matrixFor(const AVFrame *f, const AVPixFmtDescriptor *d)
{
    const bool full = f->color_range == AVCOL_RANGE_JPEG || std::strncmp(d->name, "yuvj", 4) == 0;
    const bool hd = f->colorspace == AVCOL_SPC_BT709;
    const float kr = hd ? 0.2126f : 0.299f, kb = hd ? 0.0722f : 0.114f, kg = 1 - kr - kb;
    const float ys = full ? 1.0f : 219.0f / 255, cs = full ? 1.0f : 224.0f / 255;
    YuvMatrix m{};
    m.yr = kr * ys, m.yg = kg * ys, m.yb = kb * ys, m.yOff = full ? 0 : 16;
    m.ur = -0.5f * kr / (1 - kb) * cs, m.ug = -0.5f * kg / (1 - kb) * cs, m.ub = 0.5f * cs;
    m.vr = 0.5f * cs, m.vg = -0.5f * kg / (1 - kr) * cs, m.vb = -0.5f * kb / (1 - kr) * cs;
    return m;
}

inline uint8_t mix(uint8_t below, float above, unsigned alpha)
{
    const float v = (below * float(255 - alpha) + above * float(alpha)) / 255.0f;
    return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

void blendYuv(AVFrame *f, const AVFrame *c, PixelBox b, const AVPixFmtDescriptor *d)
{
    const YuvMatrix m = matrixFor(f, d);
    for (int y = b.y0; y < b.y1; ++y) {
        const uint8_t *src = c->data[0] + size_t(y) * c->linesize[0];
        uint8_t *dst = f->data[0] + size_t(y) * f->linesize[0];
        for (int x = b.x0; x < b.x1; ++x) {
            const uint8_t *p = src + 4 * x;
            if (p[3])
                dst[x] = mix(dst[x], m.yOff + m.yr * p[0] + m.yg * p[1] + m.yb * p[2], p[3]);
        }
    }
    // Each chroma sample takes the mean coverage and colour of the pixels it
    // stands for.
    const int sw = d->log2_chroma_w, sh = d->log2_chroma_h;
    const int cw = AV_CEIL_RSHIFT(f->width, sw), ch = AV_CEIL_RSHIFT(f->height, sh);
    for (int cy = b.y0 >> sh; cy <= (b.y1 - 1) >> sh && cy < ch; ++cy) {
        uint8_t *du = f->data[1] + size_t(cy) * f->linesize[1];
        uint8_t *dv = f->data[2] + size_t(cy) * f->linesize[2];
        for (int cx = b.x0 >> sw; cx <= (b.x1 - 1) >> sw && cx < cw; ++cx) {
            float sumA = 0, sumU = 0, sumV = 0;
            for (int y = cy << sh; y < std::min((cy + 1) << sh, b.y1); ++y) {
                const uint8_t *row = c->data[0] + size_t(y) * c->linesize[0];
                for (int x = cx << sw; x < std::min((cx + 1) << sw, b.x1); ++x) {
                    const uint8_t *p = row + 4 * x;
                    if (!p[3])
                        continue;
                    const float a = p[3];
                    sumA += a;
                    sumU += a * (128 + m.ur * p[0] + m.ug * p[1] + m.ub * p[2]);
                    sumV += a * (128 + m.vr * p[0] + m.vg * p[1] + m.vb * p[2]);
                }
            }
            if (sumA <= 0)
                continue;
            const float block = float(1 << (sw + sh)) * 255.0f; // full coverage of the sample
            const float keep = 1.0f - sumA / block;
            du[cx] = uint8_t(std::clamp(du[cx] * keep + sumU / block + 0.5f, 0.0f, 255.0f));
            dv[cx] = uint8_t(std::clamp(dv[cx] * keep + sumV / block + 0.5f, 0.0f, 255.0f));
        }
    }
}

void blendRgb(AVFrame *f, const AVFrame *c, PixelBox b, const AVPixFmtDescriptor *d)
{
    const int step = d->comp[0].step, r = d->comp[0].offset, g = d->comp[1].offset, bl = d->comp[2].offset;
    for (int y = b.y0; y < b.y1; ++y) {
        const uint8_t *src = c->data[0] + size_t(y) * c->linesize[0];
        uint8_t *dst = f->data[0] + size_t(y) * f->linesize[0];
        for (int x = b.x0; x < b.x1; ++x) {
            const uint8_t *p = src + 4 * x;
            if (!p[3])
                continue;
            uint8_t *q = dst + step * x;
            q[r] = mix(q[r], p[0], p[3]);
            q[g] = mix(q[g], p[1], p[3]);
            q[bl] = mix(q[bl], p[2], p[3]);
        }
    }
}

} // namespace

PixelBox drawnBox(const AVFrame *rgba)
{
    PixelBox box{rgba->width, rgba->height, 0, 0};
    for (int y = 0; y < rgba->height; ++y) {
        const uint8_t *row = rgba->data[0] + size_t(y) * rgba->linesize[0];
        int first = -1, last = -1;
        for (int x = 0; x < rgba->width; ++x)
            if (row[4 * x + 3]) {
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first < 0)
            continue;
        box.x0 = std::min(box.x0, first);
        box.x1 = std::max(box.x1, last + 1);
        box.y0 = std::min(box.y0, y);
        box.y1 = y + 1;
    }
    return box.empty() ? PixelBox{} : box;
}

bool canBlendInto(int pixelFormat)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(pixelFormat));
    return d && (isPlanarYuv8(d) || isPackedRgb8(d));
}

void blendInto(AVFrame *frame, const AVFrame *rgba, PixelBox box)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (!d)
        return;
    box.x1 = std::min({box.x1, frame->width, rgba->width});
    box.y1 = std::min({box.y1, frame->height, rgba->height});
    box.x0 = std::max(box.x0, 0);
    box.y0 = std::max(box.y0, 0);
    if (box.empty())
        return;
    if (isPlanarYuv8(d))
        blendYuv(frame, rgba, box, d);
    else if (isPackedRgb8(d))
        blendRgb(frame, rgba, box, d);
}

} // namespace zx
