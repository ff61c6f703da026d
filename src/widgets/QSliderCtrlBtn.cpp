#include "widgets/QSliderCtrlBtn.h"

#include <QMouseEvent>
#include <QPainter>

QSliderCtrlBtn::QSliderCtrlBtn(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    resize(12, 12);
}

bool QSliderCtrlBtn::loadImage(const QString &path)
{
    if (!m_image.load(path))
        return false;
    setFixedSize(m_image.size());
    update();
    return true;
}

void QSliderCtrlBtn::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_image.isNull()) {
        p.drawPixmap(0, 0, m_image);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

void QSliderCtrlBtn::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_grabX = int(event->position().x());
    emit mouseDown(event, m_grabX);
    event->accept();
}

void QSliderCtrlBtn::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        emit mouseMove(event, m_grabX);
    event->accept();
}
