// Blending an RGBA picture into decoded frames in place, touching only the
// pixels it covers: cheaper than an overlay filter for a frame-sized canvas
// that is mostly transparent (burnt-in subtitles).
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

namespace zx {

// A pixel rectangle [x0, x1) x [y0, y1).
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// The smallest box holding every pixel of an RGBA picture with alpha above 0.
PixelBox drawnBox(const AVFrame *rgba);

// True for the pixel formats blendInto() can write: 8-bit planar YUV of any
// chroma subsampling (with or without alpha plane) and 8-bit packed RGB.
bool canBlendInto(int pixelFormat);

// Blends the part `box` of a straight-alpha RGBA picture (placed at 0, 0)
// into frame, which must be writable and of a format canBlendInto() takes.
// YUV frames get the BT.709 matrix when they are tagged so, BT.601
// otherwise, in their own range (full for the yuvj formats).
void blendInto(AVFrame *frame, const AVFrame *rgba, PixelBox box);

} // namespace zx
