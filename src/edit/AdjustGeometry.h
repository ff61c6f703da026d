#pragma once
// The arithmetic of the Adjust, Effect and Watermark pages, kept apart from
// the widgets and the player so each rule can be checked on its own: the
// even sizes of a crop, the pan-scan rectangle, the frame handles with their
// hit test and drag limits, holding a rectangle's shape, the turn and mirror
// buttons, and the effect sliders' stored values.
//
// Rectangles are fractions (0..1) of a picture; panes are in pixels.

#include "engine/EditRecords.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

namespace AdjustGeometry {

// The nine grips of a frame.
enum Handle {
    NoHandle = 0,
    TopLeft = 1,
    BottomLeft = 2,
    Left = 3,
    TopRight = 4,
    BottomRight = 5,
    Right = 6,
    Top = 7,
    Bottom = 8,
    Move = 9
};

// Mouse distance (pixels, exclusive) that still grabs an edge or a corner.
constexpr int kGrabTolerance = 5;
// How close a dragged edge may come to the opposite one (fraction).
constexpr double kMinGap = 0.02;
// The smallest crop frame on the pane, pixels.
constexpr int kMinCropPixels = 20;
// Below this (fraction) a frame is treated as absent.
constexpr double kTinyRect = 0.0001;

// The pixel count f of n rounds to, kept even (encoders want even sizes):
// n itself for the whole picture, never more than n.
int even(int n, double f);

// Pan-scan is in force: a locked aspect, fill mode 1, not "Full Screen".
bool isPanScan(const CropSettings &c);
// The rectangle the frame stands for: the pan-scan part in pan-scan mode,
// else the crop.
FractionRect effectiveRect(const CropSettings &c);
bool isTiny(const FractionRect &r);
// r moved and cut to lie inside the picture (rounding may push it out by a hair).
FractionRect clampInside(FractionRect r);

// Fractions to pane pixels (rounded), as the frame is laid.
QRect toPixels(const FractionRect &r, QSize pane);

// The handle under p, or NoHandle.
int hitTest(const FractionRect &r, QSize pane, QPoint p, int tolerance = kGrabTolerance);
Qt::CursorShape cursorFor(int handle);
// Which axes a handle resizes.
bool changesWidth(int handle);
bool changesHeight(int handle);

// The rectangle after dragging handle by (dx, dy) fractions from r0: dragged
// edges stop kMinGap short of the opposite edge and inside the picture; with
// minPixels > 0 a resized axis never gets under that many pane pixels.
FractionRect dragRect(int handle, const FractionRect &r0, double dx, double dy, QSize pane, int minPixels);

// r (a drag of handle from r0) reshaped to r0's width:height, anchored at
// the edges the handle does not move and kept inside the picture.
FractionRect holdShape(int handle, const FractionRect &r0, FractionRect r);

// The largest centred part of the crop that has the output frame's shape
// when shown. W x H: the source's pixels; aspNum:aspDen its display aspect
// (0 = unknown); frameW x frameH: the output frame.
FractionRect panScanRect(const CropSettings &c, int W, int H, int aspNum, int aspDen, int frameW, int frameH);

// The ratio a ratio type stores: 0 "Original Display" 0:0, 1 "Original
// Resolution" the crop's even pixel size, 2 "Full Screen" the output frame,
// 3 16:9, 4 4:3.
QSize ratioFor(int type, const FractionRect &crop, int W, int H, int frameW, int frameH);

// The turn and mirror buttons. A mirrored picture turns the other way round,
// and a vertical mirror is a horizontal one turned by 180 degrees.
void rotateLeft(CropSettings &c);
void rotateRight(CropSettings &c);
void flipHorizontal(CropSettings &c);
void flipVertical(CropSettings &c);

// Effect sliders. The page shows values -100..100 (volume 0..200); a slider
// reports a fraction 0..1 of its length and snaps to neutral within 1 % of
// the middle.
enum Effect { Volume, Brightness, Contrast, Saturation, Hue };
int sliderValue(Effect e, double fraction);
double sliderFraction(Effect e, int value);
int storedValue(Effect e, int value);
int shownValue(Effect e, int stored);
// Writes one effect's stored value into the record, leaving the rest.
void storeEffect(EffectSettings &s, Effect e, int value);
int storedField(const EffectSettings &s, Effect e);

// A watermark's scale after its box went from size0 to size (rounded, at least 1).
int scaledPercent(int scale0, double size0, double size);
// A fraction in thousandths (rounded).
int thousandths(double f);

} // namespace AdjustGeometry
