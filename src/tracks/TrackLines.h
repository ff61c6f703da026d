#pragma once
// The lines an item's audio and subtitle choices show, read from an open
// engine source. The import and the edit dialog build them here, so the queue
// row's combo boxes and the edit dialog's Subtitle page list the same entries
// in the same order (the conversion maps the chosen row by that order).

#include "engine/EditRecords.h"

#include <QList>
#include <QString>
#include <QStringList>

struct ZxSource;

namespace TrackLines {

// One line per audio stream: its title (or its codec name without one), a
// blank, "(language)" when the stream has a language, "[n]" (1-based).
// Leaves the last stream selected on the source.
QStringList audioLines(ZxSource *src);

// "[None]", one entry per embedded subtitle stream ("Language " then
// "(title)" then "[codec]", each when present), "Video Internal CC", then the
// subtitle files beside `path` (externalSubtitles). Leaves the last stream
// selected on the source.
QList<subltItemInfo> subtitleEntries(ZxSource *src, const QString &path, int streams);

// The subtitle files beside `path`, as entries "(base name)[TYPE]" with their
// paths, in the order ass, ssa, srt, idx, sub, smi, sami, sup, vtt, lrc.
QList<subltItemInfo> externalSubtitles(const QString &path);

// The English name of a language code, or the code itself when the language
// table does not know it.
QString languageName(const char *code);

} // namespace TrackLines
