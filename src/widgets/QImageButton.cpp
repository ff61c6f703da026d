#include "widgets/QImageButton.h"

#include "widgets/FourStateTracker.h"

#include <QPainter>

QImageButton::QImageButton(QWidget *parent)
    : QPushButton(parent), m_tracker(new FourStateTracker(this))
{
    setFlat(true);
    FourStateTracker::makeKeyboardReachable(this);
}

bool QImageButton::loadImage(const QString &path)
{
    return FourStateTracker::loadStrip(this, m_image, path);
}

int QImageButton::state() const
{
    return m_tracker->state();
}

void QImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    FourStateTracker::drawFrame(painter, rect(), m_image, state());
    if (FourStateTracker::showsFocusRing(this))
        FourStateTracker::drawFocusRing(painter, rect());
}
