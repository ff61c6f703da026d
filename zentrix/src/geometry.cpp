#include "geometry.h"

extern "C" {
#include <libavutil/display.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zx {
namespace {

int makeEven(int v, bool even) { return even ? std::max(2, v & ~1) : std::max(1, v); }
bool quarterTurn(int degrees) { return degrees == 90 || degrees == 270; }

void appendFilter(std::string &chain, const std::string &f)
{
    if (!chain.empty())
        chain += ',';
    chain += f;
}

void appendTurn(std::string &chain, int degrees)
{
    if (degrees == 90)
        appendFilter(chain, "transpose=clock");
    else if (degrees == 180)
        appendFilter(chain, "hflip,vflip");
    else if (degrees == 270)
        appendFilter(chain, "transpose=cclock");
}

} // namespace

int rotationFromDisplayMatrix(const int32_t *matrix)
{
    if (!matrix)
        return 0;
    double theta = -std::round(av_display_rotation_get(matrix));
    if (std::isnan(theta))
        return 0;
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    const int t = int(std::lround(theta)) % 360;
    // Only quarter turns are applied; other angles are left as coded.
    return (t == 90 || t == 180 || t == 270) ? t : 0;
}

Geometry computeGeometry(const ZxParams &p, const SourcePicture &src, bool evenW, bool evenH)
{
    Geometry g;
    const bool autoTurn = quarterTurn(src.autoRotation);
    g.uprightW = autoTurn ? src.height : src.width;
    g.uprightH = autoTurn ? src.width : src.height;
    long sarN = src.sarNum > 0 && src.sarDen > 0 ? src.sarNum : 1;
    long sarD = src.sarNum > 0 && src.sarDen > 0 ? src.sarDen : 1;
    if (autoTurn)
        std::swap(sarN, sarD);

    auto clamp01 = [](double v) { return std::min(1.0, std::max(0.0, v)); };
    const double cx = clamp01(p.crop.x), cy = clamp01(p.crop.y);
    const double cw = std::min(clamp01(p.crop.w), 1.0 - cx), ch = std::min(clamp01(p.crop.h), 1.0 - cy);
    // Crop offsets stay even so the chroma planes of 4:2:0 sources line up.
    g.cropX = int(cx * g.uprightW) & ~1;
    g.cropY = int(cy * g.uprightH) & ~1;
    g.cropW = std::min(g.uprightW - g.cropX, std::max(2, int(std::lround(cw * g.uprightW)) & ~1));
    g.cropH = std::min(g.uprightH - g.cropY, std::max(2, int(std::lround(ch * g.uprightH)) & ~1));
    if (cw <= 0 || ch <= 0 || g.cropW <= 0 || g.cropH <= 0) {
        g.cropX = g.cropY = 0;
        g.cropW = g.uprightW;
        g.cropH = g.uprightH;
    }

    g.rotation = (p.rotation % 360 + 360) % 360;
    if (!(g.rotation == 0 || quarterTurn(g.rotation) || g.rotation == 180))
        g.rotation = 0;
    g.flip = p.flip != 0;
    const bool turn = quarterTurn(g.rotation);

    // Shape of the picture as shown, before and then after the rotation.
    double shapeW, shapeH;
    if (p.shapeNum > 0 && p.shapeDen > 0) {
        shapeW = p.shapeNum;
        shapeH = p.shapeDen;
    } else {
        shapeW = double(g.cropW) * sarN / sarD;
        shapeH = g.cropH;
    }
    if (turn)
        std::swap(shapeW, shapeH);

    if (p.width > 0 && p.height > 0) {
        g.frameW = turn ? p.height : p.width;
        g.frameH = turn ? p.width : p.height;
    } else {
        // The picture's own size: the crop, widened by a non-square sample
        // aspect ratio, turned with the rotation.
        const int naturalW = int(std::lround(double(g.cropW) * sarN / sarD));
        g.frameW = turn ? g.cropH : naturalW;
        g.frameH = turn ? naturalW : g.cropH;
        if (p.shapeNum > 0 && p.shapeDen > 0)
            g.frameW = int(std::lround(g.frameH * shapeW / shapeH));
    }
    g.frameW = makeEven(g.frameW, evenW);
    g.frameH = makeEven(g.frameH, evenH);

    if (p.keepShape) {
        if (double(g.frameW) * shapeH > double(g.frameH) * shapeW) {
            g.pictureH = g.frameH;
            g.pictureW = int(std::lround(g.frameH * shapeW / shapeH));
        } else {
            g.pictureW = g.frameW;
            g.pictureH = int(std::lround(g.frameW * shapeH / shapeW));
        }
        g.pictureW = std::min(g.frameW, makeEven(g.pictureW, evenW));
        g.pictureH = std::min(g.frameH, makeEven(g.pictureH, evenH));
        // A border of a pixel or two is rounding, not a shape to keep.
        if (g.frameW - g.pictureW <= 2)
            g.pictureW = g.frameW;
        if (g.frameH - g.pictureH <= 2)
            g.pictureH = g.frameH;
    } else {
        g.pictureW = g.frameW;
        g.pictureH = g.frameH;
    }
    g.padX = ((g.frameW - g.pictureW) / 2) & ~1;
    g.padY = ((g.frameH - g.pictureH) / 2) & ~1;
    g.fillColor = p.fillColor & 0xFFFFFF;
    return g;
}

std::string geometryFilters(const Geometry &g, int autoRotation, const std::string &scaleStage,
                            const std::string &pictureStages)
{
    std::string chain;
    appendTurn(chain, autoRotation);
    if (g.cropX || g.cropY || g.cropW != g.uprightW || g.cropH != g.uprightH) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "crop=%d:%d:%d:%d:exact=1", g.cropW, g.cropH, g.cropX, g.cropY);
        appendFilter(chain, buf);
    }
    if (g.rotation == 180 && g.flip) {
        appendFilter(chain, "vflip"); // a half turn then a mirror is a vertical mirror
    } else {
        appendTurn(chain, g.rotation);
        if (g.flip)
            appendFilter(chain, "hflip");
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "scale=%d:%d", g.pictureW, g.pictureH);
    appendFilter(chain, scaleStage.empty() ? std::string(buf) : scaleStage);
    if (!pictureStages.empty())
        appendFilter(chain, pictureStages);
    if (g.pictureW != g.frameW || g.pictureH != g.frameH) {
        std::snprintf(buf, sizeof buf, "pad=%d:%d:%d:%d:color=0x%06X", g.frameW, g.frameH, g.padX, g.padY,
                      unsigned(g.fillColor));
        appendFilter(chain, buf);
    }
    appendFilter(chain, "setsar=1");
    return chain;
}

} // namespace zx
