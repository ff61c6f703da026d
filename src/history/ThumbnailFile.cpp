#include "history/ThumbnailFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far above any picture of 120 x 120; a bigger "thumbnail" is not ours.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

namespace ThumbnailFile {

bool write(const QImage &image, const QString &path)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (path.isEmpty() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPG"))
        return false;
    // mkstemp creates with O_EXCL (never through a link) and mode 0600.
    QByteArray temp = QFile::encodeName(QFileInfo(path).absolutePath() + "/.thumbnail-XXXXXX");
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, jpeg);
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

QImage read(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxBytes)
        return {};
    // The name may be swapped between the check and the open: no links, no
    // waiting for a FIFO's writer, and the open file is checked again.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return QImage::fromData(file.read(kMaxBytes));
}

} // namespace ThumbnailFile
