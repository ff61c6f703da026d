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
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
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
    // [luma][cb][cr] -> R, G, B, read trilinearly when the exact curves
    // below do not reproduce the chain (they are checked against the grid
    // when the table is made, and the grid is dropped when they pass).
    // Each of these is a smooth function of one coded value; what comes
    // after (the primaries' conversion, which takes differences of them,
    // the tone curve and the transfer) is done per block, since
    // interpolating its results errs by levels.
    std::vector<v4f> grid;
    // PQ and HLG code each colour component on its own: a block's linear
    // light then comes exactly from its coded values through the matrix and
    // the transfer (sampled in toLinear over [0, linHigh]).
    bool separable = false;
    float yMul = 0, yAdd = 0, cMul = 0, cAdd = 0;  // code -> Y' in [0, 1], C' in [-0.5, 0.5]
    float crToR = 0, cbToB = 0, cbToG = 0, crToG = 0;
    float linHigh = 1.25f, linScale = 0;           // linScale: table steps per unit
    std::vector<float> toLinear;
    // HLG whose system gamma is a factor of the scene luminance
    // kr R + kg G + kb B (BT.2100) rather than a power of each component:
    // that factor, sampled like the tone curve.
    bool ootfByLuminance = false;
    float kr = 0, kg = 0, kb = 0;
    std::vector<float> ootf;
    v4f toBt709[3] = {};           // columns of the primaries' conversion
    // The tone curve as a factor of the brightest component, sampled like
    // the transfer below over 2^-23 to 2^9.
    std::vector<float> ratio;
    // The chain's transfer from linear light to BT.709 values, sampled 256
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
std::atomic<bool> g_gridOnly{false};

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

// Where the transfer is sampled: 32 octaves up to 4.0, 256 steps each,
// found from a float's bits without a log.
constexpr int kEncodeBits = 8;
constexpr int kEncodeSteps = 32 << kEncodeBits;
constexpr uint32_t kEncodeLow = uint32_t(127 - 30) << 23;

constexpr uint32_t kRatioLow = uint32_t(127 - 23) << 23;
// The transfer to linear light is sampled this often over [0, linHigh]
// (below 0 the chain gives 0; above 1 it goes on).
constexpr int kLinearSteps = 24576;

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

// A table sampled 256 times an octave over 32 octaves from `low`, read
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

inline float linearOf(const ToneTable &t, float v)
{
    const float x = std::clamp(v * t.linScale, 0.0f, float(kLinearSteps) - 0.001f);
    const int i = int(x);
    return t.toLinear[size_t(i)] + (t.toLinear[size_t(i) + 1] - t.toLinear[size_t(i)]) * (x - float(i));
}

// The linear light of a colour of luma `ym` (in codes) and chroma cb, cr.
inline v4f separableLinear(const ToneTable &t, float ym, float cb, float cr)
{
    const float y = ym * t.yMul + t.yAdd, u = cb * t.cMul + t.cAdd, v = cr * t.cMul + t.cAdd;
    const v4f lin{linearOf(t, y + t.crToR * v), linearOf(t, y - t.cbToG * u - t.crToG * v),
                  linearOf(t, y + t.cbToB * u), 0};
    if (!t.ootfByLuminance)
        return lin;
    return lin * logLookup(t.ootf.data(), kRatioLow, t.kr * lin[0] + t.kg * lin[1] + t.kb * lin[2]);
}

// Linear light in the source's primaries to tone-mapped BT.709 linear light.
inline v4f toneMapped(const ToneTable &t, v4f lin)
{
    const v4f bt709 = t.toBt709[0] * lin[0] + t.toBt709[1] * lin[1] + t.toBt709[2] * lin[2];
    const float sig = std::max(std::max(std::max(bt709[0], bt709[1]), bt709[2]), 1e-6f);
    return bt709 * logLookup(t.ratio.data(), kRatioLow, sig);
}

// Eight of each at once (blocks side by side): the same lookups, with the
// arithmetic on eight lanes.
typedef float v8f __attribute__((vector_size(32)));
typedef int32_t v8si __attribute__((vector_size(32)));
typedef int16_t v16hi __attribute__((vector_size(32)));
typedef uint8_t v16qu __attribute__((vector_size(16)));
typedef uint8_t v32qu __attribute__((vector_size(32)));

template <typename V, typename E, typename I, size_t... k>
inline V gatherLanes(const E *table, const I &i, std::index_sequence<k...>)
{
    return V{table[i[k]]...};
}
inline v8f gather8(const float *table, v8si i) { return gatherLanes<v8f>(table, i, std::make_index_sequence<8>()); }
inline v8f gather8(const int16_t *table, v8si i)
{
    return __builtin_convertvector(gatherLanes<v8si>(table, i, std::make_index_sequence<8>()), v8f);
}
inline v16hi gather16(const int16_t *table, v16hi i)
{
    return gatherLanes<v16hi>(table, i, std::make_index_sequence<16>());
}

// The nearest sample (the tables are fine enough that interpolating
// between two would change the result by less than a tenth of a level).
inline v8f logLookup8(const float *table, uint32_t low, v8f x, v8si offset)
{
    const v8si lowest = v8si{} + int32_t(low);
    const v8si highest = v8si{} + int32_t(low + (uint32_t(kEncodeSteps) << (23 - kEncodeBits)) - 1);
    v8si u = (v8si)x & 0x7fffffff;
    u = u < lowest ? lowest : u;
    u = u > highest ? highest : u;
    return gather8(table, ((u - lowest + (1 << (22 - kEncodeBits))) >> (23 - kEncodeBits)) + offset);
}

inline v8f encode8(const float *table, v8f x)
{
    return logLookup8(table, kEncodeLow, x, ((v8si)x >> 31) & (kEncodeSteps + 1));
}

inline v8f linear8(const ToneTable &t, v8f v)
{
    v8f x = v * t.linScale + 0.5f;
    x = x < 0.0f ? v8f{} : x;
    x = x > float(kLinearSteps) ? v8f{} + float(kLinearSteps) : x;
    return gather8(t.toLinear.data(), __builtin_convertvector(x, v8si));
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

    const bool pq = from.transfer == AVCOL_TRC_SMPTE2084, hlg = from.transfer == AVCOL_TRC_ARIB_STD_B67;
    if ((pq || hlg) && !g_gridOnly) {
        const float scale = float(1 << (t->depth - 8));
        const bool full = from.range == AVCOL_RANGE_JPEG;
        const float top = float((1 << t->depth) - 1);
        t->yMul = full ? 1.0f / top : 1.0f / (219.0f * scale);
        t->yAdd = full ? 0.0f : -16.0f / 219.0f;
        t->cMul = full ? 1.0f / top : 1.0f / (224.0f * scale);
        t->cAdd = full ? -float(mid) / top : -128.0f / 224.0f;
        t->kr = 0.2627f;  // BT.2020
        t->kb = 0.0593f;
        if (from.matrix == AVCOL_SPC_BT709) {
            t->kr = 0.2126f;
            t->kb = 0.0722f;
        } else if (from.matrix == AVCOL_SPC_BT470BG || from.matrix == AVCOL_SPC_SMPTE170M) {
            t->kr = 0.299f;
            t->kb = 0.114f;
        }
        const float kr = t->kr, kb = t->kb, kg = t->kg = 1.0f - kr - kb;
        t->crToR = 2.0f * (1.0f - kr);
        t->cbToB = 2.0f * (1.0f - kb);
        t->cbToG = 2.0f * (1.0f - kb) * kb / kg;
        t->crToG = 2.0f * (1.0f - kr) * kr / kg;
        // PQ's curve explodes a little above 1.0; HLG's coded values reach
        // nearly 2 on saturated colours of the extreme codes.
        t->linHigh = pq ? 1.25f : 2.0f;
        t->linScale = float(kLinearSteps) / t->linHigh;
        t->toLinear.resize(kLinearSteps + 1);
        if (pq) {
            // The PQ transfer (SMPTE ST 2084) to light with 1.0 = 100 cd/m2,
            // as the chain's npl=100 takes it. (zimg itself cannot be asked:
            // it reads float PQ input out of bounds.)
            const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096,
                         c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
            for (int i = 0; i <= kLinearSteps; ++i) {
                const double e = std::pow(double(t->linHigh) * i / kLinearSteps, 1 / m2);
                t->toLinear[size_t(i)] = float(std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1 / m1) * 100.0);
            }
        }
        // Held against the chain's own linear light on the grid (colours
        // whose components lie inside the coded range); should they differ,
        // the grid is used.
        auto matchesGrid = [&] {
            for (int i = 0; i < gridCount; i += 7) {
                const v4f want = t->grid[size_t(i)];
                if (std::min({want[0], want[1], want[2]}) < 1e-4f || std::max({want[0], want[1], want[2]}) > 99.0f)
                    continue;
                const float ym = float(t->pos[i / (kNodes * kNodes)]), cb = float(t->pos[(i / kNodes) % kNodes]),
                            cr = float(t->pos[i % kNodes]);
                const float y = ym * t->yMul + t->yAdd, u = cb * t->cMul + t->cAdd, v = cr * t->cMul + t->cAdd;
                if (std::max({y + t->crToR * v, y - t->cbToG * u - t->crToG * v, y + t->cbToB * u}) > t->linHigh)
                    continue;
                const v4f got = separableLinear(*t, ym, cb, cr);
                for (int k = 0; k < 3; ++k)
                    if (std::fabs(got[k] - want[k]) > 0.002f * want[k] + 1e-5f)
                        return false;
            }
            return true;
        };
        if (pq) {
            t->separable = matchesGrid();
        } else {
            // HLG (ARIB STD-B67): each component to scene light on its own,
            // then the system gamma of 1.2 times the chain's own scale (read
            // off its greys). zimg has applied that gamma in two ways: to
            // each component, or as a factor of the scene luminance
            // (BT.2100); the one that matches the chain is taken.
            const double a = 0.17883277, b = 0.28466892, c = 0.55991073;
            for (int i = 0; i <= kLinearSteps; ++i) {
                const double e = double(t->linHigh) * i / kLinearSteps;
                t->toLinear[size_t(i)] = float(e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12);
            }
            const std::vector<float> scene = t->toLinear;
            std::vector<double> scales;
            for (int i = 0; i < lumaCount; ++i) {
                const float yp = float(i) * t->yMul + t->yAdd;
                if (yp >= 0.25f && yp <= 1.0f)
                    scales.push_back(grey[size_t(i)] / std::pow(double(linearOf(*t, yp)), 1.2));
            }
            double chainScale = 0;
            if (!scales.empty()) {
                std::nth_element(scales.begin(), scales.begin() + long(scales.size() / 2), scales.end());
                chainScale = scales[scales.size() / 2];
            }
            if (chainScale > 0 && std::isfinite(chainScale)) {
                for (int i = 0; i <= kLinearSteps; ++i)
                    t->toLinear[size_t(i)] = float(chainScale * std::pow(double(scene[size_t(i)]), 1.2));
                t->separable = matchesGrid();
                if (!t->separable) {
                    t->toLinear = scene;
                    t->ootfByLuminance = true;
                    t->ootf.resize(kEncodeSteps + 1);
                    for (int i = 0; i <= kEncodeSteps; ++i)
                        t->ootf[size_t(i)] = float(chainScale * std::pow(double(sampleAt(i, kRatioLow)), 0.2));
                    t->separable = matchesGrid();
                }
            }
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

// Eight 2x2 blocks at a time: each block's chroma and mean luma give its
// linear light (from the codes, or trilinear from the grid), the primaries,
// the tone factor and the transfer to BT.709 values, which give the block's
// chroma and how far its luma sits from a grey of the same brightness; each
// pixel then gets the exact grey curve of its own luma plus that offset.
// Built twice on x86-64: the AVX2 build does the eight lanes in one
// register and reads single lanes in one instruction. Not in sanitizer
// builds: the choice runs before their run time is set up (ThreadSanitizer
// crashes).
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
    // Per row of blocks: both luma rows and the chroma, as codes, padded by
    // repeating the last one; linear R, G, B of each block when the grid
    // gives them.
    scratch.assign(size_t(padded) * 6, 0.0f);
    uint16_t *row0 = reinterpret_cast<uint16_t *>(scratch.data()), *row1 = row0 + 2 * padded;
    uint16_t *cbs = row1 + 2 * padded, *crs = cbs + padded;
    float *rs = scratch.data() + 3 * padded, *gs = rs + padded, *bs = gs + padded;
    const uint16_t maxCode = uint16_t(t.maxCode);
    const int shift = t.shift;
    const int16_t *luma = t.luma.data();
    const v4f *grid = t.grid.data();
    const float *encode = t.encode.data();
    constexpr int du = kNodes, dy = kNodes * kNodes;
    const float yBase = t.yBase, yScale = t.yScale, cbScale = t.cScale / 1.8556f, crScale = t.cScale / 1.5748f;
    v8f m[9];  // the primaries' conversion, column by column
    for (int i = 0; i < 9; ++i)
        m[i] = v8f{} + t.toBt709[i / 3][i % 3];
    for (int by = firstRow; by < std::min(endRow, ch); ++by) {
        const int y0 = by * 2, y1 = std::min(y0 + 1, h - 1);
        // Codes above the bit depth (a damaged stream) lose their high bits,
        // so they never index past a table.
        auto copyRow = [&](const uint8_t *src, uint16_t *dst, int n, int to) {
            const T *s = reinterpret_cast<const T *>(src);
            for (int x = 0; x < n; ++x)
                dst[x] = uint16_t(s[x] & maxCode);
            for (int x = n; x < to; ++x)
                dst[x] = dst[n - 1];
        };
        copyRow(in->data[0] + y0 * in->linesize[0], row0, w, 2 * padded);
        copyRow(in->data[0] + y1 * in->linesize[0], row1, w, 2 * padded);
        copyRow(in->data[1] + by * in->linesize[1], cbs, cw, padded);
        copyRow(in->data[2] + by * in->linesize[2], crs, cw, padded);
        if (!t.separable) {
            for (int bx = 0; bx < cw; ++bx) {
                const unsigned sum = unsigned(row0[2 * bx]) + row0[2 * bx + 1] + row1[2 * bx] + row1[2 * bx + 1];
                const int cb = cbs[bx], cr = crs[bx];
                // The top code falls in the last cell, which is a code short.
                const int yi = int(sum >> (shift + 2)), ui = cb >> shift, vi = cr >> shift;
                const float yf = (float(sum) * 0.25f - float(t.pos[yi])) * t.invWidth[yi];
                const float uf = float(cb - t.pos[ui]) * t.invWidth[ui];
                const float vf = float(cr - t.pos[vi]) * t.invWidth[vi];
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
        }
        uint8_t *oY0 = out->data[0] + y0 * out->linesize[0], *oY1 = out->data[0] + y1 * out->linesize[0];
        uint8_t *oCb = out->data[1] + by * out->linesize[1], *oCr = out->data[2] + by * out->linesize[2];
        // The output's rows are padded to 64 pixels, so the last group may
        // write past the width.
        for (int bx = 0; bx < cw; bx += 8) {
            v16hi p0, p1;
            std::memcpy(&p0, row0 + 2 * bx, sizeof p0);
            std::memcpy(&p1, row1 + 2 * bx, sizeof p1);
            const v16hi pairs = p0 + p1;  // at most 2 x 4095
            const v8si sum = __builtin_convertvector(__builtin_shufflevector(pairs, pairs, 0, 2, 4, 6, 8, 10, 12, 14), v8si)
                             + __builtin_convertvector(__builtin_shufflevector(pairs, pairs, 1, 3, 5, 7, 9, 11, 13, 15), v8si);
            const v8f ym = __builtin_convertvector(sum, v8f) * 0.25f;
            v8f r, g, b;
            if (t.separable) {
                v8hi cb16, cr16;
                std::memcpy(&cb16, cbs + bx, sizeof cb16);
                std::memcpy(&cr16, crs + bx, sizeof cr16);
                const v8f y = ym * t.yMul + t.yAdd;
                const v8f u = __builtin_convertvector(cb16, v8f) * t.cMul + t.cAdd;
                const v8f v = __builtin_convertvector(cr16, v8f) * t.cMul + t.cAdd;
                r = linear8(t, y + t.crToR * v);
                g = linear8(t, y - t.cbToG * u - t.crToG * v);
                b = linear8(t, y + t.cbToB * u);
                if (t.ootfByLuminance) {
                    const v8f f = logLookup8(t.ootf.data(), kRatioLow, t.kr * r + t.kg * g + t.kb * b, v8si{});
                    r *= f;
                    g *= f;
                    b *= f;
                }
            } else {
                std::memcpy(&r, rs + bx, sizeof r);
                std::memcpy(&g, gs + bx, sizeof g);
                std::memcpy(&b, bs + bx, sizeof b);
            }
            v8f r7 = m[0] * r + m[3] * g + m[6] * b;
            v8f g7 = m[1] * r + m[4] * g + m[7] * b;
            v8f b7 = m[2] * r + m[5] * g + m[8] * b;
            v8f sig = r7 > g7 ? r7 : g7;
            sig = sig > b7 ? sig : b7;
            sig = sig > 1e-6f ? sig : v8f{} + 1e-6f;
            const v8f scale = logLookup8(t.ratio.data(), kRatioLow, sig, v8si{});
            r7 = encode8(encode, r7 * scale);
            g7 = encode8(encode, g7 * scale);
            b7 = encode8(encode, b7 * scale);
            const v8f yp = 0.2126f * r7 + 0.7152f * g7 + 0.0722f * b7;
            v8f cro = 128.5f + crScale * (r7 - yp), cbo = 128.5f + cbScale * (b7 - yp);
            const v8f yo = yBase + yScale * yp;
            // The grey curve at the block's mean luma, against which the
            // block's luma is an offset. Bounded so that grey + offset stays
            // within 16 bits; with the half step of the final >> 6, rounded
            // by truncating a positive value.
            const v8f grey = gather8(luma, __builtin_convertvector(ym + 0.5f, v8si));
            v8f off = yo * 64.0f - grey;
            off = off < -16384.0f ? v8f{} - 16384.0f : off;
            off = off > 16300.0f ? v8f{} + 16300.0f : off;
            const v8si offset = __builtin_convertvector(off + (32.5f + 65536.0f), v8si) - 65536;
            const v8hi offset8 = __builtin_convertvector(offset, v8hi);
            const v16hi offsets = __builtin_shufflevector(offset8, offset8, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
            cro = cro < 0.0f ? v8f{} : cro;
            cro = cro > 255.0f ? v8f{} + 255.0f : cro;
            cbo = cbo < 0.0f ? v8f{} : cbo;
            cbo = cbo > 255.0f ? v8f{} + 255.0f : cbo;
            // Narrowed by picking bytes (the values fit in one): a
            // conversion to bytes would go lane by lane.
            const v16qu crcb = __builtin_shufflevector((v32qu)__builtin_convertvector(cro, v8si),
                                                       (v32qu)__builtin_convertvector(cbo, v8si), 0, 4, 8, 12, 16, 20,
                                                       24, 28, 32, 36, 40, 44, 48, 52, 56, 60);
            std::memcpy(oCr + bx, &crcb, 8);
            std::memcpy(oCb + bx, reinterpret_cast<const uint8_t *>(&crcb) + 8, 8);
            for (int row = 0; row < 2 && (row == 0 || y1 != y0); ++row) {
                v16hi v = (gather16(luma, row ? p1 : p0) + offsets) >> 6;
                v = v < 0 ? v16hi{} : v;
                v = v > 255 ? v16hi{} + 255 : v;
                const v16qu bytes = __builtin_shufflevector((v32qu)v, (v32qu)v, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18,
                                                            20, 22, 24, 26, 28, 30);
                std::memcpy((row ? oY1 : oY0) + 2 * bx, &bytes, sizeof bytes);
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

void toneMapGridOnly(bool on)
{
    std::lock_guard<std::mutex> g(g_tablesLock);
    g_gridOnly = on;
    g_tables.clear();
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
