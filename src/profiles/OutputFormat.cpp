#include "profiles/OutputFormat.h"

#include "profiles/ProfileCatalog.h"

namespace {

bool isAutomatic(const QString &text)
{
    return text == QLatin1String("Original") || text == QLatin1String("Auto")
           || text == QLatin1String("Smart Fit");
}

// The decimal number at the start of text (after blanks); none gives 0.
double leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    int end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('+') || t[end] == QLatin1Char('-')))
        ++end;
    bool point = false;
    for (; end < t.size(); ++end) {
        if (t[end] == QLatin1Char('.') && !point)
            point = true;
        else if (t[end] < QLatin1Char('0') || t[end] > QLatin1Char('9'))
            break;
    }
    return t.left(end).toDouble(); // "", "-" or "." give 0
}

int toInt(double v)
{
    // Catalogue numbers are small; anything beyond an int is nonsense, not a wrap.
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return int(v);
}

// The number in front of the first marker character; no marker gives 0.
int numberBefore(const QString &text, QChar marker)
{
    const int at = text.indexOf(marker);
    return at < 0 ? 0 : toInt(leadingNumber(text.left(at)));
}

QString byPreset(int quality, const QString &low, const QString &high, const QString &standard)
{
    if (quality == 1)
        return high;
    if (quality == 0)
        return low;
    return standard;
}

} // namespace

OutputFormat &OutputFormat::instance()
{
    static OutputFormat format;
    return format;
}

OutputFormat OutputFormat::fromChoice(const ProfileCatalog &catalog, const OutputChoice &choice)
{
    // Every automatic entry asks for the default; the catalogue knows only "Auto".
    const auto asked = [](const QString &entry) {
        return isAutomatic(entry) ? QStringLiteral("Auto") : entry;
    };
    const FormatParams p = catalog.params(choice.category, choice.formatId, asked(choice.videoEncoder),
                                          asked(choice.resolution), asked(choice.audioEncoder),
                                          asked(choice.channel));
    OutputFormat f;
    f.ext = catalog.baseInfo(choice.category, choice.formatId, QStringLiteral("ext"));
    f.container = ProfileCatalog::containerName(f.ext);
    f.audioOnly = choice.audioOnly;
    f.sameQuality = catalog.baseInfo(choice.category, choice.formatId, QStringLiteral("streamcopy")) == QLatin1String("1");
    f.quality = choice.quality == 1 ? 90 : 50;

    if (f.audioOnly) {
        f.videoCodec.clear();
        f.videoCodecId = -1;
        f.width = f.height = 0;
        f.frameRateNum = 0;
        f.videoBitRate = 0;
    } else {
        f.videoCodec = choice.videoEncoder;
        if (f.videoCodec.isEmpty() || isAutomatic(f.videoCodec))
            f.videoCodec = p.videoEncoder;
        f.videoCodecId = f.videoCodec.isEmpty() ? -1 : ProfileCatalog::codecId(f.videoCodec);
        f.videoProfile = catalog.baseInfo(choice.category, choice.formatId, QStringLiteral("videoprofile")).toInt();

        const int star = choice.resolution.indexOf(QLatin1Char('*'));
        if (star >= 0) {
            f.width = toInt(leadingNumber(choice.resolution.left(star)));
            f.height = toInt(leadingNumber(choice.resolution.mid(star + 1)));
        }

        const QString frameText = isAutomatic(choice.frameRate) ? p.frameRateDefault : choice.frameRate;
        const int n = toInt(leadingNumber(frameText.left(frameText.indexOf(QLatin1Char('f')))));
        // The NTSC family is stored by its integer part: 23.976, 29.97, 59.94.
        if (n == 23) {
            f.frameRateNum = 24000;
            f.frameRateDen = 1001;
        } else if (n == 29) {
            f.frameRateNum = 30000;
            f.frameRateDen = 1001;
        } else if (n == 59) {
            f.frameRateNum = 60000;
            f.frameRateDen = 1001;
        } else {
            f.frameRateNum = n;
            f.frameRateDen = 1;
        }

        const QString rateText = isAutomatic(choice.videoBitRate)
                                     ? byPreset(choice.quality, p.videoBitRateLow,
                                                p.videoBitRateHigh, p.videoBitRateDefault)
                                     : choice.videoBitRate;
        f.videoBitRate = numberBefore(rateText, QLatin1Char('k'));
    }

    f.audioCodec = choice.audioEncoder;
    if (f.audioCodec.isEmpty() || isAutomatic(f.audioCodec))
        f.audioCodec = p.audioEncoder;
    f.audioCodecId = f.audioCodec.isEmpty() ? -1 : ProfileCatalog::codecId(f.audioCodec);

    f.channels = toInt(leadingNumber(isAutomatic(choice.channel) ? p.channel : choice.channel));
    f.sampleRate = numberBefore(isAutomatic(choice.sampleRate) ? p.sampleRateDefault : choice.sampleRate,
                                QLatin1Char('H'));
    const QString audioRate = isAutomatic(choice.audioBitRate)
                                  ? byPreset(choice.quality, p.audioBitRateLow, p.audioBitRateHigh,
                                             p.audioBitRateDefault)
                                  : choice.audioBitRate;
    f.audioBitRate = numberBefore(audioRate, QLatin1Char('k'));
    return f;
}

void OutputFormat::apply(const ProfileCatalog &catalog, const OutputChoice &choice)
{
    instance() = fromChoice(catalog, choice);
}
