#include "widgets/QImageButtonEx.h"
#include "widgets/Theme.h"


#include <QPainter>
#include <QPainterPath>

namespace {
const QSize kFallbackBadgeSize(18, 18);
const QColor kBadgeOutline(255, 120, 0);
} // namespace

QImageButtonEx::QImageButtonEx(QWidget *parent) : QTextImageButton(parent) {}

void QImageButtonEx::addItemCount()
{
    ++m_count;
    update();
}

void QImageButtonEx::resetCount()
{
    m_count = 0;
    update();
}

void QImageButtonEx::setBadgeImage(const QString &path)
{
    m_badgePath = path;
    m_badgeLoaded = false;
    update();
}

QString QImageButtonEx::badgeText(int count)
{
    if (count <= 0)
        return QString();
    return count > 99 ? QStringLiteral("99+") : QString::number(count);
}

const QPixmap &QImageButtonEx::badge() const
{
    // Loaded on first paint, so buttons built before the skin is in place
    // still find it.
    if (!m_badgeLoaded) {
        if (m_badgePath.isEmpty() || !m_badge.load(m_badgePath))
            m_badge = QPixmap();
        m_badgeLoaded = true;
    }
    return m_badge;
}

QRect QImageButtonEx::badgeRect() const
{
    const QSize size = badge().isNull() ? kFallbackBadgeSize : badge().size();
    return QRect(QPoint(width() - size.width(), 0), size);
}

void QImageButtonEx::paintEvent(QPaintEvent *event)
{
    QTextImageButton::paintEvent(event);
    if (m_count <= 0)
        return;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = badgeRect();
    if (!badge().isNull()) {
        painter.drawPixmap(area.topLeft(), badge());
    } else {
        painter.setPen(kBadgeOutline);
        painter.setBrush(kBadgeOutline);
        painter.drawEllipse(area.adjusted(1, 1, -1, -1));
    }

    const QString text = badgeText(m_count);
    QFont font = Theme::font(m_count > 99 ? 10 : 11);
    const QFontMetricsF metrics(font);
    const QRectF bounds = metrics.tightBoundingRect(text);
    const QPointF origin(area.center().x() + 0.5 - bounds.width() / 2 - bounds.left(),
                         area.center().y() + 0.5 - bounds.height() / 2 - bounds.top());
    QPainterPath path;
    path.addText(origin, font, text);
    painter.strokePath(path, QPen(kBadgeOutline, 1.0));
    painter.fillPath(path, Qt::white);
}
