#include "ConvertParams.h"


namespace {

ParamStep ints(ParamSetter s, int64_t a, int64_t b = 0)
{
    ParamStep step;
    step.setter = s;
    step.a = a;
    step.b = b;
    return step;
}

ParamStep reals(ParamSetter s, double x, double y = 0.0, double w = 0.0, double h = 0.0)
{
    ParamStep step;
    step.setter = s;
    step.x = x;
    step.y = y;
    step.w = w;
    step.h = h;
    return step;
}

ParamStep text(ParamSetter s, const std::string &value)
{
    ParamStep step;
    step.setter = s;
    step.text = value;
    return step;
}

ParamStep rect(ParamSetter s, const FractionRect &r) { return reals(s, r.x, r.y, r.width, r.height); }

bool quarterTurn(int32_t rotation) { return rotation % 180 != 0; }

void addGeometry(ParamPlan &plan, const ConvertParams &p)
{
    const CropSettings &c = p.crop;
    const bool fullScreen = c.ratioType == 2;
    if (fullScreen && quarterTurn(c.rotation))
        plan.push_back(ints(ParamSetter::OutputSize, c.ratioHeight, c.ratioWidth));
    else
        plan.push_back(ints(ParamSetter::OutputSize, c.ratioWidth, c.ratioHeight));
    plan.push_back(ints(ParamSetter::Rotation, c.rotation));
    plan.push_back(ints(ParamSetter::Flip, c.flip));

    const bool panScan = c.aspectLocked != 0 && c.fillMode == 1 && !fullScreen;
    if (panScan) {
        // The pan-scan part fills the whole output frame, whose shape before
        // rotation is the output size turned back.
        if (quarterTurn(c.rotation))
            plan.push_back(ints(ParamSetter::OutputSize, p.height, p.width));
        else
            plan.push_back(ints(ParamSetter::OutputSize, p.width, p.height));
        plan.push_back(ints(ParamSetter::Fill, 0, c.fillValue));
        plan.push_back(rect(ParamSetter::CropRect, c.panScanRect));
    } else {
        // Only "Full Screen" stretches the picture to the frame. Every other
        // choice, the untouched item's too, keeps the shape the picture is
        // shown with and borders it, as the preview draws it: a portrait
        // phone clip or a 4:3 title in a 16:9 frame is never squeezed.
        plan.push_back(ints(ParamSetter::Fill, fullScreen ? 0 : 1, c.fillValue));
        plan.push_back(rect(ParamSetter::CropRect, c.cropRect));
    }
}

void addSubtitleChoice(ParamPlan &plan, const ConvertParams &p)
{
    // Entry order: 0 none, 1..n embedded streams, n + 1 closed captions,
    // then external files.
    const int32_t n = p.subtitleStreamCount;
    const int32_t s = p.subtitleIndex;
    if (s <= 0)
        plan.push_back(ints(ParamSetter::SubtitleStream, -1));
    else if (s <= n)
        plan.push_back(ints(ParamSetter::SubtitleStream, s - 1));
    else if (s == n + 1)
        plan.push_back(ints(ParamSetter::ClosedCaptions, 1));
    else if (!p.subtitleFile.empty())
        plan.push_back(text(ParamSetter::SubtitleFile, p.subtitleFile));
    else
        plan.push_back(ints(ParamSetter::SubtitleStream, -1)); // an external entry without a file
}

void addSubtitleStyle(ParamPlan &plan, const SubtitleStyleSettings &st)
{
    plan.push_back(ints(ParamSetter::SubtitleOpacity, st.opacity));
    plan.push_back(ints(ParamSetter::SubtitleScale, st.scaleX, st.scaleY));
    plan.push_back(ints(ParamSetter::SubtitleTimeValue, int64_t(st.timeValue) * 1000));
    plan.push_back(text(ParamSetter::SubtitleFont, engineFontFamily(st.fontFamily)));
    plan.push_back(ints(ParamSetter::SubtitleBold, st.bold));
    plan.push_back(ints(ParamSetter::SubtitleItalic, st.italic));
    plan.push_back(ints(ParamSetter::SubtitleUnderline, st.underline));
    plan.push_back(ints(ParamSetter::SubtitleStrikeOut, st.strikeOut));
    plan.push_back(ints(ParamSetter::SubtitleFontSize, st.pointSize));
    plan.push_back(ints(ParamSetter::SubtitleColor, st.color));
    plan.push_back(ints(ParamSetter::SubtitleColor2, st.color2));
    plan.push_back(ints(ParamSetter::SubtitleColor3, st.color3));
    plan.push_back(reals(ParamSetter::SubtitleAnchorX, st.anchorX / 1000.0));
    plan.push_back(reals(ParamSetter::SubtitleAnchorY, st.anchorY / 1000.0));
}

void addWatermarks(ParamPlan &plan, const WatermarkTextSettings &t, const WatermarkImageSettings &i)
{
    if (!t.text.empty())
        plan.push_back(text(ParamSetter::WatermarkText, t.text));
    plan.push_back(text(ParamSetter::WatermarkFont, engineFontFamily(t.fontFamily)));
    if (!i.imagePath.empty())
        plan.push_back(text(ParamSetter::WatermarkImage, i.imagePath));
    plan.push_back(ints(ParamSetter::WatermarkOption, 1));
    plan.push_back(ints(ParamSetter::WatermarkImageMode, i.mode));
    plan.push_back(ints(ParamSetter::WatermarkTextOpacity, t.opacity));
    plan.push_back(ints(ParamSetter::WatermarkTextScale, t.scaleX, t.scaleY));
    plan.push_back(ints(ParamSetter::WatermarkFontSize, t.pointSize));
    plan.push_back(ints(ParamSetter::WatermarkBold, t.bold));
    plan.push_back(ints(ParamSetter::WatermarkItalic, t.italic));
    plan.push_back(ints(ParamSetter::WatermarkUnderline, t.underline));
    plan.push_back(ints(ParamSetter::WatermarkStrikeOut, t.strikeOut));
    plan.push_back(ints(ParamSetter::WatermarkColor, t.color));
    plan.push_back(ints(ParamSetter::WatermarkColor2, t.color2));
    plan.push_back(ints(ParamSetter::WatermarkColor3, t.color3));
    plan.push_back(reals(ParamSetter::WatermarkAnchorX, t.anchorX / 1000.0));
    plan.push_back(reals(ParamSetter::WatermarkAnchorY, t.anchorY / 1000.0));
    plan.push_back(reals(ParamSetter::WatermarkTextPos, t.posX / 1000.0, t.posY / 1000.0));
    plan.push_back(ints(ParamSetter::WatermarkActiveLayer, t.activeLayer));
    plan.push_back(ints(ParamSetter::WatermarkImageOpacity, i.opacity));
    plan.push_back(ints(ParamSetter::WatermarkImageScale, i.scaleX, i.scaleY));
    plan.push_back(reals(ParamSetter::WatermarkImagePos, i.posX / 1000.0, i.posY / 1000.0));
}

} // namespace

std::string engineFontFamily(const std::string &family)
{
    if (!family.empty() && family.front() == '@')
        return family.substr(1);
    return family;
}

bool operator==(const ParamStep &l, const ParamStep &r)
{
    return l.setter == r.setter && l.a == r.a && l.b == r.b && l.x == r.x && l.y == r.y
        && l.w == r.w && l.h == r.h && l.text == r.text;
}

ParamPlan buildParamPlan(const ConvertParams &p)
{
    ParamPlan plan;
    plan.reserve(80);

    plan.push_back(ints(ParamSetter::VideoCodec, p.videoCodecId));
    plan.push_back(ints(ParamSetter::AudioCodec, p.audioCodecId));
    if (p.videoCodecId == kCodecH264) {
        plan.push_back(ints(ParamSetter::VideoCodecOption, 2));
        plan.push_back(ints(ParamSetter::VideoProfile, 66));
    } else if (p.videoCodecId == kCodecH265) {
        plan.push_back(ints(ParamSetter::VideoCodecOption, 2));
        plan.push_back(ints(ParamSetter::VideoProfile, p.videoProfile > 0 ? p.videoProfile : 1));
    }
    if (p.width > 0 && p.height > 0)
        plan.push_back(ints(ParamSetter::VideoSize, p.width, p.height));
    if (p.frameRateNum > 0)
        plan.push_back(ints(ParamSetter::FrameRate, p.frameRateNum, p.frameRateDen));
    if (p.videoBitRate > 0)
        plan.push_back(ints(ParamSetter::VideoBitrate, int64_t(p.videoBitRate) * 1000));
    plan.push_back(ints(ParamSetter::Channels, p.channels != 0 ? p.channels : 2));
    plan.push_back(ints(ParamSetter::SampleRate, p.sampleRate != 0 ? p.sampleRate : 44100));
    if (p.audioBitRate > 0)
        plan.push_back(ints(ParamSetter::AudioBitrate, int64_t(p.audioBitRate) * 1000));
    plan.push_back(ints(ParamSetter::VideoQuality, p.videoQuality));
    plan.push_back(ints(ParamSetter::AudioQuality, p.audioQuality));
    if (p.streamCopy != 1)
        plan.push_back(ints(ParamSetter::StreamCopy, p.streamCopy));

    addGeometry(plan, p);

    const EffectSettings &e = p.effects;
    plan.push_back(ints(ParamSetter::Volume, e.volume));
    plan.push_back(ints(ParamSetter::EffectReserved, e.reserved));
    plan.push_back(ints(ParamSetter::Brightness, e.brightness));
    plan.push_back(ints(ParamSetter::Saturation, e.saturation));
    plan.push_back(ints(ParamSetter::Contrast, e.contrast));
    plan.push_back(ints(ParamSetter::Hue, e.hue));

    plan.push_back(ints(ParamSetter::Title, p.dvdTitle));
    plan.push_back(ints(ParamSetter::AudioTrack, p.audioIndex));
    addSubtitleChoice(plan, p);
    addSubtitleStyle(plan, p.subtitleStyle);
    addWatermarks(plan, p.textWatermark, p.imageWatermark);
    return plan;
}

const char *paramSetterName(ParamSetter s)
{
    switch (s) {
    case ParamSetter::VideoCodec: return "VideoCodec";
    case ParamSetter::AudioCodec: return "AudioCodec";
    case ParamSetter::VideoCodecOption: return "VideoCodecOption";
    case ParamSetter::VideoProfile: return "VideoProfile";
    case ParamSetter::VideoSize: return "VideoSize";
    case ParamSetter::FrameRate: return "FrameRate";
    case ParamSetter::VideoBitrate: return "VideoBitrate";
    case ParamSetter::Channels: return "Channels";
    case ParamSetter::SampleRate: return "SampleRate";
    case ParamSetter::AudioBitrate: return "AudioBitrate";
    case ParamSetter::VideoQuality: return "VideoQuality";
    case ParamSetter::AudioQuality: return "AudioQuality";
    case ParamSetter::OutputSize: return "OutputSize";
    case ParamSetter::Rotation: return "Rotation";
    case ParamSetter::Flip: return "Flip";
    case ParamSetter::Fill: return "Fill";
    case ParamSetter::CropRect: return "CropRect";
    case ParamSetter::Volume: return "Volume";
    case ParamSetter::EffectReserved: return "EffectReserved";
    case ParamSetter::Brightness: return "Brightness";
    case ParamSetter::Saturation: return "Saturation";
    case ParamSetter::Contrast: return "Contrast";
    case ParamSetter::Hue: return "Hue";
    case ParamSetter::Title: return "Title";
    case ParamSetter::AudioTrack: return "AudioTrack";
    case ParamSetter::SubtitleStream: return "SubtitleStream";
    case ParamSetter::ClosedCaptions: return "ClosedCaptions";
    case ParamSetter::SubtitleFile: return "SubtitleFile";
    case ParamSetter::SubtitleOpacity: return "SubtitleOpacity";
    case ParamSetter::SubtitleScale: return "SubtitleScale";
    case ParamSetter::SubtitleTimeValue: return "SubtitleTimeValue";
    case ParamSetter::SubtitleFont: return "SubtitleFont";
    case ParamSetter::SubtitleBold: return "SubtitleBold";
    case ParamSetter::SubtitleItalic: return "SubtitleItalic";
    case ParamSetter::SubtitleUnderline: return "SubtitleUnderline";
    case ParamSetter::SubtitleStrikeOut: return "SubtitleStrikeOut";
    case ParamSetter::SubtitleFontSize: return "SubtitleFontSize";
    case ParamSetter::SubtitleColor: return "SubtitleColor";
    case ParamSetter::SubtitleColor2: return "SubtitleColor2";
    case ParamSetter::SubtitleColor3: return "SubtitleColor3";
    case ParamSetter::SubtitleAnchorX: return "SubtitleAnchorX";
    case ParamSetter::SubtitleAnchorY: return "SubtitleAnchorY";
    case ParamSetter::WatermarkText: return "WatermarkText";
    case ParamSetter::WatermarkFont: return "WatermarkFont";
    case ParamSetter::WatermarkImage: return "WatermarkImage";
    case ParamSetter::WatermarkOption: return "WatermarkOption";
    case ParamSetter::WatermarkImageMode: return "WatermarkImageMode";
    case ParamSetter::WatermarkTextOpacity: return "WatermarkTextOpacity";
    case ParamSetter::WatermarkTextScale: return "WatermarkTextScale";
    case ParamSetter::WatermarkFontSize: return "WatermarkFontSize";
    case ParamSetter::WatermarkBold: return "WatermarkBold";
    case ParamSetter::WatermarkItalic: return "WatermarkItalic";
    case ParamSetter::WatermarkUnderline: return "WatermarkUnderline";
    case ParamSetter::WatermarkStrikeOut: return "WatermarkStrikeOut";
    case ParamSetter::WatermarkColor: return "WatermarkColor";
    case ParamSetter::WatermarkColor2: return "WatermarkColor2";
    case ParamSetter::WatermarkColor3: return "WatermarkColor3";
    case ParamSetter::WatermarkAnchorX: return "WatermarkAnchorX";
    case ParamSetter::WatermarkAnchorY: return "WatermarkAnchorY";
    case ParamSetter::WatermarkTextPos: return "WatermarkTextPos";
    case ParamSetter::WatermarkActiveLayer: return "WatermarkActiveLayer";
    case ParamSetter::WatermarkImageOpacity: return "WatermarkImageOpacity";
    case ParamSetter::WatermarkImageScale: return "WatermarkImageScale";
    case ParamSetter::WatermarkImagePos: return "WatermarkImagePos";
    case ParamSetter::StreamCopy: return "StreamCopy";
    }
    return "?";
}
