#include "queue/ItemProbe.h"

#include <zentrix.hpp>
#include "tracks/TrackLines.h"

#include <QDir>

#include <cmath>
#include <cstdlib>

namespace {

// A BMP larger than this is not a thumbnail but a corrupt size field.
constexpr uint32_t kMaxBitmapBytes = 256u * 1024u * 1024u;

QString text(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

QImage bitmapImage(const unsigned char *bmp)
{
    if (!bmp || bmp[0] != 'B' || bmp[1] != 'M')
        return QImage();
    const uint32_t size = uint32_t(bmp[2]) | uint32_t(bmp[3]) << 8 | uint32_t(bmp[4]) << 16
                          | uint32_t(bmp[5]) << 24;
    if (size < 54 || size > kMaxBitmapBytes)
        return QImage();
    QImage image;
    image.loadFromData(bmp, int(size), "BMP");
    return image;
}

} // namespace

std::unique_ptr<ConverItemInfo> probeSource(const QString &path, int titleIndex, bool dvdMode)
{
    auto info = std::make_unique<ConverItemInfo>();
    info->filePath = QDir::fromNativeSeparators(path);

    zxh::SourcePtr src(SourceCreate(-1));
    ZxSource *s = src.get();
    const QByteArray utf8 = path.toUtf8();
    // Open results are not needed: an unreadable source answers every query
    // with "nothing" and becomes a row without streams.
    if (dvdMode) {
        SourceOpenDvd(s, utf8.constData());
        SourceSelectTitle(s, titleIndex);
    } else {
        SourceOpenFile(s, utf8.constData());
    }

    QString brand = text(SourceMetadata(s, "major_brand", -1));
    if (brand.isEmpty())
        brand = text(SourceBrand(s));
    if (brand == QLatin1String("aa") || brand == QLatin1String("aax "))
        return nullptr; // audiobook containers are not converted

    info->dvdTitle = titleIndex;
    info->hasVideo = SourceHasVideo(s) != 0;
    info->hasAudio = SourceHasAudio(s) != 0;
    info->duration = SourceDuration(s);
    info->width = SourceWidth(s);
    info->height = SourceHeight(s);
    info->displayWidth = info->width;
    int num = 0, den = 0;
    if (info->height > 0 && SourceDisplayAspect(s, &num, &den) && num > 0 && den > 0) {
        // A DVD's 720 x 576 is shown 1024 x 576 (16:9) or 768 x 576 (4:3).
        const long shown = std::lround(double(info->height) * num / den);
        if (std::abs(shown - info->width) > 1)
            info->displayWidth = int32_t(shown + (shown & 1));
    }

    const int64_t at = SourceCanSeek(s) ? info->duration / 3 : 0;
    info->thumbnail = bitmapImage(SourceThumbnail(s, at, 1, info->width, info->height, 0));

    info->subtitleStreamCount = SourceSubtitleCount(s);
    info->audioTracks = TrackLines::audioLines(s);
    // What an extract of each track would write: its codec decides the
    // file's type, its rate the size.
    for (int i = 0; i < SourceAudioCount(s); ++i) {
        SourceSelectAudio(s, i);
        info->audioCodecs << text(AudioCodecName(s));
        info->audioBitRates << qint64(AudioBitRate(s));
    }
    info->audioIndex = 0;
    info->subtitles = TrackLines::subtitleEntries(s, info->filePath, info->subtitleStreamCount);
    info->subtitleIndex = 0;
    SourceClose(s);
    return info;
}
