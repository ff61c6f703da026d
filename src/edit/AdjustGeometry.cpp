#include "edit/AdjustGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

namespace AdjustGeometry {

namespace {

bool near(int a, int b, int tolerance) { return std::abs(a - b) < tolerance; }

// Truncation toward zero that forgives the binary error of factors such as
// 2.35 and 1.8 (47 / 2.35 is 19.999... in doubles, yet means 20).
int truncate(double v) { return int(v + (v >= 0 ? 1e-9 : -1e-9)); }

bool quarterTurn(int rotation) { return rotation % 180 != 0; }

} // namespace

int even(int n, double f)
{
    f = std::clamp(f, 0.0, 1.0);
    const int64_t q = std::llround(f * 65536.0);
    if (q == 65536)
        return n;
    const int64_t r = (int64_t(n) * q + 65536) >> 16;
    if (r >= n)
        return n;
    return int(r & ~int64_t(1));
}

bool isPanScan(const CropSettings &c) { return c.aspectLocked != 0 && c.fillMode == 1 && c.ratioType != 2; }

FractionRect effectiveRect(const CropSettings &c) { return isPanScan(c) ? c.panScanRect : c.cropRect; }

bool isTiny(const FractionRect &r) { return r.width <= kTinyRect || r.height <= kTinyRect; }

FractionRect clampInside(FractionRect r)
{
    r.width = std::clamp(r.width, kTinyRect, 1.0);
    r.height = std::clamp(r.height, kTinyRect, 1.0);
    r.x = std::clamp(r.x, 0.0, 1.0 - r.width);
    r.y = std::clamp(r.y, 0.0, 1.0 - r.height);
    return r;
}

QRect toPixels(const FractionRect &r, QSize pane)
{
    const int left = int(r.x * pane.width() + 0.5);
    const int top = int(r.y * pane.height() + 0.5);
    const int w = int(r.width * pane.width() + 0.5);
    const int h = int(r.height * pane.height() + 0.5);
    return QRect(left, top, w, h);
}

int hitTest(const FractionRect &r, QSize pane, QPoint p, int tolerance)
{
    const int left = int(r.x * pane.width());
    const int top = int(r.y * pane.height());
    const int right = int((r.x + r.width) * pane.width());
    const int bottom = int((r.y + r.height) * pane.height());
    const bool nearLeft = near(p.x(), left, tolerance);
    const bool nearRight = near(p.x(), right, tolerance);
    const bool nearTop = near(p.y(), top, tolerance);
    const bool nearBottom = near(p.y(), bottom, tolerance);
    const bool betweenY = p.y() > top && p.y() < bottom;
    if (nearLeft) {
        if (nearTop)
            return TopLeft;
        if (nearBottom)
            return BottomLeft;
        if (betweenY)
            return Left;
    }
    if (nearRight) {
        if (nearTop)
            return TopRight;
        if (nearBottom)
            return BottomRight;
        if (betweenY)
            return Right;
    }
    if (p.x() > left && p.x() < right) {
        if (nearTop)
            return Top;
        if (nearBottom)
            return Bottom;
        if (betweenY)
            return Move;
    }
    return NoHandle;
}

Qt::CursorShape cursorFor(int handle)
{
    switch (handle) {
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case BottomLeft:
    case TopRight:
        return Qt::SizeBDiagCursor;
    case Left:
    case Right:
        return Qt::SizeHorCursor;
    case Top:
    case Bottom:
        return Qt::SizeVerCursor;
    case Move:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

bool changesWidth(int handle)
{
    return handle == TopLeft || handle == BottomLeft || handle == Left || handle == TopRight
        || handle == BottomRight || handle == Right;
}

bool changesHeight(int handle)
{
    return handle == TopLeft || handle == BottomLeft || handle == TopRight || handle == BottomRight
        || handle == Top || handle == Bottom;
}

FractionRect dragRect(int handle, const FractionRect &r0, double dx, double dy, QSize pane, int minPixels)
{
    const double x0 = r0.x, y0 = r0.y, w0 = r0.width, h0 = r0.height;
    const double pw = std::max(1, pane.width());
    const double ph = std::max(1, pane.height());
    double nx = x0 + dx;
    double ny = y0 + dy;
    FractionRect r = r0;

    if (handle == TopLeft || handle == BottomLeft || handle == Left) {
        r.x = std::min(std::max(nx, 0.0), x0 + w0 - kMinGap);
        r.width = x0 + w0 - r.x;
        if (minPixels > 0 && r.width * pw <= minPixels) {
            r.width = minPixels / pw;
            r.x = x0 + w0 - r.width;
        }
    }
    if (handle == TopLeft || handle == TopRight || handle == Top) {
        r.y = std::min(std::max(ny, 0.0), y0 + h0 - kMinGap);
        r.height = y0 + h0 - r.y;
        if (minPixels > 0 && r.height * ph <= minPixels) {
            r.height = minPixels / ph;
            r.y = y0 + h0 - r.height;
        }
    }
    if (handle == TopRight || handle == BottomRight || handle == Right) {
        if (nx + w0 > 1.0)
            nx = 1.0 - w0;
        else
            nx = std::max(nx, x0 - w0 + kMinGap);
        r.width = nx + w0 - x0;
        if (minPixels > 0 && r.width * pw <= minPixels)
            r.width = minPixels / pw;
    }
    if (handle == BottomLeft || handle == BottomRight || handle == Bottom) {
        if (ny + h0 > 1.0)
            ny = 1.0 - h0;
        else
            ny = std::max(ny, y0 - h0 + kMinGap);
        r.height = ny + h0 - y0;
        if (minPixels > 0 && r.height * ph <= minPixels)
            r.height = minPixels / ph;
    }
    if (handle == Move) {
        r.x = std::clamp(nx, 0.0, std::max(0.0, 1.0 - w0));
        r.y = std::clamp(ny, 0.0, std::max(0.0, 1.0 - h0));
    }
    return r;
}

FractionRect holdShape(int handle, const FractionRect &r0, FractionRect r)
{
    const double x0 = r0.x, y0 = r0.y, w0 = r0.width, h0 = r0.height;
    if (w0 <= 0 || h0 <= 0)
        return r;
    double &x = r.x, &y = r.y, &w = r.width, &h = r.height;
    switch (handle) {
    case TopLeft:
        if (h0 * w <= w0 * h) {
            w = w0 * h / h0;
            x = x0 + w0 - w;
            if (x < 0) {
                w = x0 + w0;
                h = h0 * w / w0;
                y = y0 + h0 - h;
                x = 0;
            }
        } else {
            h = h0 * w / w0;
            y = y0 + h0 - h;
            if (y < 0) {
                h = y0 + h0;
                w = w0 * h / h0;
                x = x0 + w0 - w;
                y = 0;
            }
        }
        break;
    case BottomLeft:
        if (w0 * h < h0 * w) {
            h = h0 * w / w0;
            if (y + h > 1) {
                h = 1 - y;
                w = w0 * h / h0;
                x = x0 + w0 - w;
            }
        } else {
            w = w0 * h / h0;
            x = x0 + w0 - w;
            if (x < 0) {
                w = x0 + w0;
                x = 0;
                h = h0 * w / w0;
            }
        }
        break;
    case Left:
        h = h0 * w / w0;
        if (y + h > 1) {
            h = 1 - y;
            w = w0 * h / h0;
            x = x0 + w0 - w;
        }
        break;
    case TopRight:
        if (w0 * h < h0 * w) {
            h = h0 * w / w0;
            y = y0 + h0 - h;
            if (y < 0) {
                h = y0 + h0;
                w = w0 * h / h0;
                y = 0;
            }
        } else {
            w = w0 * h / h0;
            if (x + w > 1) {
                w = 1 - x;
                h = h0 * w / w0;
                y = y0 + h0 - h;
            }
        }
        break;
    case BottomRight:
        if (h0 * w <= w0 * h) {
            w = w0 * h / h0;
            if (x + w > 1) {
                w = 1 - x;
                h = h0 * w / w0;
            }
        } else {
            h = h0 * w / w0;
            if (y + h > 1) {
                h = 1 - y;
                w = w0 * h / h0;
            }
        }
        break;
    case Right:
        h = h0 * w / w0;
        if (y + h > 1) {
            h = 1 - y;
            w = w0 * h / h0;
        }
        break;
    case Top:
        w = w0 * h / h0;
        if (x + w > 1) {
            w = 1 - x;
            h = h0 * w / w0;
            y = y0 + h0 - h;
        }
        break;
    case Bottom:
        w = w0 * h / h0;
        if (x + w > 1) {
            w = 1 - x;
            h = h0 * w / w0;
        }
        break;
    default:
        break;
    }
    return r;
}

FractionRect panScanRect(const CropSettings &c, int W, int H, int aspNum, int aspDen, int frameW, int frameH)
{
    const FractionRect &crop = c.cropRect;
    double dw = 0, dh = 0;
    if (c.ratioWidth != 0 && c.ratioHeight != 0) {
        if (c.ratioType == 1) {
            dw = W * crop.width;
            dh = H * crop.height;
        } else {
            dw = c.ratioWidth;
            dh = c.ratioHeight;
        }
    } else if (aspNum == 0 || aspDen == 0) {
        dw = W * crop.width;
        dh = H * crop.height;
    } else {
        // The sample shape n*H : d*W, reduced, widens or narrows the pixels.
        const uint64_t a = uint64_t(aspNum) * uint64_t(H);
        const uint64_t b = uint64_t(aspDen) * uint64_t(W);
        const uint64_t g = std::max<uint64_t>(1, std::gcd(a, b));
        dw = double(W) * double(a / g) * crop.width;
        dh = double(H) * double(b / g) * crop.height;
    }

    FractionRect pan = crop;
    if (dw <= 0 || dh <= 0 || frameW <= 0 || frameH <= 0)
        return pan;
    double a, b;
    bool tooWide;
    if (quarterTurn(c.rotation)) {
        a = dh * frameH;
        b = double(frameW) * dw;
        tooWide = a <= b;
    } else {
        a = dh * frameW;
        b = double(frameH) * dw;
        tooWide = a < b;
    }
    if (tooWide) {
        pan.width = a * crop.width / b;
        pan.x = crop.x + (crop.width - pan.width) * 0.5;
    } else {
        pan.height = b * crop.height / a;
        pan.y = crop.y + (crop.height - pan.height) * 0.5;
    }
    return pan;
}

QSize ratioFor(int type, const FractionRect &crop, int W, int H, int frameW, int frameH)
{
    switch (type) {
    case 1:
        return QSize(std::max(2, even(W, crop.width)), std::max(2, even(H, crop.height)));
    case 2:
        return QSize(frameW, frameH);
    case 3:
        return QSize(16, 9);
    case 4:
        return QSize(4, 3);
    default:
        return QSize(0, 0);
    }
}

void rotateLeft(CropSettings &c) { c.rotation = (c.rotation + (c.flip == 1 ? 90 : 270)) % 360; }
void rotateRight(CropSettings &c) { c.rotation = (c.rotation + (c.flip == 1 ? 270 : 90)) % 360; }
void flipHorizontal(CropSettings &c) { c.flip = 1 - c.flip; }
void flipVertical(CropSettings &c)
{
    c.rotation = (c.rotation + 180) % 360;
    c.flip = 1 - c.flip;
}

int sliderValue(Effect e, double f)
{
    f = std::clamp(f, 0.0, 1.0);
    if (e == Volume) {
        if (f > 0.49 && f < 0.51)
            return 100;
        return truncate(200.0 * f);
    }
    if (f <= 0.49 || f >= 0.51)
        return truncate((f - 0.5) * 200.0);
    return 0;
}

double sliderFraction(Effect e, int value)
{
    return e == Volume ? std::clamp(value / 200.0, 0.0, 1.0) : std::clamp((value + 100) / 200.0, 0.0, 1.0);
}

int storedValue(Effect e, int v)
{
    switch (e) {
    case Volume: return v;
    case Brightness: return truncate(v * 2.35);
    case Contrast:
    case Saturation: return v + 100;
    case Hue: return truncate(v * 1.8);
    }
    return v;
}

int shownValue(Effect e, int stored)
{
    switch (e) {
    case Volume: return stored;
    case Brightness: return truncate(stored / 2.35);
    case Contrast:
    case Saturation: return stored - 100;
    case Hue: return truncate(stored / 1.8);
    }
    return stored;
}

void storeEffect(EffectSettings &s, Effect e, int value)
{
    switch (e) {
    case Volume: s.volume = value; break;
    case Brightness: s.brightness = value; break;
    case Contrast: s.contrast = value; break;
    case Saturation: s.saturation = value; break;
    case Hue: s.hue = value; break;
    }
}

int storedField(const EffectSettings &s, Effect e)
{
    switch (e) {
    case Volume: return s.volume;
    case Brightness: return s.brightness;
    case Contrast: return s.contrast;
    case Saturation: return s.saturation;
    case Hue: return s.hue;
    }
    return 0;
}

int scaledPercent(int scale0, double size0, double size)
{
    if (size0 <= 0)
        return scale0;
    return std::max(1, int(scale0 * size / size0 + 0.5));
}

int thousandths(double f) { return int(std::floor(f * 1000.0 + 0.5)); }

} // namespace AdjustGeometry
