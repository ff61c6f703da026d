#include "queue/ItemProbe.h"

#include "engine/ZxHandles.h"

#include <QFileInfo>

namespace {

// Subtitle files looked for beside a source: extension and type label.
const char *const kSubtitleTypes[][2] = {
    {"ass", "ASS"}, {"ssa", "SSA"}, {"srt", "SRT"}, {"idx", "VOBSUB"}, {"sub", "SUB"},
    {"smi", "SMI"}, {"sami", "SAMI"}, {"sup", "SUP"}, {"vtt", "WEBVTT"}, {"lrc", "LRC"},
};

QString text(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

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
        const QString lang = text(AudioLanguage(src));
        if (!lang.isEmpty())
            line += QString("(%1)").arg(lang);
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
        const QString lang = text(SubtitleLanguage(src));
        if (!lang.isEmpty())
            name += lang + ' ';
        const QString title = text(SubtitleTitle(src));
        if (!title.isEmpty())
            name += '(' + title + ')';
        const QString codec = text(SubtitleCodecName(src));
        if (!codec.isEmpty())
            name += '[' + codec + ']';
        list.append({name.toStdString(), std::string()});
    }
    list.append({"Video Internal CC", std::string()});

    const int dot = path.lastIndexOf('.');
    const int slash = path.lastIndexOf('/');
    const QString base = dot > slash ? path.left(dot + 1) : path + '.';
    for (const auto &type : kSubtitleTypes) {
        const QString file = base + QLatin1String(type[0]);
        if (QFileInfo(file).isFile()) {
            const QString name = '(' + QFileInfo(file).completeBaseName() + ")[" + QLatin1String(type[1]) + ']';
            list.append({name.toStdString(), file.toStdString()});
        }
    }
    return list;
}

} // namespace

std::unique_ptr<ConverItemInfo> probeMediaFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return nullptr;
    zxh::SourcePtr src(SourceCreate(-1));
    if (!src || SourceOpenFile(src.get(), path.toUtf8().constData()) != 1)
        return nullptr;
    ZxSource *s = src.get();
    auto info = std::make_unique<ConverItemInfo>();
    info->filePath = path;
    info->hasVideo = SourceHasVideo(s) != 0;
    info->hasAudio = SourceHasAudio(s) != 0;
    if (!info->hasVideo && !info->hasAudio)
        return nullptr;
    info->duration = SourceDuration(s);
    info->width = SourceWidth(s);
    info->height = SourceHeight(s);
    if (info->hasVideo) {
        const int64_t at = SourceCanSeek(s) ? info->duration / 3 : 0;
        const unsigned char *bmp = SourceThumbnail(s, at, 1, info->width, info->height, 0);
        if (bmp && bmp[0] == 'B' && bmp[1] == 'M') {
            const uint32_t size = uint32_t(bmp[2]) | uint32_t(bmp[3]) << 8 | uint32_t(bmp[4]) << 16
                                  | uint32_t(bmp[5]) << 24;
            info->thumbnail.loadFromData(bmp, int(size), "BMP");
        }
    }
    info->subtitleStreamCount = SourceSubtitleCount(s);
    info->audioTracks = audioLines(s);
    info->subtitles = subtitleEntries(s, path, info->subtitleStreamCount);
    return info;
}
