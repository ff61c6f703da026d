// The parameter set: plain data, copied by value into jobs and mergers.
#pragma once

#include <cstdint>
#include <string>

struct ZxCrop {
    double x = 0, y = 0, w = 1, h = 1;
    bool operator==(const ZxCrop &o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

struct ZxTextStyle {
    std::string font;
    int opacity = 255;
    int scaleX = 100, scaleY = 100;
    int fontSize = 0;
    int bold = 0, italic = 0, underline = 0, strikeOut = 0;
    uint32_t color = 0xFFFFFFFFu, color2 = 0x80000000u, color3 = 0xFF000000u;
    double anchorX = 0, anchorY = 0;
};

struct ZxParams {
    // encoders
    int videoCodec = -1;
    int audioCodec = -1;
    int videoCodecOption = 0;
    int videoProfile = 0;
    int width = 0, height = 0;            // encoded frame; 0 = source
    int fpsNum = 0, fpsDen = 1;           // 0 = source
    int videoBitrate = 0;                 // bit/s, 0 = quality-driven
    int channels = 2;
    int sampleRate = 44100;
    int audioBitrate = 0;                 // bit/s, 0 = encoder default
    int videoQuality = 50;
    int audioQuality = 50;

    // geometry
    int shapeNum = 0, shapeDen = 0;       // picture shape before rotation, 0:0 = source
    int rotation = 0;
    int flip = 0;
    int keepShape = 1;
    int fillColor = 0;                    // 0xRRGGBB of the borders
    ZxCrop crop;

    // effects (applied by zx::EditStage); the defaults leave picture and sound untouched
    int volume = 100, effectReserved = 0, brightness = 0, saturation = 100, contrast = 100, hue = 0;
    // interlaced sources: 0 decided per source, 1 always deinterlaced, 2 left as decoded
    int deinterlace = 0;
    // 0: everything is converted; 1: streams that already fit the output are
    // copied; 2: also any codec the container takes, the source's format kept
    int streamCopy = 1;

    // stream choice
    int dvdTitle = 0;
    int audioTrack = 0;
    int subtitleStream = -1;
    int closedCaptions = 0;
    std::string subtitleFile;
    ZxTextStyle subtitleStyle{std::string(), 255, 100, 100, 16, 0, 0, 0, 0,
                              0xFFFFFFFFu, 0x80000000u, 0xFF000000u, 0.5, 1.0};
    int64_t subtitleTimeValue = 0;

    // watermarks (drawn by zx::EditStage)
    std::string watermarkText;
    std::string watermarkImage;
    ZxTextStyle watermarkStyle{std::string(), 255, 100, 100, 28, 0, 0, 0, 0,
                               0xFFFFFFFFu, 0x80000000u, 0xFF000000u, 0, 0};
    int watermarkOption = 0;
    int watermarkImageMode = 0;
    double watermarkTextX = 0, watermarkTextY = 0;
    int watermarkActiveLayer = 1;
    int watermarkImageOpacity = 255;
    int watermarkImageScaleX = 100, watermarkImageScaleY = 100;
    double watermarkImageX = 0, watermarkImageY = 0;
};
