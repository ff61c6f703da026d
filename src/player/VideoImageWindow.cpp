#include "player/VideoImageWindow.h"

#include <zentrix.h>

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

uint8_t clampByte(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// BT.601 limited range, the usual meaning of a plain YUV 4:2:0 picture.
QImage fromYuv420(const ZxFrame &f)
{
    QImage out(f.width, f.height, QImage::Format_RGB32);
    if (out.isNull() || !f.data[0] || !f.data[1] || !f.data[2])
        return QImage();
    for (int y = 0; y < f.height; ++y) {
        const uint8_t *py = f.data[0] + y * f.stride[0];
        const uint8_t *pu = f.data[1] + (y / 2) * f.stride[1];
        const uint8_t *pv = f.data[2] + (y / 2) * f.stride[2];
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < f.width; ++x) {
            const int c = (py[x] - 16) * 298;
            const int d = pu[x / 2] - 128;
            const int e = pv[x / 2] - 128;
            dst[x] = qRgb(clampByte((c + 409 * e + 128) >> 8), clampByte((c - 100 * d - 208 * e + 128) >> 8),
                          clampByte((c + 516 * d + 128) >> 8));
        }
    }
    return out;
}

// The largest rectangle of the picture's shape inside `area`, centred.
QRect fitted(const QSize &picture, const QRect &area)
{
    if (picture.isEmpty() || area.isEmpty())
        return area;
    const QSize s = picture.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - s.width()) / 2, area.y() + (area.height() - s.height()) / 2, s.width(),
                 s.height());
}

} // namespace

VideoImageWindow::VideoImageWindow(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(160, 90);
}

void VideoImageWindow::frameCallback(void *context, const ZxFrame *frame)
{
    if (context && frame)
        static_cast<VideoImageWindow *>(context)->deliverFrame(*frame);
}

void VideoImageWindow::deliverFrame(const ZxFrame &frame)
{
    if (frame.width <= 0 || frame.height <= 0)
        return;
    bool expected = false;
    if (!m_waiting.compare_exchange_strong(expected, true)) {
        ++m_dropped;
        return;
    }
    QSize target;
    {
        std::lock_guard<std::mutex> lock(m_sizeLock);
        target = m_targetSize;
    }
    QImage image;
    if (frame.format == ZX_PIXEL_RGB32 && frame.data[0]) {
        const QImage wrapped(frame.data[0], frame.width, frame.height, frame.stride[0], QImage::Format_RGB32);
        const QSize size = m_fill && !target.isEmpty() ? target
                                                       : QSize(frame.width, frame.height).scaled(target, Qt::KeepAspectRatio);
        // Scaling makes the one copy; at the window's own size copy() does.
        if (size.isEmpty() || size == wrapped.size())
            image = wrapped.copy();
        else
            image = wrapped.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else if (frame.format == ZX_PIXEL_YUV420P) {
        image = fromYuv420(frame);
    }
    if (image.isNull()) {
        m_waiting = false;
        return;
    }
    QMetaObject::invokeMethod(this, [this, image] { takePicture(image); }, Qt::QueuedConnection);
}

void VideoImageWindow::takePicture(const QImage &image)
{
    m_image = image;
    if (isVisible())
        update(); // paintEvent lets the next picture in
    else
        m_waiting = false;
}

void VideoImageWindow::clearPicture()
{
    m_image = QImage();
    update();
}

void VideoImageWindow::setFullScreenMode(bool on)
{
    m_fullScreen = on;
    update();
}

void VideoImageWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_image.isNull()) {
        const QRect r = m_fill ? rect() : fitted(m_image.size(), rect());
        if (r.size() == m_image.size()) {
            p.drawImage(r.topLeft(), m_image);
        } else {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(r, m_image);
        }
        ++m_painted;
    }
    m_waiting = false;
}

void VideoImageWindow::resizeEvent(QResizeEvent *)
{
    std::lock_guard<std::mutex> lock(m_sizeLock);
    m_targetSize = size() * devicePixelRatioF();
}

void VideoImageWindow::hideEvent(QHideEvent *)
{
    m_waiting = false;
}

void VideoImageWindow::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    emit emitMouseDown(event);
}

void VideoImageWindow::mouseReleaseEvent(QMouseEvent *event)
{
    emit emitMouseUp(event);
    if (m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit emitPlayOrPause();
    m_pressed = false;
}

void VideoImageWindow::mouseMoveEvent(QMouseEvent *event)
{
    emit emitMouseMove(event);
    if (m_fullScreen)
        emit emitShowBtn(event->position().y() > height() - 90);
}

void VideoImageWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click must not toggle playing again.
    m_pressed = false;
    if (event->button() == Qt::LeftButton)
        emit emitFullScreen();
}

void VideoImageWindow::leaveEvent(QEvent *)
{
    emit emitMouseLeave();
}
