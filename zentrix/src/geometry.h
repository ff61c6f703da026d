// Where the picture of a source goes in the output frame. A pure function of
// the parameter set and the source, so that the converter and a preview
// player build the same picture.
#pragma once

#include "params.h"

#include <string>

namespace zx {

struct SourcePicture {
    int width = 0, height = 0;    // coded size
    int sarNum = 1, sarDen = 1;   // sample aspect ratio (0 = square)
    int autoRotation = 0;         // clockwise degrees from the rotation metadata
};

struct Geometry {
    int uprightW = 0, uprightH = 0;          // after the metadata rotation
    int cropX = 0, cropY = 0, cropW = 0, cropH = 0; // in upright pixels
    int rotation = 0;                         // user rotation, clockwise
    bool flip = false;
    int pictureW = 0, pictureH = 0;           // scaled picture inside the frame
    int padX = 0, padY = 0;
    int frameW = 0, frameH = 0;               // encoded frame
    int fillColor = 0;
};

// frameW/H: the requested frame (0 = the picture's own size). evenW/evenH:
// the pixel format needs even sizes in that direction.
Geometry computeGeometry(const ZxParams &p, const SourcePicture &src, bool evenW, bool evenH);

// A filter chain (comma-separated, no pads) that turns source frames into the
// geometry's frame: metadata rotation, crop, rotation, mirror, scale, pad.
// scaleStage, when given, takes the place of the plain scale to the
// picture's size (zx::colourScale: the colours change in the same pass).
// pictureStages (filters, comma-separated) work on the scaled picture alone,
// before the borders are added: picture effects go there, so they never
// tint the fill.
std::string geometryFilters(const Geometry &g, int autoRotation, const std::string &scaleStage = {},
                            const std::string &pictureStages = {});

// Clockwise rotation that makes a picture upright from a display matrix.
int rotationFromDisplayMatrix(const int32_t *matrix);

} // namespace zx
