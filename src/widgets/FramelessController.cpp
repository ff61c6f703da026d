#include "widgets/FramelessController.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

FramelessController::FramelessController(QWidget *source) : m_source(source)
{
    source->installEventFilter(this);
}

QWidget *FramelessController::window() const
{
    return m_source->window();
}

QPoint FramelessController::windowPos(QMouseEvent *event) const
{
    // From the global position: an event that bubbled up from a child keeps
    // the child's local position on some Qt versions.
    return window()->mapFromGlobal(event->globalPosition().toPoint());
}

void FramelessController::setResizable(bool on)
{
    m_resizable = on;
    if (!on)
        leave();
}

void FramelessController::setLocked(bool on)
{
    m_locked = on;
    if (on) {
        m_mode = Idle;
        leave();
    }
}

void FramelessController::setTitleDragRegion(int left, int top, int right, int bottom)
{
    m_hasTitleRegion = true;
    m_titleLeft = left;
    m_titleTop = top;
    m_titleRight = right;
    m_titleBottom = bottom;
}

QRect FramelessController::dragRegion() const
{
    const QSize size = window()->size();
    if (m_dragWhole)
        return QRect(QPoint(0, 0), size);
    if (!m_hasTitleRegion)
        return QRect(0, 0, size.width(), kDefaultDragHeight);
    const int bottom = m_titleBottom < 0 ? m_titleTop + kDefaultDragHeight : m_titleBottom;
    return QRect(QPoint(m_titleLeft, m_titleTop), QPoint(size.width() - m_titleRight - 1, bottom - 1));
}

int FramelessController::edgesAt(const QSize &size, const QPoint &pos, int band)
{
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height())
        return NoEdge;
    int edges = NoEdge;
    if (pos.x() < band)
        edges |= LeftEdge;
    else if (pos.x() >= size.width() - band)
        edges |= RightEdge;
    if (pos.y() < band)
        edges |= TopEdge;
    else if (pos.y() >= size.height() - band)
        edges |= BottomEdge;
    return edges;
}

QRect FramelessController::resized(const QRect &start, int edges, const QPoint &delta, const QSize &minSize,
                                   const QSize &maxSize)
{
    const int minW = std::max(minSize.width(), 0), minH = std::max(minSize.height(), 0);
    const int maxW = std::max(maxSize.width(), minW), maxH = std::max(maxSize.height(), minH);
    int left = start.left(), top = start.top();
    int width = start.width(), height = start.height();

    if (edges & RightEdge)
        width = std::clamp(start.width() + delta.x(), minW, maxW);
    if (edges & LeftEdge) {
        width = std::clamp(start.width() - delta.x(), minW, maxW);
        left = start.left() + start.width() - width;
    }
    if (edges & BottomEdge)
        height = std::clamp(start.height() + delta.y(), minH, maxH);
    if (edges & TopEdge) {
        height = std::clamp(start.height() - delta.y(), minH, maxH);
        top = start.top() + start.height() - height;
    }
    return QRect(left, top, width, height);
}

void FramelessController::updateCursor(int edges)
{
    QWidget *w = window();
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (edges) {
    case LeftEdge:
    case RightEdge:
        shape = Qt::SizeHorCursor;
        break;
    case TopEdge:
    case BottomEdge:
        shape = Qt::SizeVerCursor;
        break;
    case LeftEdge | TopEdge:
    case RightEdge | BottomEdge:
        shape = Qt::SizeFDiagCursor;
        break;
    case RightEdge | TopEdge:
    case LeftEdge | BottomEdge:
        shape = Qt::SizeBDiagCursor;
        break;
    default:
        // Give the window back whatever cursor its owner chose.
        if (m_cursorSet) {
            w->unsetCursor();
            m_cursorSet = false;
        }
        return;
    }
    w->setCursor(shape);
    m_cursorSet = true;
}

bool FramelessController::mousePress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_locked)
        return false;
    QWidget *w = window();
    const QPoint pos = windowPos(event);
    const QPoint global = event->globalPosition().toPoint();

    if (m_resizable) {
        m_edges = edgesAt(w->size(), pos);
        if (m_edges != NoEdge) {
            m_mode = Resizing;
            m_pressGlobal = global;
            m_startGeometry = w->geometry();
            return true;
        }
    }
    if (m_draggable && dragRegion().contains(pos)) {
        m_mode = Dragging;
        m_pressOffset = global - w->pos();
        return true;
    }
    return false;
}

bool FramelessController::mouseMove(QMouseEvent *event)
{
    QWidget *w = window();
    const QPoint global = event->globalPosition().toPoint();

    if (m_mode == Dragging && (event->buttons() & Qt::LeftButton) && !m_locked) {
        w->move(global - m_pressOffset);
        return true;
    }
    if (m_mode == Resizing && (event->buttons() & Qt::LeftButton) && !m_locked) {
        w->setGeometry(resized(m_startGeometry, m_edges, global - m_pressGlobal, w->minimumSize(),
                               w->maximumSize()));
        return true;
    }
    if (event->buttons() == Qt::NoButton)
        hoverAt(global);
    return false;
}

void FramelessController::hoverAt(const QPoint &globalPos)
{
    QWidget *w = window();
    m_mode = Idle;
    const int edges = (m_resizable && !m_locked) ? edgesAt(w->size(), w->mapFromGlobal(globalPos)) : int(NoEdge);
    if (edges != m_edges || (edges == NoEdge && m_cursorSet)) {
        m_edges = edges;
        updateCursor(edges);
    }
}

void FramelessController::watchChildren(bool on)
{
    if (on == m_watchingChildren || !qApp)
        return;
    m_watchingChildren = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool FramelessController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_source) {
        bool used = false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            used = mousePress(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseMove:
            used = mouseMove(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseButtonRelease:
            used = mouseRelease(static_cast<QMouseEvent *>(event));
            break;
        case QEvent::Leave:
            leave();
            break;
        default:
            break;
        }
        if (used)
            event->accept();
        return used;
    }
    if (event->type() != QEvent::MouseMove || !watched->isWidgetType())
        return false;
    auto *move = static_cast<QMouseEvent *>(event);
    auto *widget = static_cast<QWidget *>(watched);
    QWidget *w = window();
    // The window's own moves arrive through its mouseMoveEvent().
    if (move->buttons() == Qt::NoButton && widget != w && widget->window() == w && m_mode == Idle)
        hoverAt(move->globalPosition().toPoint());
    return false;
}

bool FramelessController::mouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const bool used = m_mode != Idle;
    m_mode = Idle;
    return used;
}

void FramelessController::leave()
{
    if (m_mode != Idle)
        return;
    m_edges = NoEdge;
    updateCursor(NoEdge);
}
