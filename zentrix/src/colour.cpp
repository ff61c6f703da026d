#include "colour.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstdio>

namespace zx {
namespace {

bool rgbFormat(AVPixelFormat f)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(f);
    return d && (d->flags & AV_PIX_FMT_FLAG_RGB);
}

bool fullRangeFormat(AVPixelFormat f)
{
    return f == AV_PIX_FMT_YUVJ420P || f == AV_PIX_FMT_YUVJ422P || f == AV_PIX_FMT_YUVJ444P
           || f == AV_PIX_FMT_YUVJ440P || f == AV_PIX_FMT_YUVJ411P;
}

bool known(AVColorSpace m) { return m != AVCOL_SPC_UNSPECIFIED && m != AVCOL_SPC_RESERVED && m < AVCOL_SPC_NB; }
bool known(AVColorPrimaries p) { return p != AVCOL_PRI_UNSPECIFIED && p != AVCOL_PRI_RESERVED0 && p != AVCOL_PRI_RESERVED && p < AVCOL_PRI_NB; }
bool known(AVColorTransferCharacteristic t)
{
    return t != AVCOL_TRC_UNSPECIFIED && t != AVCOL_TRC_RESERVED0 && t != AVCOL_TRC_RESERVED && t < AVCOL_TRC_NB;
}

// 625-line (PAL) pictures have primaries of their own; other SD sizes are
// taken as 525-line ones.
bool palLines(int height) { return height > 480 && height < 720; }

AVColorSpace matrixFor(AVColorPrimaries p, int height)
{
    switch (p) {
    case AVCOL_PRI_BT709: return AVCOL_SPC_BT709;
    case AVCOL_PRI_BT2020: return AVCOL_SPC_BT2020_NCL;
    case AVCOL_PRI_BT470BG: return AVCOL_SPC_BT470BG;
    case AVCOL_PRI_SMPTE170M: return AVCOL_SPC_SMPTE170M;
    case AVCOL_PRI_SMPTE240M: return AVCOL_SPC_SMPTE240M;
    default:
        return height >= 720 ? AVCOL_SPC_BT709 : palLines(height) ? AVCOL_SPC_BT470BG : AVCOL_SPC_SMPTE170M;
    }
}

AVColorPrimaries primariesFor(AVColorSpace m, int height)
{
    switch (m) {
    case AVCOL_SPC_BT709: return AVCOL_PRI_BT709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return AVCOL_PRI_BT2020;
    case AVCOL_SPC_BT470BG: return AVCOL_PRI_BT470BG;
    case AVCOL_SPC_SMPTE170M: return AVCOL_PRI_SMPTE170M;
    case AVCOL_SPC_SMPTE240M: return AVCOL_PRI_SMPTE240M;
    default:
        return height >= 720 ? AVCOL_PRI_BT709 : palLines(height) ? AVCOL_PRI_BT470BG : AVCOL_PRI_SMPTE170M;
    }
}

AVColorTransferCharacteristic transferFor(AVColorPrimaries p)
{
    switch (p) {
    case AVCOL_PRI_BT2020: return AVCOL_TRC_BT2020_10;
    case AVCOL_PRI_BT470BG:
    case AVCOL_PRI_SMPTE170M: return AVCOL_TRC_SMPTE170M;
    case AVCOL_PRI_SMPTE240M: return AVCOL_TRC_SMPTE240M;
    default: return AVCOL_TRC_BT709;
    }
}

// The matrix as swscale names it; matrices with the same coefficients share
// a name, so a 525-line and a 625-line picture need no conversion.
const char *swsMatrix(AVColorSpace m)
{
    switch (m) {
    case AVCOL_SPC_BT709: return "bt709";
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return "bt2020";
    case AVCOL_SPC_SMPTE240M: return "smpte240m";
    case AVCOL_SPC_FCC: return "fcc";
    default: return "bt601";
    }
}

// The names zscale gives the input's colours (explicit, so that a source
// with a partial tag still converts).
const char *zimgTransfer(AVColorTransferCharacteristic t)
{
    return t == AVCOL_TRC_SMPTE2084 ? "smpte2084" : t == AVCOL_TRC_ARIB_STD_B67 ? "arib-std-b67" : "709";
}
const char *zimgPrimaries(AVColorPrimaries p)
{
    return p == AVCOL_PRI_BT2020 ? "2020" : p == AVCOL_PRI_SMPTE170M || p == AVCOL_PRI_BT470BG ? "170m" : "709";
}
const char *zimgMatrix(AVColorSpace m)
{
    switch (m) {
    case AVCOL_SPC_BT2020_NCL: return "2020_ncl";
    case AVCOL_SPC_BT2020_CL: return "2020_cl";
    case AVCOL_SPC_BT470BG: return "470bg";
    case AVCOL_SPC_SMPTE170M: return "170m";
    default: return "709";
    }
}
const char *rangeName(AVColorRange r) { return r == AVCOL_RANGE_JPEG ? "pc" : "tv"; }

std::string setParams(const ColourTags &c)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "setparams=range=%d:color_primaries=%d:color_trc=%d:colorspace=%d", int(c.range),
                  int(c.primaries), int(c.transfer), int(c.matrix));
    return buf;
}

} // namespace

ColourTags tagsOf(const AVFrame *f)
{
    return {f->color_primaries, f->color_trc, f->colorspace, f->color_range};
}

ColourTags tagsOf(const AVCodecParameters *par)
{
    return {par->color_primaries, par->color_trc, par->color_space, par->color_range};
}

ColourTags completeColours(ColourTags t, int height, AVPixelFormat format)
{
    if (rgbFormat(format)) {
        t.matrix = AVCOL_SPC_RGB;
        t.range = AVCOL_RANGE_JPEG;
    } else if (!known(t.matrix) || t.matrix == AVCOL_SPC_RGB) {
        t.matrix = matrixFor(known(t.primaries) ? t.primaries : AVCOL_PRI_UNSPECIFIED, height);
    }
    if (!known(t.primaries))
        t.primaries = primariesFor(t.matrix, height);
    if (!known(t.transfer))
        t.transfer = transferFor(t.primaries);
    if (t.range != AVCOL_RANGE_MPEG && t.range != AVCOL_RANGE_JPEG)
        t.range = fullRangeFormat(format) ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    return t;
}

bool isHdr(const ColourTags &c)
{
    return c.transfer == AVCOL_TRC_SMPTE2084 || c.transfer == AVCOL_TRC_ARIB_STD_B67;
}

ColourTags outputColours(const ColourTags &tagged, int sourceHeight, AVPixelFormat sourceFormat,
                         AVPixelFormat outFormat, int outHeight, bool fullRange)
{
    const ColourTags source = completeColours(tagged, sourceHeight, sourceFormat);
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(outFormat);
    const bool outRgb = rgbFormat(outFormat);
    ColourTags out;
    if (isHdr(source)) {
        // Ten bits hold an HDR picture as it is; fewer would band, and
        // players would show the HDR signal as a flat, grey SDR picture.
        if (d && d->comp[0].depth >= 10 && !outRgb)
            out = source;
        else
            out = {AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG};
    } else if (known(tagged.matrix) && tagged.matrix != AVCOL_SPC_RGB && !rgbFormat(sourceFormat)) {
        out = source;
    } else {
        // Untagged (or RGB) pictures are made to look right at the output's
        // size: a player takes an untagged HD picture as BT.709 and an SD one
        // as BT.601, so the picture is converted when the size crosses over.
        out = completeColours({known(tagged.primaries) ? tagged.primaries : AVCOL_PRI_UNSPECIFIED,
                               known(tagged.transfer) ? tagged.transfer : AVCOL_TRC_UNSPECIFIED,
                               AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED},
                              outHeight, AV_PIX_FMT_YUV420P);
    }
    if (outRgb)
        out.matrix = AVCOL_SPC_RGB;
    out.range = outRgb || fullRange || fullRangeFormat(outFormat) ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    return out;
}

std::string toneMapFilters(const ColourTags &from, const ColourTags &to, int w, int h, const char *outFormats)
{
    // Tone mapping works on linear light: zscale linearises (and resizes
    // in the same pass, saving a pass over the float picture), tonemap
    // compresses the HDR range, zscale encodes the result as BT.709.
    // The operator is mobius: it leaves the picture linear up to a knee
    // and rolls off only what lies above, so mid-tones (skin, foliage,
    // most of a phone's HLG picture, which sits in the SDR range) keep
    // their brightness and colour, and highlights such as skies are
    // compressed smoothly instead of clipping. hable darkens the whole
    // picture and reinhard flattens it; clip and linear lose the sky.
    // desat=0: no extra desaturation of bright colours, which would grey
    // out sunlit skin. The result is YUV: left free, zscale would hand
    // on float RGB to whatever follows.
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "zscale=w=%d:h=%d:tin=%s:pin=%s:min=%s:rin=%s:t=linear:npl=100:p=709,format=gbrpf32le,"
                  "tonemap=tonemap=mobius:desat=0,zscale=t=709:m=709:r=%s,format=%s",
                  w, h, zimgTransfer(from.transfer), zimgPrimaries(from.primaries), zimgMatrix(from.matrix),
                  rangeName(from.range), rangeName(to.range), outFormats);
    return buf + std::string(",") + setParams(to);
}

std::string colourScale(const ColourTags &from, const ColourTags &to, int w, int h)
{
    char buf[512];
    if (isHdr(from) && !isHdr(to))
        return toneMapFilters(from, to, w, h, "yuv420p|yuv422p|yuv444p");
    std::snprintf(buf, sizeof buf, "scale=%d:%d", w, h);
    std::string chain = buf;
    const bool rgbIn = from.matrix == AVCOL_SPC_RGB, rgbOut = to.matrix == AVCOL_SPC_RGB;
    // Options only where the colours change: without them a picture of the
    // right size passes through untouched.
    const bool matrixChanges = !rgbIn && !rgbOut && std::string(swsMatrix(from.matrix)) != swsMatrix(to.matrix);
    if (matrixChanges || from.range != to.range || rgbIn != rgbOut) {
        std::snprintf(buf, sizeof buf, ":in_color_matrix=%s:out_color_matrix=%s:in_range=%s:out_range=%s",
                      swsMatrix(rgbIn ? to.matrix : from.matrix), swsMatrix(rgbOut ? from.matrix : to.matrix),
                      rangeName(from.range), rangeName(to.range));
        chain += buf;
    }
    return chain + "," + setParams(to);
}

void tagEncoder(AVCodecContext *enc, const ColourTags &c)
{
    enc->color_primaries = c.primaries;
    enc->color_trc = c.transfer;
    enc->colorspace = c.matrix;
    enc->color_range = c.range;
}

} // namespace zx
