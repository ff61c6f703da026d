#include "widgets/QCustomImageWidget.h"

#include "widgets/FourStateTracker.h"

#include <QMouseEvent>
#include <QPainter>

QCustomImageWidget::QCustomImageWidget(QWidget *parent)
    : QWidget(parent), m_tracker(new FourStateTracker(this))
{
}

bool QCustomImageWidget::loadImage(const QString &path)
{
    QPixmap image;
    const bool ok = image.load(path) && FourStateTracker::frameWidth(image) > 0;
    m_image = ok ? image : QPixmap();
    update();
    return ok;
}

int QCustomImageWidget::state() const
{
    return m_tracker->state();
}

void QCustomImageWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    FourStateTracker::drawFrame(painter, rect(), m_image, state());
}

void QCustomImageWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void QCustomImageWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (isEnabled() && rect().contains(event->position().toPoint()))
            emit clicked();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
