// Deciding which source streams an output can take over as they are:
// packets remuxed instead of decoded and encoded again.
#pragma once

#include "codec_map.h"
#include "media_input.h"
#include "params.h"

namespace zx {

// The source's audio stream a set picks (stream index), -1 when none.
int chosenAudioStream(const ZxParams &set, const InputMedia &src);

// True when the source's video stream already is what the set asks of the
// output: the same codec, which the container takes, no edit touching the
// picture, the same size and rate, a bit rate not above the asked one, and
// within the profile and picture format the encoder would give.
// With set.streamCopy 2 any codec the container takes fits, in any
// picture format: the set's codecs are only for what must be converted.
bool videoFitsAsIs(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, const AVCodec *encoder);

// The same for the chosen audio stream: codec, container, volume, channels,
// sample rate and bit rate.
bool audioFitsAsIs(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, const AVCodec *encoder,
                   int maxChannels);

// For set.streamCopy 2 ("same quality"): the set with the source's
// channels and sample rate and no profile asked, so a stream that is
// converted keeps its format too. A size, rate or bit rate the set names
// stays: a stream that does not already meet it is converted to it. In
// Matroska a converted stream keeps the source's codec where this build
// encodes it. Other sets come back as they are.
ZxParams keepSourceFormat(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer);

// The catalogue's codec number that encodes a source codec, 0 when none
// does (codecs only decoded here, or with no number).
int legacyCodecFor(AVCodecID id);

// True when the source's video has a key frame at startUs (from the
// source's start, within half a frame): a copy can begin there. Leaves the
// read position anywhere; the caller seeks before reading.
bool keyFrameAt(const InputMedia &src, int64_t startUs);

// True when two sources' streams can follow each other in one copied
// stream: a decoder set up for the first reads the second's packets as
// they are (codec, picture size and format, pixel shape, profile, sound
// rate and channels, and the same codec headers).
bool sameCodecParameters(const AVCodecParameters *a, const AVCodecParameters *b);

// Shared with the encoders' set-up, so both agree on what a conversion
// would make.
AVPixelFormat choosePixelFormat(const AVCodec *enc, const ZxParams &set);
AVRational sourceRate(const InputMedia &src);

} // namespace zx
