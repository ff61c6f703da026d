#pragma once
// Plain records kept in the user's settings files by ParserXML.

#include <QString>

// The user's own encoder parameters of one output format, kept in
// "VideoDefaultFormatSetting.xml". The texts are the entries the custom
// parameters dialog shows; the video ones stay empty for audio-only formats.
struct FormatCustomSettings
{
    bool onlyAudio = false;
    QString videoEncoder;
    QString videoResolution;
    QString videoFrameRate;
    QString videoBitRate;
    QString audioEncoder;
    QString audioChannel;
    QString audioSampleRate;
    QString audioBitRate;

    friend bool operator==(const FormatCustomSettings &a, const FormatCustomSettings &b)
    {
        return a.onlyAudio == b.onlyAudio && a.videoEncoder == b.videoEncoder
            && a.videoResolution == b.videoResolution && a.videoFrameRate == b.videoFrameRate
            && a.videoBitRate == b.videoBitRate && a.audioEncoder == b.audioEncoder
            && a.audioChannel == b.audioChannel && a.audioSampleRate == b.audioSampleRate
            && a.audioBitRate == b.audioBitRate;
    }
    friend bool operator!=(const FormatCustomSettings &a, const FormatCustomSettings &b) { return !(a == b); }
};

// One entry of the converted-files history ("VideoConverted.xml"); all texts
// are stored as the queue row formatted them for display.
struct ConvertedFileInfo
{
    QString imgPath;        // thumbnail image of the source
    QString convertedPath;  // the output file; the key of the entry
    QString resolution;     // "%1*%2"
    QString time;           // "mm:ss" or "hh:mm:ss"
    QString size;           // "%.2f KB", "%.2f MB" or "%.2f GB"
    QString extend;         // output file extension

    friend bool operator==(const ConvertedFileInfo &a, const ConvertedFileInfo &b)
    {
        return a.imgPath == b.imgPath && a.convertedPath == b.convertedPath
            && a.resolution == b.resolution && a.time == b.time && a.size == b.size
            && a.extend == b.extend;
    }
    friend bool operator!=(const ConvertedFileInfo &a, const ConvertedFileInfo &b) { return !(a == b); }
};
