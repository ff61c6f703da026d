// Paints every skin image of the program into OUTDIR/image and OUTDIR/pic, so
// that no image binaries live in the source tree.
//
//   skingen OUTDIR [--profiles PLIST] [--sheet FILE] [--list]
//
// --profiles reads the output-format catalogue and paints one format icon,
// image/Format/icon_<id>.png, for every format id in it.
// --sheet writes a contact sheet of all images (for looking at the skin in one
// go); --list prints each image with its size and frame count.
//
// Conventions the program relies on:
//  - Button images are four equal frames side by side: normal, hover, pressed,
//    disabled. Their width is therefore a multiple of four; the program draws
//    any text on top, so buttons with an icon keep their right part free.
//  - Backgrounds drawn as nine-patches keep every corner feature (rounded
//    corners, title band, bottom bar) within a third of the image's width and
//    height, so a stretch by thirds never distorts them.
//  - The main window background carries a 5-px translucent shadow on every
//    side: maximising places the window 5 px beyond each screen edge.
//
// To add an image, add a row to the table in skinEntries(): a path, a kind
// (which painter draws it), the size of one frame (or of the whole image), a
// tone (colour set) and a glyph. Images that need their own drawing use
// Kind::Custom with a painting function.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>
#include <QXmlStreamReader>
#include <QtMath>

#include <functional>
#include <vector>

namespace {

// ---- Palette --------------------------------------------------------------

const QColor kBgDark(31, 29, 30);
const QColor kBgMid(40, 41, 41);
const QColor kBgLight(62, 63, 63);
const QColor kBorder(74, 75, 76);
const QColor kAccent(37, 118, 150);
const QColor kAccentHi(56, 148, 184);
const QColor kAccentLo(27, 88, 113);
const QColor kText(240, 240, 240);
const QColor kTextDim(172, 170, 171);
const QColor kDisabled(96, 96, 98);
const QColor kOrange(255, 120, 0);
const QColor kDanger(206, 58, 50);
const QColor kSuccess(58, 168, 92);
const QColor kWarning(238, 170, 36);

QColor alpha(QColor c, int a)
{
    c.setAlpha(a);
    return c;
}

QFont uiFont(qreal pixelSize, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(qRound(pixelSize));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPen roundPen(const QColor &c, qreal w)
{
    QPen p(c, w);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

QImage blank(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void smooth(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QLinearGradient vGrad(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// ---- Glyphs ---------------------------------------------------------------

enum class Glyph {
    None, Minus, Square, Restore, Cross, Bars, AddFile, Disc, Converted, Folder,
    Dots, Gear, ChevronDown, Play, Film, Note, Subtitle, Devices, HdScreen, Globe,
    Tick, Exclaim, Info, Format, Video, Audio,
    // Player controls.
    Pause, Stop, Prev, Next, Rewind, Forward, Speaker, Mute, FullScreen, Camera
};

// Draws a glyph into box r (square or nearly so) in colour c. Stroke widths
// follow the box size, so the same glyph serves 12-px and 48-px icons.
void drawGlyph(QPainter &p, Glyph g, const QRectF &box, const QColor &c, const QColor &accent = kAccentHi)
{
    const qreal s = qMin(box.width(), box.height());
    const QRectF r(box.center().x() - s / 2, box.center().y() - s / 2, s, s);
    const qreal lw = qMax<qreal>(1.2, s / 11.0);
    const QPointF c0 = r.center();
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(c, lw));
    switch (g) {
    case Glyph::None:
        break;
    case Glyph::Minus:
        p.drawLine(QPointF(r.left() + s * 0.28, c0.y() + s * 0.12), QPointF(r.right() - s * 0.28, c0.y() + s * 0.12));
        break;
    case Glyph::Square:
        p.drawRect(r.adjusted(s * 0.28, s * 0.28, -s * 0.28, -s * 0.28));
        break;
    case Glyph::Restore: {
        const QRectF back = r.adjusted(s * 0.36, s * 0.24, -s * 0.24, -s * 0.36);
        const QRectF front = back.translated(-s * 0.12, s * 0.12);
        QPainterPath backPath;
        backPath.moveTo(back.left(), front.top());
        backPath.lineTo(back.left(), back.top());
        backPath.lineTo(back.right(), back.top());
        backPath.lineTo(back.right(), back.bottom());
        backPath.lineTo(front.right(), back.bottom());
        p.drawPath(backPath);
        p.drawRect(front);
        break;
    }
    case Glyph::Cross:
        p.drawLine(r.topLeft() + QPointF(s * 0.3, s * 0.3), r.bottomRight() - QPointF(s * 0.3, s * 0.3));
        p.drawLine(r.topRight() + QPointF(-s * 0.3, s * 0.3), r.bottomLeft() + QPointF(s * 0.3, -s * 0.3));
        break;
    case Glyph::Bars:
        for (int i = -1; i <= 1; ++i) {
            const qreal y = c0.y() + i * s * 0.2;
            p.drawLine(QPointF(r.left() + s * 0.26, y), QPointF(r.right() - s * 0.26, y));
        }
        break;
    case Glyph::AddFile: {
        const QRectF d = r.adjusted(s * 0.16, s * 0.06, -s * 0.24, -s * 0.06);
        const qreal fold = s * 0.22;
        QPainterPath page;
        page.moveTo(d.left(), d.top());
        page.lineTo(d.right() - fold, d.top());
        page.lineTo(d.right(), d.top() + fold);
        page.lineTo(d.right(), d.bottom());
        page.lineTo(d.left(), d.bottom());
        page.closeSubpath();
        p.drawPath(page);
        p.drawPolyline(QPolygonF({QPointF(d.right() - fold, d.top()), QPointF(d.right() - fold, d.top() + fold),
                                  QPointF(d.right(), d.top() + fold)}));
        const QPointF pc(d.right() + s * 0.02, d.bottom() - s * 0.06);
        const qreal pr = s * 0.2;
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(pc, pr, pr);
        // On a light badge (hovered accent button) the plus takes the button's colour.
        p.setPen(roundPen(accent.lightness() > 170 ? kAccent : QColor(Qt::white), lw * 0.9));
        p.drawLine(QPointF(pc.x() - pr * 0.55, pc.y()), QPointF(pc.x() + pr * 0.55, pc.y()));
        p.drawLine(QPointF(pc.x(), pc.y() - pr * 0.55), QPointF(pc.x(), pc.y() + pr * 0.55));
        break;
    }
    case Glyph::Disc: {
        const qreal R = s * 0.42;
        p.drawEllipse(c0, R, R);
        p.drawEllipse(c0, s * 0.1, s * 0.1);
        p.setPen(roundPen(accent, lw));
        p.drawArc(QRectF(c0.x() - R * 0.68, c0.y() - R * 0.68, R * 1.36, R * 1.36), 100 * 16, 70 * 16);
        p.drawArc(QRectF(c0.x() - R * 0.68, c0.y() - R * 0.68, R * 1.36, R * 1.36), 280 * 16, 70 * 16);
        break;
    }
    case Glyph::Converted:
    case Glyph::Folder: {
        const QRectF f = r.adjusted(s * 0.08, s * 0.18, -s * 0.08, -s * 0.14);
        QPainterPath path;
        path.moveTo(f.left(), f.bottom());
        path.lineTo(f.left(), f.top());
        path.lineTo(f.left() + f.width() * 0.38, f.top());
        path.lineTo(f.left() + f.width() * 0.48, f.top() + f.height() * 0.16);
        path.lineTo(f.right(), f.top() + f.height() * 0.16);
        path.lineTo(f.right(), f.bottom());
        path.closeSubpath();
        p.drawPath(path);
        if (g == Glyph::Converted) {
            p.setPen(roundPen(accent, lw * 1.1));
            const qreal cy = f.center().y() + f.height() * 0.1;
            p.drawPolyline(QPolygonF({QPointF(f.left() + f.width() * 0.3, cy),
                                      QPointF(f.left() + f.width() * 0.45, cy + f.height() * 0.18),
                                      QPointF(f.left() + f.width() * 0.72, cy - f.height() * 0.16)}));
        } else {
            p.drawLine(QPointF(f.left(), f.top() + f.height() * 0.36), QPointF(f.right(), f.top() + f.height() * 0.36));
        }
        break;
    }
    case Glyph::Dots:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (int i = -1; i <= 1; ++i)
            p.drawEllipse(QPointF(c0.x() + i * s * 0.24, c0.y() + s * 0.06), s * 0.075, s * 0.075);
        break;
    case Glyph::Gear: {
        QPainterPath gear;
        const int teeth = 8;
        const qreal ro = s * 0.42, ri = s * 0.31;
        for (int i = 0; i < teeth * 2; ++i) {
            const qreal a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
            const qreal rr = (i % 2 == 0) ? ro : ri;
            const QPointF p0(c0.x() + rr * qCos(a0), c0.y() + rr * qSin(a0));
            const QPointF p1(c0.x() + rr * qCos(a1), c0.y() + rr * qSin(a1));
            if (i == 0)
                gear.moveTo(p0);
            else
                gear.lineTo(p0);
            gear.lineTo(p1);
        }
        gear.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(c0, s * 0.13, s * 0.13);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(gear.subtracted(hole));
        break;
    }
    case Glyph::ChevronDown:
        p.drawPolyline(QPolygonF({QPointF(c0.x() - s * 0.22, c0.y() - s * 0.1), QPointF(c0.x(), c0.y() + s * 0.12),
                                  QPointF(c0.x() + s * 0.22, c0.y() - s * 0.1)}));
        break;
    case Glyph::Play: {
        QPainterPath tri;
        tri.moveTo(c0.x() - s * 0.18, c0.y() - s * 0.26);
        tri.lineTo(c0.x() + s * 0.28, c0.y());
        tri.lineTo(c0.x() - s * 0.18, c0.y() + s * 0.26);
        tri.closeSubpath();
        p.setPen(roundPen(c, lw * 0.6));
        p.setBrush(c);
        p.drawPath(tri);
        break;
    }
    case Glyph::Film:
    case Glyph::Video: {
        const QRectF f = r.adjusted(s * 0.08, s * 0.2, -s * 0.08, -s * 0.2);
        p.drawRoundedRect(f, s * 0.05, s * 0.05);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        const qreal hole = s * 0.07;
        for (int i = 0; i < 5; ++i) {
            const qreal x = f.left() + f.width() * (0.12 + i * 0.19) - hole / 2;
            p.drawRect(QRectF(x, f.top() + s * 0.05, hole, hole));
            p.drawRect(QRectF(x, f.bottom() - s * 0.05 - hole, hole, hole));
        }
        if (g == Glyph::Video) {
            drawGlyph(p, Glyph::Play, QRectF(c0.x() - s * 0.18, c0.y() - s * 0.18, s * 0.36, s * 0.36), accent);
        }
        break;
    }
    case Glyph::Note:
    case Glyph::Audio: {
        // Beamed pair of eighth notes.
        const QPointF h1(c0.x() - s * 0.18, c0.y() + s * 0.24), h2(c0.x() + s * 0.2, c0.y() + s * 0.16);
        const qreal hr = s * 0.1;
        p.setPen(Qt::NoPen);
        p.setBrush(g == Glyph::Audio ? accent : c);
        p.drawEllipse(h1, hr * 1.2, hr);
        p.drawEllipse(h2, hr * 1.2, hr);
        p.setPen(roundPen(c, lw));
        p.drawLine(QPointF(h1.x() + hr * 1.1, h1.y()), QPointF(h1.x() + hr * 1.1, c0.y() - s * 0.26));
        p.drawLine(QPointF(h2.x() + hr * 1.1, h2.y()), QPointF(h2.x() + hr * 1.1, c0.y() - s * 0.34));
        p.setPen(roundPen(c, lw * 1.6));
        p.drawLine(QPointF(h1.x() + hr * 1.1, c0.y() - s * 0.26), QPointF(h2.x() + hr * 1.1, c0.y() - s * 0.34));
        break;
    }
    case Glyph::Subtitle: {
        const QRectF f = r.adjusted(s * 0.08, s * 0.18, -s * 0.08, -s * 0.18);
        p.drawRoundedRect(f, s * 0.08, s * 0.08);
        p.setPen(roundPen(accent, lw));
        const qreal y1 = f.bottom() - f.height() * 0.42, y2 = f.bottom() - f.height() * 0.2;
        p.drawLine(QPointF(f.left() + f.width() * 0.18, y1), QPointF(f.left() + f.width() * 0.52, y1));
        p.drawLine(QPointF(f.left() + f.width() * 0.62, y1), QPointF(f.right() - f.width() * 0.18, y1));
        p.drawLine(QPointF(f.left() + f.width() * 0.18, y2), QPointF(f.left() + f.width() * 0.36, y2));
        p.drawLine(QPointF(f.left() + f.width() * 0.46, y2), QPointF(f.right() - f.width() * 0.18, y2));
        break;
    }
    case Glyph::Devices: {
        const QRectF tablet(r.left() + s * 0.08, r.top() + s * 0.14, s * 0.5, s * 0.7);
        p.drawRoundedRect(tablet, s * 0.06, s * 0.06);
        const QRectF phone(r.left() + s * 0.58, r.top() + s * 0.36, s * 0.32, s * 0.5);
        p.setBrush(alpha(kBgDark, 255));
        p.drawRoundedRect(phone, s * 0.05, s * 0.05);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(phone.center().x(), phone.bottom() - s * 0.07), s * 0.03, s * 0.03);
        p.drawEllipse(QPointF(tablet.center().x() - s * 0.06, tablet.bottom() - s * 0.08), s * 0.035, s * 0.035);
        break;
    }
    case Glyph::HdScreen: {
        const QRectF m = r.adjusted(s * 0.06, s * 0.14, -s * 0.06, -s * 0.3);
        p.drawRoundedRect(m, s * 0.05, s * 0.05);
        p.drawLine(QPointF(c0.x(), m.bottom()), QPointF(c0.x(), m.bottom() + s * 0.12));
        p.drawLine(QPointF(c0.x() - s * 0.18, m.bottom() + s * 0.14), QPointF(c0.x() + s * 0.18, m.bottom() + s * 0.14));
        QFont f = uiFont(m.height() * 0.5, true);
        p.setFont(f);
        p.setPen(accent);
        p.drawText(m, Qt::AlignCenter, QStringLiteral("HD"));
        break;
    }
    case Glyph::Globe: {
        const qreal R = s * 0.4;
        p.drawEllipse(c0, R, R);
        p.drawEllipse(c0, R * 0.45, R);
        p.drawLine(QPointF(c0.x() - R, c0.y()), QPointF(c0.x() + R, c0.y()));
        p.drawLine(QPointF(c0.x(), c0.y() - R), QPointF(c0.x(), c0.y() + R));
        const qreal pr = s * 0.2;
        const QPointF pc(c0.x() + R * 0.68, c0.y() + R * 0.68);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(pc, pr, pr);
        drawGlyph(p, Glyph::Play, QRectF(pc.x() - pr * 0.8, pc.y() - pr * 0.8, pr * 1.6, pr * 1.6), Qt::white);
        break;
    }
    case Glyph::Tick:
        p.setPen(roundPen(c, s * 0.13));
        p.drawPolyline(QPolygonF({QPointF(r.left() + s * 0.24, c0.y() + s * 0.02),
                                  QPointF(r.left() + s * 0.43, c0.y() + s * 0.2),
                                  QPointF(r.right() - s * 0.22, c0.y() - s * 0.2)}));
        break;
    case Glyph::Exclaim:
        p.setPen(roundPen(c, s * 0.13));
        p.drawLine(QPointF(c0.x(), r.top() + s * 0.22), QPointF(c0.x(), c0.y() + s * 0.08));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(c0.x(), r.bottom() - s * 0.22), s * 0.075, s * 0.075);
        break;
    case Glyph::Info:
        p.setPen(roundPen(c, s * 0.13));
        p.drawLine(QPointF(c0.x(), c0.y() - s * 0.04), QPointF(c0.x(), r.bottom() - s * 0.22));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(c0.x(), r.top() + s * 0.24), s * 0.075, s * 0.075);
        break;
    case Glyph::Format: {
        // Two stacked frames with a play mark: "an output format".
        const QRectF back = r.adjusted(s * 0.22, s * 0.1, -s * 0.06, -s * 0.3);
        const QRectF front = r.adjusted(s * 0.06, s * 0.28, -s * 0.22, -s * 0.1);
        p.drawRoundedRect(back, s * 0.06, s * 0.06);
        p.setBrush(accent);
        p.setPen(roundPen(c, lw));
        p.drawRoundedRect(front, s * 0.06, s * 0.06);
        drawGlyph(p, Glyph::Play, front.adjusted(front.width() * 0.25, front.height() * 0.2, -front.width() * 0.25,
                                                 -front.height() * 0.2),
                  Qt::white);
        break;
    }
    case Glyph::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(c0.x() - s * 0.22, c0.y() - s * 0.26, s * 0.15, s * 0.52), s * 0.03, s * 0.03);
        p.drawRoundedRect(QRectF(c0.x() + s * 0.07, c0.y() - s * 0.26, s * 0.15, s * 0.52), s * 0.03, s * 0.03);
        break;
    case Glyph::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(c0.x() - s * 0.22, c0.y() - s * 0.22, s * 0.44, s * 0.44), s * 0.05, s * 0.05);
        break;
    case Glyph::Prev:
    case Glyph::Next: {
        // A bar and a triangle pointing away from it; Prev is Next mirrored.
        const qreal dir = g == Glyph::Next ? 1 : -1;
        QPainterPath tri;
        tri.moveTo(c0.x() - dir * s * 0.2, c0.y() - s * 0.24);
        tri.lineTo(c0.x() + dir * s * 0.14, c0.y());
        tri.lineTo(c0.x() - dir * s * 0.2, c0.y() + s * 0.24);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(tri);
        p.drawRect(QRectF(c0.x() + dir * s * 0.16 - (dir > 0 ? 0 : s * 0.08), c0.y() - s * 0.24, s * 0.08, s * 0.48));
        break;
    }
    case Glyph::Rewind:
    case Glyph::Forward: {
        const qreal dir = g == Glyph::Forward ? 1 : -1;
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (int i = 0; i < 2; ++i) {
            const qreal x0 = c0.x() + dir * (i == 0 ? -s * 0.28 : -s * 0.02);
            QPainterPath tri;
            tri.moveTo(x0, c0.y() - s * 0.2);
            tri.lineTo(x0 + dir * s * 0.26, c0.y());
            tri.lineTo(x0, c0.y() + s * 0.2);
            tri.closeSubpath();
            p.drawPath(tri);
        }
        break;
    }
    case Glyph::Speaker:
    case Glyph::Mute: {
        QPainterPath body;
        body.moveTo(r.left() + s * 0.14, c0.y() - s * 0.1);
        body.lineTo(r.left() + s * 0.3, c0.y() - s * 0.1);
        body.lineTo(r.left() + s * 0.5, c0.y() - s * 0.28);
        body.lineTo(r.left() + s * 0.5, c0.y() + s * 0.28);
        body.lineTo(r.left() + s * 0.3, c0.y() + s * 0.1);
        body.lineTo(r.left() + s * 0.14, c0.y() + s * 0.1);
        body.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(body);
        p.setBrush(Qt::NoBrush);
        if (g == Glyph::Speaker) {
            p.setPen(roundPen(c, lw));
            p.drawArc(QRectF(c0.x() - s * 0.14, c0.y() - s * 0.16, s * 0.32, s * 0.32), -50 * 16, 100 * 16);
            p.setPen(roundPen(accent, lw));
            p.drawArc(QRectF(c0.x() - s * 0.22, c0.y() - s * 0.3, s * 0.6, s * 0.6), -50 * 16, 100 * 16);
        } else {
            p.setPen(roundPen(kDanger.lighter(120), lw));
            p.drawLine(QPointF(c0.x() + s * 0.08, c0.y() - s * 0.12), QPointF(c0.x() + s * 0.32, c0.y() + s * 0.12));
            p.drawLine(QPointF(c0.x() + s * 0.32, c0.y() - s * 0.12), QPointF(c0.x() + s * 0.08, c0.y() + s * 0.12));
        }
        break;
    }
    case Glyph::FullScreen: {
        const qreal a = s * 0.3, b = s * 0.14;
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                const QPointF corner(c0.x() + sx * a, c0.y() + sy * a);
                p.drawPolyline(QPolygonF({QPointF(corner.x(), corner.y() - sy * b), corner,
                                          QPointF(corner.x() - sx * b, corner.y())}));
            }
        break;
    }
    case Glyph::Camera: {
        const QRectF body(r.left() + s * 0.1, c0.y() - s * 0.2, s * 0.8, s * 0.5);
        p.drawRoundedRect(body, s * 0.06, s * 0.06);
        p.drawLine(QPointF(c0.x() - s * 0.12, body.top()), QPointF(c0.x() - s * 0.06, body.top() - s * 0.08));
        p.drawLine(QPointF(c0.x() - s * 0.06, body.top() - s * 0.08), QPointF(c0.x() + s * 0.1, body.top() - s * 0.08));
        p.drawLine(QPointF(c0.x() + s * 0.1, body.top() - s * 0.08), QPointF(c0.x() + s * 0.16, body.top()));
        p.setPen(roundPen(accent, lw));
        p.drawEllipse(QPointF(c0.x(), body.center().y()), s * 0.13, s * 0.13);
        break;
    }
    }
    p.restore();
}

// ---- Buttons (four frames) ------------------------------------------------

enum State { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

enum class Tone {
    Neutral,  // grey raised button, accent on hover
    Primary,  // accent-filled button (Convert)
    Flat,     // no body until hovered (title bar, page and category buttons)
    Danger,   // flat, red on hover (close)
    Field     // input-like (combo box)
};

struct ButtonLook {
    QColor top, bottom, border, glyph;
    bool body;
};

ButtonLook lookFor(Tone tone, int state)
{
    switch (tone) {
    case Tone::Neutral:
        switch (state) {
        case Normal: return {QColor(72, 73, 75), QColor(54, 55, 56), QColor(88, 89, 91), kText, true};
        case Hover: return {kAccentHi, kAccent, QColor(80, 170, 206), Qt::white, true};
        case Pressed: return {kAccentLo, kAccent.darker(108), kAccentLo.darker(120), QColor(220, 220, 220), true};
        default: return {QColor(50, 50, 51), QColor(45, 45, 46), QColor(58, 58, 60), kDisabled, true};
        }
    case Tone::Primary:
        switch (state) {
        case Normal: return {QColor(50, 142, 178), kAccent, QColor(64, 160, 198), Qt::white, true};
        case Hover: return {QColor(70, 166, 204), QColor(46, 136, 172), QColor(96, 186, 222), Qt::white, true};
        case Pressed: return {kAccentLo.darker(110), kAccentLo, kAccentLo.darker(130), QColor(225, 225, 225), true};
        default: return {QColor(58, 66, 70), QColor(50, 56, 60), QColor(64, 72, 76), kDisabled, true};
        }
    case Tone::Flat:
        switch (state) {
        case Normal: return {Qt::transparent, Qt::transparent, Qt::transparent, QColor(200, 200, 200), false};
        case Hover: return {alpha(Qt::white, 34), alpha(Qt::white, 22), alpha(Qt::white, 40), Qt::white, true};
        case Pressed: return {alpha(kAccentLo, 230), alpha(kAccent, 230), alpha(kAccentHi, 160), Qt::white, true};
        default: return {Qt::transparent, Qt::transparent, Qt::transparent, kDisabled, false};
        }
    case Tone::Danger:
        switch (state) {
        case Normal: return {Qt::transparent, Qt::transparent, Qt::transparent, QColor(200, 200, 200), false};
        case Hover: return {kDanger.lighter(112), kDanger, kDanger.lighter(125), Qt::white, true};
        case Pressed: return {kDanger.darker(130), kDanger.darker(115), kDanger.darker(140), QColor(230, 230, 230), true};
        default: return {Qt::transparent, Qt::transparent, Qt::transparent, kDisabled, false};
        }
    case Tone::Field:
        switch (state) {
        case Normal: return {QColor(28, 27, 28), kBgDark, QColor(78, 79, 80), kTextDim, true};
        case Hover: return {QColor(30, 30, 31), QColor(35, 35, 36), kAccentHi, Qt::white, true};
        case Pressed: return {QColor(24, 24, 25), QColor(30, 30, 31), kAccent, Qt::white, true};
        default: return {QColor(38, 38, 39), QColor(38, 38, 39), QColor(54, 54, 55), kDisabled, true};
        }
    }
    return {};
}

void paintBody(QPainter &p, const QRectF &frame, Tone tone, int state, qreal radius)
{
    const ButtonLook look = lookFor(tone, state);
    if (!look.body)
        return;
    const QRectF r = frame.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(look.border, 1));
    p.setBrush(vGrad(r, look.top, look.bottom));
    p.drawRoundedRect(r, radius, radius);
    if (state == Pressed && tone != Tone::Flat && tone != Tone::Danger) {
        // Inset shadow along the top edge.
        p.setPen(QPen(alpha(Qt::black, 70), 1));
        p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
    } else if (state != Disabled && (tone == Tone::Neutral || tone == Tone::Primary)) {
        // A faint top highlight reads as "raised".
        p.setPen(QPen(alpha(Qt::white, 36), 1));
        p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
    }
}

// Resting and disabled looks of flat text buttons: without a glyph they need a
// faint body of their own, or the two states would be indistinguishable.
void paintFlatRest(QPainter &p, const QRectF &frame, int state)
{
    const QRectF r = frame.adjusted(0.5, 0.5, -0.5, -0.5);
    if (state == Normal) {
        p.setPen(QPen(alpha(Qt::white, 18), 1));
        p.setBrush(alpha(Qt::white, 8));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(alpha(Qt::black, 60));
    }
    p.drawRoundedRect(r, 3, 3);
}

// ---- The table ------------------------------------------------------------

enum class Kind {
    TitleButton,  // 4 frames: glyph centred, flat body (Danger tone for close)
    ToolButton,   // 4 frames: raised body, glyph on the left, text area free
    PlainButton,  // 4 frames: body only, the program writes the text
    IconButton,   // 4 frames: body and centred glyph
    TabButton,    // 4 frames: flat with an accent underline when hovered/pressed
    Combo,        // 4 frames: input field with a chevron on the right
    Tile,         // 4 frames: format tile background
    TrimHandle,   // 4 frames: trim handle (glyph Play = start, anything else = end)
    Icon,         // one image: glyph in the tone's glyph colour with accent
    Custom        // one image: own painter
};

using PaintFn = std::function<void(QPainter &, const QSize &)>;

struct Entry {
    QString path;   // relative to OUTDIR, "image/..." or "pic/..."
    Kind kind;
    QSize frame;    // one frame for four-frame kinds, the whole image otherwise
    Tone tone = Tone::Neutral;
    Glyph glyph = Glyph::None;
    PaintFn paint = nullptr;
};

bool isFourFrame(Kind k)
{
    return k != Kind::Icon && k != Kind::Custom;
}

void paintFrame(QPainter &p, const Entry &e, const QRectF &r, int state)
{
    const ButtonLook look = lookFor(e.tone, state);
    const QColor accent = state == Disabled ? kDisabled : kAccentHi;
    switch (e.kind) {
    case Kind::TitleButton: {
        paintBody(p, r.adjusted(1, 1, -1, -1), e.tone, state, 3);
        const QRectF g = state == Pressed ? r.translated(0, 0.5) : r;
        drawGlyph(p, e.glyph, g, look.glyph, accent);
        break;
    }
    case Kind::ToolButton: {
        paintBody(p, r, e.tone, state, 4);
        const qreal gs = qMin<qreal>(22, r.height() - 12);
        QRectF g(r.left() + 9, r.center().y() - gs / 2, gs, gs);
        if (state == Pressed)
            g.translate(0, 1);
        drawGlyph(p, e.glyph, g, look.glyph, state == Hover ? QColor(200, 240, 255) : accent);
        break;
    }
    case Kind::PlainButton:
        if (e.tone == Tone::Flat && (state == Normal || state == Disabled))
            paintFlatRest(p, r, state);
        else
            paintBody(p, r, e.tone, state, e.tone == Tone::Flat ? 3 : 4);
        break;
    case Kind::IconButton: {
        paintBody(p, r, e.tone, state, 3);
        const qreal gs = qMin(r.width(), r.height()) * 0.8;
        QRectF g(r.center().x() - gs / 2, r.center().y() - gs / 2, gs, gs);
        if (state == Pressed)
            g.translate(0, 0.5);
        drawGlyph(p, e.glyph, g, look.glyph, accent);
        break;
    }
    case Kind::TabButton: {
        if (state == Normal || state == Disabled)
            paintFlatRest(p, r, state);
        else
            paintBody(p, r, Tone::Flat, Hover, 3);
        if (state == Hover || state == Pressed) {
            p.setPen(Qt::NoPen);
            p.setBrush(state == Pressed ? kAccentHi : kAccent);
            p.drawRoundedRect(QRectF(r.left() + 6, r.bottom() - 3, r.width() - 12, 3), 1.5, 1.5);
        }
        break;
    }
    case Kind::Combo: {
        paintBody(p, r, Tone::Field, state, 3);
        const qreal bw = qMin<qreal>(22, r.height());
        const QRectF b(r.right() - bw, r.top(), bw, r.height());
        p.setPen(QPen(alpha(lookFor(Tone::Field, state).border, 140), 1));
        p.drawLine(QPointF(b.left() + 0.5, r.top() + 5), QPointF(b.left() + 0.5, r.bottom() - 5));
        drawGlyph(p, Glyph::ChevronDown, b.adjusted(4, 4, -4, -4), look.glyph);
        break;
    }
    case Kind::Tile: {
        const QRectF t = r.adjusted(2.5, 2.5, -2.5, -2.5);
        QColor fill, border;
        qreal bw = 1;
        switch (state) {
        case Normal: fill = QColor(50, 51, 52); border = QColor(64, 65, 66); break;
        case Hover: fill = QColor(60, 62, 64); border = QColor(90, 150, 176); break;
        case Pressed: fill = QColor(36, 70, 86); border = kAccentHi; bw = 2; break;
        default: fill = QColor(42, 42, 43); border = QColor(50, 50, 51); break;
        }
        p.setPen(QPen(border, bw));
        p.setBrush(vGrad(t, fill.lighter(106), fill));
        p.drawRoundedRect(t, 6, 6);
        break;
    }
    case Kind::TrimHandle: {
        // A slim grip with a pointer towards the range it bounds.
        const bool start = e.glyph == Glyph::Play;
        QColor body = state == Hover ? kAccentHi : state == Pressed ? kAccentLo : state == Disabled ? kDisabled : kAccent;
        const qreal w = r.width(), h = r.height();
        QPainterPath path;
        const qreal x0 = r.left() + 1, x1 = r.right() - 1, tip = h * 0.72;
        if (start) {
            path.moveTo(x0, r.top() + 1);
            path.lineTo(x1, r.top() + 1);
            path.lineTo(x1, r.top() + h - 1);
            path.lineTo(x0, r.top() + tip);
        } else {
            path.moveTo(x0, r.top() + 1);
            path.lineTo(x1, r.top() + 1);
            path.lineTo(x1, r.top() + tip);
            path.lineTo(x0, r.top() + h - 1);
        }
        path.closeSubpath();
        p.setPen(QPen(body.lighter(130), 1));
        p.setBrush(vGrad(r, body.lighter(115), body));
        p.drawPath(path);
        p.setPen(QPen(alpha(Qt::white, state == Disabled ? 60 : 170), 1));
        for (int i = 0; i < 3; ++i) {
            const qreal y = r.top() + h * 0.28 + i * 3;
            p.drawLine(QPointF(r.left() + w * 0.3, y + 0.5), QPointF(r.right() - w * 0.3, y + 0.5));
        }
        break;
    }
    case Kind::Icon:
    case Kind::Custom:
        break;
    }
}

// ---- Single images --------------------------------------------------------

void paintCheck(QPainter &p, const QSize &sz, bool on)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(1.5, 1.5, -1.5, -1.5);
    if (on) {
        p.setPen(QPen(kAccentHi, 1));
        p.setBrush(vGrad(r, kAccentHi, kAccent));
    } else {
        p.setPen(QPen(QColor(120, 121, 122), 1.2));
        p.setBrush(vGrad(r, QColor(24, 23, 24), QColor(34, 33, 34)));
    }
    p.drawRoundedRect(r, 3, 3);
    if (on)
        drawGlyph(p, Glyph::Tick, r.adjusted(1, 1, -1, -1), Qt::white);
}

void paintRadio(QPainter &p, const QSize &sz, bool on)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(on ? kAccentHi : QColor(120, 121, 122), 1.2));
    p.setBrush(vGrad(r, QColor(24, 23, 24), QColor(34, 33, 34)));
    p.drawEllipse(r);
    if (on) {
        QRadialGradient g(r.center(), r.width() * 0.3);
        g.setColorAt(0, QColor(120, 200, 230));
        g.setColorAt(1, kAccentHi);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(r.center(), r.width() * 0.26, r.height() * 0.26);
    }
}

// The product mark: a rounded teal square with a play triangle.
void paintMark(QPainter &p, const QRectF &r)
{
    const qreal rad = r.width() * 0.22;
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(72, 174, 212));
    g.setColorAt(1, kAccentLo);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, rad, rad);
    p.setBrush(alpha(Qt::white, 40));
    QPainterPath gloss;
    gloss.addRoundedRect(r, rad, rad);
    QPainterPath top;
    top.addRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.45));
    p.drawPath(gloss.intersected(top));
    drawGlyph(p, Glyph::Play, r.adjusted(r.width() * 0.16, r.height() * 0.16, -r.width() * 0.1, -r.height() * 0.16),
              Qt::white);
}

const QString kProduct = QStringLiteral("Velmora Video Converter");

QSize logoSize(qreal markSize, qreal fontPx)
{
    const QFontMetricsF fm(uiFont(fontPx, true));
    const qreal w = markSize + markSize * 0.35 + fm.horizontalAdvance(kProduct) + 4;
    return QSize(qCeil(w), qCeil(qMax(markSize, fm.height())) + 2);
}

void paintLogo(QPainter &p, const QSize &sz, qreal markSize, qreal fontPx)
{
    const QRectF mark(1, (sz.height() - markSize) / 2, markSize, markSize);
    paintMark(p, mark);
    const QFont f = uiFont(fontPx, true);
    const QFontMetricsF fm(f);
    p.setFont(f);
    const qreal x = mark.right() + markSize * 0.35;
    const qreal base = sz.height() / 2.0 + (fm.ascent() - fm.descent()) / 2.0;
    const QString first = QStringLiteral("Velmora ");
    p.setPen(Qt::white);
    p.drawText(QPointF(x, base), first);
    p.setPen(QColor(110, 190, 222));
    p.drawText(QPointF(x + fm.horizontalAdvance(first), base), QStringLiteral("Video Converter"));
}

// A rounded dialog body with a darker title band of the given height.
void paintDialog(QPainter &p, const QRectF &r, qreal band, qreal radius, int bodyAlpha = 255)
{
    QPainterPath outline;
    outline.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(vGrad(r, alpha(QColor(44, 45, 45), bodyAlpha), alpha(QColor(38, 39, 39), bodyAlpha)));
    p.drawPath(outline);
    if (band > 0) {
        QPainterPath bandRect;
        bandRect.addRect(QRectF(r.left(), r.top(), r.width(), band));
        p.setBrush(vGrad(QRectF(r.left(), r.top(), r.width(), band), alpha(QColor(36, 35, 36), bodyAlpha),
                         alpha(kBgDark, bodyAlpha)));
        p.drawPath(outline.intersected(bandRect));
        p.setPen(QPen(alpha(Qt::black, 120), 1));
        p.drawLine(QPointF(r.left() + 1, r.top() + band - 0.5), QPointF(r.right() - 1, r.top() + band - 0.5));
        p.setPen(QPen(alpha(Qt::white, 14), 1));
        p.drawLine(QPointF(r.left() + 1, r.top() + band + 0.5), QPointF(r.right() - 1, r.top() + band + 0.5));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(78, 79, 80), 1));
    p.drawPath(outline);
}

void paintMainBackground(QPainter &p, const QSize &sz)
{
    const qreal m = 5;  // shadow margin on each side
    const QRectF outer(0, 0, sz.width(), sz.height());
    for (int i = 0; i < int(m); ++i) {
        const QRectF s = outer.adjusted(i + 0.5, i + 0.5, -i - 0.5, -i - 0.5);
        p.setPen(QPen(alpha(Qt::black, 12 + i * 14), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(s, 8 + m - i, 8 + m - i);
    }
    const QRectF body = outer.adjusted(m, m, -m, -m);
    const qreal radius = 6;
    const qreal titleBand = 66 - m;   // tool buttons end at y 60
    const qreal bottomBar = 66 - m;   // bottom bar widgets start 49 px above the edge
    QPainterPath outline;
    outline.addRoundedRect(body, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(kBgMid);
    p.drawPath(outline);

    const QRectF top(body.left(), body.top(), body.width(), titleBand);
    QPainterPath topPath;
    topPath.addRect(top);
    p.setBrush(vGrad(top, QColor(38, 37, 38), kBgDark));
    p.drawPath(outline.intersected(topPath));

    const QRectF bottom(body.left(), body.bottom() - bottomBar, body.width(), bottomBar);
    QPainterPath bottomPath;
    bottomPath.addRect(bottom);
    p.setBrush(vGrad(bottom, QColor(36, 35, 36), kBgDark));
    p.drawPath(outline.intersected(bottomPath));

    // Separators: a dark line with a faint highlight beneath reads as a groove.
    p.setPen(QPen(alpha(Qt::black, 150), 1));
    p.drawLine(QPointF(body.left(), top.bottom() - 0.5), QPointF(body.right(), top.bottom() - 0.5));
    p.drawLine(QPointF(body.left(), bottom.top() + 0.5), QPointF(body.right(), bottom.top() + 0.5));
    p.setPen(QPen(alpha(Qt::white, 16), 1));
    p.drawLine(QPointF(body.left(), bottom.top() + 1.5), QPointF(body.right(), bottom.top() + 1.5));
    // A thin accent at the very top of the title band.
    QLinearGradient accent(body.topLeft(), body.topRight());
    accent.setColorAt(0, alpha(kAccent, 0));
    accent.setColorAt(0.5, alpha(kAccentHi, 200));
    accent.setColorAt(1, alpha(kAccent, 0));
    p.setPen(QPen(QBrush(accent), 1));
    p.drawLine(QPointF(body.left() + radius, body.top() + 0.5), QPointF(body.right() - radius, body.top() + 0.5));

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(70, 71, 72), 1));
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// Translucent toast with an info mark on the left (text starts at x 50).
void paintToast(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(alpha(kAccentHi, 200), 1));
    p.setBrush(vGrad(r, QColor(44, 45, 46, 236), QColor(30, 29, 30, 236)));
    p.drawRoundedRect(r, 8, 8);
    const qreal d = 26;
    const QRectF icon(13, sz.height() / 2.0 - d / 2 - 5, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(vGrad(icon, kAccentHi, kAccent));
    p.drawEllipse(icon);
    drawGlyph(p, Glyph::Info, icon, Qt::white);
}

void paintStatusIcon(QPainter &p, const QSize &sz, int kind)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(1, 1, -1, -1);
    if (kind == 0) {  // warning: rounded triangle with "!"
        QPainterPath tri;
        const qreal t = r.top() + 1.5, b = r.bottom() - 2;
        tri.moveTo(r.center().x(), t);
        tri.lineTo(r.right() - 0.5, b);
        tri.lineTo(r.left() + 0.5, b);
        tri.closeSubpath();
        p.setPen(roundPen(kWarning.darker(115), 2.5));
        p.setBrush(vGrad(r, kWarning.lighter(115), kWarning));
        p.drawPath(tri);
        drawGlyph(p, Glyph::Exclaim, QRectF(r.left(), r.top() + r.height() * 0.14, r.width(), r.height() * 0.86),
                  QColor(40, 30, 10));
        return;
    }
    const QColor base = kind == 1 ? kDanger : kSuccess;
    p.setPen(QPen(base.darker(125), 1));
    p.setBrush(vGrad(r, base.lighter(125), base));
    p.drawEllipse(r);
    if (kind == 1)
        drawGlyph(p, Glyph::Cross, r.adjusted(1, 1, -1, -1), Qt::white);
    else
        drawGlyph(p, Glyph::Tick, r.adjusted(1, 1, -1, -1), Qt::white);
    // Small gloss.
    QPainterPath circle;
    circle.addEllipse(r);
    QPainterPath topHalf;
    topHalf.addEllipse(QRectF(r.left() + r.width() * 0.15, r.top() + 1, r.width() * 0.7, r.height() * 0.4));
    p.setPen(Qt::NoPen);
    p.setBrush(alpha(Qt::white, 36));
    p.drawPath(circle.intersected(topHalf));
}

// Placeholder picture for items without a thumbnail.
void paintVideoPlaceholder(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(QColor(70, 71, 72), 1));
    p.setBrush(vGrad(r, QColor(48, 49, 50), QColor(30, 30, 31)));
    p.drawRoundedRect(r, 4, 4);
    const qreal s = qMin(sz.width(), sz.height()) * 0.62;
    drawGlyph(p, Glyph::Video, QRectF(r.center().x() - s / 2, r.center().y() - s / 2, s, s), QColor(120, 121, 122),
              QColor(90, 160, 190));
}

void paintPlayOverlay(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(alpha(Qt::white, 220), 2));
    p.setBrush(alpha(Qt::black, 120));
    p.drawEllipse(r);
    drawGlyph(p, Glyph::Play, r.adjusted(r.width() * 0.06, 0, 0, 0), alpha(Qt::white, 235));
}

void paintBadge(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(kOrange.darker(120), 1));
    p.setBrush(vGrad(r, kOrange.lighter(115), kOrange));
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
}

// Pill-shaped bar part (tracks and filled parts of sliders and progress bars).
void paintPill(QPainter &p, const QSize &sz, const QColor &top, const QColor &bottom, const QColor &border)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(border.alpha() ? QPen(border, 1) : QPen(Qt::NoPen));
    p.setBrush(vGrad(r, top, bottom));
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
}

void paintKnob(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(1, 1, -1, -1);
    p.setPen(QPen(kAccentHi, 1.5));
    QRadialGradient g(r.center() - QPointF(r.width() * 0.15, r.height() * 0.15), r.width() * 0.7);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(196, 200, 204));
    p.setBrush(g);
    p.drawEllipse(r);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(r.center(), r.width() * 0.16, r.height() * 0.16);
}

void paintArrow(QPainter &p, const QSize &sz, bool up, const QColor &c)
{
    const qreal w = sz.width(), h = sz.height();
    QPainterPath tri;
    if (up) {
        tri.moveTo(w / 2, 1.5);
        tri.lineTo(w - 1, h - 2);
        tri.lineTo(1, h - 2);
    } else {
        tri.moveTo(1, 2);
        tri.lineTo(w - 1, 2);
        tri.lineTo(w / 2, h - 1.5);
    }
    tri.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(tri);
}

// The empty queue: a dashed drop zone with a film strip, a drop arrow and a plus.
void paintNoFile(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(2, 2, -2, -2);
    QPen dash(QColor(110, 112, 114), 1.5, Qt::DashLine);
    dash.setDashPattern({5, 4});
    p.setPen(dash);
    p.setBrush(alpha(Qt::black, 40));
    p.drawRoundedRect(r, 12, 12);

    const QRectF film(r.center().x() - 46, r.center().y() - 14, 92, 50);
    p.setPen(QPen(QColor(150, 152, 154), 2));
    p.setBrush(QColor(52, 53, 54));
    p.drawRoundedRect(film, 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 152, 154));
    for (int i = 0; i < 8; ++i) {
        const qreal x = film.left() + 6 + i * 11;
        p.drawRoundedRect(QRectF(x, film.top() + 4, 6, 5), 1, 1);
        p.drawRoundedRect(QRectF(x, film.bottom() - 9, 6, 5), 1, 1);
    }
    p.setBrush(QColor(70, 72, 74));
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(film.left() + 8 + i * 26, film.top() + 13, 24, 24));

    // Drop arrow above the strip.
    const qreal ax = film.center().x();
    p.setPen(roundPen(kAccentHi, 3));
    p.drawLine(QPointF(ax, r.top() + 12), QPointF(ax, film.top() - 8));
    p.drawPolyline(QPolygonF({QPointF(ax - 9, film.top() - 16), QPointF(ax, film.top() - 7),
                              QPointF(ax + 9, film.top() - 16)}));

    // Plus badge over the lower right corner.
    const QPointF pc(film.right() - 2, film.bottom() - 2);
    p.setPen(QPen(kBgLight, 3));
    p.setBrush(vGrad(QRectF(pc.x() - 14, pc.y() - 14, 28, 28), kAccentHi, kAccent));
    p.drawEllipse(pc, 14, 14);
    p.setPen(roundPen(Qt::white, 3));
    p.drawLine(QPointF(pc.x() - 6, pc.y()), QPointF(pc.x() + 6, pc.y()));
    p.drawLine(QPointF(pc.x(), pc.y() - 6), QPointF(pc.x(), pc.y() + 6));
}

void paintEditField(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(QColor(74, 75, 76), 1));
    p.setBrush(kBgDark);
    p.drawRoundedRect(r, 3, 3);
    p.setPen(QPen(alpha(Qt::black, 90), 1));
    p.drawLine(QPointF(r.left() + 3, r.top() + 1.5), QPointF(r.right() - 3, r.top() + 1.5));
}

void paintPanel(QPainter &p, const QSize &sz)
{
    const QRectF r = QRectF(QPointF(0, 0), sz).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(QColor(70, 71, 72), 1));
    p.setBrush(vGrad(r, QColor(52, 53, 54), QColor(44, 45, 45)));
    p.drawRoundedRect(r, 6, 6);
    p.setPen(QPen(alpha(Qt::white, 18), 1));
    p.drawLine(QPointF(r.left() + 6, r.top() + 1.5), QPointF(r.right() - 6, r.top() + 1.5));
}

void paintPlaylist(QPainter &p, const QSize &sz)
{
    const QRectF r(0, 0, sz.width(), sz.height());
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, QColor(27, 26, 27));
    g.setColorAt(1, QColor(35, 34, 35));
    p.fillRect(r, g);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.drawLine(QPointF(0.5, 0), QPointF(0.5, sz.height()));
    p.setPen(QPen(alpha(Qt::white, 14), 1));
    p.drawLine(QPointF(1.5, 0), QPointF(1.5, sz.height()));
}

// ---- Format icons -----------------------------------------------------------

// One format of the catalogue, as far as its icon needs it.
struct FormatFacts {
    QString category;
    QString id;
    QString title;
    QString ext;
};

// The formats of a profile catalogue (an XML property list): every dictionary
// under the key "baseinfo", with the root key of the array it sits in as its
// category. Only the structure the catalogue promises is relied on.
bool readFormatFacts(const QString &plistPath, std::vector<FormatFacts> &out, QString &error)
{
    QFile file(plistPath);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read ") + plistPath;
        return false;
    }
    QXmlStreamReader xml(&file);
    QString lastKey;          // text of the last <key> seen
    QString category;         // root key of the array being walked
    int depth = 0;            // element depth; the root dictionary's children sit at 3
    int baseinfoDepth = -1;   // depth of the open "baseinfo" dictionary
    FormatFacts current;
    QString innerKey;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const auto name = xml.name();
            if (name == QLatin1String("key")) {
                const QString key = xml.readElementText();
                --depth; // readElementText consumed the end element
                if (baseinfoDepth >= 0)
                    innerKey = key;
                else
                    lastKey = key;
            } else if (name == QLatin1String("array") && depth == 3) {
                category = lastKey;
            } else if (name == QLatin1String("dict") && lastKey == QLatin1String("baseinfo") && baseinfoDepth < 0) {
                baseinfoDepth = depth;
                current = FormatFacts{category, {}, {}, {}};
                lastKey.clear();
            } else if (name == QLatin1String("string") && baseinfoDepth >= 0) {
                const QString value = xml.readElementText();
                --depth;
                if (innerKey == QLatin1String("id"))
                    current.id = value.trimmed();
                else if (innerKey == QLatin1String("title"))
                    current.title = value;
                else if (innerKey == QLatin1String("ext"))
                    current.ext = value.trimmed();
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("dict") && depth == baseinfoDepth) {
                baseinfoDepth = -1;
                if (!current.id.isEmpty())
                    out.push_back(current);
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        error = plistPath + QStringLiteral(": ") + xml.errorString();
        return false;
    }
    return true;
}

// A stable colour per container, so that tiles of one container look alike
// and different containers differ.
QColor containerColour(const QString &ext)
{
    static const QList<QColor> palette = {
        QColor(37, 118, 150), QColor(168, 72, 60),  QColor(70, 130, 70),  QColor(140, 90, 160),
        QColor(180, 120, 30), QColor(50, 110, 170), QColor(150, 60, 110), QColor(60, 135, 130),
        QColor(110, 110, 50), QColor(95, 95, 150),  QColor(160, 80, 40),  QColor(40, 100, 90),
    };
    uint h = 0;
    for (const QChar ch : ext.toLower())
        h = h * 31 + ch.unicode();
    return palette.at(int(h % uint(palette.size())));
}

// What the format is for, judged from its title and category.
Glyph formatGlyph(const FormatFacts &f)
{
    const QString t = f.title.toLower();
    if (f.category.contains(QLatin1String("Audio"), Qt::CaseInsensitive))
        return Glyph::Note;
    if (t.contains(QLatin1String("dvd")))
        return Glyph::Disc;
    if (t.contains(QLatin1String("phone")) || t.contains(QLatin1String("tablet")) || t.contains(QLatin1String("watch"))
        || t.contains(QLatin1String("handheld")) || t.contains(QLatin1String("portable")))
        return Glyph::Devices;
    if (t.contains(QLatin1String("tv")) || t.contains(QLatin1String("projector")) || t.contains(QLatin1String("hd"))
        || t.contains(QLatin1String("4k")) || t.contains(QLatin1String("qhd")))
        return Glyph::HdScreen;
    if (f.category.contains(QLatin1String("Web"), Qt::CaseInsensitive) || t.contains(QLatin1String("flash")))
        return Glyph::Globe;
    if (t.contains(QLatin1String("game")) || t.contains(QLatin1String("car")) || t.contains(QLatin1String("frame")))
        return Glyph::Play;
    return Glyph::Film;
}

// A short tag that tells formats of one container apart: the picture size
// and the codec where the title names them ("720p HEVC"), else the title's
// first word.
QString formatTag(const FormatFacts &f)
{
    const QString t = f.title;
    QStringList parts;
    static const char *const sizes[] = {"4K", "1440p", "1080p", "720p", "Full HD", "PAL", "NTSC"};
    for (const char *tag : sizes)
        if (t.contains(QLatin1String(tag), Qt::CaseInsensitive)) {
            parts << QString::fromLatin1(tag);
            break;
        }
    static const QList<QPair<const char *, const char *>> codecs = {
        {"H.265", "HEVC"}, {"HEVC", "HEVC"}, {"VP9", "VP9"}, {"VP8", "VP8"}, {"Xvid", "Xvid"},
        {"MPEG-2", "MPEG-2"}, {"MPEG-1", "MPEG-1"}, {"ALAC", "ALAC"}, {"Vorbis", "Vorbis"}, {"Motion JPEG", "MJPEG"}};
    for (const auto &c : codecs)
        if (t.contains(QLatin1String(c.first), Qt::CaseInsensitive)) {
            parts << QString::fromLatin1(c.second);
            break;
        }
    if (t.contains(QLatin1String("TV")))
        parts.prepend(QStringLiteral("TV"));
    if (parts.isEmpty()) {
        // The longest word that is not the container or a generic one.
        static const QStringList generic = {"video", "audio", "media", "player", "format"};
        QString best;
        for (const QString &w : t.split(QRegularExpression(QStringLiteral("[\\s,()]+")), Qt::SkipEmptyParts))
            if (w.compare(f.ext, Qt::CaseInsensitive) != 0 && !generic.contains(w.toLower()) && w.size() > best.size())
                best = w;
        parts << best;
    }
    return parts.join(QLatin1Char(' '));
}

// A document-shaped badge in the container's colour, the container name in
// large letters, the glyph of what the format is for, and a short tag.
void paintFormatIcon(QPainter &p, const QSize &sz, const FormatFacts &f)
{
    const qreal w = sz.width(), h = sz.height();
    const QRectF doc(w * 0.12, h * 0.04, w * 0.76, h * 0.92);
    const qreal fold = w * 0.18;
    QPainterPath page;
    page.moveTo(doc.left() + 4, doc.top());
    page.lineTo(doc.right() - fold, doc.top());
    page.lineTo(doc.right(), doc.top() + fold);
    page.lineTo(doc.right(), doc.bottom() - 4);
    page.quadTo(doc.right(), doc.bottom(), doc.right() - 4, doc.bottom());
    page.lineTo(doc.left() + 4, doc.bottom());
    page.quadTo(doc.left(), doc.bottom(), doc.left(), doc.bottom() - 4);
    page.lineTo(doc.left(), doc.top() + 4);
    page.quadTo(doc.left(), doc.top(), doc.left() + 4, doc.top());
    const QColor base = containerColour(f.ext);
    p.setPen(QPen(base.lighter(135), 1));
    p.setBrush(vGrad(doc, base.lighter(118), base.darker(125)));
    p.drawPath(page);
    // The folded corner.
    QPainterPath corner;
    corner.moveTo(doc.right() - fold, doc.top());
    corner.lineTo(doc.right() - fold, doc.top() + fold);
    corner.lineTo(doc.right(), doc.top() + fold);
    corner.closeSubpath();
    p.setBrush(base.lighter(150));
    p.drawPath(corner);

    const QRectF glyphBox(doc.left() + doc.width() * 0.1, doc.top() + doc.height() * 0.08, doc.height() * 0.34,
                          doc.height() * 0.34);
    drawGlyph(p, formatGlyph(f), glyphBox, Qt::white, QColor(255, 214, 120));

    const QString name = f.ext.toUpper().left(5);
    QFont big = uiFont(doc.height() * (name.size() > 3 ? 0.22 : 0.27), true);
    p.setFont(big);
    p.setPen(Qt::white);
    const QRectF nameBox(doc.left(), doc.top() + doc.height() * 0.44, doc.width(), doc.height() * 0.3);
    p.drawText(nameBox, Qt::AlignCenter, name);

    const QString tag = formatTag(f);
    if (!tag.isEmpty()) {
        const qreal px = doc.height() * (tag.size() > 7 ? 0.13 : 0.15);
        QFont small = uiFont(px, false);
        p.setFont(small);
        p.setPen(QColor(235, 240, 245));
        const QRectF tagBox(doc.left() + 2, doc.top() + doc.height() * 0.74, doc.width() - 4, doc.height() * 0.22);
        p.drawText(tagBox, Qt::AlignCenter, QFontMetricsF(small).elidedText(tag, Qt::ElideRight, tagBox.width()));
    }
}

void paintFormatDialog(QPainter &p, const QSize &sz)
{
    const QRectF r(QPointF(0, 0), sz);
    paintDialog(p, r, 34, 8);
    // The column of category buttons sits on a darker strip.
    const QRectF column(10, 39, 160, sz.height() - 39 - 58);
    p.setPen(QPen(alpha(Qt::black, 90), 1));
    p.setBrush(alpha(kBgDark, 200));
    p.drawRoundedRect(column.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    // The grid's well.
    const QRectF grid(178, 36, sz.width() - 178 - 10, sz.height() - 36 - 58);
    p.setBrush(alpha(Qt::black, 40));
    p.drawRoundedRect(grid.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    p.setFont(uiFont(13, true));
    p.setPen(kTextDim);
    p.drawText(QRectF(16, 0, 300, 34), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Output Format"));
}

std::vector<Entry> skinEntries()
{
    using K = Kind;
    using T = Tone;
    using G = Glyph;
    auto custom = [](const QString &path, QSize size, PaintFn fn) {
        Entry e{path, K::Custom, size};
        e.paint = std::move(fn);
        return e;
    };
    const QSize title(20, 20);
    const QSize tool(110, 36);
    const QSize common(90, 30);
    const QSize icon2x(48, 44);
    const QSize mainLogo = logoSize(30, 17);
    const QSize dlgLogo = logoSize(20, 12);

    std::vector<Entry> t = {
        // Title bars (main window, player, message box).
        {"image/btn_min.png", K::TitleButton, title, T::Flat, G::Minus},
        {"image/btn_max.png", K::TitleButton, title, T::Flat, G::Square},
        {"image/btn_restore.png", K::TitleButton, title, T::Flat, G::Restore},
        {"image/btn_close.png", K::TitleButton, title, T::Danger, G::Cross},
        {"image/btn_meun.png", K::TitleButton, title, T::Flat, G::Bars},
        {"image/Player_Dlg/btn_max.png", K::TitleButton, title, T::Flat, G::Square},
        {"image/Player_Dlg/btn_restore.png", K::TitleButton, title, T::Flat, G::Restore},
        {"pic/btn_close.png", K::TitleButton, title, T::Danger, G::Cross},

        // Main window tool buttons and bottom bar.
        {"image/btn_add_files.png", K::ToolButton, tool, T::Neutral, G::AddFile},
        {"image/btn_dvd.png", K::ToolButton, tool, T::Neutral, G::Disc},
        // Wider: the count badge sits at its top right, clear of the text.
        {"image/btn_converted.png", K::ToolButton, QSize(128, 36), T::Neutral, G::Converted},
        {"image/btn_open.png", K::PlainButton, QSize(70, 30), T::Neutral},
        {"image/button_Sel.png", K::IconButton, QSize(30, 30), T::Neutral, G::Dots},
        {"image/Common_bg/btn_common1.png", K::PlainButton, common, T::Neutral},
        {"image/Common_bg/btn_common3.png", K::PlainButton, QSize(120, 36), T::Primary},
        {"pic/btn_common.png", K::PlainButton, QSize(80, 28), T::Neutral},
        {"image/btn_prefer.png", K::PlainButton, QSize(120, 36), T::Flat},

        // Format chooser and custom parameters.
        {"image/Format_Dlg/btn_Devices.png", K::PlainButton, QSize(150, 45), T::Flat},
        {"image/Format_Dlg/btn_video.png", K::TabButton, QSize(80, 28), T::Flat},
        {"image/Format_Dlg/btn_audio.png", K::TabButton, QSize(80, 28), T::Flat},
        {"image/Format_Dlg/btn_Default.png", K::PlainButton, QSize(80, 28), T::Neutral},
        {"image/Format_Dlg/btn_quality.png", K::IconButton, QSize(22, 26), T::Flat, G::ChevronDown},
        {"image/Format_Dlg/btn_settings.png", K::IconButton, QSize(20, 20), T::Flat, G::Gear},
        {"image/Format_Dlg/format_item.png", K::Tile, QSize(120, 110)},
        {"image/Common_bg/bg_combobox2.png", K::Combo, QSize(140, 26), T::Field},
        {"image/Format_Dlg/main_icon_format@2x.png", K::Icon, icon2x, T::Neutral, G::Format},
        {"image/Format_Dlg/profile_icon_devices@2x.png", K::Icon, icon2x, T::Neutral, G::Devices},
        {"image/Format_Dlg/profile_icon_hdvideo@2x.png", K::Icon, icon2x, T::Neutral, G::HdScreen},
        {"image/Format_Dlg/profile_icon_webvideo@2x.png", K::Icon, icon2x, T::Neutral, G::Globe},
        {"image/Format_Dlg/profile_icon_video@2x.png", K::Icon, icon2x, T::Neutral, G::Video},
        {"image/Format_Dlg/profile_icon_audio@2x.png", K::Icon, icon2x, T::Neutral, G::Audio},

        // Edit dialog.
        {"image/EditDlg/Edit_btn_folder.png", K::IconButton, QSize(24, 24), T::Flat, G::Folder},
        {"image/EditDlg/Edit_btn_start_slider.png", K::TrimHandle, QSize(12, 24), T::Neutral, G::Play},
        {"image/EditDlg/Edit_btn_end_slider.png", K::TrimHandle, QSize(12, 24), T::Neutral, G::None},
        {"image/videodisplay/main_icon_audio@2x.png", K::Icon, QSize(32, 32), T::Neutral, G::Note},
        {"image/videodisplay/main_icon_subtitle@2x.png", K::Icon, QSize(32, 32), T::Neutral, G::Subtitle},
    };

    auto add = [&t](Entry e) { t.push_back(std::move(e)); };

    // Check boxes and radio buttons (one image each, 18 x 18).
    add(custom("image/Common_bg/btn_check_off.png", {18, 18}, [](QPainter &p, const QSize &s) { paintCheck(p, s, false); }));
    add(custom("image/Common_bg/btn_check_on.png", {18, 18}, [](QPainter &p, const QSize &s) { paintCheck(p, s, true); }));
    add(custom("image/EditDlg/Edit_selections_no.png", {18, 18}, [](QPainter &p, const QSize &s) { paintRadio(p, s, false); }));
    add(custom("image/EditDlg/Edit_selections_yes.png", {18, 18}, [](QPainter &p, const QSize &s) { paintRadio(p, s, true); }));

    // Backgrounds.
    add(custom("image/backgroud.png", {972, 702}, paintMainBackground));
    add(custom("image/Common_bg/bg_1.png", {520, 380}, [](QPainter &p, const QSize &s) {
        paintDialog(p, QRectF(QPointF(0, 0), s), 40, 8);
    }));
    add(custom("image/Common_bg/bg_2.png", {420, 240}, [](QPainter &p, const QSize &s) {
        paintDialog(p, QRectF(QPointF(0, 0), s), 40, 8);
    }));
    add(custom("image/EditDlg/Edit_bg_edit.png", {960, 640}, [](QPainter &p, const QSize &s) {
        paintDialog(p, QRectF(QPointF(0, 0), s), 40, 8);
    }));
    add(custom("pic/bg_msg.png", {120, 120}, [](QPainter &p, const QSize &s) {
        paintDialog(p, QRectF(QPointF(0, 0), s), 31, 6);
    }));
    add(custom("image/mess_opacity.png", {400, 200}, paintToast));
    add(custom("image/msg_small_opacity.png", {350, 100}, paintToast));
    add(custom("image/Format_Dlg/bg_setting.png", {640, 200}, paintPanel));
    add(custom("image/Format_Dlg/bg_format.png", {890, 585}, paintFormatDialog));
    add(custom("image/bg_edit.png", {200, 30}, paintEditField));
    add(custom("image/playlist_bg.PNG", {230, 480}, paintPlaylist));
    add(custom("image/bg_noFile.png", {200, 130}, paintNoFile));

    // Logos and message icons.
    add(custom("image/Common_bg/main_logo.png", mainLogo, [](QPainter &p, const QSize &s) { paintLogo(p, s, 30, 17); }));
    add(custom("image/Common_bg/dlg_logo.png", dlgLogo, [](QPainter &p, const QSize &s) { paintLogo(p, s, 20, 12); }));
    add(custom("image/Common_bg/no_title_logo.png", {32, 32}, [](QPainter &p, const QSize &s) {
        paintMark(p, QRectF(1, 1, s.width() - 2, s.height() - 2));
    }));
    add(custom("pic/msg_title_icon.png", {16, 16}, [](QPainter &p, const QSize &s) {
        paintMark(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1));
    }));
    add(custom("pic/warning.png", {32, 32}, [](QPainter &p, const QSize &s) { paintStatusIcon(p, s, 0); }));
    add(custom("pic/error.png", {32, 32}, [](QPainter &p, const QSize &s) { paintStatusIcon(p, s, 1); }));
    add(custom("pic/Success.png", {32, 32}, [](QPainter &p, const QSize &s) { paintStatusIcon(p, s, 2); }));

    // Queue rows, loading bar, converted list.
    add(custom("image/videodisplay/Video_icon.png", {112, 72}, paintVideoPlaceholder));
    add(custom("image/Converted_Dlg/Video_icon.png", {80, 60}, paintVideoPlaceholder));
    add(custom("image/videodisplay/btn_play.png", {32, 32}, paintPlayOverlay));
    add(custom("image/videodisplay/loading_trake.png", {100, 8}, [](QPainter &p, const QSize &s) {
        paintPill(p, s, QColor(20, 20, 21), QColor(30, 30, 31), QColor(64, 65, 66));
    }));
    add(custom("image/videodisplay/loading_trake2.png", {100, 8}, [](QPainter &p, const QSize &s) {
        paintPill(p, s, kAccentHi, kAccent, QColor(0, 0, 0, 0));
    }));
    add(custom("image/EditDlg/btn_count.png", {24, 16}, paintBadge));

    // Sliders of the edit dialog: the knob (…_slider) and the filled part (…_rate).
    add(custom("image/EditDlg/Edit_play_trake_slider.png", {14, 14}, paintKnob));
    add(custom("image/EditDlg/Edit_sound_trake_slider.png", {12, 12}, paintKnob));
    auto rate = [](QPainter &p, const QSize &s) { paintPill(p, s, kAccentHi, kAccent, QColor(0, 0, 0, 0)); };
    add(custom("image/EditDlg/Edit_play_trake_rate.png", {24, 6}, rate));
    add(custom("image/EditDlg/Edit_sound_trake_rate.png", {24, 6}, rate));
    // Named without extension in places; the PNG content is detected either way.
    add(custom("image/EditDlg/Edit_sound_trake_rate", {24, 6}, rate));
    add(custom("image/EditDlg/Edit_TrimDSlider_rste.png", {24, 8}, [](QPainter &p, const QSize &s) {
        p.fillRect(QRectF(QPointF(0, 0), s), alpha(kAccent, 150));
        p.fillRect(QRectF(0, 0, s.width(), 1), alpha(kAccentHi, 220));
        p.fillRect(QRectF(0, s.height() - 1, s.width(), 1), alpha(kAccentHi, 220));
    }));

    // Player window: control bar buttons, sliders and the window background.
    const QSize playerButton(28, 28);
    for (const auto &[name, glyph] : std::vector<std::pair<QString, G>>{
             {"btn_play", G::Play}, {"btn_pause", G::Pause}, {"btn_stop", G::Stop}, {"btn_pre", G::Prev},
             {"btn_next", G::Next}, {"btn_back", G::Rewind}, {"btn_fast", G::Forward}, {"btn_volume", G::Speaker},
             {"btn_mute", G::Mute}, {"btn_fullscreen", G::FullScreen}, {"btn_list", G::Bars},
             {"btn_snapshot", G::Camera}, {"btn_setting", G::Gear}})
        add(Entry{"image/Player_Dlg/" + name + ".png", K::IconButton, playerButton, T::Flat, glyph});
    add(custom("image/Player_Dlg/play_trake_slider.png", {14, 14}, paintKnob));
    add(custom("image/Player_Dlg/sound_trake_slider.png", {12, 12}, paintKnob));
    add(custom("image/Player_Dlg/play_trake_rate.png", {24, 4}, rate));
    add(custom("image/Player_Dlg/sound_trake_rate.png", {24, 4}, rate));
    add(custom("image/Player_Dlg/bg_player.png", {240, 240}, [](QPainter &p, const QSize &s) {
        paintDialog(p, QRectF(QPointF(0, 0), s), 32, 6);
    }));

    // Scroll bar arrows: "…2" is the resting look, the plain name the hover look.
    add(custom("image/ScrollBar/btn_up.png", {9, 8}, [](QPainter &p, const QSize &s) { paintArrow(p, s, true, QColor(210, 210, 210)); }));
    add(custom("image/ScrollBar/btn_up2.png", {9, 8}, [](QPainter &p, const QSize &s) { paintArrow(p, s, true, QColor(112, 113, 114)); }));
    add(custom("image/ScrollBar/btn_down.png", {9, 8}, [](QPainter &p, const QSize &s) { paintArrow(p, s, false, QColor(210, 210, 210)); }));
    add(custom("image/ScrollBar/btn_down2.png", {9, 8}, [](QPainter &p, const QSize &s) { paintArrow(p, s, false, QColor(112, 113, 114)); }));

    // Queue row buttons: "Edit" (text written by the program) and rename, a
    // pencil in four frames (normal, hover, pressed, disabled).
    add(Entry{"image/videodisplay/btn_edit.png", K::PlainButton, QSize(64, 24), T::Neutral});
    add(custom("image/videodisplay/btn_rename.png", {80, 20}, [](QPainter &p, const QSize &s) {
        const QColor colours[4] = {kTextDim, Qt::white, kAccentHi, QColor(90, 90, 92)};
        const qreal f = s.height();
        for (int i = 0; i < 4; ++i) {
            const QPointF o(i * f, 0);
            p.setPen(roundPen(colours[i], 1.6));
            p.setBrush(Qt::NoBrush);
            QPolygonF pencil;
            pencil << o + QPointF(f * 0.25, f * 0.75) << o + QPointF(f * 0.30, f * 0.58)
                   << o + QPointF(f * 0.65, f * 0.23) << o + QPointF(f * 0.77, f * 0.35)
                   << o + QPointF(f * 0.42, f * 0.70);
            p.drawPolygon(pencil);
            p.drawLine(o + QPointF(f * 0.22, f * 0.82), o + QPointF(f * 0.80, f * 0.82));
        }
    }));

    return t;
}

QImage render(const Entry &e)
{
    if (isFourFrame(e.kind)) {
        QImage img = blank(e.frame.width() * 4, e.frame.height());
        QPainter p(&img);
        smooth(p);
        for (int s = 0; s < 4; ++s) {
            p.save();
            p.setClipRect(QRect(QPoint(s * e.frame.width(), 0), e.frame));
            paintFrame(p, e, QRectF(QPointF(s * e.frame.width(), 0), e.frame), s);
            p.restore();
        }
        return img;
    }
    QImage img = blank(e.frame.width(), e.frame.height());
    QPainter p(&img);
    smooth(p);
    if (e.kind == Kind::Icon) {
        const qreal s = qMin(e.frame.width(), e.frame.height());
        const QRectF box((e.frame.width() - s) / 2, (e.frame.height() - s) / 2, s, s);
        drawGlyph(p, e.glyph, box.adjusted(1, 1, -1, -1), QColor(214, 214, 216), kAccentHi);
    } else if (e.paint) {
        e.paint(p, e.frame);
    }
    return img;
}

// Contact sheet: every image on a checkerboard (to show transparency) with its path and size.
QImage contactSheet(const std::vector<std::pair<QString, QImage>> &images)
{
    const int cellW = 250, maxImgW = cellW - 20, maxImgH = 150, labelH = 30, cols = 6;
    struct Cell { QString label; QImage img; };
    std::vector<Cell> cells;
    for (const auto &[path, img] : images) {
        QImage shown = img;
        if (shown.width() > maxImgW || shown.height() > maxImgH)
            shown = shown.scaled(maxImgW, maxImgH, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        else if (shown.width() * 2 <= maxImgW && shown.height() * 2 <= maxImgH && shown.width() < 64)
            shown = shown.scaled(shown.size() * 2);  // tiny images doubled, pixel for pixel
        cells.push_back({QStringLiteral("%1  %2x%3").arg(path).arg(img.width()).arg(img.height()), shown});
    }
    const int rows = int((cells.size() + cols - 1) / cols);
    const int cellH = maxImgH + labelH + 10;
    QImage sheet(cols * cellW, rows * cellH, QImage::Format_RGB32);
    QPainter p(&sheet);
    for (int y = 0; y < sheet.height(); y += 8)
        for (int x = 0; x < sheet.width(); x += 8)
            p.fillRect(x, y, 8, 8, ((x + y) / 8) % 2 ? QColor(52, 52, 56) : QColor(64, 64, 68));
    p.setFont(uiFont(10, false));
    for (size_t i = 0; i < cells.size(); ++i) {
        const int cx = int(i % cols) * cellW, cy = int(i / cols) * cellH;
        p.setPen(QColor(25, 25, 25));
        p.drawRect(cx, cy, cellW - 1, cellH - 1);
        const QImage &img = cells[i].img;
        p.drawImage(cx + (cellW - img.width()) / 2, cy + 5 + (maxImgH - img.height()) / 2, img);
        p.setPen(QColor(230, 230, 230));
        p.drawText(QRect(cx + 4, cy + maxImgH + 8, cellW - 8, labelH), Qt::AlignHCenter | Qt::TextWordWrap,
                   cells[i].label);
    }
    return sheet;
}

// The program's icon for the desktop's icon theme: the product mark in each
// size folder (DIR/NxN/apps/NAME.png), drawn at that size rather than scaled,
// with the small margin theme icons keep around their shape.
int paintAppIcons(const QString &dir, const QString &name, QTextStream &err)
{
    int failures = 0;
    for (const int n : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        QImage img = blank(n, n);
        {
            QPainter p(&img);
            smooth(p);
            const qreal m = n <= 24 ? 0.5 : n / 16.0;
            paintMark(p, QRectF(m, m, n - 2 * m, n - 2 * m));
        }
        const QString file = QStringLiteral("%1/%2x%2/apps/%3.png").arg(dir).arg(n).arg(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!img.convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            err << "skingen: cannot write " << file << "\n";
            ++failures;
        }
    }
    return failures;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString sheetPath;
    QString profilesPath;
    QString iconDir;
    QString iconName;
    bool list = false;
    QString out;
    bool usageError = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet") && i + 1 < args.size())
            sheetPath = args[++i];
        else if (args[i] == QLatin1String("--profiles") && i + 1 < args.size())
            profilesPath = args[++i];
        else if (args[i] == QLatin1String("--icons") && i + 2 < args.size()) {
            iconDir = args[++i];
            iconName = args[++i];
        } else if (args[i] == QLatin1String("--list"))
            list = true;
        else if (out.isEmpty() && !args[i].startsWith(QLatin1Char('-')))
            out = args[i];
        else
            usageError = true;
    }
    QTextStream err(stderr);
    if (!iconDir.isEmpty() && out.isEmpty() && !usageError)
        return paintAppIcons(iconDir, iconName, err) == 0 ? 0 : 1;
    if (out.isEmpty() || usageError) {
        err << "usage: skingen OUTDIR [--profiles PLIST] [--sheet FILE] [--list]\n"
               "       skingen --icons DIR NAME\n";
        return 2;
    }

    QTextStream stdOut(stdout);
    std::vector<std::pair<QString, QImage>> made;
    int failures = 0;
    std::vector<Entry> entries = skinEntries();
    if (!profilesPath.isEmpty()) {
        std::vector<FormatFacts> formats;
        QString error;
        if (!readFormatFacts(profilesPath, formats, error)) {
            err << "skingen: " << error << "\n";
            return 1;
        }
        for (const FormatFacts &f : formats) {
            Entry e{QStringLiteral("image/Format/icon_%1.png").arg(f.id), Kind::Custom, QSize(72, 66)};
            e.paint = [f](QPainter &p, const QSize &s) { paintFormatIcon(p, s, f); };
            entries.push_back(std::move(e));
        }
    }
    for (const Entry &e : entries) {
        const QString file = out + QLatin1Char('/') + e.path;
        QDir().mkpath(QFileInfo(file).absolutePath());
        const QImage img = render(e).convertToFormat(QImage::Format_ARGB32);
        // The format is named because some paths carry no or an upper-case extension.
        if (!img.save(file, "PNG")) {
            err << "skingen: cannot write " << file << "\n";
            ++failures;
            continue;
        }
        if (list)
            stdOut << e.path << ' ' << img.width() << 'x' << img.height() << (isFourFrame(e.kind) ? " 4 frames" : "")
                   << '\n';
        made.emplace_back(e.path, img);
    }
    if (!iconDir.isEmpty())
        failures += paintAppIcons(iconDir, iconName, err);
    if (!sheetPath.isEmpty() && !contactSheet(made).save(sheetPath, "PNG")) {
        err << "skingen: cannot write " << sheetPath << "\n";
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
