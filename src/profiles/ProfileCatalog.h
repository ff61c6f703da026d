#pragma once
// The catalogue of output formats ("/profile/profiles_win.plist"): categories,
// the formats of a category, and the parameter menus of one chosen format.
//
// Used from the GUI thread only. Answers are values: nothing a caller keeps
// is changed by a later call.

#include <QList>
#include <QString>
#include <QStringList>

#include <string>

#include "PlistOperate/Plist.h"

// One tile of the format chooser.
struct FormatRecord
{
    QString title;
    QString id;
    QString ext;
    QString category; // the category key it was listed under
};

// The parameter menus and defaults of one format for a partial choice of
// encoders. Bit rates carry " kbps", frame rates " fps", sample rates " HZ";
// "Auto" stands for an automatic value.
struct FormatParams
{
    bool audioOnly = false; // the format has no video encoders

    QStringList videoEncoders; // four-character codes
    QStringList resolutions;   // "1280*720"
    QStringList frameRates;
    QStringList videoBitRates;
    QStringList audioEncoders;
    QStringList channels; // channel counts
    QStringList sampleRates;
    QStringList audioBitRates;

    QString ext;
    QString category;
    QString formatId;
    QString videoEncoder;
    QString resolution;
    QString videoBitRateLow;
    QString videoBitRateHigh;
    QString videoBitRateDefault;
    QString frameRateDefault;
    QString audioEncoder; // left empty when a video encoder's filter chose the audio list
    QString channel;
    QString audioBitRateLow;
    QString audioBitRateHigh;
    QString audioBitRateDefault;
    QString sampleRateDefault;

    bool autoValues = false; // the format's "auto" entry is "1"
};

class ProfileCatalog
{
public:
    // The one catalogue of the process, read on the first call from path, or
    // from AppPaths::dataPath("/profile/profiles_win.plist") when path is
    // empty. Later calls ignore path. A file that cannot be read leaves the
    // catalogue empty (see loadError()).
    static ProfileCatalog &instance(const QString &path = QString());

    // Reads the catalogue at path (tests make their own catalogues this way).
    explicit ProfileCatalog(const QString &path);

    QString path() const { return QString::fromStdString(m_path); }
    bool isLoaded() const { return m_error.isEmpty(); }
    // The reader's message when the file could not be read, else empty.
    QString loadError() const { return m_error; }

    // The category keys of "Categories", in display order.
    QStringList categories() const;

    // One record per format of the category, in order; empty for an empty or
    // unknown category.
    QList<FormatRecord> formats(const QString &category) const;

    // The "baseinfo" entry key of the first format of the category with the id;
    // empty when there is none.
    QString baseInfo(const QString &category, const QString &id, const QString &key) const;

    // Display name of an encoder code ("Auto" and "" stay as they are; a
    // three-letter code is looked up with a blank appended, and returned so
    // when it is not listed).
    QString codecName(const QString &code) const;

    // The menus and defaults of a format. Each of the last four arguments is a
    // current choice; empty or "Auto" means none, so that the default applies.
    FormatParams params(const QString &category, const QString &id, const QString &videoEncoder,
                        const QString &resolution, const QString &audioEncoder,
                        const QString &channel) const;

    // Multiplexer name for an output extension (case-sensitive).
    static QString containerName(const QString &extension);
    // Codec number of the engine for a four-character code; 0 when unknown.
    static int codecId(const QString &code);

    // A catalogue list cut at ",": blanks stripped, empty pieces dropped, "0"
    // shown as "Auto", every other piece followed by unit.
    static QStringList splitList(const QString &text, const QString &unit = QString());
    // The audio encoders that a video encoder's filter allows with it.
    static QStringList filterList(const QString &filter, const QString &videoEncoder);

private:
    const Plist::array_type *formatArray(const QString &category) const;
    const Plist::dictionary_type *findFormat(const QString &category, const QString &id) const;

    std::string m_path; // UTF-8
    QString m_error;
    Plist::dictionary_type m_root;
};
