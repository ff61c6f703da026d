// Pictures drawn over the output frame: watermarks and burnt-in subtitles.
#pragma once

#include "ffutil.h"

namespace zx {

// A straight-alpha RGBA picture (AV_PIX_FMT_RGBA) and the pixel position of
// its top-left corner on the output frame. An empty picture draws nothing.
struct Overlay {
    FramePtr picture;
    int x = 0;
    int y = 0;
    bool empty() const { return !picture; }
};

} // namespace zx
