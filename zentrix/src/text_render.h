// Styled text drawn with libass: the text watermark.
#pragma once

#include "overlay.h"
#include "params.h"

#include <memory>
#include <string>

namespace zx {

// Draws the set's text watermark (ZxParams::watermarkText with
// watermarkStyle, placed at watermarkTextX/Y) for frames of a given size.
// Fonts come from fontconfig; a family that is not installed falls back to
// the default sans font, so a missing font never fails a job.
class TextRenderer {
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer &) = delete;
    TextRenderer &operator=(const TextRenderer &) = delete;

    // The watermark for a frameW x frameH picture; out is left empty when the
    // text is empty or draws no pixel. Returns false (with err) only when
    // libass cannot be set up.
    bool renderWatermark(const ZxParams &set, int frameW, int frameH, Overlay &out, std::string &err);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zx
