#pragma once
// Qt meta-types of the edit records, for the signals that carry them between
// the queue rows, the queue list and the edit dialog.

#include <QMetaType>

#include "engine/EditRecords.h"

Q_DECLARE_METATYPE(subltItemInfo)
Q_DECLARE_METATYPE(CropSettings)
Q_DECLARE_METATYPE(EffectSettings)
Q_DECLARE_METATYPE(WatermarkTextSettings)
Q_DECLARE_METATYPE(WatermarkImageSettings)
Q_DECLARE_METATYPE(SubtitleStyleSettings)
Q_DECLARE_METATYPE(TrackSelection)
