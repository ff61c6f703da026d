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
    QPixmap image;
    if (!image.load(path) || FourStateTracker::frameWidth(image) <= 0) {
        m_image = QPixmap();
        update();
        return false;
    }
    m_image = image;
    setFixedSize(FourStateTracker::frameWidth(m_image), m_image.height());
    update();
    return true;
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
