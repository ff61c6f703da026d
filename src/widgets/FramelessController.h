#pragma once
// Dragging and edge-resizing of a frameless window, shared by
// QVariableSizeWidget, QNinePointsImageDialog, QImageDialog and QImageWidget.
//
// The controller watches its source's mouse events (press, move, release,
// leave) through an event filter it installs itself, and moves or resizes the
// source's top-level window; events it uses never reach the source's own
// handlers:
// - while no button is held, the position is tested against bands of
//   kBandWidth px along the window's edges and corners; the matching size cursor
//   is shown and the band remembered; a press in a band starts a resize from
//   that side that keeps the window's minimum and maximum size;
// - a press in the drag region (outside a band) moves the window with the
//   mouse, keeping the offset of the press.
// A locked controller (a maximised window) neither moves nor resizes.
//
// Children: Qt drops plain mouse moves over a child that does not track the
// mouse before any of its ancestors sees them, so the size cursor would stay
// stuck over children near the edges. watchChildren() installs an
// application-wide event filter that looks at plain moves over any widget of
// this window (it never consumes them); presses need nothing, as children
// that do not use them pass them up to the window.

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QMouseEvent;
class QWidget;

class FramelessController : public QObject
{
public:
    enum Edge { NoEdge = 0, LeftEdge = 1, TopEdge = 2, RightEdge = 4, BottomEdge = 8 };
    static constexpr int kBandWidth = 6;
    static constexpr int kDefaultDragHeight = 100;

    // `source` is the widget whose mouse events are watched; its top-level
    // window is what moves.
    explicit FramelessController(QWidget *source);

    void setDraggable(bool on) { m_draggable = on; }
    bool isDraggable() const { return m_draggable; }
    void setResizable(bool on);
    bool isResizable() const { return m_resizable; }
    void setLocked(bool on);
    bool isLocked() const { return m_locked; }

    // Drag region: the top kDefaultDragHeight px of the window by default;
    // `wholeWindow` makes every point a drag point.
    void setDragWholeWindow(bool wholeWindow) { m_dragWhole = wholeWindow; }

    // Title drag region, relative to the window's edges: `left`, `top` and
    // `right` are insets from the left, top and right edges; `bottom` is the
    // y coordinate of the region's lower edge, where a negative value keeps the
    // default height (kDefaultDragHeight).
    void setTitleDragRegion(int left, int top, int right, int bottom);
    QRect dragRegion() const;

    void leave();
    // Updates the band and cursor for the mouse at `globalPos`, no button held.
    void hoverAt(const QPoint &globalPos);
    void watchChildren(bool on);

    bool isDragging() const { return m_mode == Dragging; }
    bool isResizing() const { return m_mode == Resizing; }
    int hoverEdges() const { return m_edges; }

    // The edges whose band holds `pos` (window coordinates) in a window of `size`.
    static int edgesAt(const QSize &size, const QPoint &pos, int band = kBandWidth);
    // `start` resized by moving `edges` by `delta`, within `minSize`..`maxSize`;
    // the opposite edges stay where they are.
    static QRect resized(const QRect &start, int edges, const QPoint &delta, const QSize &minSize,
                         const QSize &maxSize);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum Mode { Idle, Dragging, Resizing };

    // Each returns true when it used the event.
    bool mousePress(QMouseEvent *event);
    bool mouseMove(QMouseEvent *event);
    bool mouseRelease(QMouseEvent *event);

    QWidget *window() const;
    QPoint windowPos(QMouseEvent *event) const;
    void updateCursor(int edges);

    QWidget *m_source;
    bool m_draggable = true;
    bool m_resizable = false;
    bool m_locked = false;
    bool m_dragWhole = false;
    bool m_hasTitleRegion = false;
    int m_titleLeft = 0, m_titleTop = 0, m_titleRight = 0, m_titleBottom = -1;

    Mode m_mode = Idle;
    int m_edges = NoEdge;
    bool m_cursorSet = false;
    bool m_watchingChildren = false;
    QPoint m_pressOffset;   // press point minus window position, global pixels
    QPoint m_pressGlobal;
    QRect m_startGeometry;
};
