// Options shared by the zxtool commands that take the convert command's
// edit and output options.
#pragma once

#include "engine/ZxParamSet.h"
#include "zentrix.hpp"

#include <algorithm>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zxtool {

// The player commands (player_commands.cpp): argv as main() has it.
int preview(int argc, char **argv);
int play(int argc, char **argv);

struct Options {
    std::string container = "mp4";
    int vcodec = 28, acodec = 86018;
    int profile = 0;      // SetVideoProfile for H.265 (2 = Main 10); 0 = the program's usual
    int width = 0, height = 0, fpsNum = 0, fpsDen = 1;
    int vbitrateK = 0, abitrateK = 0, rate = 44100, channels = 2, quality = 50;
    long long start = 0, length = 0;
    int rotate = 0, flip = 0;
    int keepShape = -1;   // -1: as the program's unedited item; 0 stretch; 1 keep the shape
    double crop[4] = {0, 0, 1, 1};
    int audio = -1;
    int dvdTitle = -1;    // >= 0: the source is a DVD
    bool quiet = false;
    int streamCopy = 1;   // SetStreamCopy: 0 --no-copy, 2 --same-quality
    // edits; neutral values are the engine's defaults
    int volume = 100, brightness = 0, saturation = 100, contrast = 100, hue = 0;
    int deinterlace = 0;  // SetDeinterlace: 0 auto, 1 on, 2 off
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
inline bool wholeNumber(const char *v, long lo, long hi, int &out)
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
inline bool numberPair(const char *v, long lo, long hi, int out[2])
{
    const char *comma = std::strchr(v, ',');
    if (!comma)
        return false;
    const std::string first(v, comma);
    return wholeNumber(first.c_str(), lo, hi, out[0]) && wholeNumber(comma + 1, lo, hi, out[1]);
}

// Options whose values are checked here, with a message naming the range.
// Returns 0 when a is not one of them, 1 when taken, -1 for a bad value.
inline int parseEdit(const std::string &a, const char *v, Options &o)
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
    if (a == "--deinterlace") {
        const char *modes[] = {"auto", "on", "off"};
        for (int m = 0; m < 3; ++m)
            if (std::strcmp(v, modes[m]) == 0) {
                o.deinterlace = m;
                return 1;
            }
        std::fprintf(stderr, "zxtool: --deinterlace wants auto, on or off, not \"%s\"\n", v);
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

inline bool parse(int argc, char **argv, int first, Options &o)
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
        } else if (a == "--no-copy") {
            o.streamCopy = 0;
        } else if (a == "--same-quality") {
            o.streamCopy = 2;
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
            else if (a == "--profile") { if (!wholeNumber(v, 0, 255, o.profile)) return false; }
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
inline ConvertParams jobParams(const Options &o)
{
    ConvertParams p;
    p.container = o.container;
    p.videoCodecId = o.vcodec;
    p.videoProfile = o.profile;
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

inline zxh::ParamsPtr makeParams(const Options &o)
{
    std::string refused;
    zxh::ParamsPtr set = createParamSet(buildParamPlan(jobParams(o)), &refused);
    // The program leaves this at the engine's automatic default; only the
    // tool forces it.
    if (set) {
        SetDeinterlace(set.get(), o.deinterlace);
        SetStreamCopy(set.get(), o.streamCopy);
    }
    if (!refused.empty())
        std::fprintf(stderr, "zxtool: values out of range, engine defaults kept: %s\n", refused.c_str());
    return set;
}

} // namespace zxtool
