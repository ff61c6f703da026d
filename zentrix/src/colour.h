// Colour tags of pictures and the filters that take a source's colours to
// the output's. The converter and the preview player build their pictures
// through the same stage, so a preview shows the colours the output gets.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixfmt.h>
}

#include <string>

namespace zx {

struct ColourTags {
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;

    bool operator==(const ColourTags &o) const
    {
        return primaries == o.primaries && transfer == o.transfer && matrix == o.matrix && range == o.range;
    }
    bool operator!=(const ColourTags &o) const { return !(*this == o); }
};

ColourTags tagsOf(const AVFrame *f);
ColourTags tagsOf(const AVCodecParameters *par);

// The colours of pictures of this height and pixel format, with what their
// tags leave open filled by the usual rule: BT.601 below 720 lines, BT.709
// from 720 up, limited range unless the format or the tag says full.
ColourTags completeColours(ColourTags tagged, int height, AVPixelFormat format);

// A PQ or HLG transfer: pictures for a high-dynamic-range display.
bool isHdr(const ColourTags &c);

// The colours an output of outFormat and outHeight is tagged with, for a
// source tagged `tagged` (as read) of sourceHeight lines. A tagged picture
// keeps its colours; an untagged one gets those of the output's size; an HDR
// one is tone-mapped to BT.709 unless the format has the bits to carry it.
// fullRange: the encoder wants full-range pictures.
ColourTags outputColours(const ColourTags &tagged, int sourceHeight, AVPixelFormat sourceFormat,
                         AVPixelFormat outFormat, int outHeight, bool fullRange);

// The filters (comma-separated, no pads) resizing pictures to w x h and
// taking them from the colours `from` to `to` (both complete), ending with
// frames tagged `to`. Pictures whose colours stay the same are only resized.
std::string colourScale(const ColourTags &from, const ColourTags &to, int w, int h);

// The filters tone-mapping an HDR picture (`from`) to the SDR colours `to`
// at w x h, ending in one of outFormats ("|"-separated). The reference
// for ToneMapper's tables, and its fallback for layouts they do not cover.
std::string toneMapFilters(const ColourTags &from, const ColourTags &to, int w, int h, const char *outFormats);

// Writes the tags into an encoder before it is opened (the encoders write
// them into the stream headers).
void tagEncoder(AVCodecContext *enc, const ColourTags &c);

} // namespace zx
