#include "tonemap.h"

#include "ffutil.h"
#include "filter_stages.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/imgutils.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

namespace zx {

namespace {

// Grid points per axis of the colour table: 32 cells, one every 32 codes
// at 10 bits. Finer grids gave no visible gain (the curve is smooth in the
// coded values) and cost cache.
constexpr int kNodes = 65;
constexpr int kCells = kNodes - 1;

typedef float v4f __attribute__((vector_size(16)));
typedef int16_t v8hi __attribute__((vector_size(16)));
typedef uint8_t v8qu __attribute__((vector_size(8)));

// What the reference chain's result depends on. The tonemap filter takes
// the picture's peak from its light-level or mastering side data, so those
// are part of the key.
using TableKey = std::tuple<int, int, int, int, int, int, unsigned, int, int>;

} // namespace

struct ToneTable {
    std::array<int, 6> made{};     // tags, depth and output range it was made for
    int depth = 10;
    int shift = 5;                 // code >> shift = cell
    unsigned maxCode = 1023;
    int pos[kNodes] = {};          // the grid's codes
    float invWidth[kCells] = {};   // 1 / cell width in codes
    // Linear light of the grid's colours in the source's primaries:
    // [luma][cb][cr] -> R, G, B. Each of these is a smooth function of one
    // coded value; what comes after (the primaries' conversion, which takes
    // differences of them, the tone curve and the transfer) is done per
    // block, since interpolating its results errs by levels.
    std::vector<v4f> grid;
    // PQ codes each colour component on its own: a block's linear light
    // then comes exactly from its coded values through the matrix and the
    // transfer (sampled in eotf over [kEotfLow, kEotfHigh]), without the
    // grid. (HLG's system gamma ties the components together.)
    bool separable = false;
    float yMul = 0, yAdd = 0, cMul = 0, cAdd = 0;  // code -> Y' in [0, 1], C' in [-0.5, 0.5]
    float crToR = 0, cbToB = 0, cbToG = 0, crToG = 0;
    std::vector<float> eotf;
    v4f toBt709[3] = {};           // columns of the primaries' conversion
    // The tone curve as a factor of the brightest component, sampled like
    // the transfer below over 2^-23 to 2^9.
    std::vector<float> ratio;
    // The chain's transfer from linear light to BT.709 values, sampled 128
    // times an octave (the curve is a power law, steep near 0), positive
    // values then negative ones.
    std::vector<float> encode;
    // Output levels: Y = yBase + yScale * Y', C = 128 + cScale * C'.
    float yBase = 16, yScale = 219, cScale = 224;
    std::vector<int16_t> luma;     // Y x 64 of every code with grey chroma
};

namespace {

std::mutex g_tablesLock;
std::map<TableKey, std::shared_ptr<const ToneTable>> g_tables;

int depthOf(const AVFrame *f)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    return d ? d->comp[0].depth : 0;
}

AVPixelFormat gridFormat(int depth)
{
    return depth == 8 ? AV_PIX_FMT_YUV444P : depth == 10 ? AV_PIX_FMT_YUV444P10 : AV_PIX_FMT_YUV444P12;
}

std::array<int, 6> madeFor(const AVFrame *f, const ColourTags &from, const ColourTags &to)
{
    return {int(from.primaries), int(from.transfer), int(from.matrix), int(from.range), depthOf(f), int(to.range)};
}

TableKey keyOf(const AVFrame *f, const ColourTags &from, const ColourTags &to)
{
    unsigned maxCll = 0;
    int mdNum = 0, mdDen = 0;
    if (const AVFrameSideData *sd = av_frame_get_side_data(f, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL))
        maxCll = reinterpret_cast<const AVContentLightMetadata *>(sd->data)->MaxCLL;
    if (const AVFrameSideData *sd = av_frame_get_side_data(f, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA)) {
        const auto *md = reinterpret_cast<const AVMasteringDisplayMetadata *>(sd->data);
        if (md->has_luminance) {
            mdNum = md->max_luminance.num;
            mdDen = md->max_luminance.den;
        }
    }
    return TableKey(int(from.primaries), int(from.transfer), int(from.matrix), int(from.range), depthOf(f),
                    int(to.range), maxCll, mdNum, mdDen);
}

template <typename T> void putCode(AVFrame *f, int plane, int i, int code)
{
    T *row = reinterpret_cast<T *>(f->data[plane] + (i / f->width) * f->linesize[plane]);
    row[i % f->width] = T(code);
}

// Where the transfer is sampled: 32 octaves up to 4.0, 128 steps each,
// found from a float's bits without a log.
constexpr int kEncodeBits = 7;
constexpr int kEncodeSteps = 32 << kEncodeBits;
constexpr uint32_t kEncodeLow = uint32_t(127 - 30) << 23;
constexpr uint32_t kEncodeHigh = kEncodeLow + (uint32_t(kEncodeSteps) << (23 - kEncodeBits));

constexpr uint32_t kRatioLow = uint32_t(127 - 23) << 23;
constexpr float kEotfLow = 0.0f, kEotfHigh = 1.25f;  // below 0 the chain gives 0; above 1 it goes on
constexpr int kEotfSteps = 12288;

float sampleAt(int j, uint32_t low = kEncodeLow)
{
    const uint32_t u = low + (uint32_t(j) << (23 - kEncodeBits));
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

bool runGraph(const std::string &chain, AVFrame *in, AVFrame *out, std::string &err)
{
    char args[160];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1", in->width,
                  in->height, in->format);
    GraphPtr graph(avfilter_graph_alloc());
    AVFilterContext *src = nullptr, *sink = nullptr;
    if (!graph)
        return (err = "out of memory", false);
    int ret = linkFilterGraph(graph.get(), "buffer", args, "buffersink", "[in]" + chain + "[out]", {}, &src, &sink);
    if (ret >= 0)
        ret = av_buffersrc_add_frame_flags(src, in, AV_BUFFERSRC_FLAG_PUSH);
    if (ret >= 0)
        ret = av_buffersink_get_frame(sink, out);
    if (ret < 0)
        return (err = "cannot set up tone mapping: " + avErr(ret), false);
    if (out->format != AV_PIX_FMT_GBRPF32)
        return (err = "cannot set up tone mapping: unexpected picture format", false);
    return true;
}

float planeValue(const AVFrame *f, int plane, int i)
{
    const float *row = reinterpret_cast<const float *>(f->data[plane] + (i / f->width) * f->linesize[plane]);
    return row[i % f->width];
}

// A table sampled 128 times an octave over 32 octaves from `low`, read
// with linear interpolation; the octave and step come from the float's bits.
inline float logLookup(const float *table, uint32_t low, float x)
{
    uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    u = std::clamp<uint32_t>(u & 0x7fffffffu, low, low + (uint32_t(kEncodeSteps) << (23 - kEncodeBits)) - 1);
    const uint32_t step = u - low;
    const float *at = table + (step >> (23 - kEncodeBits));
    const float f = float(step & ((1u << (23 - kEncodeBits)) - 1)) * (1.0f / float(1u << (23 - kEncodeBits)));
    return at[0] + (at[1] - at[0]) * f;
}

inline float encodeLinear(const float *table, float x)
{
    return logLookup(x < 0 ? table + kEncodeSteps + 1 : table, kEncodeLow, x);
}

inline float eotfOf(const ToneTable &t, float v)
{
    float x = (v - kEotfLow) * (float(kEotfSteps) / (kEotfHigh - kEotfLow));
    x = std::clamp(x, 0.0f, float(kEotfSteps) - 0.001f);
    const int i = int(x);
    return t.eotf[size_t(i)] + (t.eotf[size_t(i) + 1] - t.eotf[size_t(i)]) * (x - float(i));
}

// The linear light of a block of mean luma `ym` (in codes) and chroma cb, cr.
inline v4f separableLinear(const ToneTable &t, float ym, float cb, float cr)
{
    const float y = ym * t.yMul + t.yAdd, u = cb * t.cMul + t.cAdd, v = cr * t.cMul + t.cAdd;
    return v4f{eotfOf(t, y + t.crToR * v), eotfOf(t, y - t.cbToG * u - t.crToG * v), eotfOf(t, y + t.cbToB * u), 0};
}

// Linear light in the source's primaries to tone-mapped BT.709 linear light.
inline v4f toneMapped(const ToneTable &t, v4f lin)
{
    const v4f bt709 = t.toBt709[0] * lin[0] + t.toBt709[1] * lin[1] + t.toBt709[2] * lin[2];
    const float sig = std::max(std::max(std::max(bt709[0], bt709[1]), bt709[2]), 1e-6f);
    return bt709 * logLookup(t.ratio.data(), kRatioLow, sig);
}

// Four of each at once (blocks side by side): the same lookups, with the
// arithmetic on four lanes.
typedef int32_t v4si __attribute__((vector_size(16)));

inline v4f gather(const float *table, v4si i) { return v4f{table[i[0]], table[i[1]], table[i[2]], table[i[3]]}; }

inline v4f logLookup4(const float *table, uint32_t low, v4f x, v4si offset)
{
    const v4si lowest = v4si{} + int32_t(low);
    const v4si highest = v4si{} + int32_t(low + (uint32_t(kEncodeSteps) << (23 - kEncodeBits)) - 1);
    v4si u = (v4si)x & 0x7fffffff;
    u = u < lowest ? lowest : u;
    u = u > highest ? highest : u;
    const v4si step = u - lowest;
    const v4si i = (step >> (23 - kEncodeBits)) + offset;
    const v4f f = __builtin_convertvector(step & ((1 << (23 - kEncodeBits)) - 1), v4f)
                  * (1.0f / float(1u << (23 - kEncodeBits)));
    const v4f a = gather(table, i), b = gather(table, i + 1);
    return a + (b - a) * f;
}

inline v4f encodeLinear4(const float *table, v4f x)
{
    return logLookup4(table, kEncodeLow, x, ((v4si)x >> 31) & (kEncodeSteps + 1));
}

inline v4f eotf4(const ToneTable &t, v4f v)
{
    v4f x = (v - kEotfLow) * (float(kEotfSteps) / (kEotfHigh - kEotfLow));
    x = x < 0.0f ? v4f{} : x;
    x = x > float(kEotfSteps) - 0.001f ? v4f{} + (float(kEotfSteps) - 0.001f) : x;
    const v4si i = __builtin_convertvector(x, v4si);
    const v4f f = x - __builtin_convertvector(i, v4f);
    const v4f a = gather(t.eotf.data(), i), b = gather(t.eotf.data(), i + 1);
    return a + (b - a) * f;
}

// Sends every grid colour, and every luma code with grey chroma, through
// the reference chain up to the tone mapping, and a ramp of linear values
// through its last step, and keeps what comes out.
std::shared_ptr<const ToneTable> buildTable(const AVFrame *sample, const ColourTags &from, const ColourTags &to,
                                            std::string &err)
{
    auto t = std::make_shared<ToneTable>();
    t->made = madeFor(sample, from, to);
    t->depth = depthOf(sample);
    t->shift = t->depth - 6;
    t->maxCode = (1u << t->depth) - 1;
    for (int i = 0; i < kNodes; ++i)
        t->pos[i] = std::min<int>(i << t->shift, int(t->maxCode));
    for (int i = 0; i < kCells; ++i)
        t->invWidth[i] = 1.0f / float(t->pos[i + 1] - t->pos[i]);
    if (to.range == AVCOL_RANGE_JPEG) {
        t->yBase = 0;
        t->yScale = t->cScale = 255;
    }
    const int gridCount = kNodes * kNodes * kNodes;
    const int lumaCount = int(t->maxCode) + 1;
    const int mid = 1 << (t->depth - 1);
    const int w = 256, h = ((gridCount + lumaCount + w - 1) / w + 1) & ~1;

    FramePtr in = makeFrame(), out = makeFrame();
    if (!in || !out)
        return (err = "out of memory", nullptr);
    in->format = gridFormat(t->depth);
    in->width = w;
    in->height = h;
    if (av_frame_get_buffer(in.get(), 0) < 0)
        return (err = "out of memory", nullptr);
    in->color_primaries = from.primaries;
    in->color_trc = from.transfer;
    in->colorspace = from.matrix;
    in->color_range = from.range;
    for (AVFrameSideDataType type : {AV_FRAME_DATA_CONTENT_LIGHT_LEVEL, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA}) {
        if (const AVFrameSideData *sd = av_frame_get_side_data(sample, type)) {
            AVFrameSideData *copy = av_frame_new_side_data(in.get(), type, sd->size);
            if (!copy)
                return (err = "out of memory", nullptr);
            std::memcpy(copy->data, sd->data, sd->size);
        }
    }
    const bool wide = t->depth > 8;
    for (int i = 0; i < w * h; ++i) {
        int y = 0, cb = mid, cr = mid;
        if (i < gridCount) {
            y = t->pos[i / (kNodes * kNodes)];
            cb = t->pos[(i / kNodes) % kNodes];
            cr = t->pos[i % kNodes];
        } else if (i < gridCount + lumaCount) {
            y = i - gridCount;
        }
        if (wide) {
            putCode<uint16_t>(in.get(), 0, i, y);
            putCode<uint16_t>(in.get(), 1, i, cb);
            putCode<uint16_t>(in.get(), 2, i, cr);
        } else {
            putCode<uint8_t>(in.get(), 0, i, y);
            putCode<uint8_t>(in.get(), 1, i, cb);
            putCode<uint8_t>(in.get(), 2, i, cr);
        }
    }
    // The chain's steps: to linear light (without its change of primaries),
    // the primaries, the tone curve.
    const std::string chain = toneMapFilters(from, to, w, h, "gbrpf32le");
    const size_t tonemapAt = chain.find(",tonemap=");
    const size_t primariesAt = chain.find(":p=709,");
    const size_t pinAt = chain.find(":pin=");
    if (tonemapAt == std::string::npos || primariesAt == std::string::npos || pinAt == std::string::npos)
        return (err = "cannot set up tone mapping", nullptr);
    const std::string toLinear = chain.substr(0, primariesAt) + chain.substr(primariesAt + 6, tonemapAt - primariesAt - 6);
    const std::string toneCurve = chain.substr(tonemapAt + 1, chain.find(',', tonemapAt + 1) - tonemapAt - 1);
    const std::string sourcePrimaries = chain.substr(pinAt + 5, chain.find(':', pinAt + 5) - pinAt - 5);
    if (!runGraph(toLinear, in.get(), out.get(), err))
        return nullptr;
    t->grid.resize(size_t(gridCount));
    for (int i = 0; i < gridCount; ++i)
        t->grid[size_t(i)] = v4f{planeValue(out.get(), 2, i), planeValue(out.get(), 0, i), planeValue(out.get(), 1, i), 0};
    std::vector<float> grey(static_cast<size_t>(lumaCount));
    for (int i = 0; i < lumaCount; ++i)
        grey[size_t(i)] = planeValue(out.get(), 0, gridCount + i);

    if (from.transfer == AVCOL_TRC_SMPTE2084) {
        const float scale = float(1 << (t->depth - 8));
        const bool full = from.range == AVCOL_RANGE_JPEG;
        const float top = float((1 << t->depth) - 1);
        t->yMul = full ? 1.0f / top : 1.0f / (219.0f * scale);
        t->yAdd = full ? 0.0f : -16.0f / 219.0f;
        t->cMul = full ? 1.0f / top : 1.0f / (224.0f * scale);
        t->cAdd = full ? -float(mid) / top : -128.0f / 224.0f;
        float kr = 0.2627f, kb = 0.0593f;  // BT.2020
        if (from.matrix == AVCOL_SPC_BT709) {
            kr = 0.2126f;
            kb = 0.0722f;
        } else if (from.matrix == AVCOL_SPC_BT470BG || from.matrix == AVCOL_SPC_SMPTE170M) {
            kr = 0.299f;
            kb = 0.114f;
        }
        const float kg = 1.0f - kr - kb;
        t->crToR = 2.0f * (1.0f - kr);
        t->cbToB = 2.0f * (1.0f - kb);
        t->cbToG = 2.0f * (1.0f - kb) * kb / kg;
        t->crToG = 2.0f * (1.0f - kr) * kr / kg;
        // The PQ transfer (SMPTE ST 2084) to light with 1.0 = 100 cd/m2, as
        // the chain's npl=100 takes it. (zimg itself cannot be asked: it
        // reads float PQ input out of bounds.)
        t->eotf.resize(kEotfSteps + 1);
        const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32,
                     c3 = 2392.0 / 4096 * 32;
        for (int i = 0; i <= kEotfSteps; ++i) {
            const double e = std::pow(kEotfLow + (kEotfHigh - kEotfLow) * double(i) / kEotfSteps, 1 / m2);
            t->eotf[size_t(i)] = float(std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1 / m1) * 100.0);
        }
        // Held against the chain's own linear light on the grid (colours
        // whose components lie inside the coded range); should they differ,
        // the grid is used.
        t->separable = true;
        for (int i = 0; i < gridCount && t->separable; i += 7) {
            const v4f want = t->grid[size_t(i)];
            if (std::min({want[0], want[1], want[2]}) < 1e-4f || std::max({want[0], want[1], want[2]}) > 99.0f)
                continue;
            const v4f got = separableLinear(*t, float(t->pos[i / (kNodes * kNodes)]),
                                            float(t->pos[(i / kNodes) % kNodes]), float(t->pos[i % kNodes]));
            for (int k = 0; k < 3; ++k)
                if (std::fabs(got[k] - want[k]) > 0.002f * want[k] + 1e-5f)
                    t->separable = false;
        }
        // Checked: the grid (some megabytes) has no further use.
        if (t->separable)
            std::vector<v4f>().swap(t->grid);
    }

    // The primaries' conversion: the three unit colours through it.
    FramePtr units = makeFrame(), converted = makeFrame();
    if (!units || !converted)
        return (err = "out of memory", nullptr);
    units->format = AV_PIX_FMT_GBRPF32;
    units->width = 4;
    units->height = 2;
    if (av_frame_get_buffer(units.get(), 0) < 0)
        return (err = "out of memory", nullptr);
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < 8; ++i)
            reinterpret_cast<float *>(units->data[p] + (i / 4) * units->linesize[p])[i % 4] = 0;
    // Pixel k is the unit colour k: R is plane 2, G plane 0, B plane 1.
    const int planeOf[3] = {2, 0, 1};
    for (int k = 0; k < 3; ++k)
        reinterpret_cast<float *>(units->data[planeOf[k]])[k] = 1.0f;
    if (!runGraph("zscale=tin=linear:pin=" + sourcePrimaries + ":t=linear:p=709,format=gbrpf32le", units.get(),
                  converted.get(), err))
        return nullptr;
    for (int k = 0; k < 3; ++k)
        t->toBt709[k] = v4f{planeValue(converted.get(), 2, k), planeValue(converted.get(), 0, k),
                            planeValue(converted.get(), 1, k), 0};

    // The tone curve on greys (it scales a colour by what it does to the
    // colour's brightest component), with the tags and light levels the
    // chain's pictures reach it with.
    FramePtr greys = makeFrame(), mapped = makeFrame();
    if (!greys || !mapped)
        return (err = "out of memory", nullptr);
    greys->format = AV_PIX_FMT_GBRPF32;
    greys->width = 128;
    greys->height = (kEncodeSteps + 1 + 127) / 128 + 1;
    if (av_frame_get_buffer(greys.get(), 0) < 0 || av_frame_copy_props(greys.get(), out.get()) < 0)
        return (err = "out of memory", nullptr);
    for (int i = 0; i < greys->width * greys->height; ++i)
        for (int p = 0; p < 3; ++p)
            reinterpret_cast<float *>(greys->data[p] + (i / greys->width) * greys->linesize[p])[i % greys->width]
                = sampleAt(std::min(i, kEncodeSteps), kRatioLow);
    if (!runGraph(toneCurve, greys.get(), mapped.get(), err))
        return nullptr;
    t->ratio.resize(kEncodeSteps + 1);
    for (int i = 0; i <= kEncodeSteps; ++i)
        t->ratio[size_t(i)] = planeValue(mapped.get(), 0, i) / sampleAt(i, kRatioLow);

    // The last step, linear light to BT.709 values, on its own.
    FramePtr ramp = makeFrame(), encoded = makeFrame();
    if (!ramp || !encoded)
        return (err = "out of memory", nullptr);
    ramp->format = AV_PIX_FMT_GBRPF32;
    ramp->width = 128;
    ramp->height = (2 * (kEncodeSteps + 1) + 127) / 128;
    ramp->color_primaries = AVCOL_PRI_BT709;
    ramp->color_trc = AVCOL_TRC_LINEAR;
    ramp->colorspace = AVCOL_SPC_RGB;
    ramp->color_range = AVCOL_RANGE_JPEG;
    if (av_frame_get_buffer(ramp.get(), 0) < 0)
        return (err = "out of memory", nullptr);
    for (int i = 0; i < ramp->width * ramp->height; ++i) {
        const int j = std::min(i % (kEncodeSteps + 1), kEncodeSteps);
        const float x = i < kEncodeSteps + 1 ? sampleAt(j) : -sampleAt(j);
        for (int p = 0; p < 3; ++p)
            reinterpret_cast<float *>(ramp->data[p] + (i / ramp->width) * ramp->linesize[p])[i % ramp->width] = x;
    }
    if (!runGraph("zscale=tin=linear:pin=709:t=709:p=709,format=gbrpf32le", ramp.get(), encoded.get(), err))
        return nullptr;
    t->encode.resize(2 * (kEncodeSteps + 1));
    for (int i = 0; i < 2 * (kEncodeSteps + 1); ++i)
        t->encode[size_t(i)] = planeValue(encoded.get(), 0, i);

    t->luma.resize(size_t(lumaCount));
    for (int i = 0; i < lumaCount; ++i)
    {
        const v4f lin = t->separable ? separableLinear(*t, float(i), float(mid), float(mid))
                                     : v4f{grey[size_t(i)], grey[size_t(i)], grey[size_t(i)], 0};
        t->luma[size_t(i)] = int16_t(
            std::lrint((t->yBase + t->yScale * encodeLinear(t->encode.data(), toneMapped(*t, lin)[1])) * 64.0f));
    }
    return t;
}

inline uint8_t clampByte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// One 2x2 block at a time: its chroma and mean luma look up the table
// (trilinear, in linear light), which gives the block's chroma and how far
// its luma sits from a grey of the same brightness; each pixel then gets the
// exact grey curve of its own luma plus that offset. A row of blocks goes
// in passes so that the transfer and the sums run on several blocks or
// pixels at once.
// Built twice on x86-64: the AVX2 build reads single lanes of a vector in
// one instruction where plain x86-64 needs several. Not in sanitizer builds:
// the choice runs before their run time is set up (ThreadSanitizer crashes).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)                \
    && !defined(__SANITIZE_ADDRESS__)
#define ZX_TONEMAP_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZX_TONEMAP_CLONES
#endif

template <typename T>
ZX_TONEMAP_CLONES void mapPicture(const ToneTable &t, const AVFrame *in, AVFrame *out, int firstRow, int endRow,
                                  std::vector<float> &scratch)
{
    const int w = in->width, h = in->height;
    const int cw = (w + 1) >> 1, ch = (h + 1) >> 1;
    const int padded = (cw + 7) & ~7;  // blocks; pixels: 2 * padded
    // Per row of blocks: linear R, G, B (then Cr, Y, Cb), mean luma, and
    // for each pixel of both rows its grey level and its block's offset.
    scratch.assign(size_t(padded) * 4 + size_t(padded) * 3, 0.0f);
    float *rs = scratch.data(), *gs = rs + padded, *bs = gs + padded, *ys = bs + padded;
    int16_t *grey0 = reinterpret_cast<int16_t *>(ys + padded), *grey1 = grey0 + 2 * padded;
    int16_t *offsets = grey1 + 2 * padded;
    const unsigned maxCode = t.maxCode;
    const int shift = t.shift;
    const int16_t *luma = t.luma.data();
    const v4f *grid = t.grid.data();
    const float *encode = t.encode.data();
    constexpr int du = kNodes, dy = kNodes * kNodes;
    const float yBase = t.yBase, yScale = t.yScale, cbScale = t.cScale / 1.8556f, crScale = t.cScale / 1.5748f;
    for (int by = firstRow; by < std::min(endRow, ch); ++by) {
        const int y0 = by * 2, y1 = std::min(y0 + 1, h - 1);
        const T *l0 = reinterpret_cast<const T *>(in->data[0] + y0 * in->linesize[0]);
        const T *l1 = reinterpret_cast<const T *>(in->data[0] + y1 * in->linesize[0]);
        const T *cbRow = reinterpret_cast<const T *>(in->data[1] + by * in->linesize[1]);
        const T *crRow = reinterpret_cast<const T *>(in->data[2] + by * in->linesize[2]);
        // Linear light of each block. Codes above the bit depth (a damaged
        // stream) lose their high bits, so they never index past a table.
        for (int bx = 0; bx < cw; ++bx) {
            const int x0 = bx * 2, x1 = std::min(x0 + 1, w - 1);
            const unsigned a = l0[x0] & maxCode, b = l0[x1] & maxCode;
            const unsigned c = l1[x0] & maxCode, d = l1[x1] & maxCode;
            grey0[x0] = luma[a];
            grey0[x0 + 1] = luma[b];
            grey1[x0] = luma[c];
            grey1[x0 + 1] = luma[d];
            const unsigned sum = a + b + c + d;
            const unsigned cb = cbRow[bx] & maxCode, cr = crRow[bx] & maxCode;
            const float ym = float(sum) * 0.25f;
            ys[bx] = ym;
            if (t.separable) {
                // Linear light comes from the codes in the next pass.
                rs[bx] = float(cr);
                bs[bx] = float(cb);
                continue;
            }
            // The top code falls in the last cell, which is a code short.
            const int yi = int(sum >> (shift + 2)), ui = int(cb >> shift), vi = int(cr >> shift);
            const float yf = (ym - float(t.pos[yi])) * t.invWidth[yi];
            const float uf = float(int(cb) - t.pos[ui]) * t.invWidth[ui];
            const float vf = float(int(cr) - t.pos[vi]) * t.invWidth[vi];
            const v4f *p = grid + (yi * dy + ui * du + vi);
            const v4f c00 = p[0] + (p[1] - p[0]) * vf;
            const v4f c01 = p[du] + (p[du + 1] - p[du]) * vf;
            const v4f c10 = p[dy] + (p[dy + 1] - p[dy]) * vf;
            const v4f c11 = p[dy + du] + (p[dy + du + 1] - p[dy + du]) * vf;
            const v4f c0 = c00 + (c01 - c00) * uf;
            const v4f c1 = c10 + (c11 - c10) * uf;
            const v4f lin = c0 + (c1 - c0) * yf;
            rs[bx] = lin[0];
            gs[bx] = lin[1];
            bs[bx] = lin[2];
        }
        // Four blocks at a time: linear light (PQ from the codes), the
        // primaries, the tone curve, the transfer to BT.709 values and the
        // output's levels (Cr into rs, Y into gs, Cb into bs).
        for (int bx = 0; bx < cw; bx += 4) {
            v4f r, g, b;
            std::memcpy(&r, rs + bx, sizeof r);
            std::memcpy(&b, bs + bx, sizeof b);
            if (t.separable) {
                v4f ym;
                std::memcpy(&ym, ys + bx, sizeof ym);
                const v4f y = ym * t.yMul + t.yAdd, u = b * t.cMul + t.cAdd, v = r * t.cMul + t.cAdd;
                r = eotf4(t, y + t.crToR * v);
                g = eotf4(t, y - t.cbToG * u - t.crToG * v);
                b = eotf4(t, y + t.cbToB * u);
            } else {
                std::memcpy(&g, gs + bx, sizeof g);
            }
            const v4f *m = t.toBt709;
            v4f r7 = m[0][0] * r + m[1][0] * g + m[2][0] * b;
            v4f g7 = m[0][1] * r + m[1][1] * g + m[2][1] * b;
            v4f b7 = m[0][2] * r + m[1][2] * g + m[2][2] * b;
            v4f sig = r7 > g7 ? r7 : g7;
            sig = sig > b7 ? sig : b7;
            sig = sig > 1e-6f ? sig : v4f{} + 1e-6f;
            const v4f scale = logLookup4(t.ratio.data(), kRatioLow, sig, v4si{});
            r7 = encodeLinear4(encode, r7 * scale);
            g7 = encodeLinear4(encode, g7 * scale);
            b7 = encodeLinear4(encode, b7 * scale);
            const v4f yp = 0.2126f * r7 + 0.7152f * g7 + 0.0722f * b7;
            const v4f cro = 128.5f + crScale * (r7 - yp), cbo = 128.5f + cbScale * (b7 - yp), yo = yBase + yScale * yp;
            std::memcpy(rs + bx, &cro, sizeof cro);
            std::memcpy(bs + bx, &cbo, sizeof cbo);
            std::memcpy(gs + bx, &yo, sizeof yo);
        }
        uint8_t *oCb = out->data[1] + by * out->linesize[1];
        uint8_t *oCr = out->data[2] + by * out->linesize[2];
        for (int bx = 0; bx < cw; ++bx) {
            const float ym = ys[bx];
            const int yl = int(ym), yh = std::min<int>(yl + 1, int(maxCode));
            const float grey = float(luma[yl]) + float(luma[yh] - luma[yl]) * (ym - float(yl));
            // Bounded so that grey + offset stays within 16 bits; with the
            // half step of the final >> 6, rounded by truncating a positive
            // value (no libm call).
            const int16_t offset = int16_t(
                int(std::clamp(gs[bx] * 64.0f - grey, -16384.0f, 16300.0f) + (32.5f + 65536.0f)) - 65536);
            offsets[2 * bx] = offset;
            offsets[2 * bx + 1] = offset;
            oCb[bx] = clampByte(int(std::max(bs[bx], 0.0f)));
            oCr[bx] = clampByte(int(std::max(rs[bx], 0.0f)));
        }
        // Each pixel: its grey level plus its block's offset, eight at once.
        // The output's rows are padded to 64 pixels, so the last group may
        // write past the width.
        for (int row = 0; row < 2 && (row == 0 || y1 != y0); ++row) {
            const int16_t *grey = row ? grey1 : grey0;
            uint8_t *o = out->data[0] + (row ? y1 : y0) * out->linesize[0];
            for (int x = 0; x < w; x += 8) {
                v8hi g, off;
                std::memcpy(&g, grey + x, sizeof g);
                std::memcpy(&off, offsets + x, sizeof off);
                v8hi v = (g + off) >> 6;
                v = v < 0 ? v8hi{} : v;
                v = v > 255 ? v8hi{} + 255 : v;
                const v8qu bytes = __builtin_convertvector(v, v8qu);
                std::memcpy(o + x, &bytes, sizeof bytes);
            }
        }
    }
}

} // namespace

ColourTags sdrColoursFor(const ColourTags &out)
{
    return {AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709,
            out.matrix == AVCOL_SPC_RGB || out.range != AVCOL_RANGE_JPEG ? AVCOL_RANGE_MPEG : AVCOL_RANGE_JPEG};
}

ToneMapper::~ToneMapper() { av_buffer_pool_uninit(&m_pool); }

bool ToneMapper::takes(const AVFrame *f)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    if (!d || (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_HWACCEL))
        || !(d->flags & AV_PIX_FMT_FLAG_PLANAR) || d->nb_components != 3 || d->log2_chroma_w != 1
        || d->log2_chroma_h != 1)
        return false;
    const int depth = d->comp[0].depth;
    if (depth != 8 && depth != 10 && depth != 12)
        return false;
    // One component per plane, samples in the low bits (not P010's layout).
    for (int i = 0; i < 3; ++i)
        if (d->comp[i].plane != i || d->comp[i].shift != 0 || d->comp[i].step != (depth > 8 ? 2 : 1))
            return false;
    return f->width > 0 && f->height > 0 && isHdr(completeColours(tagsOf(f), f->height, AVPixelFormat(f->format)));
}

bool ToneMapper::map(const AVFrame *in, const ColourTags &to, AVFrame *out, std::string &err)
{
    const ColourTags from = completeColours(tagsOf(in), in->height, AVPixelFormat(in->format));
    // The light level a stream states may come with some pictures only; the
    // first picture's table stays for the run, so the brightness does not
    // jump from picture to picture.
    if (!m_table || m_table->made != madeFor(in, from, to)) {
        const TableKey key = keyOf(in, from, to);
        {
            std::lock_guard<std::mutex> g(g_tablesLock);
            auto it = g_tables.find(key);
            m_table = it != g_tables.end() ? it->second : nullptr;
        }
        if (!m_table) {
            std::shared_ptr<const ToneTable> made = buildTable(in, from, to, err);
            if (!made)
                return false;
            std::lock_guard<std::mutex> g(g_tablesLock);
            // A table is some megabytes: only the latest few are kept for
            // later runs (those in use stay alive with their users).
            if (g_tables.size() >= 4)
                g_tables.clear();
            m_table = g_tables.emplace(key, made).first->second;
        }
    }

    av_frame_unref(out);
    const int w = in->width, h = in->height;
    int linesizes[4] = {};
    if (av_image_fill_linesizes(linesizes, AV_PIX_FMT_YUV420P, FFALIGN(w, 64)) < 0)
        return (err = "picture too large", false);
    const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, FFALIGN(w, 64), h, 64);
    if (size < 0)
        return (err = "picture too large", false);
    if (!m_pool || m_poolSize != size) {
        av_buffer_pool_uninit(&m_pool);
        m_pool = av_buffer_pool_init(size_t(size), nullptr);
        m_poolSize = m_pool ? size : 0;
    }
    AVBufferRef *buf = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
    if (!buf)
        return (err = "out of memory", false);
    out->buf[0] = buf;
    if (av_image_fill_arrays(out->data, out->linesize, buf->data, AV_PIX_FMT_YUV420P, FFALIGN(w, 64), h, 64) < 0) {
        av_frame_unref(out);
        return (err = "picture too large", false);
    }
    out->format = AV_PIX_FMT_YUV420P;
    out->width = w;
    out->height = h;
    av_frame_copy_props(out, in);
    av_frame_remove_side_data(out, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
    av_frame_remove_side_data(out, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
    out->color_primaries = to.primaries;
    out->color_trc = to.transfer;
    out->colorspace = to.matrix;
    out->color_range = to.range;
    // The lower half of a larger picture goes to a second thread: the
    // stage would otherwise hold up the converter's one filtering thread.
    auto part = [&](int firstRow, int endRow, std::vector<float> &scratch) {
        if (m_table->depth > 8)
            mapPicture<uint16_t>(*m_table, in, out, firstRow, endRow, scratch);
        else
            mapPicture<uint8_t>(*m_table, in, out, firstRow, endRow, scratch);
    };
    const int rows = (h + 1) / 2;
    std::thread lower;
    if (w * h >= 640 * 360) {
        try {
            lower = std::thread(part, rows / 2, rows, std::ref(m_scratchLower));
        } catch (const std::system_error &) {
            // No thread to be had: this one does the whole picture.
        }
    }
    part(0, lower.joinable() ? rows / 2 : rows, m_scratch);
    if (lower.joinable())
        lower.join();
    return true;
}

} // namespace zx
