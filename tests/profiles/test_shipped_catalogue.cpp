// The catalogue that ships beside the program: its structure, its codes, and
// the encoder limits of the engine that its menus must respect.

#include <QApplication>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include "TestEnv.h"
#include "profiles/ProfileCatalog.h"
#include "base/AppPaths.h"

namespace {

using Plist::array_type;
using Plist::dictionary_type;

const dictionary_type *dictAt(const dictionary_type &d, const char *key)
{
    const auto it = d.find(key);
    return it == d.end() ? nullptr : boost::any_cast<dictionary_type>(&it->second);
}

QString text(const dictionary_type *d, const char *key)
{
    if (!d)
        return QString();
    const auto it = d->find(key);
    if (it == d->end())
        return QString();
    const std::string *s = boost::any_cast<std::string>(&it->second);
    return s ? QString::fromStdString(*s) : QStringLiteral("<not a string>");
}

QStringList entries(const QString &list)
{
    QStringList out;
    for (const QString &piece : list.split(',', Qt::SkipEmptyParts))
        out << piece.trimmed();
    return out;
}

QList<const dictionary_type *> dicts(const dictionary_type &d, const char *key)
{
    QList<const dictionary_type *> out;
    const auto it = d.find(key);
    if (it == d.end())
        return out;
    if (const array_type *a = boost::any_cast<array_type>(&it->second)) {
        for (const boost::any &item : *a)
            out << boost::any_cast<dictionary_type>(&item);
    }
    return out;
}

struct Format
{
    QString category;
    QString id;
    QString title;
    QString ext;
    const dictionary_type *dict;
};

} // namespace

class TestShippedCatalogue : public QObject
{
    Q_OBJECT

private:
    dictionary_type m_root;
    QList<Format> m_formats;
    ProfileCatalog *m_catalog = nullptr;

    // Every problem found, so one run lists them all.
    QStringList m_problems;
    void problem(const Format &f, const QString &what)
    {
        m_problems << QString("%1/%2 (%3): %4").arg(f.category, f.id, f.title, what);
    }
    void report()
    {
        m_problems.removeDuplicates();
        const QString all = m_problems.join('\n');
        m_problems.clear();
        QVERIFY2(all.isEmpty(), qPrintable(all));
    }

    QStringList videoCodes(const Format &f) const
    {
        return entries(text(dictAt(*f.dict, "videoencoders"), "supports"));
    }
    QStringList audioCodes(const Format &f) const
    {
        const QString filter = text(dictAt(*f.dict, "videoencoders"), "filter");
        if (filter.isEmpty())
            return entries(text(dictAt(*f.dict, "audioencoders"), "supports"));
        QStringList codes;
        for (const QString &v : videoCodes(f))
            codes += ProfileCatalog::filterList(filter, v);
        codes.removeDuplicates();
        return codes;
    }
    // The codes of a format's "videoparams" or "audioparams" entries.
    static QStringList paramCodes(const Format &f, const char *key)
    {
        QStringList codes;
        for (const dictionary_type *e : dicts(*f.dict, key))
            codes << text(e, "fourcc").trimmed();
        return codes;
    }

private slots:
    void initTestCase()
    {
        const QString path = AppPaths::dataPath("/profile/profiles_win.plist");
        Plist::loadPlist(path.toStdString(), m_root); // a failure here names the reason
        m_catalog = new ProfileCatalog(path);
        QVERIFY2(m_catalog->isLoaded(), qPrintable(m_catalog->loadError()));
        for (const QString &category : m_catalog->categories()) {
            for (const dictionary_type *d : dicts(m_root, category.toUtf8().constData())) {
                QVERIFY2(d, qPrintable(category + ": an entry that is not a dictionary"));
                const dictionary_type *base = dictAt(*d, "baseinfo");
                m_formats << Format{category, text(base, "id"), text(base, "title"), text(base, "ext"), d};
            }
        }
        QVERIFY(m_formats.size() > 50);
    }
    void cleanupTestCase() { delete m_catalog; }

    // Ids are unique (icons and the one-at-a-time rule go by id alone), the
    // needed keys are there, titles name formats and sizes, never products or
    // brands, every encoder offered has its menus, and every default lies in its menu.
    void structure()
    {
        const QRegularExpression brands(
            "iphone|ipad|ipod|apple|samsung|galaxy|android|sony|playstation|psp|xbox|nintendo|"
            "wii|switch|kindle|huawei|lg |nokia|blackberry|youtube|facebook|instagram|tiktok|vimeo",
            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression size("^(\\d+)\\*(\\d+)$");
        QSet<QString> ids;
        for (const Format &f : m_formats) {
            if (ids.contains(f.id))
                problem(f, "id used twice");
            ids.insert(f.id);
            if (brands.match(f.title).hasMatch())
                problem(f, "product or brand name in the title");
            const dictionary_type *base = dictAt(*f.dict, "baseinfo");
            for (const char *key : {"title", "id", "ext"}) {
                if (text(base, key).isEmpty())
                    problem(f, QString("baseinfo without ") + key);
            }
            if (text(base, "auto") != "0" && text(base, "auto") != "1")
                problem(f, "auto is neither 0 nor 1");
            const dictionary_type *video = dictAt(*f.dict, "videoencoders");
            const bool hasVideo = video && !video->empty();
            if (hasVideo) {
                if (text(dictAt(*f.dict, "resolution"), "default").isEmpty())
                    problem(f, "no default resolution");
                if (!videoCodes(f).contains(text(video, "default").trimmed()))
                    problem(f, "default video encoder not offered");
            }
            if (!hasVideo || text(video, "filter").isEmpty()) {
                const dictionary_type *audio = dictAt(*f.dict, "audioencoders");
                if (!audio || !entries(text(audio, "supports")).contains(text(audio, "default").trimmed()))
                    problem(f, "audioencoders missing or its default not offered");
            }
            if (text(dictAt(*f.dict, "channels"), "default").isEmpty())
                problem(f, "no default channel count");

            for (const QString &code : videoCodes(f)) {
                if (!paramCodes(f, "videoparams").contains(code))
                    problem(f, "no videoparams for " + code);
            }
            const QStringList audio = audioCodes(f);
            if (audio.isEmpty())
                problem(f, "no audio encoders");
            for (const QString &code : audio) {
                if (!paramCodes(f, "audioparams").contains(code))
                    problem(f, "no audioparams for " + code);
            }
            for (const dictionary_type *e : dicts(*f.dict, "videoparams")) {
                const QString where = text(e, "fourcc") + " " + text(e, "resolution");
                const auto m = size.match(text(e, "resolution"));
                if (!m.hasMatch() || m.captured(1).toInt() % 2 || m.captured(2).toInt() % 2)
                    problem(f, where + ": resolution is not an even W*H");
                const dictionary_type *fr = dictAt(*e, "framerate");
                if (text(fr, "default") != "0" && !entries(text(fr, "supports")).contains(text(fr, "default")))
                    problem(f, where + ": default frame rate not offered");
                const dictionary_type *br = dictAt(*e, "videobitrate");
                for (const char *key : {"default", "low", "high"}) {
                    if (!entries(text(br, "supports")).contains(text(br, key)))
                        problem(f, where + ": video bit rate " + key + " not offered");
                }
                if (text(br, "low").toInt() > text(br, "default").toInt()
                    || text(br, "default").toInt() > text(br, "high").toInt())
                    problem(f, where + ": video bit rates not low <= default <= high");
            }
            for (const dictionary_type *e : dicts(*f.dict, "audioparams")) {
                const QString where = text(e, "fourcc") + " " + text(e, "channel");
                if (!QSet<QString>{"1", "2", "6"}.contains(text(e, "channel")))
                    problem(f, where + ": channel count is not 1, 2 or 6");
                const dictionary_type *sr = dictAt(*e, "samplerate");
                if (!entries(text(sr, "supports")).contains(text(sr, "default")))
                    problem(f, where + ": default sample rate not offered");
                const dictionary_type *br = dictAt(*e, "audiobitrate");
                for (const char *key : {"default", "low", "high"}) {
                    if (!entries(text(br, "supports")).contains(text(br, key)))
                        problem(f, where + ": audio bit rate " + key + " not offered");
                }
            }
        }
        report();
    }

    // Every code has a codec number and a display name, and stays within the
    // limits of the engine's encoders and multiplexers.
    void codesAndEncoderLimits()
    {
        const QStringList unavailable = {"WMV3", "vc-1", "wma3", "AMRN"}; // no encoder in the engine
        const QSet<QString> h263Sizes = {"128*96", "176*144", "352*288", "704*576", "1408*1152"};
        const QSet<QString> mpegRates = {"23.976", "24", "25", "29.97", "30", "50", "59.94", "60"};
        const dictionary_type *names = dictAt(m_root, "Codecs");
        QVERIFY(names);
        for (const Format &f : m_formats) {
            const QStringList codes =
                videoCodes(f) + audioCodes(f) + paramCodes(f, "videoparams") + paramCodes(f, "audioparams");
            for (const QString &code : codes) {
                if (ProfileCatalog::codecId(code) == 0)
                    problem(f, "code without a codec number: " + code);
                const QString padded = code.size() == 3 ? code + ' ' : code;
                const QString name = text(names, padded.toUtf8().constData());
                if (name.isEmpty() || m_catalog->codecName(code) != name)
                    problem(f, "code without a display name: " + code);
                if (unavailable.contains(code))
                    problem(f, "code the engine cannot encode: " + code);
            }
            const QString filter = text(dictAt(*f.dict, "videoencoders"), "filter");
            for (const QString &v : filter.isEmpty() ? QStringList() : videoCodes(f)) {
                const QStringList allowed = ProfileCatalog::filterList(filter, v);
                if (allowed.isEmpty() || allowed.contains("Auto"))
                    problem(f, "filter gives no usable audio list for " + v);
            }

            for (const dictionary_type *e : dicts(*f.dict, "videoparams")) {
                const QString code = text(e, "fourcc").trimmed();
                const QString res = text(e, "resolution");
                const QStringList rates = entries(text(dictAt(*e, "framerate"), "supports"))
                                          << text(dictAt(*e, "framerate"), "default");
                if (code == "H263" && !h263Sizes.contains(res))
                    problem(f, "H.263 at " + res);
                if (code == "DV50" || code == "DV60") {
                    const QString want = res == "720*576" ? "25" : res == "720*480" ? "29.97" : "";
                    if (want.isEmpty() || rates != QStringList{want, want})
                        problem(f, "DV at " + res + " " + rates.join(','));
                }
                if (code == "mpg1" || code == "HMP2") {
                    for (const QString &r : rates) {
                        if (!mpegRates.contains(r))
                            problem(f, "MPEG video at " + r + " fps");
                    }
                }
            }
            for (const dictionary_type *e : dicts(*f.dict, "audioparams")) {
                const QString code = text(e, "fourcc").trimmed();
                const int channels = text(e, "channel").toInt();
                const QStringList rates = entries(text(dictAt(*e, "samplerate"), "supports"));
                if ((code == "MP2A" || code == "MP3" || code.startsWith("wma")) && channels > 2)
                    problem(f, code + " with " + text(e, "channel") + " channels");
                QSet<QString> allowed;
                if (code == "fmp3" || (code == "MP3" && f.ext == "flv"))
                    allowed = {"11025", "22050", "44100"};
                if (code == "AC3")
                    allowed = {"32000", "44100", "48000"};
                if (f.ext == "dv")
                    allowed = {"32000", "48000"};
                for (const QString &r : rates) {
                    if (!allowed.isEmpty() && !allowed.contains(r))
                        problem(f, code + " at " + r + " Hz");
                }
            }
        }
        report();
    }
};

VELMORA_TEST_MAIN(TestShippedCatalogue)
#include "test_shipped_catalogue.moc"
