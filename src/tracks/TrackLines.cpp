#include "tracks/TrackLines.h"

#include "tracks/LanguageTable.h"

#include <zentrix.h>

#include <QByteArray>
#include <QFileInfo>

namespace TrackLines {

namespace {

// Subtitle files looked for beside a source: extension and type label.
const char *const kSubtitleTypes[][2] = {
    {"ass", "ASS"}, {"ssa", "SSA"}, {"srt", "SRT"}, {"idx", "VOBSUB"}, {"sub", "SUB"},
    {"smi", "SMI"}, {"sami", "SAMI"}, {"sup", "SUP"}, {"vtt", "WEBVTT"}, {"lrc", "LRC"},
};

QString text(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

} // namespace

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

} // namespace TrackLines
