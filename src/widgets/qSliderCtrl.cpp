#include "widgets/qSliderCtrl.h"

#include "widgets/NinePatch.h"
#include "widgets/QSliderCtrlBtn.h"
#include "widgets/Theme.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

qSliderCtrl::qSliderCtrl(QWidget *parent)
    : QWidget(parent)
    , m_handle(new QSliderCtrlBtn(this))
    , m_track(Theme::field())
{
    setMinimumHeight(14);
    setCursor(Qt::PointingHandCursor);
    connect(m_handle, &QSliderCtrlBtn::mouseDown, this, [this] { m_dragging = true; });
    connect(m_handle, &QSliderCtrlBtn::mouseMove, this, &qSliderCtrl::btnMouseMove);
    m_handle->installEventFilter(this);
}

void qSliderCtrl::setImages(const QString &handlePath, const QString &ratePath)
{
    m_handle->loadImage(handlePath);
    m_rate.load(ratePath);
    setMinimumHeight(m_handle->height());
    placeHandle();
    update();
}

void qSliderCtrl::setValue(double fraction)
{
    // The program's updates must not pull the handle from under the mouse.
    if (m_dragging)
        return;
    m_value = std::clamp(fraction, 0.0, 1.0);
    placeHandle();
    update();
}

double qSliderCtrl::fractionAt(double handleLeft) const
{
    const int span = width() - m_handle->width();
    return span > 0 ? std::clamp(handleLeft / span, 0.0, 1.0) : 0.0;
}

void qSliderCtrl::moveTo(double fraction)
{
    m_value = fraction;
    placeHandle();
    update();
    emit sendProgressValue(m_value);
}

void qSliderCtrl::btnMouseMove(QMouseEvent *event, int grabX)
{
    const QPoint local = mapFromGlobal(event->globalPosition().toPoint());
    m_dragging = true;
    moveTo(fractionAt(local.x() - grabX));
}

void qSliderCtrl::placeHandle()
{
    const int span = std::max(0, width() - m_handle->width());
    m_handle->move(int(span * m_value + 0.5), (height() - m_handle->height()) / 2);
}

void qSliderCtrl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int h = std::max(4, m_rate.isNull() ? 4 : m_rate.height());
    const QRectF track(m_handle->width() / 2.0, (height() - h) / 2.0, width() - m_handle->width(), h);
    p.setPen(Qt::NoPen);
    p.setBrush(m_track);
    p.drawRoundedRect(track, h / 2.0, h / 2.0);
    const QRectF filled(track.left(), track.top(), track.width() * m_value, h);
    if (filled.width() < 1)
        return;
    if (m_rate.isNull()) {
        p.setBrush(Theme::selection());
        p.drawRoundedRect(filled, h / 2.0, h / 2.0);
    } else {
        // Only the middle of the image stretches, so its rounded ends keep their shape.
        const int cap = qMin(m_rate.width() / 3, m_rate.height() / 2);
        NinePatch::draw(p, filled.toAlignedRect(), m_rate, QMargins(cap, 0, cap, 0));
    }
}

void qSliderCtrl::resizeEvent(QResizeEvent *)
{
    placeHandle();
}

void qSliderCtrl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    moveTo(fractionAt(event->position().x() - m_handle->width() / 2.0));
}

void qSliderCtrl::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        moveTo(fractionAt(event->position().x() - m_handle->width() / 2.0));
}

bool qSliderCtrl::eventFilter(QObject *watched, QEvent *event)
{
    // The handle reports presses and moves; its release ends the drag here.
    if (watched == m_handle && event->type() == QEvent::MouseButtonRelease)
        m_dragging = false;
    return QWidget::eventFilter(watched, event);
}

void qSliderCtrl::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}
