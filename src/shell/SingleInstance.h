#pragma once
// One converter per user: an exclusive lock on a file in the user's private
// runtime folder marks the running instance. The lock is the kernel's, so it
// goes with the process however that ends (a crash leaves nothing behind),
// and it lives where no other user can take it or plant one.

#include <QString>

class SingleInstance
{
public:
    // lockFile: the file to lock; empty for defaultLockFile().
    explicit SingleInstance(const QString &lockFile = QString());
    ~SingleInstance();

    // True when this process is the first instance of its user and now holds
    // the lock; false while another instance of the same user holds it.
    bool acquire();

    // "Velmora Video Converter.lock" in $XDG_RUNTIME_DIR when that folder is
    // the user's own and closed to others, else in the per-user data folder.
    static QString defaultLockFile();

private:
    QString m_path;
    int m_fd = -1;
};
