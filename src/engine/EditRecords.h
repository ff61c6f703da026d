#pragma once
// The edit settings of one item, as the converter and the previews read them.
// Plain copyable values without Qt, so the command-line tool and the engine
// glue build the same job from them as the program does.
//
// Text is UTF-8 (the engine takes UTF-8); times are signed 64-bit
// microseconds.

#include <cstdint>
#include <string>

// A rectangle as fractions (0..1) of the source frame.
struct FractionRect {
    double x = 0.0;
    double y = 0.0;
    double width = 1.0;
    double height = 1.0;
};

inline bool operator==(const FractionRect &a, const FractionRect &b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

struct CropSettings {
    int32_t ratioType = 0;     // 0 original display, 1 original resolution, 2 full screen, 3 16:9, 4 4:3
    int32_t fillMode = 0;      // 1 pan scan, 0 stretch
    int32_t ratioWidth = 0;    // 0:0 = the source's own display aspect
    int32_t ratioHeight = 0;
    int32_t reserved1 = 0;     // carried unchanged, read nowhere
    int32_t reserved2 = 0;
    int32_t rotation = 0;      // clockwise degrees: 0, 90, 180, 270
    int32_t flip = 0;          // 1 = mirrored left to right
    int32_t aspectLocked = 0;  // non-zero when a ratio is imposed on the crop
    int32_t fillValue = 0;     // border colour given with the fill behaviour
    FractionRect cropRect;
    FractionRect panScanRect;  // the part of the crop used in pan-scan mode
};

struct EffectSettings {
    int32_t volume = 100;      // 0..200, 100 unchanged
    int32_t reserved = 0;      // carried unchanged
    int32_t brightness = 0;    // -235..235
    int32_t saturation = 100;  // 0..200
    int32_t contrast = 100;    // 0..200
    int32_t hue = 0;           // -180..180
};

// Colours are 0xAARRGGBB.
struct WatermarkTextSettings {
    std::string text;
    int32_t opacity = 255;     // 0 transparent .. 255 opaque
    int32_t scaleX = 100;      // percent
    int32_t scaleY = 100;
    int32_t posX = 0;          // thousandths of the picture width
    int32_t posY = 0;          // thousandths of the picture height
    int32_t enabled = 1;       // may be moved on the preview
    int32_t activeLayer = 1;   // selected on the preview: 1 the text, 0 the image
    std::string fontFamily;    // a leading '@' (vertical variant) never reaches the engine
    int32_t pointSize = 28;
    int32_t bold = 0;
    int32_t italic = 0;
    int32_t underline = 0;
    int32_t strikeOut = 0;
    uint32_t color = 0xFFFFFFFFu;
    uint32_t color2 = 0x80000000u;
    uint32_t color3 = 0xFF000000u;
    int32_t anchorX = 0;       // thousandths
    int32_t anchorY = 0;
};

struct WatermarkImageSettings {
    std::string imagePath;     // empty = no image watermark
    int32_t reserved = 1;      // carried unchanged
    int32_t mode = 0;          // handed to the engine with the image
    int32_t opacity = 255;
    int32_t scaleX = 100;
    int32_t scaleY = 100;
    int32_t posX = 0;          // thousandths of the picture
    int32_t posY = 0;
    int32_t enabled = 1;
};

struct SubtitleStyleSettings {
    int32_t opacity = 255;
    int32_t scaleX = 100;
    int32_t scaleY = 100;
    int32_t timeValue = 0;     // the engine receives it x 1000 as 64-bit
    std::string fontFamily;    // a leading '@' never reaches the engine
    int32_t pointSize = 16;
    int32_t bold = 0;
    int32_t italic = 0;
    int32_t underline = 0;
    int32_t strikeOut = 0;
    uint32_t color = 0xFFFFFFFFu;
    uint32_t color2 = 0x80000000u;
    uint32_t color3 = 0xFF000000u;
    int32_t anchorX = 500;     // thousandths: centred ...
    int32_t anchorY = 1000;    // ... at the bottom
};

// The item's stream choice, kept by the row and exchanged with the edit dialog.
struct TrackSelection {
    int32_t dvdTitle = 0;
    int32_t audioIndex = 0;          // row of the audio combo box
    int32_t subtitleIndex = 0;       // row of the subtitle combo box (entry order above)
    int32_t subtitleStreamCount = 0;
    std::string subtitleFile;        // path stored with the chosen entry; empty when none
};

// One entry of a subtitle list. Entry order of an item: 0 "[None]", then the
// embedded streams, then "Video Internal CC", then external files. The
// converter maps the chosen row onto the engine by that order.
struct subltItemInfo {
    std::string name;   // display text
    std::string path;   // external subtitle file; empty for the other entries
};
