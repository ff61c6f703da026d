#pragma once
// Program folders and small process-wide text helpers.

#include <QString>

namespace AppPaths {

// The program's folder, holding its data folders (image/, pic/, profile/,
// Language/), without a trailing separator. Cached on first use. In a build
// folder that is the directory of the executable; an installed program finds
// them under <prefix>/share/velmora, relative to the executable. The program
// only reads there.
QString applicationDir();

// applicationDir() + rel, where rel starts with "/" (for example "/image/btn_min.png").
QString dataPath(const QString &rel);

// The user's documents location joined with "Velmora Video Converter"; created
// with its parents when missing, else the plain documents location.
QString documentsFolder();

// The per-user data location joined with "Velmora Video Converter" (settings files).
QString dataFolder();

// The thumbnail cache: the per-user cache location ($XDG_CACHE_HOME) joined
// with "Velmora Video Converter", private to the user (mode 0700, created when
// missing). Empty when what is there is not a folder of this user: then no
// thumbnails are kept.
QString thumbnailFolder();

// Default output folder: documentsFolder() + "/Converted/", created one level deep.
QString defaultOutputFolder();

// "%d B" up to 1024 bytes, then "%.2f KB", "%.2f MB", "%.2f GB"; thresholds exclusive.
QString sizeText(qint64 bytes);

// "mm:ss" under one hour, else "hh:mm:ss".
QString durationText(qint64 microseconds);

// Why files cannot be made in `folder` by this process (the system's words,
// "Permission denied" for a folder of someone else); empty when they can.
// A folder that does not exist yet is judged by the nearest folder above it
// that does, since writing creates the missing ones.
QString folderWriteError(const QString &folder);

} // namespace AppPaths
