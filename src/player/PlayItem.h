#pragma once
// What a queue row hands the player: the source (a file or a DVD title), the
// output frame size, the item's edits as the conversion would apply them,
// and its trim range. A plain value, so the player needs nothing of the queue.

#include "engine/ConvertParams.h"

#include <QString>

struct PlayItem {
    QString path;          // the file, or the DVD folder or image
    bool dvd = false;
    int dvdTitle = 0;      // 0-based
    int program = 0;
    int width = 0;         // output frame; 0 x 0 = the picture's own size
    int height = 0;
    ConvertParams params;  // crop, effects, watermarks, tracks, subtitle style
    qint64 rangeStart = 0; // microseconds
    qint64 rangeEnd = 0;   // 0 = to the end
};
