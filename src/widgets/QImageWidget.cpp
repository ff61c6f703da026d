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

