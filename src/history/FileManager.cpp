#include "history/FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace {

void ask(const char *method, const QUrl &target, const QUrl &fallback)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(fallback);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", method);
    call << QStringList{target.toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [fallback](QDBusPendingCallWatcher *w) {
        if (w->isError())
            QDesktopServices::openUrl(fallback);
        w->deleteLater();
    });
}

} // namespace

namespace FileManager {

void showItem(const QString &filePath)
{
    const QFileInfo file(QFileInfo(filePath).absoluteFilePath());
    ask("ShowItems", QUrl::fromLocalFile(file.absoluteFilePath()), QUrl::fromLocalFile(file.absolutePath()));
}

void showFolder(const QString &folder)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath());
    ask("ShowFolders", url, url);
}

} // namespace FileManager
