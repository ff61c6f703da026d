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
    m_picture = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    update();
}

void RowPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.fillRect(rect(), QColor(30, 30, 31));
    const QPixmap &shown = m_picture.isNull() ? m_placeholder : m_picture;
    if (!shown.isNull()) {
        const QSize fit = shown.size().scaled(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
        p.drawPixmap(target, shown);
    }
    if (!m_picture.isNull() && !m_playMark.isNull() && isEnabled()) {
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
