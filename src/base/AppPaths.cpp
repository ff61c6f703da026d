#include "base/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kProgramFolder[] = "Velmora Video Converter";

// Joins base with the program folder and creates it; falls back to base itself.
QString programFolderUnder(const QString &base)
{
    const QString folder = base + "/" + kProgramFolder;
    if (QDir().mkpath(folder))
        return folder;
    return base;
}

QString writableLocation(QStandardPaths::StandardLocation loc, const QString &fallback)
{
    QString path = QStandardPaths::writableLocation(loc);
    if (path.isEmpty())
        path = fallback;
    return path;
}

// Where `cmake --install` puts the data, relative to the installed executable.
// Relative, so that a package unpacked anywhere (dpkg -x, a staging folder)
// finds its own data and not that of another copy.
#ifndef VELMORA_DATA_FROM_BIN
#define VELMORA_DATA_FROM_BIN "../share/velmora"
#endif

bool holdsProgramData(const QString &dir)
{
    return QFileInfo(dir + "/profile/profiles_win.plist").isFile() && QFileInfo(dir + "/image").isDir();
}

QString locateProgramFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    // Beside the executable first: a build folder next to an installed copy
    // runs with its own, newer data.
    if (holdsProgramData(exeDir))
        return exeDir;
    const QString installed = QDir::cleanPath(exeDir + "/" + VELMORA_DATA_FROM_BIN);
    if (holdsProgramData(installed))
        return installed;
    std::fprintf(stderr, "velmora: no program data (image/, profile/) in %s or %s\n",
                 QFile::encodeName(exeDir).constData(), QFile::encodeName(installed).constData());
    return exeDir;
}

} // namespace

namespace AppPaths {

QString applicationDir()
{
    static const QString dir = locateProgramFolder();
    return dir;
}

QString dataPath(const QString &rel)
{
    return applicationDir() + rel;
}

QString documentsFolder()
{
    return programFolderUnder(writableLocation(QStandardPaths::DocumentsLocation, QDir::homePath()));
}

QString dataFolder()
{
    // GenericDataLocation is ~/.local/share; the program folder goes right under it.
    return programFolderUnder(writableLocation(QStandardPaths::GenericDataLocation,
                                               QDir::homePath() + "/.local/share"));
}

QString thumbnailFolder()
{
    // Thumbnails show frames of the user's videos: they stay out of shared
    // folders such as /tmp, where another user could read them or plant
    // links and FIFOs under names we would use.
    const QString base = writableLocation(QStandardPaths::GenericCacheLocation, QDir::homePath() + "/.cache");
    QDir().mkpath(base);
    const QString folder = base + "/" + kProgramFolder;
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return {};
    if ((st.st_mode & 07777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        return {};
    return folder;
}

QString defaultOutputFolder()
{
    const QString folder = documentsFolder() + "/Converted/";
    QDir().mkdir(folder); // one level; failure is silent, converting checks the folder
    return folder;
}

QString sizeText(qint64 bytes)
{
    const double b = double(bytes);
    if (bytes > 1073741824LL)
        return QString::asprintf("%.2f GB", b / 1073741824.0);
    if (bytes > 1048576LL)
        return QString::asprintf("%.2f MB", b / 1048576.0);
    if (bytes > 1024LL)
        return QString::asprintf("%.2f KB", b / 1024.0);
    return QString::asprintf("%d B", int(bytes));
}

QString durationText(qint64 microseconds)
{
    qint64 secs = microseconds / 1000000;
    if (secs < 0)
        secs = 0;
    const qint64 h = secs / 3600, m = (secs % 3600) / 60, s = secs % 60;
    if (h > 0)
        return QString::asprintf("%02lld:%02lld:%02lld", h, m, s);
    return QString::asprintf("%02lld:%02lld", m, s);
}

QString folderWriteError(const QString &folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    // The nearest existing folder decides: writing creates the rest below it.
    while (!QFileInfo(path).exists() && path != QLatin1String("/"))
        path = QFileInfo(path).absolutePath();
    if (!QFileInfo(path).isDir())
        return QString::fromLocal8Bit(std::strerror(ENOTDIR));
    // The effective ids are the ones the files are made with.
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString();
}

} // namespace AppPaths
