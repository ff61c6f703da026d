#include "queue/ItemProbe.h"

#include <zentrix.hpp>
#include "queue/LanguageTable.h"

#include <QDir>

#include <cmath>
#include <cstdlib>
#include <QFileInfo>

namespace {

// Subtitle files looked for beside a source: extension and type label.
const char *const kSubtitleTypes[][2] = {
    {"ass", "ASS"}, {"ssa", "SSA"}, {"srt", "SRT"}, {"idx", "VOBSUB"}, {"sub", "SUB"},
    {"smi", "SMI"}, {"sami", "SAMI"}, {"sup", "SUP"}, {"vtt", "WEBVTT"}, {"lrc", "LRC"},
};

// A BMP larger than this is not a thumbnail but a corrupt size field.
constexpr uint32_t kMaxBitmapBytes = 256u * 1024u * 1024u;

QString text(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

// The English name of a language code, or the code itself when the table
// does not know it.
QString languageName(const char *code)
{
    const QByteArray c(code ? code : "");
    const QString name = LanguageTable::englishName(c);
    return name.isEmpty() ? QString::fromUtf8(c) : name;
}

QStringList audioLines(ZxSource *src)
{
    QStringList lines;
    const int count = SourceAudioCount(src);
    for (int i = 0; i < count; ++i) {
        SourceSelectAudio(src, i);
        QString line = text(AudioTitle(src));
        if (line.isEmpty())
            line = text(AudioCodecName(src));
        line += ' ';
        const char *lang = AudioLanguage(src);
        if (lang && *lang)
            line += QString("(%1)").arg(languageName(lang));
        line += QString("[%1]").arg(i + 1);
        lines << line;
    }
    return lines;
}

QList<subltItemInfo> subtitleEntries(ZxSource *src, const QString &path, int streams)
{
    QList<subltItemInfo> list;
    list.append({"[None]", std::string()});
    for (int i = 0; i < streams; ++i) {
        SourceSelectSubtitle(src, i);
        QString name;
        const char *lang = SubtitleLanguage(src);
        if (lang && *lang)
            name += languageName(lang) + ' ';
        const QString title = text(SubtitleTitle(src));
        if (!title.isEmpty())
            name += '(' + title + ')';
        const QString codec = text(SubtitleCodecName(src));
        if (!codec.isEmpty())
            name += '[' + codec + ']';
        list.append({name.toStdString(), std::string()});
    }
    list.append({"Video Internal CC", std::string()});
    list.append(externalSubtitles(path));
    return list;
}

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

QList<subltItemInfo> externalSubtitles(const QString &path)
{
    // A dot inside a folder name does not start the extension.
    const int dot = path.lastIndexOf('.');
    const int slash = path.lastIndexOf('/');
    const QString base = dot > slash ? path.left(dot + 1) : path + '.';
    QList<subltItemInfo> list;
    for (const auto &type : kSubtitleTypes) {
        const QString file = base + QLatin1String(type[0]);
        if (QFileInfo(file).isFile()) {
            const QString name = '(' + QFileInfo(file).completeBaseName() + ")[" + QLatin1String(type[1]) + ']';
            list.append({name.toStdString(), file.toStdString()});
        }
    }
    return list;
}

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
    info->audioTracks = audioLines(s);
    info->audioIndex = 0;
    info->subtitles = subtitleEntries(s, info->filePath, info->subtitleStreamCount);
    info->subtitleIndex = 0;
    SourceClose(s);
    return info;
}
