#pragma once
// The update checker: reads an appcast feed (RSS with Sparkle's version
// attributes) over QtNetwork and tells the user when a newer version exists.
// The six calls mirror the update framework the program was designed around:
// app details, feed address, init, automatic check on/off, check with UI, cleanup.
// A feed over 1 MB is cut off as an error; a local (file://) feed is read only
// when it is a regular file, so a FIFO or a device never blocks the GUI thread.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    // The one checker of the process.
    static UpdateChecker &instance();

    void setAppDetails(const QString &company, const QString &app, const QString &version);
    void setAppcastUrl(const QUrl &url);
    // Starts a silent check when automatic checks are on.
    void init();
    // Stored by the checker itself (it keeps its own setting across runs).
    void setAutomaticCheckForUpdates(bool on);
    bool automaticCheckForUpdates() const;
    // Checks now and always reports the outcome to the user.
    void checkUpdateWithUi();
    // Cancels a running check and drops the network objects.
    void cleanup();

    struct Release
    {
        QString version;     // e.g. "1.2.0"
        QString title;
        QUrl downloadUrl;
        QUrl notesUrl;
    };
    enum class Outcome { UpToDate, NewVersion, Error };
    struct Result
    {
        Outcome outcome = Outcome::Error;
        Release newest;      // valid for NewVersion
        QString error;       // valid for Error
    };

    // Parses an appcast and compares its newest release with currentVersion.
    static Result evaluateAppcast(const QByteArray &xml, const QString &currentVersion);
    // <0, 0, >0 like strcmp, comparing dotted numeric versions ("1.10" > "1.9").
    static int compareVersions(const QString &a, const QString &b);

    // Text shown to the user for a result (empty for a silent up-to-date check).
    static QString messageFor(const Result &result, bool withUi);

signals:
    // Emitted after every finished check, before anything is shown.
    void checkFinished(UpdateChecker::Result result, bool withUi);

private:
    UpdateChecker();
    void startCheck(bool withUi);
    void onReplyFinished(QNetworkReply *reply, bool withUi);
    QString settingsFile() const;

    QString m_company;
    QString m_app;
    QString m_version;
    QUrl m_appcastUrl;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply; // the running check, if any
    bool m_showResults = true;       // tests switch the message boxes off
public:
    void setShowResults(bool show) { m_showResults = show; }
};

Q_DECLARE_METATYPE(UpdateChecker::Result)
