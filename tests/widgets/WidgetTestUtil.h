#pragma once
// Small helpers shared by the widget-kit tests: skin images written to a
// temporary folder, synthetic mouse events and pixel checks.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>


namespace WidgetTestUtil {

// QPixmap caches images by path, so every written image gets a fresh name.
inline QString freshPath(const QTemporaryDir &dir, const QString &name)
{
    static int serial = 0;
    QString unique = name;
    const int dot = unique.lastIndexOf(QLatin1Char('.'));
    unique.insert(dot < 0 ? unique.size() : dot, QStringLiteral("-%1").arg(++serial));
    return dir.filePath(unique);
}

// Four frame colours that no other painting of the kit produces.
inline const QColor kFrameColors[4] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200),
                                       QColor(200, 200, 30)};

// Four equal vertical stripes in the frame colours, as a four-state strip.
inline QString writeFourFrames(const QTemporaryDir &dir, const QString &name, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    for (int i = 0; i < 4; ++i)
        painter.fillRect(i * width / 4, 0, width - i * width / 4, height, kFrameColors[i]);
    painter.end();
    const QString path = freshPath(dir, name);
    image.save(path);
    return path;
}

inline QString writeSolid(const QTemporaryDir &dir, const QString &name, const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    const QString path = freshPath(dir, name);
    image.save(path);
    return path;
}

// 3x3 grid image: red corners, green edges, blue centre, each cell `cell` px.
inline QString writeNineGrid(const QTemporaryDir &dir, const QString &name, int cell)
{
    QImage image(3 * cell, 3 * cell, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QPainter p(&image);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const bool corner = row != 1 && col != 1;
            const bool edge = (row == 1) != (col == 1);
            if (corner || edge)
                p.fillRect(col * cell, row * cell, cell, cell, corner ? QColor(Qt::red) : QColor(Qt::green));
        }
    p.end();
    const QString path = freshPath(dir, name);
    image.save(path);
    return path;
}

inline QImage grabImage(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

inline QColor pixel(QWidget *w, const QPoint &at)
{
    return grabImage(w).pixelColor(at);
}

inline bool containsColor(const QImage &image, const QColor &color)
{
    const QRgb wanted = color.rgb();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] | 0xff000000u) == wanted && qAlpha(line[x]) == 255)
                return true;
    }
    return false;
}

// Sends a mouse event at `local` of `w`; `global` defaults to the mapped point.
inline void sendMouse(QWidget *w, QEvent::Type type, const QPoint &local, Qt::MouseButton button,
                      Qt::MouseButtons buttons, QPoint global = QPoint(-1000000, -1000000))
{
    if (global == QPoint(-1000000, -1000000))
        global = w->mapToGlobal(local);
    QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

inline void sendEnter(QWidget *w)
{
    const QPointF centre = QRectF(w->rect()).center();
    QEnterEvent event(centre, centre, QPointF(w->mapToGlobal(centre.toPoint())));
    QApplication::sendEvent(w, &event);
}

inline void sendLeave(QWidget *w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

} // namespace WidgetTestUtil
