#pragma once
// Pieces of a format catalogue plist, for tests that need shapes the shipped
// catalogue lacks.

#include <QString>

namespace CatalogueXml {

inline QString entry(const QString &key, const QString &value)
{
    return QStringLiteral("<key>%1</key><string>%2</string>").arg(key, value);
}

// A rate with its default, low and high values and the offered list.
inline QString rates(const QString &key, const QString &def, const QString &low, const QString &high,
                     const QString &supports)
{
    return QStringLiteral("<key>%1</key><dict>%2%3%4%5</dict>")
        .arg(key, entry("default", def), entry("low", low), entry("high", high), entry("supports", supports));
}

inline QString baseInfo(const QString &title, const QString &id, const QString &ext, bool autoValues)
{
    return QStringLiteral("<key>baseinfo</key><dict>%1%2%3%4</dict>")
        .arg(entry("title", title), entry("id", id), entry("ext", ext), entry("auto", autoValues ? "1" : "0"));
}

// One "videoparams" entry; bitRates is a rates("videobitrate", ...) piece.
inline QString videoParam(const QString &fourcc, const QString &resolution, const QString &frameRate,
                          const QString &frameRates, const QString &bitRates)
{
    return QStringLiteral("<dict>%1%2<key>framerate</key><dict>%3%4</dict>%5</dict>")
        .arg(entry("fourcc", fourcc), entry("resolution", resolution), entry("default", frameRate),
             entry("supports", frameRates), bitRates);
}

// One "audioparams" entry; bitRates is a rates("audiobitrate", ...) piece.
inline QString audioParam(const QString &fourcc, const QString &channel, const QString &bitRates,
                          const QString &sampleRate, const QString &sampleRates)
{
    return QStringLiteral("<dict>%1%2%3<key>samplerate</key><dict>%4%5</dict></dict>")
        .arg(entry("fourcc", fourcc), entry("channel", channel), bitRates, entry("default", sampleRate),
             entry("supports", sampleRates));
}

// The whole file around the root dictionary's content.
inline QString plist(const QString &rootContent)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- written by the test -->\n"
                          "<plist version=\"1.0\"><dict>%1</dict></plist>\n")
        .arg(rootContent);
}

} // namespace CatalogueXml
