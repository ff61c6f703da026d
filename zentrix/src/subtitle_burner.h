// Burnt-in subtitles: the subtitle choice of a parameter set, turned into
// RGBA canvases of the output frame for any moment of the source.
#pragma once

#include "overlay.h"
#include "params.h"

#include <memory>
#include <string>

namespace zx {

// Times given to the burner are microseconds from the start of the source
// (a packet's or frame's time minus the source's start time), before any
// trim: the caller converts its output times back to this timeline.
//
// Text formats (SRT, WebVTT, SAMI, LRC, MicroDVD, SubViewer, captions) are
// drawn with subtitleStyle, read as for the text watermark (see
// TextRenderer: points on a 480-line picture, color2 outline, color3 shadow,
// opacity fading the finished picture) with one addition: anchorX/anchorY
// (fractions of the frame) choose the alignment by thirds (left, centre,
// right; top, middle, bottom) and the margins put the text's anchored edge,
// or its centre, at that fraction, 2.5 % of the height away from the
// frame's edge. The default (0.5, 1.0) centres the text at the bottom.
// ASS/SSA keep their own styles and layout (only opacity applies); fonts
// attached to a Matroska source or file are used. Bitmap subtitles (DVD,
// VobSub, PGS) are scaled from their own picture (720 x 480 or 576 for DVD
// subpictures of unknown size) to the frame, and each one lasts until its
// end time or the next one.
//
// subtitleTimeValue is an offset in microseconds added to every subtitle's
// times: positive values show the subtitles later.
class SubtitleBurner {
public:
    SubtitleBurner();
    ~SubtitleBurner();
    SubtitleBurner(const SubtitleBurner &) = delete;
    SubtitleBurner &operator=(const SubtitleBurner &) = delete;

    // Takes the set's choice: subtitleStream >= 0 (the n-th subtitle stream of
    // ic, counted among subtitle streams only), closedCaptions (EIA-608/708
    // carried in the video), or subtitleFile (read whole here). Text formats
    // are drawn with subtitleStyle; ASS/SSA keep their own styles. Returns
    // false with a message when the choice cannot be honoured (no such
    // stream, a file that cannot be read or holds no subtitles).
    bool open(const ZxParams &set, AVFormatContext *ic, int frameW, int frameH, std::string &err);

    // true when open() chose something to draw.
    bool active() const;

    // The stream of ic whose packets feedPacket() wants, or -1 (a file, captions, nothing).
    int streamIndex() const;

    // A packet of streamIndex() as read from ic (the caller keeps ownership;
    // packets of other streams are ignored). Its pts in the stream's time
    // base minus ic->start_time is its time on the source timeline: a
    // caller that remaps times (DVD cells) passes a copy with pts remapped.
    void feedPacket(const AVPacket *pkt);

    // Every decoded video frame when captions are chosen; ptsUs on the
    // source timeline above. Frames without caption side data are ignored.
    void feedCaptions(const AVFrame *frame, int64_t ptsUs);

    // The picture of the subtitles shown at time t (source timeline): a
    // frameW x frameH straight-alpha RGBA canvas, transparent where nothing
    // is drawn, or an empty pointer when nothing is shown at all. While the
    // shown subtitles do not change, the same AVFrame comes back untouched;
    // a change comes back as a different AVFrame, and a buffer the caller
    // still references (av_frame_ref) is never painted over. The burner
    // owns the frame; it stays valid until the next call.
    const AVFrame *canvasAt(int64_t tUs);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zx
