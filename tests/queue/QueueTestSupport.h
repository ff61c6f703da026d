#pragma once
// Shared set-up of the queue tests: a fast output format, a private output
// folder, an empty history and items made without the engine.

#include "TestTools.h"
#include "TestEnv.h"

#include "profiles/OutputFormat.h"
#include "queue/ItemRecords.h"
#include "settings/ParserXML.h"
#include "base/AppGlobals.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

namespace QueueTest {

using namespace TestTools;

// Small MPEG-4 Part 2 video in MP4: quick to encode on a loaded machine.
inline OutputFormat fastMp4()
{
    OutputFormat f;
    f.container = "MP4";
    f.ext = "mp4";
    f.videoCodec = "mp4v";
    f.videoCodecId = 13;
    f.width = 160;
    f.height = 120;
    f.frameRateNum = 25;
    f.frameRateDen = 1;
    f.videoBitRate = 300;
    f.audioCodec = "aac";
    f.audioCodecId = 86018;
    f.channels = 2;
    f.sampleRate = 44100;
    f.audioBitRate = 128;
    return f;
}

// A fresh output folder below the test's private root.
inline QString freshOutputFolder(const QString &tag)
{
    static int n = 0;
    const QString dir = TestEnv::root() + QString("/out-%1-%2/").arg(tag).arg(++n);
    QDir().mkpath(dir);
    AppGlobals::setOutputFolder(dir);
    return dir;
}

inline void clearHistory() { QFile::remove(ParserXML::convertedFilePath()); }

inline void setFormatId(const QString &id)
{
    ParserXML::readSetting("FormatSet", "Format_ID", "1101");
    ParserXML::writeSetting("FormatSet", "Format_ID", id);
}

inline void setShutdown(bool on)
{
    ParserXML::readSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", "N");
    ParserXML::writeSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", on ? "Y" : "N");
}

// An item as the import would describe it, without asking the engine.
inline ConverItemInfo *fakeItem(const QString &path, qint64 durationUs = 5000000, bool video = true,
                                bool audio = true, int w = 320, int h = 240)
{
    auto *info = new ConverItemInfo;
    info->filePath = path;
    info->hasVideo = video;
    info->hasAudio = audio;
    info->duration = durationUs;
    info->width = video ? w : 0;
    info->height = video ? h : 0;
    if (audio)
        info->audioTracks << "aac (eng)[1]";
    info->subtitles.append(subltItemInfo{"[None]", ""});
    info->subtitles.append(subltItemInfo{"Video Internal CC", ""});
    return info;
}

} // namespace QueueTest
