#include "queue/RunNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QDesktopServices>
#include <QUrl>
#include <QVariantMap>

#include <functional>

namespace {

const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";
const char kInterface[] = "org.freedesktop.Notifications";
const char kOpenAction[] = "open-folder";

} // namespace

RunNotice::RunNotice(QObject *parent)
    : QObject(parent)
    , m_opener([](const QString &folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); })
{
}

void RunNotice::setFolderOpener(std::function<void(const QString &)> opener)
{
    m_opener = std::move(opener);
}

QString RunNotice::text(int converted, int failed)
{
    QString line = converted == 1 ? tr("1 file converted") : tr("%1 files converted").arg(converted);
    if (failed > 0)
        line += tr(", %1 failed").arg(failed);
    return line;
}

void RunNotice::announce(int converted, int failed, const QString &folder)
{
    const QString body = text(converted, failed);
    QDBusConnection bus = QDBusConnection::sessionBus();
    qDebug() << "run notice:" << body;
    if (!bus.isConnected()) {
        qDebug() << "run notice: no session bus";
        emit undelivered(body);
        return;
    }
    if (!m_listening) {
        bus.connect(kService, kPath, kInterface, "ActionInvoked", this, SLOT(actionInvoked(uint,QString)));
        bus.connect(kService, kPath, kInterface, "NotificationClosed", this, SLOT(notificationClosed(uint,uint)));
        m_listening = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    QStringList actions;
    if (converted > 0 && !folder.isEmpty())
        actions << kOpenAction << tr("Open Folder");
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue(uchar(failed > 0 ? 1 : 0)));
    // Replaces the notice of the previous run when it is still shown.
    call << tr("Velmora Video Converter") << m_shownId << QString("video-x-generic") << tr("Conversion finished")
         << body << actions << hints << int(-1);
    // Never blocking: the service may be slow to start, or be this process.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folder, body](QDBusPendingCallWatcher *w) { delivered(w, folder, body); });
}

void RunNotice::delivered(QDBusPendingCallWatcher *call, const QString &folder, const QString &text)
{
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        qDebug() << "run notice: not delivered:" << reply.error().message();
        emit undelivered(text);
        return;
    }
    m_shownId = reply.value();
    m_shownFolder = folder;
}

void RunNotice::actionInvoked(uint id, const QString &action)
{
    if (id != 0 && id == m_shownId && action == QLatin1String(kOpenAction) && m_opener)
        m_opener(m_shownFolder);
}

void RunNotice::notificationClosed(uint id, uint)
{
    if (id == m_shownId)
        m_shownId = 0;
}
