#pragma once
// One converter per user: an exclusive lock on a file in the user's private
// runtime folder marks the running instance. The lock is the kernel's, so it
// goes with the process however that ends (a crash leaves nothing behind),
// and it lives where no other user can take it or plant one.
//
// The running instance also listens on a local socket beside the lock file, so
// that a second start can ask it to show its window: a program hidden to a tray
// that is not there can always be found again.

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // lockFile: the file to lock; empty for defaultLockFile().
    explicit SingleInstance(const QString &lockFile = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first instance of its user and now holds
    // the lock; false while another instance of the same user holds it.
    bool acquire();

    // For the holder of the lock: listens for second starts (showRequested).
    // False when the socket cannot be set up; the program runs all the same.
    bool listen();

    // For a second start: asks the running instance to show its window.
    // False when it cannot be reached.
    bool askRunningToShow(int timeoutMs = 2000) const;

    // "Velmora Video Converter.lock" in $XDG_RUNTIME_DIR when that folder is
    // the user's own and closed to others, else in the per-user data folder.
    static QString defaultLockFile();
    // The socket of the instance holding lockFile: beside it, ".socket" for ".lock".
    static QString socketPath(const QString &lockFile);

signals:
    void showRequested();

private:
    void readRequest();

    QString m_path;
    int m_fd = -1;
    QLocalServer *m_server = nullptr;
};
