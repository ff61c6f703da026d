// zxtool: probes, thumbnails, converts and merges through the engine's public
// C API, for developers and CI.
#include "options.h"
#include "zentrix.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace zxtool;

int usage()
{
    std::fprintf(stderr,
                 "usage:\n"
                 "  zxtool probe FILE\n"
                 "  zxtool probe --dvd PATH\n"
                 "  zxtool thumb FILE TIME_US W H OUT.bmp\n"
                 "  zxtool convert SRC OUT [options]\n"
                 "  zxtool merge OUT SRC... [options]\n"
                 "  zxtool preview SRC TIME_US OUT.bmp [options]   zxtool play SRC [--seconds S] [options]\n"
                 "options: --container C --vcodec ID --acodec ID [--size WxH] [--fps N/D] [--vbitrate K]\n"
                 "         [--profile N] [--abitrate K] [--rate HZ] [--channels N] [--quality Q] [--start US --length US]\n"
                 "         [--rotate D] [--flip] [--crop x,y,w,h] [--keep-shape | --stretch] [--audio-track I]\n"
                 "         [--dvd-title N] [--quiet] [--no-copy|--same-quality]\n"
                 "effects: [--volume 0..200] [--brightness -235..235] [--saturation 0..200] [--contrast 0..200]\n"
                 "         [--hue -180..180] [--deinterlace auto|on|off]\n"
                 "text:    [--text TEXT] [--text-pos X,Y] [--text-size PT] [--text-color AARRGGBB]\n"
                 "         [--text-font FAMILY] [--text-opacity 0..255]\n"
                 "image:   [--image PATH] [--image-pos X,Y] [--image-opacity 0..255] [--image-scale SX,SY]\n"
                 "subtitle: [--subtitle-stream I | --closed-captions | --subtitle-file PATH]\n"
                 "  --dvd-title N reads title N (0-based) of the DVD at SRC; --audio-track I and\n"
                 "  --subtitle-stream I count from 0 among the source's audio or subtitle streams;\n"
                 "  positions are thousandths of the picture, scales percent\n");
    return 2;
}

std::string json(const char *s)
{
    std::string out = "\"";
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s ? s : ""); *p; ++p) {
        switch (*p) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (*p < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", *p);
                out += buf;
            } else {
                out += char(*p);
            }
        }
    }
    return out + "\"";
}

// One JSON object describing what the source currently answers.
void describe(ZxSource *src)
{
    std::string brand = SourceMetadata(src, "major_brand", -1);
    if (brand.empty())
        brand = SourceBrand(src);
    std::printf("{\"brand\": %s, \"hasVideo\": %s, \"hasAudio\": %s, \"duration_us\": %lld, \"width\": %d, "
                "\"height\": %d, \"canSeek\": %s, \"audio\": [",
                json(brand.c_str()).c_str(), SourceHasVideo(src) ? "true" : "false",
                SourceHasAudio(src) ? "true" : "false", static_cast<long long>(SourceDuration(src)), SourceWidth(src),
                SourceHeight(src), SourceCanSeek(src) ? "true" : "false");
    for (int i = 0; i < SourceAudioCount(src); ++i) {
        SourceSelectAudio(src, i);
        std::printf("%s{\"title\": %s, \"codec\": %s, \"language\": %s}", i ? ", " : "", json(AudioTitle(src)).c_str(),
                    json(AudioCodecName(src)).c_str(), json(AudioLanguage(src)).c_str());
    }
    std::printf("], \"subtitles\": [");
    for (int i = 0; i < SourceSubtitleCount(src); ++i) {
        SourceSelectSubtitle(src, i);
        std::printf("%s{\"title\": %s, \"codec\": %s, \"language\": %s}", i ? ", " : "",
                    json(SubtitleTitle(src)).c_str(), json(SubtitleCodecName(src)).c_str(),
                    json(SubtitleLanguage(src)).c_str());
    }
    std::printf("]}");
}

int probe(const char *path)
{
    zxh::SourcePtr src(SourceCreate(-1));
    if (!SourceOpenFile(src.get(), path)) {
        const char *why = SourceLastError(src.get());
        std::fprintf(stderr, "zxtool: cannot read %s: %s\n", path, why && *why ? why : "not a media file");
        return 1;
    }
    describe(src.get());
    std::printf("\n");
    return 0;
}

// {"brand": "DVD", "titles": [one probe object per title]}; exit 1 when
// the path is not a DVD.
int probeDvd(const char *path)
{
    zxh::SourcePtr owner(SourceCreate(-1));
    ZxSource *src = owner.get();
    if (!SourceOpenDvd(src, path)) {
        std::fprintf(stderr, "zxtool: not a readable DVD: %s\n", SourceLastError(src));
        return 1;
    }
    const unsigned count = DvdTitleCount(src);
    const unsigned titles = count > 6 ? count - 6 : 0;
    std::printf("{\"brand\": %s, \"titles\": [", json(SourceBrand(src)).c_str());
    int code = 0;
    for (unsigned i = 0; i < titles; ++i) {
        if (!SourceSelectTitle(src, int(i))) {
            std::fprintf(stderr, "zxtool: title %u: %s\n", i, SourceLastError(src));
            code = 1;
        }
        std::printf("%s", i ? ", " : "");
        describe(src);
    }
    std::printf("]}\n");
    return code;
}

int thumb(int argc, char **argv)
{
    if (argc < 7)
        return usage();
    zxh::SourcePtr owner(SourceCreate(-1));
    ZxSource *src = owner.get();
    int rc = 1;
    if (SourceOpenFile(src, argv[2])) {
        const unsigned char *bmp = SourceThumbnail(src, std::atoll(argv[3]), 1, std::atoi(argv[4]), std::atoi(argv[5]), 0);
        if (bmp) {
            const uint32_t size = uint32_t(bmp[2]) | uint32_t(bmp[3]) << 8 | uint32_t(bmp[4]) << 16 | uint32_t(bmp[5]) << 24;
            if (FILE *f = std::fopen(argv[6], "wb")) {
                rc = std::fwrite(bmp, 1, size, f) == size ? 0 : 1;
                std::fclose(f);
            }
        } else {
            std::fprintf(stderr, "zxtool: no picture could be decoded\n");
        }
    } else {
        std::fprintf(stderr, "zxtool: cannot open %s\n", argv[2]);
    }
    return rc;
}

void progress(const Options &o, uint64_t pos, uint64_t dur, const char *what)
{
    if (o.quiet)
        return;
    const double pct = dur ? 100.0 * double(pos) / double(dur) : 0.0;
    std::fprintf(stderr, "\r%s %5.1f%%  %.2f / %.2f s", what, pct, pos / 1e6, dur / 1e6);
}

int convert(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, 2, o) || o.positional.size() != 2)
        return usage();
    const zxh::ParamsPtr params = makeParams(o);
    const zxh::JobPtr owner(JobCreate(-1));
    ZxJob *job = owner.get();
    int code = 0;
    int ok = o.dvdTitle >= 0
                 ? JobOpenDvd(job, o.positional[0].c_str(), o.positional[1].c_str(), o.container.c_str(), params.get())
                 : JobOpenFile(job, o.positional[0].c_str(), o.positional[1].c_str(), o.container.c_str(), params.get());
    if (ok) {
        JobSetRange(job, o.start, o.length);
        ok = JobStart(job);
    }
    if (!ok) {
        std::fprintf(stderr, "zxtool: %s\n", JobLastError(job, &code));
        return code ? 10 + code : 1;
    }
    // Checked often, shown ten times a second: a copied file takes a
    // fraction of a second, and the tool should not add to it.
    for (int tick = 0; !JobIsFinished(job) && !JobIsStopped(job); ++tick) {
        if (tick % 10 == 0)
            progress(o, JobPosition(job), JobDuration(job), "converting");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    progress(o, JobPosition(job), JobDuration(job), "converting");
    if (!o.quiet)
        std::fprintf(stderr, "\n");
    const int status = JobStatus(job);
    const std::string error = JobLastError(job, &code);
    JobClose(job);
    if (status != ZX_STATUS_FINISHED) {
        // The job had opened (and written into) the output: what is there
        // is an unfinished file nobody should take for a conversion.
        std::remove(o.positional[1].c_str());
        std::fprintf(stderr, "zxtool: conversion failed: %s\n", error.c_str());
        return code ? 10 + code : 1;
    }
    int videoCopied = 0, audioCopied = 0;
    JobStreamsCopied(job, &videoCopied, &audioCopied);
    std::printf("{\"video_copied\": %s, \"audio_copied\": %s}\n", videoCopied ? "true" : "false",
                audioCopied ? "true" : "false");
    return 0;
}

int merge(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, 2, o) || o.positional.size() < 2)
        return usage();
    const zxh::ParamsPtr owned = makeParams(o);
    ZxParams *params = owned.get();
    const zxh::MergerPtr owner(MergerCreate());
    ZxMerger *m = owner.get();
    int code = 0, rc = 0;
    if (!MergerOpen(m, o.positional[0].c_str(), o.container.c_str(), params) || !MergerBegin(m)) {
        std::fprintf(stderr, "zxtool: %s\n", MergerLastError(m, &code));
        rc = code ? 10 + code : 1;
    }
    for (size_t i = 1; rc == 0 && i < o.positional.size(); ++i) {
        const char *source = o.positional[i].c_str();
        if (!(o.dvdTitle >= 0 ? MergerAddDvd(m, source, 0, 0, params) : MergerAddFile(m, source, 0, 0, params))) {
            std::fprintf(stderr, "zxtool: %s: %s\n", o.positional[i].c_str(), MergerLastError(m, &code));
            rc = code ? 10 + code : 1;
            break;
        }
        while (!MergerIsFinished(m) && !MergerIsStopped(m)) {
            progress(o, MergerPosition(m), MergerDuration(m), o.positional[i].c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!o.quiet)
            std::fprintf(stderr, "\n");
        if (MergerStatus(m) != ZX_STATUS_FINISHED) {
            std::fprintf(stderr, "zxtool: %s: %s\n", o.positional[i].c_str(), MergerLastError(m, &code));
            rc = code ? 10 + code : 1;
        }
    }
    if (!MergerClose(m) && rc == 0) {
        std::fprintf(stderr, "zxtool: %s\n", MergerLastError(m, &code));
        rc = code ? 10 + code : 1;
    }
    return rc;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    ZxStartup(1, 1);
    LibraryInit(1);
    const std::string cmd = argv[1];
    if (cmd == "probe") {
        if (std::strcmp(argv[2], "--dvd") == 0)
            return argc == 4 ? probeDvd(argv[3]) : usage();
        return probe(argv[2]);
    }
    if (cmd == "thumb")
        return thumb(argc, argv);
    if (cmd == "convert")
        return convert(argc, argv);
    if (cmd == "merge")
        return merge(argc, argv);
    if (cmd == "preview" || cmd == "play")
        return cmd == "preview" ? zxtool::preview(argc, argv) : zxtool::play(argc, argv);
    return usage();
}
