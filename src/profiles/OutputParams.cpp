#include "OutputParams.h"

#include "OutputFormat.h"

ConvertParams outputParams(const OutputFormat &f, int sourceWidth, int sourceHeight)
{
    ConvertParams p;
    p.container = f.container.toLower().toStdString();
    p.videoCodecId = f.audioOnly ? -1 : f.videoCodecId;
    p.videoProfile = f.audioOnly ? 0 : f.videoProfile;
    if (!f.audioOnly) {
        const bool own = f.width > 0 && f.height > 0;
        p.width = own ? f.width : sourceWidth;
        p.height = own ? f.height : sourceHeight;
    }
    p.frameRateNum = f.frameRateNum;
    p.frameRateDen = f.frameRateDen;
    p.videoBitRate = f.videoBitRate;
    p.videoQuality = f.quality;
    p.audioCodecId = f.audioCodecId;
    p.sampleRate = f.sampleRate;
    p.channels = f.channels;
    p.audioBitRate = f.audioBitRate;
    p.audioQuality = f.quality;
    p.streamCopy = f.sameQuality ? 2 : 1;
    return p;
}
