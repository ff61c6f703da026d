#pragma once
// Opens one media file with the engine and describes it as a queue item.
//
// This is the synchronous stand-in the queue uses until the import worker
// probes files on its own thread; it runs on the calling thread and blocks it
// for as long as the engine needs to open the file (up to its 15 s limit).

#include "queue/ItemRecords.h"

#include <QString>

#include <memory>

// The record of the file at path, or null when the engine cannot read it or
// finds neither a video nor an audio stream. Audio lines name the stream's
// title or codec, its language code and its number; subtitle entries follow
// the order of ConverItemInfo ("[None]", embedded streams, "Video Internal
// CC", subtitle files beside the source).
std::unique_ptr<ConverItemInfo> probeMediaFile(const QString &path);
