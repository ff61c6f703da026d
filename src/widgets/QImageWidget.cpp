#include "widgets/QImageWidget.h"

#include <QMouseEvent>
#include <QPainter>

QImageWidget::QImageWidget(QWidget *parent) : QWidget(parent), m_frame(this)
{
    m_frame.setDragWholeWindow(true);
}

bool QImageWidget::setBackgroundImage(const QString &path)
{
    const bool ok = m_background.load(path);
    if (!ok)
        m_background = QPixmap();
    update();
    return ok;
}

void QImageWidget::paintEvent(QPaintEvent *)
{
    if (m_background.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(rect(), m_background);
}

void QImageWidget::mousePressEvent(QMouseEvent *event)
{
    if (m_frame.mousePress(event))
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void QImageWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_frame.mouseMove(event))
        event->accept();
    else
        QWidget::mouseMoveEvent(event);
}

void QImageWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_frame.mouseRelease(event))
        event->accept();
    else
        QWidget::mouseReleaseEvent(event);
}
