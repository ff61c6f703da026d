// The tone-mapping stage against the filter chain it stands in for: decodes
// the pictures of an HDR file once, then times ToneMapper::map and the
// toneMapFilters() graph on each, and compares their pictures (largest and
// mean difference per plane, PSNR of the luma).
//
//   bench_tonemap_stage FILE [PICTURES]
//
// STAGE_ONLY=1 times the stage alone; DUMP=PREFIX writes the first picture
// of both as raw yuv420p (PREFIX_stage.yuv, PREFIX_chain.yuv).
#include "colour.h"
#include "ffutil.h"
#include "filter_stages.h"
#include "tonemap.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace zx;

namespace {
// CPU time of the process (the stage works on two threads; the chain here
// on one): the figures hold on a machine shared with others.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
} // namespace

namespace {

std::vector<FramePtr> decode(const char *path, int wanted)
{
    std::vector<FramePtr> frames;
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path, nullptr, nullptr) < 0)
        return frames;
    InputPtr ic(raw);
    avformat_find_stream_info(ic.get(), nullptr);
    const int vi = av_find_best_stream(ic.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (vi < 0)
        return frames;
    const AVCodec *codec = avcodec_find_decoder(ic->streams[vi]->codecpar->codec_id);
    CodecCtxPtr dec(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(dec.get(), ic->streams[vi]->codecpar);
    if (avcodec_open2(dec.get(), codec, nullptr) < 0)
        return frames;
    PacketPtr pkt = makePacket();
    while (int(frames.size()) < wanted && av_read_frame(ic.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == vi && avcodec_send_packet(dec.get(), pkt.get()) >= 0) {
            FramePtr f = makeFrame();
            while (avcodec_receive_frame(dec.get(), f.get()) >= 0 && int(frames.size()) < wanted) {
                frames.push_back(std::move(f));
                f = makeFrame();
            }
        }
        av_packet_unref(pkt.get());
    }
    return frames;
}

struct Diff {
    int maxDiff[3] = {};
    double sum[3] = {}, sq = 0;
    long count[3] = {};
};

void compare(const AVFrame *a, const AVFrame *b, Diff &d)
{
    for (int p = 0; p < 3; ++p) {
        const int w = p ? (a->width + 1) / 2 : a->width, h = p ? (a->height + 1) / 2 : a->height;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int e = std::abs(a->data[p][y * a->linesize[p] + x] - b->data[p][y * b->linesize[p] + x]);
                d.maxDiff[p] = std::max(d.maxDiff[p], e);
                d.sum[p] += e;
                d.count[p]++;
                if (!p)
                    d.sq += double(e) * e;
            }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [PICTURES]\n", argv[0]);
        return 2;
    }
    const int wanted = argc > 2 ? std::atoi(argv[2]) : 100;
    std::vector<FramePtr> frames = decode(argv[1], wanted);
    if (frames.empty() || !ToneMapper::takes(frames[0].get())) {
        std::fprintf(stderr, "no HDR 4:2:0 pictures in %s\n", argv[1]);
        return 1;
    }
    const AVFrame *first = frames[0].get();
    const ColourTags from = completeColours(tagsOf(first), first->height, AVPixelFormat(first->format));
    const ColourTags to{AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG};

    ToneMapper mapper;
    FramePtr mapped = makeFrame(), reference = makeFrame();
    std::string err;
    // The table is made on the first picture; not part of the per-picture time.
    const double t0 = cpuMs();
    if (!mapper.map(first, to, mapped.get(), err)) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    const double tableMs = cpuMs() - t0;

    char args[200];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1", first->width,
                  first->height, first->format);
    GraphPtr graph(avfilter_graph_alloc());
    graph->nb_threads = 1;
    AVFilterContext *src = nullptr, *sink = nullptr;
    if (linkFilterGraph(graph.get(), "buffer", args, "buffersink",
                        "[in]" + toneMapFilters(from, to, first->width, first->height, "yuv420p") + "[out]", {}, &src,
                        &sink)
        < 0) {
        std::fprintf(stderr, "cannot build the reference chain\n");
        return 1;
    }

    double stageMs = 0, chainMs = 0;
    Diff diff;
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i]->pts = int64_t(i);
        double t = cpuMs();
        mapper.map(frames[i].get(), to, mapped.get(), err);
        stageMs += cpuMs() - t;
        if (std::getenv("STAGE_ONLY"))
            continue;
        t = cpuMs();
        FramePtr in = makeFrame();
        av_frame_ref(in.get(), frames[i].get());
        av_frame_unref(reference.get());
        const int got = av_buffersrc_add_frame_flags(src, in.get(), AV_BUFFERSRC_FLAG_PUSH) < 0
                            ? -1
                            : av_buffersink_get_frame(sink, reference.get());
        chainMs += cpuMs() - t;
        if (got >= 0)
            compare(mapped.get(), reference.get(), diff);
        if (const char *dump = std::getenv("DUMP"); dump && i == 0 && got >= 0) {
            for (const AVFrame *f : {mapped.get(), reference.get()}) {
                FILE *out = std::fopen((std::string(dump) + (f == mapped.get() ? "_stage.yuv" : "_chain.yuv")).c_str(), "wb");
                for (int p = 0; p < 3 && out; ++p)
                    for (int y = 0; y < (p ? (f->height + 1) / 2 : f->height); ++y)
                        std::fwrite(f->data[p] + y * f->linesize[p], 1, size_t(p ? (f->width + 1) / 2 : f->width), out);
                if (out)
                    std::fclose(out);
            }
        }
    }
    const double n = double(frames.size());
    const double mse = diff.sq / std::max<long>(1, diff.count[0]);
    std::printf("%s: %d pictures %dx%d, table %.1f ms\n", argv[1], int(n), first->width, first->height, tableMs);
    std::printf("CPU per picture: stage %.2f ms, filter chain %.2f ms\n", stageMs / n, chainMs / n);
    std::printf("difference to the chain: Y max %d mean %.3f | Cb max %d mean %.3f | Cr max %d mean %.3f | Y PSNR %.1f dB\n",
                diff.maxDiff[0], diff.sum[0] / std::max<long>(1, diff.count[0]), diff.maxDiff[1],
                diff.sum[1] / std::max<long>(1, diff.count[1]), diff.maxDiff[2],
                diff.sum[2] / std::max<long>(1, diff.count[2]),
                mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0);
    return 0;
}
