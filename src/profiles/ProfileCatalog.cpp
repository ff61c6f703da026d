#include "profiles/ProfileCatalog.h"

#include <QDebug>

#include <stdexcept>

#include "base/AppPaths.h"

namespace {

using Plist::array_type;
using Plist::dictionary_type;

const QString kAuto = QStringLiteral("Auto");

// The lookups below treat a value of the wrong kind like a missing one: a
// damaged catalogue then shows fewer choices instead of ending the program.
const dictionary_type *dictAt(const dictionary_type *d, const char *key)
{
    if (!d)
        return nullptr;
    const auto it = d->find(key);
    return it == d->end() ? nullptr : boost::any_cast<dictionary_type>(&it->second);
}

const array_type *arrayAt(const dictionary_type *d, const std::string &key)
{
    if (!d)
        return nullptr;
    const auto it = d->find(key);
    return it == d->end() ? nullptr : boost::any_cast<array_type>(&it->second);
}

QString stringAt(const dictionary_type *d, const char *key)
{
    if (!d)
        return QString();
    const auto it = d->find(key);
    if (it == d->end())
        return QString();
    const std::string *s = boost::any_cast<std::string>(&it->second);
    return s ? QString::fromStdString(*s) : QString();
}

// Walks entries of an array of dictionaries whose "fourcc" is code; collects
// each match's valueKey and picks the last match whose valueKey equals
// requested, else the first match.
const dictionary_type *chooseEntry(const array_type *entries, const QString &code,
                                   const char *valueKey, const QString &requested,
                                   QStringList &values)
{
    const dictionary_type *chosen = nullptr;
    if (!entries)
        return nullptr;
    for (const boost::any &item : *entries) {
        const dictionary_type *entry = boost::any_cast<dictionary_type>(&item);
        if (!entry || stringAt(entry, "fourcc").trimmed() != code)
            continue;
        const QString value = stringAt(entry, valueKey);
        values << value;
        if (!chosen || value == requested)
            chosen = entry;
    }
    return chosen;
}

QStringList withAuto(bool autoValues, const QStringList &list)
{
    return autoValues ? QStringList{kAuto} + list : list;
}

} // namespace

ProfileCatalog &ProfileCatalog::instance(const QString &path)
{
    static ProfileCatalog catalog(path.isEmpty() ? AppPaths::dataPath("/profile/profiles_win.plist")
                                                 : path);
    return catalog;
}

ProfileCatalog::ProfileCatalog(const QString &path) : m_path(path.toStdString())
{
    if (m_path.empty()) {
        // The reader would quietly read nothing; a catalogue without a file is an error.
        m_error = QStringLiteral("Can't open file: ");
        return;
    }
    try {
        Plist::loadPlist(m_path, m_root);
    } catch (const std::exception &e) {
        // bad_any_cast (a root that is not a dictionary) is a std::exception too.
        m_root.clear();
        m_error = QString::fromStdString(e.what());
        qWarning() << "profile catalogue" << path << "not read:" << m_error;
    }
}

QStringList ProfileCatalog::categories() const
{
    QStringList list;
    if (const array_type *cats = arrayAt(&m_root, "Categories")) {
        for (const boost::any &item : *cats) {
            if (const std::string *s = boost::any_cast<std::string>(&item))
                list << QString::fromStdString(*s);
        }
    }
    return list;
}

const Plist::array_type *ProfileCatalog::formatArray(const QString &category) const
{
    if (category.isEmpty())
        return nullptr;
    return arrayAt(&m_root, category.toStdString());
}

QList<FormatRecord> ProfileCatalog::formats(const QString &category) const
{
    QList<FormatRecord> list;
    const array_type *entries = formatArray(category);
    if (!entries)
        return list;
    for (const boost::any &item : *entries) {
        const dictionary_type *format = boost::any_cast<dictionary_type>(&item);
        if (!format)
            continue;
        const dictionary_type *base = dictAt(format, "baseinfo");
        list << FormatRecord{stringAt(base, "title"), stringAt(base, "id"), stringAt(base, "ext"),
                             category};
    }
    return list;
}

const Plist::dictionary_type *ProfileCatalog::findFormat(const QString &category,
                                                         const QString &id) const
{
    if (id.isEmpty())
        return nullptr;
    const array_type *entries = formatArray(category);
    if (!entries)
        return nullptr;
    for (const boost::any &item : *entries) {
        const dictionary_type *format = boost::any_cast<dictionary_type>(&item);
        if (format && stringAt(dictAt(format, "baseinfo"), "id") == id)
            return format;
    }
    return nullptr;
}

QString ProfileCatalog::baseInfo(const QString &category, const QString &id,
                                 const QString &key) const
{
    const dictionary_type *format = findFormat(category, id);
    return format ? stringAt(dictAt(format, "baseinfo"), key.toUtf8().constData()) : QString();
}

QString ProfileCatalog::codecName(const QString &code) const
{
    if (code.isEmpty() || code == kAuto)
        return code;
    const QString padded = code.size() == 3 ? code + QLatin1Char(' ') : code;
    if (const dictionary_type *codecs = dictAt(&m_root, "Codecs")) {
        const auto it = codecs->find(padded.toStdString());
        if (it != codecs->end()) {
            if (const std::string *name = boost::any_cast<std::string>(&it->second))
                return QString::fromStdString(*name);
        }
    }
    return padded;
}

FormatParams ProfileCatalog::params(const QString &category, const QString &id,
                                    const QString &videoEncoderChoice,
                                    const QString &resolutionChoice,
                                    const QString &audioEncoderChoice,
                                    const QString &channelChoice) const
{
    FormatParams p;
    if (category.isEmpty() || id.isEmpty())
        return p;

    const auto choice = [](const QString &v) { return v == kAuto ? QString() : v; };
    QString videoEncoder = choice(videoEncoderChoice);
    QString resolution = choice(resolutionChoice);
    QString audioEncoder = choice(audioEncoderChoice);
    QString channel = choice(channelChoice);

    p.category = category;
    p.formatId = id;
    const dictionary_type *format = findFormat(category, id);
    if (!format)
        return p;

    const dictionary_type *base = dictAt(format, "baseinfo");
    p.ext = stringAt(base, "ext");
    p.autoValues = stringAt(base, "auto") == QLatin1String("1");

    QString filter;
    const dictionary_type *video = dictAt(format, "videoencoders");
    if (!video || video->empty()) {
        p.audioOnly = true;
    } else {
        p.videoEncoders = withAuto(p.autoValues, splitList(stringAt(video, "supports")));
        if (videoEncoder.isEmpty())
            videoEncoder = stringAt(video, "default").trimmed();
        p.videoEncoder = videoEncoder;
        filter = stringAt(video, "filter");
        if (resolution.isEmpty())
            resolution = stringAt(dictAt(format, "resolution"), "default");
        p.resolution = resolution;

        QStringList resolutions;
        const dictionary_type *entry = chooseEntry(arrayAt(format, "videoparams"), videoEncoder,
                                                   "resolution", resolution, resolutions);
        p.resolutions = withAuto(p.autoValues, resolutions);
        if (entry) {
            p.resolution = stringAt(entry, "resolution");
            const dictionary_type *rate = dictAt(entry, "videobitrate");
            p.videoBitRateLow = stringAt(rate, "low") + " kbps";
            p.videoBitRateHigh = stringAt(rate, "high") + " kbps";
            p.videoBitRateDefault = stringAt(rate, "default") + " kbps";
            p.videoBitRates = withAuto(p.autoValues, splitList(stringAt(rate, "supports"), " kbps"));
            const dictionary_type *frames = dictAt(entry, "framerate");
            p.frameRateDefault = stringAt(frames, "default") + " fps";
            p.frameRates = withAuto(p.autoValues, splitList(stringAt(frames, "supports"), " fps"));
        }
    }

    if (!filter.isEmpty()) {
        p.audioEncoders = filterList(filter, videoEncoder);
        if (audioEncoder.isEmpty() && !p.audioEncoders.isEmpty())
            audioEncoder = p.audioEncoders.first().trimmed();
    } else {
        const dictionary_type *audio = dictAt(format, "audioencoders");
        p.audioEncoders = withAuto(p.autoValues, splitList(stringAt(audio, "supports")));
        if (audioEncoder.isEmpty())
            audioEncoder = stringAt(audio, "default").trimmed();
        p.audioEncoder = audioEncoder;
    }

    if (channel.isEmpty())
        channel = stringAt(dictAt(format, "channels"), "default");
    p.channel = channel;
    QStringList channels;
    const dictionary_type *entry = chooseEntry(arrayAt(format, "audioparams"), audioEncoder,
                                               "channel", channel, channels);
    p.channels = withAuto(p.autoValues, channels);
    if (entry) {
        p.channel = stringAt(entry, "channel");
        const dictionary_type *rate = dictAt(entry, "audiobitrate");
        p.audioBitRateLow = stringAt(rate, "low") + " kbps";
        p.audioBitRateHigh = stringAt(rate, "high") + " kbps";
        p.audioBitRateDefault = stringAt(rate, "default") + " kbps";
        p.audioBitRates = withAuto(p.autoValues, splitList(stringAt(rate, "supports"), " kbps"));
        const dictionary_type *samples = dictAt(entry, "samplerate");
        p.sampleRateDefault = stringAt(samples, "default") + " HZ";
        p.sampleRates = withAuto(p.autoValues, splitList(stringAt(samples, "supports"), " HZ"));
    }
    return p;
}

QStringList ProfileCatalog::splitList(const QString &text, const QString &unit)
{
    QStringList list;
    for (const QString &piece : text.split(QLatin1Char(','))) {
        const QString entry = piece.trimmed();
        if (entry.isEmpty())
            continue;
        list << (entry == QLatin1String("0") ? kAuto : entry + unit);
    }
    return list;
}

QStringList ProfileCatalog::filterList(const QString &filter, const QString &videoEncoder)
{
    if (videoEncoder.isEmpty())
        return QStringList();
    const int at = filter.indexOf(videoEncoder);
    if (at < 0)
        return QStringList();
    // The character right after the code separates it from its list.
    const int start = at + videoEncoder.size() + 1;
    if (start >= filter.size())
        return QStringList();
    const int end = filter.indexOf(QLatin1Char('|'), start);
    return splitList(filter.mid(start, end < 0 ? -1 : end - start));
}

QString ProfileCatalog::containerName(const QString &ext)
{
    static const struct
    {
        const char *ext;
        const char *container;
    } table[] = {
        {"m4v", "mp4"},  {"m4a", "mp4"},      {"m4b", "mp4"},      {"m4r", "mp4"},
        {"wmv", "asf"},  {"wma", "asf"},      {"mkv", "matroska"}, {"mka", "matroska"},
        {"mpg", "mpeg"}, {"ts", "mpegts"},    {"trp", "mpegts"},   {"DivX", "avi"},
        {"ogv", "ogg"},  {"WebM", "webm"},    {"aac", "adts"},     {"alac", "mov"},
    };
    for (const auto &row : table) {
        if (ext == QLatin1String(row.ext))
            return QString::fromLatin1(row.container);
    }
    return ext;
}

int ProfileCatalog::codecId(const QString &code)
{
    static const struct
    {
        const char *code;
        int id;
    } table[] = {
        {"AC3", 86019},  {"in24", 65549}, {"mp43", 17},          {"wma3", 86054},
        {"wma2", 86024}, {"wma1", 86023}, {"MP3", 86017},        {"VP8", 141},
        {"VP9", 169},    {"AAC", 86018},  {"MJPG", 8},           {"MP2A", 86016},
        {"caf", 69632},  {"flac", 86028}, {"flv1", 22},          {"WMV3", 72},
        {"pcmb", 65537}, {"MP4V", 13},    {"OGG", 86021},        {"VBIS", 86021},
        {"WMV1", 18},    {"WMV2", 19},    {"mpg1", 1},           {"mp1v", 1},
        {"HMP2", 2},     {"mp2v", 2},     {"H263", 5},           {"H264", 28},
        {"H265", 1211250229},             {"Xvid", 1145656920},  {"DIVX", 808802372},
        {"PCM", 65536},  {"APE", 65536},  {"DV60", 25},          {"DV50", 25},
        {"AMRN", 73728}, {"fmp3", 69645}, {"vc-1", 71},          {"alac", 86032},
    };
    for (const auto &row : table) {
        if (code == QLatin1String(row.code))
            return row.id;
    }
    return 0;
}
