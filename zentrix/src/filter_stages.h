// The picture and sound edits of a parameter set as filter-graph stages:
// effects, burnt-in subtitles and watermarks. The converter's segments and a
// preview player build their graphs with the same EditStage, so an edit looks
// the same on the preview as in the output.
#pragma once

#include "overlay.h"
#include "params.h"
#include "picture_blend.h"

#include <memory>
#include <string>
#include <vector>

namespace zx {

class SubtitleBurner;

// A buffer source the picture graph reads besides its main input. Images
// and subtitles reach the graph as RGBA frames pushed into these, never as
// paths inside the graph text.
struct ExtraSource {
    std::string label;   // the pad label in the graph text, and the filter's instance name
    std::string args;    // arguments of the "buffer" filter
};

// The layout as filter options name it ("stereo", "5.1(side)").
std::string describeLayout(const AVChannelLayout &layout);

// The arguments of an "abuffer" source for frames like f; an unordered
// layout gets the default one of its channel count.
std::string abufferArgs(const AVFrame *f);

// Makes graph read the source srcName ("buffer" or "abuffer", named "in",
// with srcArgs) through chain into the sink sinkName (named "out"), with the
// extra buffer sources as further inputs under their labels, and configures
// it. *src and *sink receive the two ends. Returns 0 or an FFmpeg error code.
int linkFilterGraph(AVFilterGraph *graph, const char *srcName, const std::string &srcArgs, const char *sinkName,
                    const std::string &chain, const std::vector<ExtraSource> &extras, AVFilterContext **src,
                    AVFilterContext **sink);

// Filters (comma-separated, no pads) for the set's sound edits; "" when
// there is nothing to do. Volume is a gain in percent; above 100 a limiter
// keeps peaks below full scale instead of letting them clip.
std::string soundStages(const ZxParams &set);

// Filters (comma-separated, no pads) for the set's picture effects
// (brightness, contrast, saturation, hue); "" when all are neutral. They
// belong on the picture before its borders are added (geometryFilters'
// pictureStages), not in pictureGraph.
std::string effectStages(const ZxParams &set);

// Drawing order, bottom to top: the picture (effects already applied), the two
// watermarks with the set's active layer on top (activeLayer 1: the text over
// the image; 0: the image over the text), then the subtitles, so a watermark
// never hides what is said.
//
// Use: prepare() once per source; open() for each output frame size;
// setOutputFormat() with the pixel format the graph ends in; for a graph:
// pictureGraph() + sources() into the graph text, configure it, then start().
// For every main frame call pushSubtitle() before sending the frame, and
// closeSubtitles() before closing the main input; for every frame the graph
// gives out, drawSubtitles(). Subtitles are blended into the graph's output
// frames where the format allows it (touching only the pixels they cover)
// and go through an overlay inside the graph otherwise.
class EditStage {
public:
    EditStage();
    ~EditStage();
    EditStage(const EditStage &) = delete;
    EditStage &operator=(const EditStage &) = delete;

    // Takes the set and decodes the watermark image, so that an image that
    // cannot be read fails the open call rather than the conversion.
    bool prepare(const ZxParams &set, std::string &err);

    // Readies the drawings for frames of frameW x frameH (the frame after
    // the geometry): renders the watermarks and opens the subtitle choice on
    // ic (the source; may be null when it has no subtitle streams to offer).
    // May be called again for another size.
    bool open(AVFormatContext *ic, int frameW, int frameH, std::string &err);

    // The pixel format of the frames the graph gives out.
    void setOutputFormat(int pixelFormat);

    // Subtitle input. Packets of subtitleStream() (-1: none wanted) are fed
    // as read; decoded video frames too while wantsVideoFrames() (closed
    // captions). sourceUs: microseconds from the start of the source, before
    // any trim.
    int subtitleStream() const;
    void feedPacket(const AVPacket *pkt);
    bool wantsVideoFrames() const;
    void feedVideoFrame(const AVFrame *frame, int64_t sourceUs);

    // The graph text taking the picture at pad [in] to pad [out], or "" when
    // the set changes nothing (link the two directly then, so untouched
    // pictures stay bit for bit the same).
    std::string pictureGraph(const std::string &in, const std::string &out) const;
    // The extra sources that text reads, for a graph whose main input has
    // the time base tb (the subtitle canvases are pushed with its pts).
    std::vector<ExtraSource> sources(AVRational tb) const;

    // After the graph is configured: finds the extra sources by label and
    // sends the watermarks (one frame each at pts 0, then their end: main
    // frames are expected at pts 0 or later).
    bool start(AVFilterGraph *graph, std::string &err);
    // Forgets the graph (before it is freed).
    void detach();
    // The subtitle canvas for a main frame of time pts (graph time base),
    // shown at sourceUs; call before sending that frame.
    bool pushSubtitle(int64_t pts, int64_t sourceUs, std::string &err);
    // Ends the subtitle input at pts, with the main input.
    void closeSubtitles(int64_t pts);
    // Draws the subtitles shown at sourceUs into a frame the graph gave out
    // (made writable first when it shares its buffers).
    bool drawSubtitles(AVFrame *frame, int64_t sourceUs, std::string &err);

private:
    bool hasSubtitles() const;
    bool subtitlesInGraph() const;

    ZxParams m_set;
    FramePtr m_image;                       // decoded watermark image, RGBA
    int m_frameW = 0, m_frameH = 0;
    Overlay m_imageLayer, m_textLayer;
    std::unique_ptr<SubtitleBurner> m_burner;
    FramePtr m_clearCanvas;                 // shown when no subtitle is
    AVFilterContext *m_subtitleSrc = nullptr;
    bool m_subtitleClosed = false;
    int m_outFormat = -1;
    const AVFrame *m_lastCanvas = nullptr;  // the canvas m_lastBox was measured on
    PixelBox m_lastBox;
};

} // namespace zx
