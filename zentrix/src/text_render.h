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
//
// How the style is read:
// - size: fontSize points at 96 dpi on a picture 480 lines high, scaled with
//   the frame height, so the watermark covers the same share of the picture
//   at any output size (the preview and the output match);
// - scaleX/scaleY stretch the text in percent; bold, italic, underline and
//   strikeOut as named;
// - color is the text, color2 its outline (width 1/16 of the font size),
//   color3 its shadow (offset 1/24 of the font size), all 0xAARRGGBB; an
//   outline or shadow whose alpha is 0 is not drawn;
// - opacity (0..255) fades the finished watermark as a whole;
// - anchorX/anchorY are not used: watermarkTextX/Y (fractions of the frame)
//   give the top-left corner of the drawn pixels' box;
// - the text is drawn as typed: braces and backslashes are not commands, a
//   line feed starts a new line, lines are never wrapped.
class TextRenderer {
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer &) = delete;
    TextRenderer &operator=(const TextRenderer &) = delete;

    // The watermark for a frameW x frameH picture; out is left empty when the
    // text is empty or draws no pixel. out.picture is the tight box of the
    // drawn pixels (it may reach past the frame's edges: the caller clips).
    // Returns false (with err) only when libass cannot be set up.
    bool renderWatermark(const ZxParams &set, int frameW, int frameH, Overlay &out, std::string &err);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zx
