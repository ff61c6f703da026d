#pragma once
// The output parameters of the next conversion, and the step that derives
// them from the catalogue and the entries chosen in the parameter panel.

#include <QMetaType>
#include <QString>

enum VideoQuality : int32_t {
    VideoQualitySmallSize = 0,   // "Small Size", the default
    VideoQualityHigh = 1,        // "High Quality"
    VideoQualityCustomized = 2   // "Customized"
};

Q_DECLARE_METATYPE(VideoQuality)

class ProfileCatalog;

// The entries of the parameter panel when it is applied: the raw codes of the
// encoder combos and the channel count, the texts of the other combos.
struct OutputChoice
{
    QString category;
    QString formatId;
    int quality = 0; // VideoQuality: 0 "Small Size", 1 "High Quality", 2 "Customized"
    bool audioOnly = false;
    QString videoEncoder; // code, or "Auto" / "Original" / "Smart Fit" / ""
    QString resolution;   // "1280*720" or "Auto"
    QString frameRate;    // "29.97 fps" or "Auto"
    QString videoBitRate; // "3000 kbps" or "Auto"
    QString audioEncoder;
    QString channel; // "2" or "Auto"
    QString sampleRate;   // "44100 HZ" or "Auto"
    QString audioBitRate; // "128 kbps" or "Auto"
};

struct OutputFormat
{
    bool audioOnly = false;   // no video stream is produced
    int quality = 50;         // 90 for "High Quality", else 50
    QString container;        // multiplexer name
    QString ext;              // output file extension
    QString videoCodec;       // four-character code; "" when audio-only
    int videoCodecId = -1;    // engine codec number; -1 when videoCodec is ""
    int videoProfile = 0;     // the format's "videoprofile" (2: H.265 Main 10); 0 = the codec's usual
    int width = 0;            // 0 x 0 keeps the source size
    int height = 0;
    int frameRateNum = 0;     // 0 keeps the source rate
    int frameRateDen = 1;
    int videoBitRate = 0;     // kbit/s; 0 for none
    QString audioCodec;
    int audioCodecId = -1;
    int channels = 0;
    int sampleRate = 0;       // Hz
    int audioBitRate = 0;     // kbit/s
    bool sameQuality = false; // streams that fit are copied, the rest keep the source's format

    // The process-wide record read by the queue rows, the edit dialog and the
    // player. GUI thread only.
    static OutputFormat &instance();

    // The apply step: the parameters that the chosen entries stand for, with
    // automatic entries resolved through the catalogue's defaults.
    static OutputFormat fromChoice(const ProfileCatalog &catalog, const OutputChoice &choice);

    // fromChoice, stored as instance().
    static void apply(const ProfileCatalog &catalog, const OutputChoice &choice);
};
