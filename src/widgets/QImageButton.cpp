#include "widgets/QImageButton.h"

#include "widgets/FourStateTracker.h"

#include <QPainter>

QImageButton::QImageButton(QWidget *parent)
    : QPushButton(parent), m_tracker(new FourStateTracker(this))
{
    setFlat(true);
    setFocusPolicy(Qt::NoFocus);
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
}
