// Whether a source's pictures are interlaced, and the filters that make them
// progressive. Decided once per source when it opens; the converter, the
// merger (per source) and the preview player all build their picture graphs
// from the same answer.
#pragma once

#include "ffutil.h"

#include <string>

namespace zx {

class InputMedia;

struct ScanInfo {
    enum Kind { Progressive, Interlaced, Telecined };
    Kind kind = Progressive;
    bool topFieldFirst = true;   // for Interlaced and Telecined
};

// Examines the video stream of an open source: the stream's field order,
// the interlace flags of its first frames and FFmpeg's idet detector over
// those frames (a bounded number, decoded once). Reads from the start of the
// source and seeks back there; a source that cannot seek is judged by its
// stream flags alone.
ScanInfo examineScan(InputMedia &media);

// What a parameter set's mode (ZxParams::deinterlace: 0 auto, 1 on, 2 off)
// makes of the examined source.
ScanInfo scanForMode(const ScanInfo &examined, int mode);

// Filters (comma-separated, no pads) that turn the source's pictures into
// progressive frames; "" for a progressive source, so it stays bit for bit
// as decoded.
std::string scanFilters(const ScanInfo &scan);

// The preview's filters: one picture out for every picture in, so a still or
// a step shows the frame asked for. Film with pulldown is deinterlaced there
// rather than matched (its combed frames lose the comb, the 3:2 rhythm
// stays). "" for a progressive source.
std::string previewScanFilters(const ScanInfo &scan);

// The frame rate of a source of rate r after scanFilters.
AVRational rateAfterScan(const ScanInfo &scan, AVRational r);

} // namespace zx
