#pragma once
// Thumbnail files: written by the queue rows, read back by the converted-files
// list from the paths its history names. Neither side trusts what it finds
// under a name: a history may name a file in a folder others can write to.

#include <QImage>
#include <QString>

namespace ThumbnailFile {

// Writes `image` as JPEG to a new temporary file beside `path` and renames it
// over `path`: a link planted under the name is replaced, never followed, and
// a crash leaves no half-written picture. False when it cannot be written.
bool write(const QImage &image, const QString &path);

// The picture in `path` when it is a regular file (not a link, FIFO or
// device) of a thumbnail's size; a null image otherwise. Never blocks on
// the file.
QImage read(const QString &path);

} // namespace ThumbnailFile
