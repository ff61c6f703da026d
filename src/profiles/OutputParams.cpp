#include "OutputParams.h"

#include "OutputFormat.h"

AudioExtract audioExtract(const QString &codec)
{
    // AAC goes into MP4 audio (.m4a) rather than a bare ADTS stream (.aac):
    // phones, browsers and desktop players all take it, and it records the
    // length and a seek index, which ADTS lacks.
    static const struct {
        const char *codec, *ext, *container;
        int id;
    } table[] = {
        {"aac", "m4a", "mp4", 86018},     {"mp3", "mp3", "mp3", 86017},    {"ac3", "ac3", "ac3", 86019},
        {"opus", "opus", "opus", 1330664787}, {"vorbis", "ogg", "ogg", 86021}, {"flac", "flac", "flac", 86028},
    };
    for (const auto &row : table)
        if (codec == QLatin1String(row.codec))
            return {QString::fromLatin1(row.ext), QString::fromLatin1(row.container), row.id};
    // WAV holds little-endian PCM; other PCM is converted to 16 bits.
    if (codec.startsWith(QLatin1String("pcm_")))
        return {QStringLiteral("wav"), QStringLiteral("wav"), 65536};
    return {QStringLiteral("mka"), QStringLiteral("matroska"), 86018};
}

bool extractsAudio(const OutputFormat &f) { return f.sameQuality && f.audioOnly; }

QString outputExtension(const OutputFormat &f, const QString &sourceAudioCodec)
{
    return extractsAudio(f) ? audioExtract(sourceAudioCodec).ext : f.ext;
}

ConvertParams outputParams(const OutputFormat &f, int sourceWidth, int sourceHeight, const QString &sourceAudioCodec)
{
    ConvertParams p;
    p.container = f.container.toLower().toStdString();
    p.videoCodecId = f.audioOnly ? -1 : f.videoCodecId;
    p.videoProfile = f.audioOnly ? 0 : f.videoProfile;
    if (!f.audioOnly) {
        const bool own = f.width > 0 && f.height > 0;
        p.width = own ? f.width : sourceWidth;
        p.height = own ? f.height : sourceHeight;
    }
    p.frameRateNum = f.frameRateNum;
    p.frameRateDen = f.frameRateDen;
    p.videoBitRate = f.videoBitRate;
    p.videoQuality = f.quality;
    p.audioCodecId = f.audioCodecId;
    p.sampleRate = f.sampleRate;
    p.channels = f.channels;
    p.audioBitRate = f.audioBitRate;
    p.audioQuality = f.quality;
    p.streamCopy = f.sameQuality ? 2 : 1;
    if (extractsAudio(f)) {
        const AudioExtract x = audioExtract(sourceAudioCodec);
        p.container = x.container.toStdString();
        p.audioCodecId = x.audioCodecId;
    }
    return p;
}
