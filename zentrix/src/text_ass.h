// libass plumbing shared by the text watermark and the subtitle burner.
#pragma once

#include "params.h"

extern "C" {
#include <ass/ass.h>
}

#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

namespace zx {

struct AssLibraryDeleter { void operator()(ASS_Library *l) const { ass_library_done(l); } };
struct AssRendererDeleter { void operator()(ASS_Renderer *r) const { ass_renderer_done(r); } };
struct AssTrackDeleter { void operator()(ASS_Track *t) const { ass_free_track(t); } };
using AssLibraryPtr = std::unique_ptr<ASS_Library, AssLibraryDeleter>;
using AssRendererPtr = std::unique_ptr<ASS_Renderer, AssRendererDeleter>;
using AssTrackPtr = std::unique_ptr<ASS_Track, AssTrackDeleter>;

// Every text we draw is laid out on a script 480 lines high: a style's
// point size is taken at 96 dpi on that script, so text keeps the same share
// of the picture whatever the frame size (a preview and the output match).
constexpr int kScriptHeight = 480;

// A library and a renderer with fonts from fontconfig; families that are not
// installed fall back to the default sans font. Fonts attached to ic (a
// Matroska file's attachments) are offered to the renderer too.
struct AssEngine {
    AssLibraryPtr library;
    AssRendererPtr renderer;
    bool init(std::string &err, AVFormatContext *attachments = nullptr);
};

// 0xAARRGGBB (AA = opacity) to libass's 0xRRGGBBAA (AA = transparency).
uint32_t assColour(uint32_t argb);

// The script width for a frame, so that script pixels are square.
int scriptWidthFor(int frameW, int frameH);

// Fills st from a style: font (empty = default sans), size, flags, colours,
// scale. color2 is the outline and color3 the shadow; each is left out when
// fully transparent. Opacity is not applied here (see blendAssImages).
// Alignment and margins are left to the caller. scriptHeight is the
// PlayResY of the track the style belongs to.
void fillAssStyle(ASS_Style &st, const ZxTextStyle &s, int scriptHeight = kScriptHeight);

// Plain text as event text: override blocks and escapes are neutralised and
// line breaks become \N, so user text draws exactly as typed.
std::string plainToAssText(const std::string &utf8);

// A pixel rectangle [x0, x1) x [y0, y1).
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    void add(const PixelBox &o);
};

// Composites a libass image list over a straight-alpha RGBA picture whose
// top-left corner sits at (originX, originY) of the libass frame, then fades
// the result by opacity (0..255): the text fades as a whole, its outline
// never shows through it. Returns the area touched.
PixelBox blendAssImages(const ASS_Image *img, uint8_t *rgba, int linesize, int w, int h,
                        int originX, int originY, int opacity);

// Multiplies the alpha of the pixels in box by opacity / 255.
void scaleAlpha(uint8_t *rgba, int linesize, const PixelBox &box, int opacity);

// Straight-alpha "over" of one source pixel of coverage a (0..255).
inline void blendOver(uint8_t *dst, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    if (!a)
        return;
    const uint32_t da = dst[3];
    if (a == 255 || !da) {
        dst[0] = uint8_t(r);
        dst[1] = uint8_t(g);
        dst[2] = uint8_t(b);
        dst[3] = uint8_t(a);
        return;
    }
    const uint32_t keep = da * (255 - a);               // dst weight, x255
    const uint32_t outA255 = a * 255 + keep;            // out alpha, x255
    dst[0] = uint8_t((r * a * 255 + dst[0] * keep + outA255 / 2) / outA255);
    dst[1] = uint8_t((g * a * 255 + dst[1] * keep + outA255 / 2) / outA255);
    dst[2] = uint8_t((b * a * 255 + dst[2] * keep + outA255 / 2) / outA255);
    dst[3] = uint8_t((outA255 + 127) / 255);
}

} // namespace zx
