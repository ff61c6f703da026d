#include "widgets/FourStateTracker.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

FourStateTracker::FourStateTracker(QWidget *widget)
    : QObject(widget), m_widget(widget)
{
    m_state = widget->isEnabled() ? Normal : Disabled;
    widget->installEventFilter(this);
}

int FourStateTracker::state() const
{
    // The enabled flag decides alone: mouse events can still reach the filter
    // of a disabled widget, and a parent being disabled sends no EnabledChange
    // ordering we could rely on.
    return m_widget->isEnabled() ? m_state : int(Disabled);
}

int FourStateTracker::frameWidth(const QPixmap &strip)
{
    return strip.width() / 4;
}

bool FourStateTracker::loadStrip(QWidget *button, QPixmap &strip, const QString &path)
{
    QPixmap image;
    if (!image.load(path) || frameWidth(image) <= 0) {
        strip = QPixmap();
        button->update();
        return false;
    }
    strip = image;
    button->setFixedSize(frameWidth(strip), strip.height());
    button->update();
    return true;
}

void FourStateTracker::drawFrame(QPainter &painter, const QRect &target, const QPixmap &strip, int state)
{
    const int fw = frameWidth(strip);
    if (fw <= 0 || strip.height() <= 0) {
        static const QColor flat[4] = {QColor(70, 70, 72), QColor(90, 90, 94), QColor(50, 50, 52),
                                       QColor(45, 45, 45)};
        painter.fillRect(target, flat[qBound(0, state, 3)]);
        return;
    }
    const QRect source(qBound(0, state, 3) * fw, 0, fw, strip.height());
    painter.drawPixmap(target, strip, source);
}

bool FourStateTracker::showsFocusRing(const QWidget *widget)
{
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void FourStateTracker::drawFocusRing(QPainter &painter, const QRect &target)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(90, 190, 235), 2));
    painter.drawRoundedRect(QRectF(target).adjusted(1, 1, -1, -1), 3, 3);
    painter.restore();
}

void FourStateTracker::makeKeyboardReachable(QWidget *button)
{
    button->setFocusPolicy(Qt::TabFocus);
    if (auto *push = qobject_cast<QPushButton *>(button))
        push->setAutoDefault(false);
}

void FourStateTracker::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_widget->update();
    emit stateChanged(this->state());
}

bool FourStateTracker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_widget)
        return false;

    switch (event->type()) {
    case QEvent::EnabledChange:
        if (m_widget->isEnabled()) {
            setState(Normal);
        } else {
            m_widget->unsetCursor();
            setState(Disabled);
        }
        m_widget->update();
        break;
    case QEvent::Enter:
        if (m_widget->isEnabled()) {
            m_widget->setCursor(Qt::PointingHandCursor);
            setState(Hover);
        }
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        // A control hidden under the mouse gets no Leave; without this it would
        // come back highlighted.
        if (m_widget->isEnabled())
            setState(Normal);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (m_widget->isEnabled() && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            setState(Pressed);
        break;
    case QEvent::MouseButtonRelease:
        if (m_widget->isEnabled() && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            setState(Normal);
        break;
    default:
        break;
    }
    return false;
}
