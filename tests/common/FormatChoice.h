#pragma once
// The entries the parameter panel holds for a catalogue format under the
// "Small Size" preset, the one the program starts with.

#include "profiles/OutputFormat.h"
#include "profiles/ProfileCatalog.h"

namespace FormatChoice {

inline OutputChoice smallSize(const ProfileCatalog &catalog, const QString &category, const QString &id)
{
    const FormatParams p = catalog.params(category, id, "", "", "", "");
    // The entry a freshly filled combo shows: the wanted one when offered,
    // else the first; formats with automatic values show "Auto" first.
    const auto pick = [&](const QStringList &menu, const QString &wanted) {
        if (p.autoValues)
            return menu.value(0);
        return menu.contains(wanted) || menu.isEmpty() ? wanted : menu.first();
    };
    OutputChoice c;
    c.category = category;
    c.formatId = id;
    c.quality = VideoQualitySmallSize;
    c.audioOnly = p.audioOnly;
    c.videoEncoder = pick(p.videoEncoders, p.videoEncoder);
    c.resolution = pick(p.resolutions, p.resolution);
    c.frameRate = pick(p.frameRates, p.frameRateDefault);
    c.videoBitRate = pick(p.videoBitRates, p.videoBitRateLow);
    c.audioEncoder = pick(p.audioEncoders, p.audioEncoder);
    c.channel = pick(p.channels, p.channel);
    c.sampleRate = pick(p.sampleRates, p.sampleRateDefault);
    // The preset sets only the video bit rate; the audio one keeps the filled-in entry.
    c.audioBitRate = pick(p.audioBitRates, p.audioBitRateHigh);
    return c;
}

} // namespace FormatChoice
