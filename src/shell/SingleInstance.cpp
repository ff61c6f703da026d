#include "shell/SingleInstance.h"

#include "base/AppPaths.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kLockName[] = "Velmora Video Converter.lock";
// What a second start sends; anything else on the socket is ignored.
const char kShowRequest[] = "show\n";

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

SingleInstance::SingleInstance(const QString &lockFile, QObject *parent)
    : QObject(parent)
    , m_path(lockFile.isEmpty() ? defaultLockFile() : lockFile)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close(); // removes the socket file
        delete m_server;
    }
    if (m_fd >= 0)
        ::close(m_fd); // drops the lock; the file stays for the next start
}

QString SingleInstance::socketPath(const QString &lockFile)
{
    QString path = lockFile;
    if (path.endsWith(QLatin1String(".lock")))
        path.chop(5);
    return path + QLatin1String(".socket");
}

bool SingleInstance::listen()
{
    if (m_fd < 0 || m_server)
        return m_server != nullptr;
    const QString path = socketPath(m_path);
    // Holding the lock, any socket file there was left by a copy that ended
    // without cleaning up.
    QLocalServer::removeServer(path);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
    return true;
}

void SingleInstance::readRequest()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto handle = [this, socket] {
            if (socket->canReadLine() && socket->readLine(64) == kShowRequest) {
                socket->disconnectFromServer();
                emit showRequested();
            } else if (socket->bytesAvailable() > 64) {
                socket->abort();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        handle();
    }
}

bool SingleInstance::askRunningToShow(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(m_path));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return sent;
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
