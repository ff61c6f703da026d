// Legacy codec numbers of the profile catalogue -> encoders of this build.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <string>

namespace zx {

struct EncoderChoice {
    const AVCodec *encoder = nullptr;
    uint32_t codecTag = 0;      // AVI fourcc to write ('XVID', 'DX50'), 0 = muxer default
    int maxChannels = 0;        // 0 = the encoder's own limit
    std::string note;           // set when a fallback encoder was chosen
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
