#include "ZxParamSet.h"

#include <algorithm>
#include <climits>

namespace {

int clampInt(int64_t v) { return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }
uint32_t argb(int64_t v) { return uint32_t(v); }

int apply(ZxParams *set, const ParamStep &s)
{
    const int a = clampInt(s.a);
    const int b = clampInt(s.b);
    const char *t = s.text.c_str();
    switch (s.setter) {
    case ParamSetter::VideoCodec: return SetVideoCodec(set, a);
    case ParamSetter::AudioCodec: return SetAudioCodec(set, a);
    case ParamSetter::VideoCodecOption: return SetVideoCodecOption(set, a);
    case ParamSetter::VideoProfile: return SetVideoProfile(set, a);
    case ParamSetter::VideoSize: return SetVideoSize(set, a, b);
    case ParamSetter::FrameRate: return SetFrameRate(set, a, b);
    case ParamSetter::VideoBitrate: return SetVideoBitrate(set, a);
    case ParamSetter::Channels: return SetChannels(set, a);
    case ParamSetter::SampleRate: return SetSampleRate(set, a);
    case ParamSetter::AudioBitrate: return SetAudioBitrate(set, a);
    case ParamSetter::VideoQuality: return SetVideoQuality(set, a);
    case ParamSetter::AudioQuality: return SetAudioQuality(set, a);
    case ParamSetter::OutputSize: return SetOutputSize(set, a, b);
    case ParamSetter::Rotation: return SetRotation(set, a);
    case ParamSetter::Flip: return SetFlip(set, a);
    case ParamSetter::Fill: return SetFill(set, a, b);
    case ParamSetter::CropRect: return SetCropRect(set, s.x, s.y, s.w, s.h);
    case ParamSetter::Volume: return SetVolume(set, a);
    case ParamSetter::EffectReserved: return SetEffectReserved(set, a);
    case ParamSetter::Brightness: return SetBrightness(set, a);
    case ParamSetter::Saturation: return SetSaturation(set, a);
    case ParamSetter::Contrast: return SetContrast(set, a);
    case ParamSetter::Hue: return SetHue(set, a);
    case ParamSetter::Title: return SetTitle(set, a);
    case ParamSetter::AudioTrack: return SetAudioTrack(set, a);
    case ParamSetter::SubtitleStream: return SetSubtitleStream(set, a);
    case ParamSetter::ClosedCaptions: return SetClosedCaptions(set, a);
    case ParamSetter::SubtitleFile: return SetSubtitleFile(set, t);
    case ParamSetter::SubtitleOpacity: return SetSubtitleOpacity(set, a);
    case ParamSetter::SubtitleScale: return SetSubtitleScale(set, a, b);
    case ParamSetter::SubtitleTimeValue: return SetSubtitleTimeValue(set, s.a);
    case ParamSetter::SubtitleFont: return SetSubtitleFont(set, t);
    case ParamSetter::SubtitleBold: return SetSubtitleBold(set, a);
    case ParamSetter::SubtitleItalic: return SetSubtitleItalic(set, a);
    case ParamSetter::SubtitleUnderline: return SetSubtitleUnderline(set, a);
    case ParamSetter::SubtitleStrikeOut: return SetSubtitleStrikeOut(set, a);
    case ParamSetter::SubtitleFontSize: return SetSubtitleFontSize(set, a);
    case ParamSetter::SubtitleColor: return SetSubtitleColor(set, argb(s.a));
    case ParamSetter::SubtitleColor2: return SetSubtitleColor2(set, argb(s.a));
    case ParamSetter::SubtitleColor3: return SetSubtitleColor3(set, argb(s.a));
    case ParamSetter::SubtitleAnchorX: return SetSubtitleAnchorX(set, s.x);
    case ParamSetter::SubtitleAnchorY: return SetSubtitleAnchorY(set, s.x);
    case ParamSetter::WatermarkText: return SetWatermarkText(set, t);
    case ParamSetter::WatermarkFont: return SetWatermarkFont(set, t);
    case ParamSetter::WatermarkImage: return SetWatermarkImage(set, t);
    case ParamSetter::WatermarkOption: return SetWatermarkOption(set, a);
    case ParamSetter::WatermarkImageMode: return SetWatermarkImageMode(set, a);
    case ParamSetter::WatermarkTextOpacity: return SetWatermarkTextOpacity(set, a);
    case ParamSetter::WatermarkTextScale: return SetWatermarkTextScale(set, a, b);
    case ParamSetter::WatermarkFontSize: return SetWatermarkFontSize(set, a);
    case ParamSetter::WatermarkBold: return SetWatermarkBold(set, a);
    case ParamSetter::WatermarkItalic: return SetWatermarkItalic(set, a);
    case ParamSetter::WatermarkUnderline: return SetWatermarkUnderline(set, a);
    case ParamSetter::WatermarkStrikeOut: return SetWatermarkStrikeOut(set, a);
    case ParamSetter::WatermarkColor: return SetWatermarkColor(set, argb(s.a));
    case ParamSetter::WatermarkColor2: return SetWatermarkColor2(set, argb(s.a));
    case ParamSetter::WatermarkColor3: return SetWatermarkColor3(set, argb(s.a));
    case ParamSetter::WatermarkAnchorX: return SetWatermarkAnchorX(set, s.x);
    case ParamSetter::WatermarkAnchorY: return SetWatermarkAnchorY(set, s.x);
    case ParamSetter::WatermarkTextPos: return SetWatermarkTextPos(set, s.x, s.y);
    case ParamSetter::WatermarkActiveLayer: return SetWatermarkActiveLayer(set, a);
    case ParamSetter::WatermarkImageOpacity: return SetWatermarkImageOpacity(set, a);
    case ParamSetter::WatermarkImageScale: return SetWatermarkImageScale(set, a, b);
    case ParamSetter::WatermarkImagePos: return SetWatermarkImagePos(set, s.x, s.y);
    case ParamSetter::StreamCopy: return SetStreamCopy(set, a);
    }
    return 0;
}

} // namespace

zxh::ParamsPtr createParamSet(const ParamPlan &plan, std::string *refused)
{
    zxh::ParamsPtr set(ParamsCreate());
    if (!set)
        return set;
    for (const ParamStep &step : plan) {
        if (apply(set.get(), step) != 1 && refused) {
            if (!refused->empty())
                refused->append(", ");
            refused->append(paramSetterName(step.setter));
        }
    }
    return set;
}
