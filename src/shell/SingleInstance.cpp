#include "shell/SingleInstance.h"

#include "base/AppPaths.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kLockName[] = "Velmora Video Converter.lock";

bool isPrivateFolderOfUser(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
           && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens the lock file, which must be a regular file of this user. One that
// is not (left by another user, or not a file) never counts as a running
// instance: it is replaced, which the user may do in a folder of their own.
int openOwnLockFile(const QByteArray &path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd >= 0) {
            struct stat st;
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
                return fd;
            ::close(fd);
        }
        if (::unlink(path.constData()) != 0 && errno != ENOENT)
            break;
    }
    return -1;
}

} // namespace

SingleInstance::SingleInstance(const QString &lockFile)
    : m_path(lockFile.isEmpty() ? defaultLockFile() : lockFile)
{
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd); // drops the lock; the file stays for the next start
}

QString SingleInstance::defaultLockFile()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = isPrivateFolderOfUser(runtime) ? runtime : AppPaths::dataFolder();
    return folder + "/" + kLockName;
}

bool SingleInstance::acquire()
{
    if (m_fd >= 0)
        return true;
    const int fd = openOwnLockFile(QFile::encodeName(m_path));
    // Without a lock file of our own there is nothing to go by; refusing
    // would keep the user out for good, so the program runs unguarded.
    if (fd < 0)
        return true;
    // Taking the lock is atomic: of two copies started together exactly one
    // gets it.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return true;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
}
