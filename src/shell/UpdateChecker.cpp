#include "shell/UpdateChecker.h"

#include "history/VXMessage.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QStandardPaths>
#include <QXmlStreamReader>

namespace {
const char kSparkleNs[] = "http://www.andymatuschak.org/xml-namespaces/sparkle";
const int kTimeoutMs = 15000;
// A real appcast is a few kilobytes; a feed beyond this is cut off rather
// than buffered without end.
const qint64 kMaxFeedBytes = 1024 * 1024;
const char kTooLargeProperty[] = "velmoraFeedTooLarge";

QString tooLargeText()
{
    return QObject::tr("The update feed is larger than 1 MB.");
}
}

UpdateChecker &UpdateChecker::instance()
{
    static UpdateChecker checker;
    return checker;
}

UpdateChecker::UpdateChecker()
{
    qRegisterMetaType<UpdateChecker::Result>();
}

void UpdateChecker::setAppDetails(const QString &company, const QString &app, const QString &version)
{
    m_company = company;
    m_app = app;
    m_version = version;
}

void UpdateChecker::setAppcastUrl(const QUrl &url)
{
    m_appcastUrl = url;
}

QString UpdateChecker::settingsFile() const
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/" + (m_app.isEmpty() ? QStringLiteral("Velmora Video Converter") : m_app)
        + "/updates.ini";
}

void UpdateChecker::setAutomaticCheckForUpdates(bool on)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue("automaticCheck", on);
    settings.sync();
}

bool UpdateChecker::automaticCheckForUpdates() const
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value("automaticCheck", false).toBool();
}

void UpdateChecker::init()
{
    if (automaticCheckForUpdates())
        startCheck(false);
}

void UpdateChecker::checkUpdateWithUi()
{
    startCheck(true);
}

void UpdateChecker::cleanup()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    delete m_network;
    m_network = nullptr;
}

void UpdateChecker::startCheck(bool withUi)
{
    if (m_reply)
        return; // one check at a time
    if (!m_appcastUrl.isValid()) {
        Result r;
        r.error = tr("No update feed is configured.");
        emit checkFinished(r, withUi);
        if (withUi && m_showResults)
            VXMessageBox(messageFor(r, withUi), QString(), VXMsg::KindError);
        return;
    }
    if (m_appcastUrl.isLocalFile()) {
        // Qt opens and reads a local feed on this thread: a FIFO would block
        // the open for good, a device would never end.
        const QFileInfo local(m_appcastUrl.toLocalFile());
        QString refusal;
        if (local.exists() && !local.isFile())
            refusal = tr("The update feed is not a regular file.");
        else if (local.size() > kMaxFeedBytes)
            refusal = tooLargeText();
        if (!refusal.isEmpty()) {
            Result r;
            r.error = refusal;
            emit checkFinished(r, withUi);
            if (withUi && m_showResults)
                VXMessageBox(messageFor(r, withUi), tr("Check for Updates"), VXMsg::KindError);
            return;
        }
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_appcastUrl);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QString("%1/%2").arg(m_app, m_version).remove(' '));
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_network->get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, withUi] { onReplyFinished(reply, withUi); });
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > kMaxFeedBytes || total > kMaxFeedBytes || reply->bytesAvailable() > kMaxFeedBytes) {
            reply->setProperty(kTooLargeProperty, true);
            reply->abort();
        }
    });
}

void UpdateChecker::onReplyFinished(QNetworkReply *reply, bool withUi)
{
    reply->deleteLater();
    m_reply = nullptr;
    Result result;
    // One byte over the limit is enough to know; the rest is never read.
    const QByteArray body = reply->error() == QNetworkReply::NoError ? reply->read(kMaxFeedBytes + 1) : QByteArray();
    if (reply->property(kTooLargeProperty).toBool() || body.size() > kMaxFeedBytes) {
        result.error = tooLargeText();
    } else if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
    } else {
        result = evaluateAppcast(body, m_version);
    }
    emit checkFinished(result, withUi);
    const QString text = messageFor(result, withUi);
    if (!text.isEmpty() && m_showResults) {
        const unsigned kind = result.outcome == Outcome::Error ? VXMsg::KindError
                              : result.outcome == Outcome::NewVersion ? VXMsg::KindSuccess
                                                                      : VXMsg::KindPlain;
        VXMessageBox(text, tr("Check for Updates"), kind);
    }
}

QString UpdateChecker::messageFor(const Result &result, bool withUi)
{
    switch (result.outcome) {
    case Outcome::NewVersion: {
        QString text = tr("A new version %1 is available.").arg(result.newest.version);
        if (result.newest.downloadUrl.isValid())
            text += "\n" + tr("Download: %1").arg(result.newest.downloadUrl.toString());
        return text;
    }
    case Outcome::UpToDate:
        return withUi ? tr("You are using the newest version.") : QString();
    case Outcome::Error:
        return withUi ? tr("Could not check for updates: %1").arg(result.error) : QString();
    }
    return QString();
}

int UpdateChecker::compareVersions(const QString &a, const QString &b)
{
    const QStringList pa = a.split('.'), pb = b.split('.');
    const int n = qMax(pa.size(), pb.size());
    for (int i = 0; i < n; ++i) {
        const qlonglong x = i < pa.size() ? pa[i].toLongLong() : 0;
        const qlonglong y = i < pb.size() ? pb[i].toLongLong() : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

UpdateChecker::Result UpdateChecker::evaluateAppcast(const QByteArray &xml, const QString &currentVersion)
{
    Result result;
    QXmlStreamReader reader(xml);
    QList<Release> releases;
    Release current;
    bool inItem = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == QLatin1String("item")) {
                inItem = true;
                current = Release();
            } else if (inItem && name == QLatin1String("title")) {
                current.title = reader.readElementText();
            } else if (inItem && name == QLatin1String("version")
                       && reader.namespaceUri() == QLatin1String(kSparkleNs)) {
                current.version = reader.readElementText().trimmed();
            } else if (inItem && name == QLatin1String("releaseNotesLink")) {
                current.notesUrl = QUrl(reader.readElementText().trimmed());
            } else if (inItem && name == QLatin1String("enclosure")) {
                const auto attrs = reader.attributes();
                current.downloadUrl = QUrl(attrs.value("url").toString());
                const QString v = attrs.value(kSparkleNs, "shortVersionString").toString();
                const QString v2 = attrs.value(kSparkleNs, "version").toString();
                if (current.version.isEmpty())
                    current.version = !v2.isEmpty() ? v2 : v;
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item")) {
            inItem = false;
            if (!current.version.isEmpty())
                releases.append(current);
        }
    }
    if (reader.hasError()) {
        result.error = QObject::tr("The update feed is not valid XML (%1).").arg(reader.errorString());
        return result;
    }
    if (releases.isEmpty()) {
        result.error = QObject::tr("The update feed lists no release.");
        return result;
    }
    Release newest = releases.first();
    for (const Release &r : releases)
        if (compareVersions(r.version, newest.version) > 0)
            newest = r;
    if (compareVersions(newest.version, currentVersion) > 0) {
        result.outcome = Outcome::NewVersion;
        result.newest = newest;
    } else {
        result.outcome = Outcome::UpToDate;
    }
    return result;
}
