// Legacy codec numbers of the profile catalogue -> encoders of this build.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "params.h"

#include <string>

namespace zx {

// Codec-specific settings of a video encoder before it is opened: the
// options handed to avcodec_open2 and the rate-control fields of its context
// (the bit rate the set asks for is already in enc->bit_rate).
using VideoTuning = void (*)(AVCodecContext *enc, AVDictionary **opts, const ZxParams &set);

struct EncoderChoice {
    const AVCodec *encoder = nullptr;
    uint32_t codecTag = 0;      // AVI fourcc to write ('XVID', 'DX50'), 0 = muxer default
    int maxChannels = 0;        // 0 = the encoder's own limit
    std::string note;           // set when a fallback encoder was chosen
    VideoTuning tuneVideo = nullptr; // null = the encoder's own defaults
};

// The codec name (FFmpeg descriptor name) a legacy number stands for, or null.
const char *legacyCodecName(int legacyId);

// Picks the encoder for a legacy number in a muxer. Returns false with a
// message naming the codec when there is no usable encoder.
// type: the kind of stream the caller wants (AVMEDIA_TYPE_UNKNOWN = any).
bool chooseEncoder(int legacyId, const AVOutputFormat *muxer, EncoderChoice &out, std::string &error,
                   AVMediaType type = AVMEDIA_TYPE_UNKNOWN);

// Finds the muxer of a container name; null when unknown.
const AVOutputFormat *findMuxer(const char *container);

} // namespace zx
