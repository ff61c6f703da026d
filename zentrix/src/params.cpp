#include "params.h"
#include "zentrix.h"

#include <cmath>

namespace {

// Stores a value when the set exists and the value passes its check.
template <typename T, typename V>
int store(ZxParams *set, T ZxParams::*field, V value, bool valid = true)
{
    if (!set || !valid)
        return 0;
    set->*field = value;
    return 1;
}

int storeStyle(ZxParams *set, ZxTextStyle ZxParams::*style, void (*apply)(ZxTextStyle &, int), int value,
               bool valid = true)
{
    if (!set || !valid)
        return 0;
    apply(set->*style, value);
    return 1;
}

bool isFiniteValue(double v) { return std::isfinite(v); }
const char *orEmpty(const char *s) { return s ? s : ""; }

} // namespace

extern "C" {

ZxParams *ParamsCreate(void) { return new ZxParams(); }
void ParamsRelease(ZxParams *set) { delete set; }

int SetVideoCodec(ZxParams *set, int id) { return store(set, &ZxParams::videoCodec, id); }
int SetAudioCodec(ZxParams *set, int id) { return store(set, &ZxParams::audioCodec, id); }
int SetVideoCodecOption(ZxParams *set, int option) { return store(set, &ZxParams::videoCodecOption, option); }
int SetVideoProfile(ZxParams *set, int profile) { return store(set, &ZxParams::videoProfile, profile, profile >= 0); }

int SetVideoSize(ZxParams *set, int width, int height)
{
    if (!set || width < 0 || height < 0 || width > 16384 || height > 16384)
        return 0;
    set->width = width;
    set->height = height;
    return 1;
}

int SetFrameRate(ZxParams *set, int num, int den)
{
    if (!set || num < 0 || den <= 0)
        return 0;
    set->fpsNum = num;
    set->fpsDen = den;
    return 1;
}

int SetVideoBitrate(ZxParams *set, int bps) { return store(set, &ZxParams::videoBitrate, bps, bps >= 0); }
int SetChannels(ZxParams *set, int ch) { return store(set, &ZxParams::channels, ch, ch >= 1 && ch <= 8); }
int SetSampleRate(ZxParams *set, int hz) { return store(set, &ZxParams::sampleRate, hz, hz >= 1000 && hz <= 384000); }
int SetAudioBitrate(ZxParams *set, int bps) { return store(set, &ZxParams::audioBitrate, bps, bps >= 0); }
int SetVideoQuality(ZxParams *set, int q) { return store(set, &ZxParams::videoQuality, q, q >= 0 && q <= 100); }
int SetAudioQuality(ZxParams *set, int q) { return store(set, &ZxParams::audioQuality, q, q >= 0 && q <= 100); }

int SetOutputSize(ZxParams *set, int num, int den)
{
    if (!set || num < 0 || den < 0)
        return 0;
    set->shapeNum = num;
    set->shapeDen = den;
    return 1;
}

int SetRotation(ZxParams *set, int degrees)
{
    const int d = (degrees % 360 + 360) % 360;
    return store(set, &ZxParams::rotation, d, d % 90 == 0);
}

int SetFlip(ZxParams *set, int mirrored) { return store(set, &ZxParams::flip, mirrored ? 1 : 0); }

int SetFill(ZxParams *set, int keepShape, int fillValue)
{
    if (!set)
        return 0;
    set->keepShape = keepShape ? 1 : 0;
    set->fillColor = fillValue & 0xFFFFFF;
    return 1;
}

int SetCropRect(ZxParams *set, double x, double y, double w, double h)
{
    if (!set || !isFiniteValue(x) || !isFiniteValue(y) || !isFiniteValue(w) || !isFiniteValue(h) || x < 0 || y < 0 || w <= 0 || h <= 0
        || x + w > 1.0 + 1e-6 || y + h > 1.0 + 1e-6)
        return 0;
    set->crop = ZxCrop{x, y, w, h};
    return 1;
}

int SetVolume(ZxParams *set, int v) { return store(set, &ZxParams::volume, v, v >= 0 && v <= 200); }
int SetEffectReserved(ZxParams *set, int v) { return store(set, &ZxParams::effectReserved, v); }
int SetBrightness(ZxParams *set, int v) { return store(set, &ZxParams::brightness, v, v >= -235 && v <= 235); }
int SetSaturation(ZxParams *set, int v) { return store(set, &ZxParams::saturation, v, v >= 0 && v <= 200); }
int SetContrast(ZxParams *set, int v) { return store(set, &ZxParams::contrast, v, v >= 0 && v <= 200); }
int SetHue(ZxParams *set, int v) { return store(set, &ZxParams::hue, v, v >= -180 && v <= 180); }
int SetDeinterlace(ZxParams *set, int mode) { return store(set, &ZxParams::deinterlace, mode, mode >= 0 && mode <= 2); }
int SetStreamCopy(ZxParams *set, int mode) { return store(set, &ZxParams::streamCopy, mode, mode >= 0 && mode <= 2); }

int SetTitle(ZxParams *set, int title) { return store(set, &ZxParams::dvdTitle, title, title >= 0); }
int SetAudioTrack(ZxParams *set, int index) { return store(set, &ZxParams::audioTrack, index); }
int SetSubtitleStream(ZxParams *set, int index) { return store(set, &ZxParams::subtitleStream, index, index >= -1); }
int SetClosedCaptions(ZxParams *set, int on) { return store(set, &ZxParams::closedCaptions, on ? 1 : 0); }
int SetSubtitleFile(ZxParams *set, const char *path) { return store(set, &ZxParams::subtitleFile, std::string(orEmpty(path))); }

int SetSubtitleOpacity(ZxParams *set, int v)
{
    return storeStyle(set, &ZxParams::subtitleStyle, [](ZxTextStyle &s, int x) { s.opacity = x; }, v, v >= 0 && v <= 255);
}
int SetSubtitleScale(ZxParams *set, int x, int y)
{
    if (!set || x <= 0 || y <= 0)
        return 0;
    set->subtitleStyle.scaleX = x;
    set->subtitleStyle.scaleY = y;
    return 1;
}
int SetSubtitleTimeValue(ZxParams *set, int64_t v) { return store(set, &ZxParams::subtitleTimeValue, v); }
int SetSubtitleFont(ZxParams *set, const char *family)
{
    if (!set)
        return 0;
    set->subtitleStyle.font = orEmpty(family);
    return 1;
}
int SetSubtitleBold(ZxParams *set, int on) { return storeStyle(set, &ZxParams::subtitleStyle, [](ZxTextStyle &s, int x) { s.bold = x != 0; }, on); }
int SetSubtitleItalic(ZxParams *set, int on) { return storeStyle(set, &ZxParams::subtitleStyle, [](ZxTextStyle &s, int x) { s.italic = x != 0; }, on); }
int SetSubtitleUnderline(ZxParams *set, int on) { return storeStyle(set, &ZxParams::subtitleStyle, [](ZxTextStyle &s, int x) { s.underline = x != 0; }, on); }
int SetSubtitleStrikeOut(ZxParams *set, int on) { return storeStyle(set, &ZxParams::subtitleStyle, [](ZxTextStyle &s, int x) { s.strikeOut = x != 0; }, on); }
int SetSubtitleFontSize(ZxParams *set, int pt) { return storeStyle(set, &ZxParams::subtitleStyle, [](ZxTextStyle &s, int x) { s.fontSize = x; }, pt, pt > 0); }
int SetSubtitleColor(ZxParams *set, uint32_t c) { if (!set) return 0; set->subtitleStyle.color = c; return 1; }
int SetSubtitleColor2(ZxParams *set, uint32_t c) { if (!set) return 0; set->subtitleStyle.color2 = c; return 1; }
int SetSubtitleColor3(ZxParams *set, uint32_t c) { if (!set) return 0; set->subtitleStyle.color3 = c; return 1; }
int SetSubtitleAnchorX(ZxParams *set, double f) { if (!set || !isFiniteValue(f)) return 0; set->subtitleStyle.anchorX = f; return 1; }
int SetSubtitleAnchorY(ZxParams *set, double f) { if (!set || !isFiniteValue(f)) return 0; set->subtitleStyle.anchorY = f; return 1; }

int SetWatermarkText(ZxParams *set, const char *text) { return store(set, &ZxParams::watermarkText, std::string(orEmpty(text))); }
int SetWatermarkFont(ZxParams *set, const char *family)
{
    if (!set)
        return 0;
    set->watermarkStyle.font = orEmpty(family);
    return 1;
}
int SetWatermarkImage(ZxParams *set, const char *path) { return store(set, &ZxParams::watermarkImage, std::string(orEmpty(path))); }
int SetWatermarkOption(ZxParams *set, int v) { return store(set, &ZxParams::watermarkOption, v); }
int SetWatermarkImageMode(ZxParams *set, int v) { return store(set, &ZxParams::watermarkImageMode, v); }
int SetWatermarkTextOpacity(ZxParams *set, int v)
{
    return storeStyle(set, &ZxParams::watermarkStyle, [](ZxTextStyle &s, int x) { s.opacity = x; }, v, v >= 0 && v <= 255);
}
int SetWatermarkTextScale(ZxParams *set, int x, int y)
{
    if (!set || x <= 0 || y <= 0)
        return 0;
    set->watermarkStyle.scaleX = x;
    set->watermarkStyle.scaleY = y;
    return 1;
}
int SetWatermarkFontSize(ZxParams *set, int pt) { return storeStyle(set, &ZxParams::watermarkStyle, [](ZxTextStyle &s, int x) { s.fontSize = x; }, pt, pt > 0); }
int SetWatermarkBold(ZxParams *set, int on) { return storeStyle(set, &ZxParams::watermarkStyle, [](ZxTextStyle &s, int x) { s.bold = x != 0; }, on); }
int SetWatermarkItalic(ZxParams *set, int on) { return storeStyle(set, &ZxParams::watermarkStyle, [](ZxTextStyle &s, int x) { s.italic = x != 0; }, on); }
int SetWatermarkUnderline(ZxParams *set, int on) { return storeStyle(set, &ZxParams::watermarkStyle, [](ZxTextStyle &s, int x) { s.underline = x != 0; }, on); }
int SetWatermarkStrikeOut(ZxParams *set, int on) { return storeStyle(set, &ZxParams::watermarkStyle, [](ZxTextStyle &s, int x) { s.strikeOut = x != 0; }, on); }
int SetWatermarkColor(ZxParams *set, uint32_t c) { if (!set) return 0; set->watermarkStyle.color = c; return 1; }
int SetWatermarkColor2(ZxParams *set, uint32_t c) { if (!set) return 0; set->watermarkStyle.color2 = c; return 1; }
int SetWatermarkColor3(ZxParams *set, uint32_t c) { if (!set) return 0; set->watermarkStyle.color3 = c; return 1; }
int SetWatermarkAnchorX(ZxParams *set, double f) { if (!set || !isFiniteValue(f)) return 0; set->watermarkStyle.anchorX = f; return 1; }
int SetWatermarkAnchorY(ZxParams *set, double f) { if (!set || !isFiniteValue(f)) return 0; set->watermarkStyle.anchorY = f; return 1; }
int SetWatermarkTextPos(ZxParams *set, double x, double y)
{
    if (!set || !isFiniteValue(x) || !isFiniteValue(y))
        return 0;
    set->watermarkTextX = x;
    set->watermarkTextY = y;
    return 1;
}
int SetWatermarkActiveLayer(ZxParams *set, int layer) { return store(set, &ZxParams::watermarkActiveLayer, layer); }
int SetWatermarkImageOpacity(ZxParams *set, int v) { return store(set, &ZxParams::watermarkImageOpacity, v, v >= 0 && v <= 255); }
int SetWatermarkImageScale(ZxParams *set, int x, int y)
{
    if (!set || x <= 0 || y <= 0)
        return 0;
    set->watermarkImageScaleX = x;
    set->watermarkImageScaleY = y;
    return 1;
}
int SetWatermarkImagePos(ZxParams *set, double x, double y)
{
    if (!set || !isFiniteValue(x) || !isFiniteValue(y))
        return 0;
    set->watermarkImageX = x;
    set->watermarkImageY = y;
    return 1;
}

} // extern "C"
