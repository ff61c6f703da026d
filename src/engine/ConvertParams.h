#pragma once
// The parameters of one conversion job as plain data, and their mapping onto
// the engine's parameter set. The row fills a ConvertParams; the converter
// turns it into an ordered list of setter calls (a ParamPlan) and replays
// that list on a new engine parameter set. Keeping the plan as data lets the
// mapping be checked without running the engine.

#include "EditRecords.h"

#include <cstdint>
#include <string>
#include <vector>

struct ConvertParams {
    std::string container;       // muxer name, lower case ("mp4", "matroska", ...)
    int32_t videoCodecId = -1;   // legacy codec number; -1 = audio only
    int32_t videoProfile = 0;    // SetVideoProfile for H.265; 0 = Main (2 = Main 10, for HDR)
    int32_t width = 0;           // output picture size; 0 when audio only
    int32_t height = 0;
    int32_t frameRateNum = 0;    // 0 = the source's rate
    int32_t frameRateDen = 0;
    int32_t videoBitRate = 0;    // kbit/s; 0 = quality-driven
    int32_t videoQuality = 0;
    int32_t audioCodecId = -1;
    int32_t sampleRate = 0;      // Hz; 0 = 44100
    int32_t channels = 0;        // 0 = 2
    int32_t audioBitRate = 0;    // kbit/s
    int32_t audioQuality = 0;
    CropSettings crop;
    int32_t dvdTitle = 0;
    int32_t audioIndex = 0;
    int32_t subtitleIndex = 0;   // row of the subtitle list (entry order of ConverItemInfo)
    int32_t subtitleStreamCount = 0;
    std::string subtitleFile;    // UTF-8
    SubtitleStyleSettings subtitleStyle;
    WatermarkTextSettings textWatermark;
    WatermarkImageSettings imageWatermark;
    int64_t trimStart = 0;       // microseconds
    int64_t trimLength = 0;      // microseconds; 0 = to the end
    EffectSettings effects;
    bool fromDvd = false;
    int32_t streamCopy = 1;      // SetStreamCopy: 1 copy what fits (the engine's default), 2 "same quality"
};

// One setter of the engine's parameter set (zentrix.h, "Set" + the name).
enum class ParamSetter {
    VideoCodec, AudioCodec, VideoCodecOption, VideoProfile, VideoSize, FrameRate,
    VideoBitrate, Channels, SampleRate, AudioBitrate, VideoQuality, AudioQuality,
    OutputSize, Rotation, Flip, Fill, CropRect,
    Volume, EffectReserved, Brightness, Saturation, Contrast, Hue,
    Title, AudioTrack, SubtitleStream, ClosedCaptions, SubtitleFile,
    SubtitleOpacity, SubtitleScale, SubtitleTimeValue, SubtitleFont, SubtitleBold,
    SubtitleItalic, SubtitleUnderline, SubtitleStrikeOut, SubtitleFontSize,
    SubtitleColor, SubtitleColor2, SubtitleColor3, SubtitleAnchorX, SubtitleAnchorY,
    WatermarkText, WatermarkFont, WatermarkImage, WatermarkOption, WatermarkImageMode,
    WatermarkTextOpacity, WatermarkTextScale, WatermarkFontSize, WatermarkBold,
    WatermarkItalic, WatermarkUnderline, WatermarkStrikeOut, WatermarkColor,
    WatermarkColor2, WatermarkColor3, WatermarkAnchorX, WatermarkAnchorY,
    WatermarkTextPos, WatermarkActiveLayer, WatermarkImageOpacity,
    WatermarkImageScale, WatermarkImagePos, StreamCopy
};

// The setter's name without "Set", for messages and test output.
const char *paramSetterName(ParamSetter setter);

// One setter call: integer arguments in a and b (colours as their unsigned
// value), real arguments in x, y, w, h, text for the string setters.
struct ParamStep {
    ParamSetter setter = ParamSetter::VideoCodec;
    int64_t a = 0;
    int64_t b = 0;
    double x = 0.0;
    double y = 0.0;
    double w = 0.0;
    double h = 0.0;
    std::string text;
};

bool operator==(const ParamStep &l, const ParamStep &r);
inline bool operator!=(const ParamStep &l, const ParamStep &r) { return !(l == r); }

using ParamPlan = std::vector<ParamStep>;

// H.264 and HEVC ('H265') as the profile catalogue numbers them.
constexpr int32_t kCodecH264 = 28;
constexpr int32_t kCodecH265 = 1211250229;

// The setter calls for one job, in the order the engine must receive them.
ParamPlan buildParamPlan(const ConvertParams &params);

// A font family as the engine takes it: without the '@' that marks the
// vertical variant of a font.
std::string engineFontFamily(const std::string &family);
