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

    // A packet of streamIndex() as read from ic (the caller keeps ownership).
    void feedPacket(const AVPacket *pkt);

    // Every decoded video frame when captions are chosen; ptsUs on the
    // source timeline above. Frames without caption side data are ignored.
    void feedCaptions(const AVFrame *frame, int64_t ptsUs);

    // The picture of the subtitles shown at time t (source timeline): a
    // frameW x frameH RGBA canvas, transparent where nothing is drawn, or an
    // empty pointer when nothing is shown at all. While the shown subtitles
    // do not change, the same buffer comes back (cheap to reference).
    const AVFrame *canvasAt(int64_t tUs);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zx
