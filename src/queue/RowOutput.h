#pragma once
// The output facts of a queue row that need no row: the estimated size, the
// output file's name and the thumbnail cache file.

#include <QString>

struct OutputFormat;

namespace RowOutput {

// Estimated output size in bytes for a length, the item's streams and the
// output parameters: bit rates times whole seconds, 2 % overhead.
qint64 estimatedSize(qint64 durationUs, bool hasVideo, bool hasAudio, const OutputFormat &format);
// The same for a "same quality" format, whose streams are copied: they keep
// the source's bit rate (the file's size over its length). 0 when unknown.
qint64 copiedSize(qint64 durationUs, qint64 sourceBytes, qint64 sourceDurationUs);
// An extracted sound track: its own bit rate over the length. 0 when unknown.
qint64 extractedSize(qint64 durationUs, qint64 audioBitsPerSecond);

// folder + base + "." + ext, or base + "(n)." + ext with the first n from 1
// whose file does not exist yet. The folder is created when missing.
QString uniqueOutputPath(const QString &folder, const QString &displayName, const QString &ext);

// "<md5 of the UTF-8 path>.JPG" in AppPaths::thumbnailFolder(); empty when
// that private folder cannot be had.
QString thumbnailCachePath(const QString &sourcePath);

} // namespace RowOutput
