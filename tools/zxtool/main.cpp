// zxtool: probes, thumbnails, converts and merges through the engine's public
// C API, for developers and CI.
#include "engine/ZxParamSet.h"
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

int usage()
{
    std::fprintf(stderr,
                 "usage:\n"
                 "  zxtool probe FILE\n"
                 "  zxtool probe --dvd PATH\n"
                 "  zxtool thumb FILE TIME_US W H OUT.bmp\n"
                 "  zxtool convert SRC OUT [options]\n"
                 "  zxtool merge OUT SRC... [options]\n"
                 "options: --container C --vcodec ID --acodec ID [--size WxH] [--fps N/D] [--vbitrate K]\n"
                 "         [--abitrate K] [--rate HZ] [--channels N] [--quality Q] [--start US --length US]\n"
                 "         [--rotate D] [--flip] [--crop x,y,w,h] [--keep-shape | --stretch] [--audio-track I]\n"
                 "         [--dvd-title N] [--quiet]\n"
                 "effects: [--volume 0..200] [--brightness -235..235] [--saturation 0..200] [--contrast 0..200]\n"
                 "         [--hue -180..180]\n"
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

struct Options {
    std::string container = "mp4";
    int vcodec = 28, acodec = 86018;
    int width = 0, height = 0, fpsNum = 0, fpsDen = 1;
    int vbitrateK = 0, abitrateK = 0, rate = 44100, channels = 2, quality = 50;
    long long start = 0, length = 0;
    int rotate = 0, flip = 0;
    int keepShape = -1;   // -1: as the program's unedited item; 0 stretch; 1 keep the shape
    double crop[4] = {0, 0, 1, 1};
    int audio = -1;
    int dvdTitle = -1;    // >= 0: the source is a DVD
    bool quiet = false;
    // edits; neutral values are the engine's defaults
    int volume = 100, brightness = 0, saturation = 100, contrast = 100, hue = 0;
    std::string text, textFont;
    bool textGiven = false;
    int textPos[2] = {0, 0}, textSize = 28, textOpacity = 255;
    uint32_t textColor = 0xFFFFFFFFu;
    std::string image;
    int imagePos[2] = {0, 0}, imageOpacity = 255, imageScale[2] = {100, 100};
    int subtitleStream = -1;
    bool closedCaptions = false;
    std::string subtitleFile;
    std::vector<std::string> positional;
};

// A whole decimal number in [lo, hi], nothing else.
bool wholeNumber(const char *v, long lo, long hi, int &out)
{
    char *end = nullptr;
    errno = 0;
    const long n = std::strtol(v, &end, 10);
    if (!*v || *end || errno || n < lo || n > hi)
        return false;
    out = int(n);
    return true;
}

// "A,B" of two whole numbers in [lo, hi].
bool numberPair(const char *v, long lo, long hi, int out[2])
{
    const char *comma = std::strchr(v, ',');
    if (!comma)
        return false;
    const std::string first(v, comma);
    return wholeNumber(first.c_str(), lo, hi, out[0]) && wholeNumber(comma + 1, lo, hi, out[1]);
}

// Options whose values are checked here, with a message naming the range.
// Returns 0 when a is not one of them, 1 when taken, -1 for a bad value.
int parseEdit(const std::string &a, const char *v, Options &o)
{
    struct Ranged { const char *name; int *field; long lo, hi; } ranged[] = {
        {"--volume", &o.volume, 0, 200},           {"--brightness", &o.brightness, -235, 235},
        {"--saturation", &o.saturation, 0, 200},   {"--contrast", &o.contrast, 0, 200},
        {"--hue", &o.hue, -180, 180},              {"--text-size", &o.textSize, 1, 1000},
        {"--text-opacity", &o.textOpacity, 0, 255}, {"--image-opacity", &o.imageOpacity, 0, 255},
        {"--subtitle-stream", &o.subtitleStream, 0, 999}, {"--audio-track", &o.audio, 0, 999},
    };
    for (const Ranged &r : ranged)
        if (a == r.name) {
            if (wholeNumber(v, r.lo, r.hi, *r.field))
                return 1;
            std::fprintf(stderr, "zxtool: %s wants a whole number from %ld to %ld, not \"%s\"\n", r.name, r.lo, r.hi, v);
            return -1;
        }
    struct Paired { const char *name; int *field; long lo, hi; const char *what; } paired[] = {
        {"--text-pos", o.textPos, 0, 1000, "X,Y in thousandths (0 to 1000)"},
        {"--image-pos", o.imagePos, 0, 1000, "X,Y in thousandths (0 to 1000)"},
        {"--image-scale", o.imageScale, 1, 10000, "SX,SY in percent (1 to 10000)"},
    };
    for (const Paired &p : paired)
        if (a == p.name) {
            if (numberPair(v, p.lo, p.hi, p.field))
                return 1;
            std::fprintf(stderr, "zxtool: %s wants %s, not \"%s\"\n", p.name, p.what, v);
            return -1;
        }
    if (a == "--text-color") {
        char *end = nullptr;
        const unsigned long c = std::strtoul(v, &end, 16);
        if (std::strlen(v) != 8 || *end || !std::isxdigit(static_cast<unsigned char>(v[0]))) {
            std::fprintf(stderr, "zxtool: --text-color wants eight hex digits AARRGGBB, not \"%s\"\n", v);
            return -1;
        }
        o.textColor = uint32_t(c);
        return 1;
    }
    std::string *text = a == "--text" ? &o.text : a == "--text-font" ? &o.textFont : a == "--image" ? &o.image
                      : a == "--subtitle-file" ? &o.subtitleFile : nullptr;
    if (!text)
        return 0;
    if (a != "--text" && !*v) {
        std::fprintf(stderr, "zxtool: %s wants a value\n", a.c_str());
        return -1;
    }
    *text = v;
    o.textGiven = o.textGiven || a == "--text";
    return 1;
}

bool parse(int argc, char **argv, int first, Options &o)
{
    for (int i = first; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        const char *v = nullptr;
        if (a == "--flip") {
            o.flip = 1;
        } else if (a == "--keep-shape") {
            o.keepShape = 1;
        } else if (a == "--stretch") {
            o.keepShape = 0;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--closed-captions") {
            o.closedCaptions = true;
        } else if (a.rfind("--", 0) == 0) {
            if (!(v = value())) {
                std::fprintf(stderr, "zxtool: %s wants a value\n", a.c_str());
                return false;
            }
            if (const int edit = parseEdit(a, v, o); edit != 0) {
                if (edit < 0)
                    return false;
            }
            else if (a == "--container") o.container = v;
            else if (a == "--vcodec") o.vcodec = std::atoi(v);
            else if (a == "--acodec") o.acodec = std::atoi(v);
            else if (a == "--size") { if (std::sscanf(v, "%dx%d", &o.width, &o.height) != 2) return false; }
            else if (a == "--fps") { if (std::sscanf(v, "%d/%d", &o.fpsNum, &o.fpsDen) < 1) return false; }
            else if (a == "--vbitrate") o.vbitrateK = std::atoi(v);
            else if (a == "--abitrate") o.abitrateK = std::atoi(v);
            else if (a == "--rate") o.rate = std::atoi(v);
            else if (a == "--channels") o.channels = std::atoi(v);
            else if (a == "--quality") o.quality = std::atoi(v);
            else if (a == "--start") o.start = std::atoll(v);
            else if (a == "--length") o.length = std::atoll(v);
            else if (a == "--rotate") o.rotate = std::atoi(v);
            else if (a == "--audio") { if (!wholeNumber(v, 0, 999, o.audio)) return false; }
            else if (a == "--dvd-title") {
                char *end = nullptr;
                o.dvdTitle = int(std::strtol(v, &end, 10));
                if (!*v || *end || o.dvdTitle < 0)
                    return false;
            }
            else if (a == "--crop") {
                if (std::sscanf(v, "%lf,%lf,%lf,%lf", &o.crop[0], &o.crop[1], &o.crop[2], &o.crop[3]) != 4)
                    return false;
            } else {
                std::fprintf(stderr, "zxtool: unknown option %s\n", a.c_str());
                return false;
            }
        } else {
            o.positional.push_back(a);
        }
    }
    const int subtitleChoices = (o.subtitleStream >= 0) + o.closedCaptions + !o.subtitleFile.empty();
    if (subtitleChoices > 1) {
        std::fprintf(stderr, "zxtool: choose one of --subtitle-stream, --closed-captions and --subtitle-file\n");
        return false;
    }
    return true;
}

// The job as the program would describe it: the same records, so the same
// parameter plan (codec profiles, default rates, geometry, styles) reaches
// the engine. Options left out keep the records' defaults.
ConvertParams jobParams(const Options &o)
{
    ConvertParams p;
    p.container = o.container;
    p.videoCodecId = o.vcodec;
    p.audioCodecId = o.acodec;
    if (o.width > 0 && o.height > 0) {
        p.width = o.width;
        p.height = o.height;
    }
    if (o.fpsNum > 0) {
        p.frameRateNum = o.fpsNum;
        p.frameRateDen = o.fpsDen > 0 ? o.fpsDen : 1;
    }
    p.videoBitRate = std::max(0, o.vbitrateK);
    p.audioBitRate = std::max(0, o.abitrateK);
    p.sampleRate = std::max(0, o.rate);
    p.channels = std::max(0, o.channels);
    p.videoQuality = o.quality;
    p.audioQuality = o.quality;
    p.dvdTitle = std::max(0, o.dvdTitle);
    p.fromDvd = o.dvdTitle >= 0;
    if (o.audio >= 0)
        p.audioIndex = o.audio;

    p.crop.rotation = o.rotate;
    p.crop.flip = o.flip;
    if (o.keepShape >= 0)
        p.crop.aspectLocked = o.keepShape;
    p.crop.cropRect = FractionRect{o.crop[0], o.crop[1], o.crop[2], o.crop[3]};

    p.effects.volume = o.volume;
    p.effects.brightness = o.brightness;
    p.effects.saturation = o.saturation;
    p.effects.contrast = o.contrast;
    p.effects.hue = o.hue;

    // Subtitle entries count as in the program's list: none, the inner
    // streams, closed captions, then files.
    if (o.subtitleStream >= 0) {
        p.subtitleStreamCount = o.subtitleStream + 1;
        p.subtitleIndex = o.subtitleStream + 1;
    } else if (o.closedCaptions) {
        p.subtitleIndex = 1;
    } else if (!o.subtitleFile.empty()) {
        p.subtitleIndex = 2;
        p.subtitleFile = o.subtitleFile;
    }

    if (o.textGiven)
        p.textWatermark.text = o.text;
    p.textWatermark.fontFamily = o.textFont;
    p.textWatermark.opacity = o.textOpacity;
    p.textWatermark.pointSize = o.textSize;
    p.textWatermark.color = o.textColor;
    p.textWatermark.posX = o.textPos[0];
    p.textWatermark.posY = o.textPos[1];
    p.imageWatermark.imagePath = o.image;
    p.imageWatermark.opacity = o.imageOpacity;
    p.imageWatermark.scaleX = o.imageScale[0];
    p.imageWatermark.scaleY = o.imageScale[1];
    p.imageWatermark.posX = o.imagePos[0];
    p.imageWatermark.posY = o.imagePos[1];
    return p;
}

zxh::ParamsPtr makeParams(const Options &o)
{
    std::string refused;
    zxh::ParamsPtr set = createParamSet(buildParamPlan(jobParams(o)), &refused);
    if (!refused.empty())
        std::fprintf(stderr, "zxtool: values out of range, engine defaults kept: %s\n", refused.c_str());
    return set;
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
    while (!JobIsFinished(job) && !JobIsStopped(job)) {
        progress(o, JobPosition(job), JobDuration(job), "converting");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
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
    return usage();
}
