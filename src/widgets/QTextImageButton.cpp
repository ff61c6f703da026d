#include "widgets/QTextImageButton.h"

#include "widgets/FourStateTracker.h"

#include <QPainter>

QTextImageButton::QTextImageButton(QWidget *parent)
    : QPushButton(parent), m_tracker(new FourStateTracker(this))
{
    setFlat(true);
    FourStateTracker::makeKeyboardReachable(this);
    m_colors[0] = m_colors[1] = m_colors[2] = QColor(Qt::white);
    m_colors[3] = QColor(128, 128, 128);
}

bool QTextImageButton::setImage(const QString &path, const QString &text, int textFlags)
{
    if (!text.isEmpty())
        setText(text);
    m_textFlags = textFlags;

    return FourStateTracker::loadStrip(this, m_image, path);
}

void QTextImageButton::setFixedRect(int x1, int y1, int x2, int y2)
{
    m_textRect = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized();
    update();
}

void QTextImageButton::setTextOffset(int x, int y)
{
    m_textOffset = QPoint(x, y);
    update();
}

void QTextImageButton::setTextFlags(int flags)
{
    m_textFlags = flags;
    update();
}

void QTextImageButton::setElideMode(Qt::TextElideMode mode)
{
    m_elide = mode;
    update();
}

QRect QTextImageButton::textArea() const
{
    QRect area = (m_textRect.isEmpty() ? rect() : m_textRect).translated(m_textOffset);
    // The offset moves the text right; its room ends at the button's edge.
    return area.intersected(rect().adjusted(0, 0, -4, 0));
}

QString QTextImageButton::shownText() const
{
    if (m_elide == Qt::ElideNone)
        return text();
    return QFontMetrics(font()).elidedText(text(), m_elide, textArea().width());
}

void QTextImageButton::setTextColor(const QColor &color)
{
    setTextColors(color, color, color, color);
}

void QTextImageButton::setTextColors(const QColor &normal, const QColor &hover, const QColor &pressed,
                                     const QColor &disabled)
{
    m_colors[0] = normal;
    m_colors[1] = hover;
    m_colors[2] = pressed;
    m_colors[3] = disabled;
    update();
}

QColor QTextImageButton::textColor(int state) const
{
    return m_colors[qBound(0, state, 3)];
}

bool QTextImageButton::setIconImage(const QString &path)
{
    QPixmap icon;
    const bool ok = icon.load(path);
    setIconPixmap(ok ? icon : QPixmap());
    return ok;
}

void QTextImageButton::setIconPixmap(const QPixmap &pixmap)
{
    m_icon = pixmap;
    update();
}

void QTextImageButton::setIconRect(int x, int y, int w, int h)
{
    m_iconRect = QRect(x, y, w, h);
    update();
}

int QTextImageButton::state() const
{
    return m_tracker->state();
}

void QTextImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int current = state();
    FourStateTracker::drawFrame(painter, rect(), m_image, current);

    if (!m_icon.isNull()) {
        QRect target = m_iconRect;
        if (target.isEmpty())
            target = QRect(QPoint(5, (height() - m_icon.height()) / 2), m_icon.size());
        painter.drawPixmap(target, m_icon);
    }

    if (!text().isEmpty()) {
        const QRect area = m_elide == Qt::ElideNone
                               ? (m_textRect.isEmpty() ? rect() : m_textRect).translated(m_textOffset)
                               : textArea();
        painter.setFont(font());
        painter.setPen(textColor(current));
        painter.drawText(area, m_textFlags, shownText());
    }
    if (FourStateTracker::showsFocusRing(this))
        FourStateTracker::drawFocusRing(painter, rect());
}
