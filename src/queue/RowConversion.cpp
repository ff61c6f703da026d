#include "queue/RowConversion.h"

#include "base/AppPaths.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The shared state of a merged run: one converter appends every source to
// the output of the run's first row.
struct MergeState {
    bool flag = false;
    std::unique_ptr<IAVConverter> converter;
    QString output;
    const RowConversion *source = nullptr; // whose source the merger converts now
    QString closedOutput; // where the last closed merged output went
};

MergeState &mergeState()
{
    static MergeState state;
    return state;
}

QString tr(const char *text) { return QCoreApplication::translate("VideoConvertBar", text); }

// Renames without replacing: a file that appeared under the name is kept.
bool renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: a hard link refuses an existing
    // name too; FAT has no links, there the check and the rename are apart.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno == EEXIST)
        return false;
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

// Closes the merged output and gives it its final name.
void closeMerged(MergeState &m, bool stopping)
{
    if (m.converter) {
        m.converter->StopMerge(stopping);
        m.converter.reset();
        m.closedOutput = m.output.isEmpty() ? QString() : RowConversion::publish(m.output);
    }
    m.output.clear();
    m.source = nullptr;
}

} // namespace

QString RowConversion::partPath(const QString &finalPath)
{
    const int slash = finalPath.lastIndexOf('/');
    return finalPath.left(slash + 1) + '.' + finalPath.mid(slash + 1) + QLatin1String(".part");
}

namespace {

// ".NAME.EXT.part": a hidden name around an output name with its extension.
bool isPartName(const char *name)
{
    const std::string_view n(name);
    constexpr std::string_view suffix(".part");
    if (n.size() <= 1 + suffix.size() || n.front() != '.' || n.substr(n.size() - suffix.size()) != suffix)
        return false;
    const std::string_view output = n.substr(1, n.size() - 1 - suffix.size());
    const size_t dot = output.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == output.size())
        return false;
    for (const char c : output.substr(dot + 1))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

int RowConversion::removeStaleParts(const QString &folder)
{
    if (folder.isEmpty())
        return 0;
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    const uid_t me = ::geteuid();
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isPartName(entry->d_name))
            continue;
        // The entry itself, never what a link names.
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || st.st_uid != me)
            continue;
        if (::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
        else
            qDebug() << "RowConversion: cannot remove" << entry->d_name << std::strerror(errno);
    }
    ::closedir(dir);
    if (removed)
        qDebug() << "RowConversion: removed" << removed << "unfinished outputs of earlier runs in" << folder;
    return removed;
}

QString RowConversion::publish(const QString &finalPath)
{
    const QByteArray from = QFile::encodeName(partPath(finalPath));
    struct stat st;
    if (::lstat(from.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QString();
    const int slash = finalPath.lastIndexOf('/');
    const int dot = finalPath.lastIndexOf('.');
    const bool hasExt = dot > slash + 1;
    const QString base = hasExt ? finalPath.left(dot) : finalPath;
    const QString ext = hasExt ? finalPath.mid(dot) : QString();
    QString target = finalPath;
    for (int n = 1; n < 1000; ++n) {
        if (renameNoReplace(from, QFile::encodeName(target)))
            return target;
        if (errno != EEXIST)
            break;
        target = QString("%1(%2)%3").arg(base).arg(n).arg(ext);
    }
    return QString();
}

QString RowConversion::closedMergedOutput() { return mergeState().closedOutput; }

RowConversion::~RowConversion()
{
    if (m_converter) {
        m_converter->StopConvert();
        m_converter.reset();
    }
    if (mergeState().source == this)
        mergeState().source = nullptr;
}

void RowConversion::leaveMerge(bool stillConverting)
{
    MergeState &m = mergeState();
    if (m.source != this)
        return;
    // The merger would report to a deleted owner: close the merged output now.
    if (stillConverting)
        closeMerged(m, true);
    m.source = nullptr;
}

bool RowConversion::mergeFlag() { return mergeState().flag; }
void RowConversion::setMergeFlag(bool merge) { mergeState().flag = merge; }
QString RowConversion::mergedOutputPath() { return mergeState().output; }
bool RowConversion::hasMergeConverter() { return mergeState().converter != nullptr; }

QString RowConversion::converterError() const
{
    const IAVConverter *c = m_merging ? mergeState().converter.get() : m_converter.get();
    return c ? QString::fromStdString(c->LastError()) : QString();
}

bool RowConversion::start(const QString &source, QString &output, const ConvertParams &params, bool merge,
                          void *owner, ConvertCallback callback)
{
    m_failure.clear();
    // A folder the user cannot write to is named as such, before the engine
    // reports whatever its first failing call happens to see.
    const QString folderError = AppPaths::folderWriteError(QFileInfo(output).absolutePath());
    if (!folderError.isEmpty()) {
        m_failure = folderError;
        return false;
    }
    const std::string sourceUtf8 = source.toStdString();
    bool ok = false;
    if (!merge) {
        m_converter.reset();
        m_converter = createAVConverter();
        ok = m_converter->StartConvert(sourceUtf8, partPath(output).toStdString(), params, owner, callback);
        if (!ok)
            m_failure = QString::fromStdString(m_converter->LastError());
    } else {
        MergeState &m = mergeState();
        ok = true;
        const bool opensOutput = !m.converter;
        if (opensOutput) {
            m.converter = createAVConverter();
            m.output = output;
            ok = m.converter->StartMerge(partPath(output).toStdString(), params);
            if (!ok) {
                m_failure = QString::fromStdString(m.converter->LastError());
                // The next source opens the merged output anew.
                m.converter.reset();
                m.output.clear();
            }
        }
        if (ok) {
            output = m.output; // every source writes into the merged file
            ok = m.converter->AddMergeFile(sourceUtf8, params, owner, callback);
            if (ok) {
                m.source = this;
            } else {
                m_failure = QString::fromStdString(m.converter->LastError());
                if (opensOutput) {
                    // The merged file is named after its first source: let
                    // the next source open one of its own.
                    m.converter->StopMerge(false);
                    m.converter.reset();
                    QFile::remove(partPath(m.output));
                    m.output.clear();
                }
            }
        }
    }
    if (!ok) {
        if (m_failure.isEmpty())
            m_failure = tr("The conversion could not be started.");
        return false;
    }
    m_merging = merge;
    return true;
}

void RowConversion::cancel()
{
    if (!m_merging && !mergeFlag()) {
        if (m_converter) {
            m_converter->StopConvert();
            m_converter.reset();
        }
    } else {
        // A stop keeps what was merged so far, finished, under its name.
        MergeState &m = mergeState();
        if (m.converter)
            closeMerged(m, true);
    }
    m_merging = false;
}

void RowConversion::closeMergedOutput()
{
    MergeState &m = mergeState();
    if (m.converter)
        closeMerged(m, false);
    else
        m.closedOutput.clear();
    m.output.clear();
    m.source = nullptr;
}

void RowConversion::finishMerged()
{
    closeMergedOutput();
    m_merging = false;
}
