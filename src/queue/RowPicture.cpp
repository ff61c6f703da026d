#include "queue/RowPicture.h"

#include "base/AppPaths.h"

#include <QMouseEvent>
#include <QPainter>

RowPicture::RowPicture(QWidget *parent)
    : QWidget(parent)
    , m_placeholder(AppPaths::dataPath("/image/videodisplay/Video_icon.png"))
    , m_playMark(AppPaths::dataPath("/image/videodisplay/btn_play.png"))
{
    setCursor(Qt::PointingHandCursor);
}

void RowPicture::setPicture(const QImage &image)
{
    // Enough for the area at a device pixel ratio of 3, without keeping a
    // full video frame per row.
    const QSize kept(360, 360);
    m_source = image.width() > kept.width() || image.height() > kept.height()
                   ? image.scaled(kept, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                   : image;
    m_picture = QPixmap();
    update();
}

void RowPicture::preparePicture()
{
    if (m_source.isNull()) {
        m_picture = QPixmap();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize fit = m_source.size().scaled(size(), Qt::KeepAspectRatio);
    const QSize device = (QSizeF(fit) * ratio).toSize();
    if (!m_picture.isNull() && m_picture.size() == device && qFuzzyCompare(m_picture.devicePixelRatio(), ratio))
        return;
    m_picture = QPixmap::fromImage(m_source.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_picture.setDevicePixelRatio(ratio);
}

void RowPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.fillRect(rect(), QColor(30, 30, 31));
    preparePicture();
    if (!m_picture.isNull()) {
        // Drawn 1:1 in device pixels.
        const QSize fit = (QSizeF(m_picture.size()) / m_picture.devicePixelRatio()).toSize();
        p.drawPixmap(QPoint((width() - fit.width()) / 2, (height() - fit.height()) / 2), m_picture);
    } else if (!m_placeholder.isNull()) {
        const QSize fit = m_placeholder.size().scaled(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
        p.drawPixmap(target, m_placeholder);
    }
    if (!m_source.isNull() && !m_playMark.isNull() && isEnabled()) {
        p.setOpacity(m_hover ? 1.0 : 0.7);
        p.drawPixmap((width() - m_playMark.width()) / 2, (height() - m_playMark.height()) / 2, m_playMark);
    }
}

void RowPicture::mousePressEvent(QMouseEvent *event)
{
    // Kept here, so that a click on the picture plays instead of selecting.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void RowPicture::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit emitMouseRelease();
}

void RowPicture::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void RowPicture::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}
