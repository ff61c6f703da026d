// Options shared by the zxtool commands that take the convert command's
// edit and output options.
#pragma once

#include "zentrix.hpp"

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
    int width = 0, height = 0, fpsNum = 0, fpsDen = 1;
    int vbitrateK = 0, abitrateK = 0, rate = 44100, channels = 2, quality = 50;
    long long start = 0, length = 0;
    int rotate = 0, flip = 0;
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

inline zxh::ParamsPtr makeParams(const Options &o)
{
    zxh::ParamsPtr owner(ParamsCreate());
    ZxParams *p = owner.get();
    SetVideoCodec(p, o.vcodec);
    SetAudioCodec(p, o.acodec);
    if (o.vcodec == 28) {
        SetVideoCodecOption(p, 2);
        SetVideoProfile(p, 66);
    } else if (o.vcodec == 1211250229) {
        SetVideoCodecOption(p, 2);
        SetVideoProfile(p, 1);
    }
    if (o.width > 0 && o.height > 0)
        SetVideoSize(p, o.width, o.height);
    if (o.fpsNum > 0)
        SetFrameRate(p, o.fpsNum, o.fpsDen > 0 ? o.fpsDen : 1);
    if (o.vbitrateK > 0)
        SetVideoBitrate(p, o.vbitrateK * 1000);
    SetChannels(p, o.channels > 0 ? o.channels : 2);
    SetSampleRate(p, o.rate > 0 ? o.rate : 44100);
    if (o.abitrateK > 0)
        SetAudioBitrate(p, o.abitrateK * 1000);
    SetVideoQuality(p, o.quality);
    SetAudioQuality(p, o.quality);
    if (o.dvdTitle >= 0)
        SetTitle(p, o.dvdTitle);
    if (o.audio >= 0)
        SetAudioTrack(p, o.audio);
    SetRotation(p, o.rotate);
    SetFlip(p, o.flip);
    if (!SetCropRect(p, o.crop[0], o.crop[1], o.crop[2], o.crop[3]))
        std::fprintf(stderr, "zxtool: crop rectangle ignored\n");
    SetVolume(p, o.volume);
    SetBrightness(p, o.brightness);
    SetSaturation(p, o.saturation);
    SetContrast(p, o.contrast);
    SetHue(p, o.hue);
    if (o.subtitleStream >= 0)
        SetSubtitleStream(p, o.subtitleStream);
    else if (o.closedCaptions)
        SetClosedCaptions(p, 1);
    else if (!o.subtitleFile.empty())
        SetSubtitleFile(p, o.subtitleFile.c_str());
    if (o.textGiven)
        SetWatermarkText(p, o.text.c_str());
    SetWatermarkFont(p, o.textFont.c_str());
    if (!o.image.empty())
        SetWatermarkImage(p, o.image.c_str());
    SetWatermarkTextOpacity(p, o.textOpacity);
    SetWatermarkFontSize(p, o.textSize);
    SetWatermarkColor(p, o.textColor);
    SetWatermarkTextPos(p, o.textPos[0] / 1000.0, o.textPos[1] / 1000.0);
    SetWatermarkImageOpacity(p, o.imageOpacity);
    SetWatermarkImageScale(p, o.imageScale[0], o.imageScale[1]);
    SetWatermarkImagePos(p, o.imagePos[0] / 1000.0, o.imagePos[1] / 1000.0);
    return owner;
}

} // namespace zxtool
