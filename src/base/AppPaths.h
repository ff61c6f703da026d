#pragma once
// Program folders and small process-wide text helpers.

#include <QString>

namespace AppPaths {

// Directory of the executable, without a trailing separator. Cached on first use.
QString applicationDir();

// applicationDir() + rel, where rel starts with "/" (for example "/image/btn_min.png").
QString dataPath(const QString &rel);

// The user's documents location joined with "Velmora Video Converter"; created
// with its parents when missing, else the plain documents location.
QString documentsFolder();

// The per-user data location joined with "Velmora Video Converter" (settings files).
QString dataFolder();

// The temporary-files location joined with "Velmora Video Converter" (thumbnail cache).
QString tempFolder();

// Default output folder: documentsFolder() + "/Converted/", created one level deep.
QString defaultOutputFolder();

// "%d B" up to 1024 bytes, then "%.2f KB", "%.2f MB", "%.2f GB"; thresholds exclusive.
QString sizeText(qint64 bytes);

// "mm:ss" under one hour, else "hh:mm:ss".
QString durationText(qint64 microseconds);

} // namespace AppPaths
