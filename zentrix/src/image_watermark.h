// The image watermark: a still picture file decoded once, then scaled and
// faded for each output frame size.
#pragma once

#include "overlay.h"
#include "params.h"

#include <string>

namespace zx {

// Watermark sizes are relative to a picture 480 lines high, like the text
// watermark's, so a preview and an output of any size show the same layout.
constexpr int kWatermarkReferenceLines = 480;

// Decodes the first picture of an image file (PNG, JPEG, GIF, BMP, WebP, any
// still format FFmpeg reads) to straight-alpha RGBA. The path goes to
// libavformat as bytes only: the format is found from the content.
bool loadImageRgba(const std::string &path, FramePtr &rgba, std::string &err);

// Pixel size of an imageW x imageH watermark at scaleX/Y percent on a frame
// frameH lines high; at least 1 x 1.
void watermarkImageSize(int imageW, int imageH, int scaleX, int scaleY, int frameH, int &w, int &h);

// The set's image watermark for a frameW x frameH frame: image scaled,
// its alpha multiplied by the set's opacity, placed at the set's top-left
// corner (fractions of the frame). out stays empty at opacity 0.
bool buildImageOverlay(const AVFrame *rgba, const ZxParams &set, int frameW, int frameH, Overlay &out,
                       std::string &err);

} // namespace zx
