#include "queue/RowOutput.h"

#include "base/AppPaths.h"
#include "profiles/OutputFormat.h"

#include <QCryptographicHash>

#include <algorithm>
#include <QDir>
#include <QFileInfo>

namespace RowOutput {

qint64 estimatedSize(qint64 durationUs, bool hasVideo, bool hasAudio, const OutputFormat &format)
{
    qint64 bitsPerSecond = 0;
    if (hasVideo && !format.audioOnly)
        bitsPerSecond += qint64(format.videoBitRate) * 1000;
    if (hasAudio)
        bitsPerSecond += qint64(format.audioBitRate) * 1000;
    const qint64 seconds = durationUs / 1000000;
    return qint64(double(bitsPerSecond) * double(seconds) * 1.02 * 0.125);
}

qint64 copiedSize(qint64 durationUs, qint64 sourceBytes, qint64 sourceDurationUs)
{
    if (sourceBytes <= 0 || sourceDurationUs <= 0 || durationUs <= 0)
        return 0;
    return qint64(double(sourceBytes) * double(std::min(durationUs, sourceDurationUs)) / double(sourceDurationUs));
}

qint64 extractedSize(qint64 durationUs, qint64 audioBitsPerSecond)
{
    if (durationUs <= 0 || audioBitsPerSecond <= 0)
        return 0;
    return qint64(double(audioBitsPerSecond) * double(durationUs) / 8e6);
}

QString uniqueOutputPath(const QString &folder, const QString &displayName, const QString &ext)
{
    const int dot = displayName.lastIndexOf('.');
    const QString base = dot >= 0 ? displayName.left(dot) : displayName;
    QString dir = folder;
    if (!dir.endsWith('/'))
        dir += '/';
    QDir().mkpath(dir);
    QString candidate = dir + base + "." + ext;
    candidate.replace("//", "/");
    for (int n = 1; QFileInfo::exists(candidate); ++n) {
        candidate = dir + QString("%1(%2).%3").arg(base).arg(n).arg(ext);
        candidate.replace("//", "/");
    }
    return candidate;
}

QString thumbnailCachePath(const QString &sourcePath)
{
    const QString folder = AppPaths::thumbnailFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray md5 = QCryptographicHash::hash(sourcePath.toUtf8(), QCryptographicHash::Md5).toHex();
    return folder + "/" + QString::fromLatin1(md5) + ".JPG";
}

} // namespace RowOutput
