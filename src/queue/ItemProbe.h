#pragma once
// Describes one source as a queue item: a media file, or one title of a DVD
// folder, disc or image. Runs on the calling thread with an engine source of
// its own, so import workers may call it; it blocks for as long as the engine
// needs to open the source (up to its 15 s limit).

#include "queue/ItemRecords.h"

#include <QString>

#include <memory>

// The record of the source at path. dvdMode opens path as a DVD and selects
// title titleIndex (0-based); otherwise path is opened as a file. A source
// the engine cannot read still gets a record (no streams, zero length).
// Null only for audiobook containers ("aa", "aax "), which are skipped.
//
// Audio lines: title or codec, a blank, "(language)" when the stream has a
// language, "[n]" (1-based). Subtitle entries: "[None]", one per embedded
// stream, "Video Internal CC", then subtitle files beside the source.
std::unique_ptr<ConverItemInfo> probeSource(const QString &path, int titleIndex, bool dvdMode);

// probeSource for an ordinary file.
inline std::unique_ptr<ConverItemInfo> probeMediaFile(const QString &path)
{
    return probeSource(path, 0, false);
}

