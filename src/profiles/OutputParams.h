#pragma once
// The output half of a conversion job, from the chosen format.

#include "engine/ConvertParams.h"

struct OutputFormat;

#include <QString>

// What a "same quality" audio extract writes for a source sound codec
// (FFmpeg's short name): the file's extension and container, chosen so the
// file plays as widely as its codec allows, and the codec a sound that
// must be converted gets. Unknown codecs go into Matroska audio.
struct AudioExtract {
    QString ext;
    QString container;
    int audioCodecId = -1;
};
AudioExtract audioExtract(const QString &sourceAudioCodec);

// True for a format that extracts the sound as it is.
bool extractsAudio(const OutputFormat &format);

// The output file's extension: the format's, or an extract's for the codec.
QString outputExtension(const OutputFormat &format, const QString &sourceAudioCodec);

// Container, codecs, rates and size (the source's size where the format
// keeps it). Audio-only formats get no video stream; an audio extract
// follows the source's sound codec. Edit settings and the range are left
// at their defaults.
ConvertParams outputParams(const OutputFormat &format, int sourceWidth, int sourceHeight,
                           const QString &sourceAudioCodec = QString());
