#pragma once
// Tells the desktop that a conversion run is over: one notification through
// org.freedesktop.Notifications on the session bus, "N files converted" with
// the failures counted, and an action that opens the output folder.
//
// GUI thread only. The call is asynchronous; where no notification service
// answers, undelivered(text) hands the text to the caller (the main window
// shows it on its tray icon when there is one).

#include <QObject>
#include <QString>

#include <functional>

class QDBusPendingCallWatcher;

class RunNotice : public QObject
{
    Q_OBJECT
public:
    explicit RunNotice(QObject *parent = nullptr);

    // "2 files converted", "1 file converted, 1 failed", …
    static QString text(int converted, int failed);

    // Sends the notice of a run that converted `converted` files into
    // `folder` and lost `failed`.
    void announce(int converted, int failed, const QString &folder);

    // Opens a folder when the user picks the notice's action; by default the
    // desktop's file manager (QDesktopServices). Tests replace it.
    void setFolderOpener(std::function<void(const QString &)> opener);

signals:
    void undelivered(QString text);

private slots:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    void delivered(QDBusPendingCallWatcher *call, const QString &folder, const QString &text);

    bool m_listening = false;
    // The notice on screen and the folder its action opens.
    uint m_shownId = 0;
    QString m_shownFolder;
    std::function<void(const QString &)> m_opener;
};
