#pragma once
// The records of one source item. They travel between the import worker, the
// queue, the rows and the edit dialog, some of them through queued signals
// across threads, so each is a plain copyable value: strings are owned,
// nothing is shared. The edit settings themselves live beside the converter
// (engine/EditRecords.h); their meta-types are declared here, where the
// signals that carry them are.

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include "engine/EditRecordTypes.h"
#include "engine/IAVConverter.h"

#include <cstdint>
#include <string>

// One probed source: a file, or one title of a DVD.
struct ConverItemInfo {
    QString filePath;             // "/" separators; for a DVD title the DVD folder or image
    bool hasVideo = false;
    bool hasAudio = false;
    int64_t duration = 0;         // microseconds
    int32_t width = 0;            // 0 without video
    int32_t height = 0;
    int32_t displayWidth = 0;     // the width it is shown with: non-square samples applied
    QImage thumbnail;             // null when no picture could be decoded
    int32_t dvdTitle = 0;         // 0-based; 0 for ordinary files
    QStringList audioTracks;      // one display line per audio stream
    QStringList audioCodecs;      // per audio stream: codec short name ("aac"), "" when unknown
    QList<qint64> audioBitRates;  // per audio stream: bits per second, 0 when unknown
    int32_t audioIndex = 0;
    QList<subltItemInfo> subtitles;
    int32_t subtitleIndex = 0;
    int32_t subtitleStreamCount = 0; // subtitle streams inside the source
};

Q_DECLARE_METATYPE(ConverItemInfo *)
Q_DECLARE_METATYPE(convertState)

// Registers the records under the names the signals are declared with.
// Call before the first queued connection that carries one of them (the
// row's and the custom-parameter dialog's constructors do); repeating it is
// harmless.
inline void registerItemRecordTypes()
{
    qRegisterMetaType<subltItemInfo>("subltItemInfo");
    qRegisterMetaType<ConverItemInfo *>("ConverItemInfo*");
    qRegisterMetaType<CropSettings>("CropSettings");
    qRegisterMetaType<EffectSettings>("EffectSettings");
    qRegisterMetaType<WatermarkTextSettings>("WatermarkTextSettings");
    qRegisterMetaType<WatermarkImageSettings>("WatermarkImageSettings");
    qRegisterMetaType<SubtitleStyleSettings>("SubtitleStyleSettings");
    qRegisterMetaType<TrackSelection>("TrackSelection");
    qRegisterMetaType<convertState>("convertState");
}
