#include "edit/QImageBorderWgt.h"

#include "widgets/Theme.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

QImageBorderWgt::QImageBorderWgt(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    if (parent)
        parent->installEventFilter(this);
    fitParent();
}

void QImageBorderWgt::fitParent()
{
    if (parentWidget() && geometry() != parentWidget()->rect())
        setGeometry(parentWidget()->rect());
}

bool QImageBorderWgt::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        fitParent();
    return QWidget::eventFilter(watched, event);
}

bool QImageBorderWgt::event(QEvent *event)
{
    // Laid over another pane: follow that one's size from now on.
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        fitParent();
    }
    return QWidget::event(event);
}

void QImageBorderWgt::setBorderRect(const QRect &rect)
{
    fitParent();
    if (rect == m_border)
        return;
    m_border = rect;
    update();
}

void QImageBorderWgt::setPassMouse(bool pass) { setAttribute(Qt::WA_TransparentForMouseEvents, pass); }

void QImageBorderWgt::externMove(QMouseEvent *event)
{
    if (event)
        emit emitMouseMove(event);
}

void QImageBorderWgt::paintEvent(QPaintEvent *)
{
    if (m_border.isEmpty())
        return;
    QPainter p(this);
    // The border's right and bottom pixels are the rectangle's last ones.
    const QRect r = m_border.adjusted(0, 0, -1, -1);
    p.setPen(QPen(QColor(0, 0, 0, 140), 3));
    p.drawRect(r);
    QPen line(Theme::selection().lighter(150), 1, Qt::DashLine);
    p.setPen(line);
    p.drawRect(r);
    // Grips at the corners and the middles of the edges.
    const int g = 6;
    const QPoint points[8] = {r.topLeft(), r.bottomLeft(), QPoint(r.left(), r.center().y()), r.topRight(),
                              r.bottomRight(), QPoint(r.right(), r.center().y()), QPoint(r.center().x(), r.top()),
                              QPoint(r.center().x(), r.bottom())};
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    for (const QPoint &pt : points)
        p.drawRect(QRect(pt.x() - g / 2, pt.y() - g / 2, g, g));
}

void QImageBorderWgt::mousePressEvent(QMouseEvent *event) { emit emitMouseDown(event); }
void QImageBorderWgt::mouseMoveEvent(QMouseEvent *event) { emit emitMouseMove(event); }
void QImageBorderWgt::mouseReleaseEvent(QMouseEvent *event) { emit emitMouseUp(event); }
