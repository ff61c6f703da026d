#include "widgets/QVariableSizeWidget.h"

#include "widgets/NinePatch.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>

namespace {
const QColor kShadowFill(100, 100, 100, 100);
constexpr int kCloseAnimationMs = 150;
} // namespace

QVariableSizeWidget::QVariableSizeWidget(QWidget *parent)
    : QMainWindow(parent), m_frame(this)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    m_frame.setResizable(true);
    m_frame.watchChildren(true);
}

void QVariableSizeWidget::setBackgroundImage(const QString &path)
{
    if (!m_background.load(path))
        m_background = QPixmap();
    if (!m_customMargins)
        m_backgroundMargins = NinePatch::thirds(m_background.size());
    update();
}

void QVariableSizeWidget::setBackgroundMargins(const QMargins &margins)
{
    m_backgroundMargins = margins;
    m_customMargins = true;
    update();
}

void QVariableSizeWidget::setLogo(const QString &path, const QPoint &pos)
{
    if (!m_logo.load(path))
        m_logo = QPixmap();
    m_logoPos = pos;
    update();
}

void QVariableSizeWidget::setTitleDragRegion(int left, int top, int right, int bottom)
{
    m_frame.setTitleDragRegion(left, top, right, bottom);
}

void QVariableSizeWidget::toggleMaximize(int margin)
{
    margin = qMax(0, margin);
    m_lastMargin = margin;
    if (!m_maximized) {
        m_normalGeometry = geometry();
        QScreen *s = screen();
        // The available area rather than the full screen: a side panel would
        // otherwise push the window's right part off-screen. Without panels
        // both are the same.
        const QRect area = s ? s->availableGeometry() : QRect(0, 0, 800, 600);
        m_maximized = true;
        m_frame.setLocked(true);
        setGeometry(area.x() - margin / 2, area.y() - margin / 2, area.width() + margin,
                    area.height() + margin);
    } else {
        m_maximized = false;
        m_frame.setLocked(false);
        setGeometry(m_normalGeometry);
    }
    emit maximizeToggled(m_maximized);
}

void QVariableSizeWidget::animatedClose()
{
    if (m_closeAnimation)
        return;
    if (!isVisible()) {
        close();
        return;
    }
    const QRect start = geometry();
    const QSize oldMinimum = minimumSize();
    setMinimumSize(0, 0);

    m_closeAnimation = new QPropertyAnimation(this, "geometry", this);
    m_closeAnimation->setDuration(kCloseAnimationMs);
    m_closeAnimation->setStartValue(start);
    m_closeAnimation->setEndValue(QRect(start.x(), start.y() + start.height() / 2, start.width(), 0));
    connect(m_closeAnimation, &QPropertyAnimation::finished, this, [this, start, oldMinimum] {
        m_closeAnimation->deleteLater();
        m_closeAnimation = nullptr;
        // Put the window back whether or not the close went through: a window
        // hidden to the tray and shown again must not come back collapsed.
        close();
        setMinimumSize(oldMinimum);
        setGeometry(start);
    });
    m_closeAnimation->start();
}

void QVariableSizeWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kShadowFill);
    NinePatch::draw(painter, rect(), m_background, m_backgroundMargins);
    if (!m_logo.isNull())
        painter.drawPixmap(m_logoPos, m_logo);
}

void QVariableSizeWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_frame.hoverEdges() == FramelessController::NoEdge) {
        toggleMaximize(m_lastMargin);
        event->accept();
        return;
    }
    QMainWindow::mouseDoubleClickEvent(event);
}

