#pragma once
// Frameless, translucent main-window base: paints a soft grey shadow fill, a
// nine-patch background and a logo; can be resized from 6-px bands along its
// edges, dragged by its title region, maximised over the screen with its
// shadow border pushed off-screen, and closed with a short collapsing
// animation.
//
// Drag region: the top 100 px of the window by default. setTitleDragRegion()
// replaces it with a region given relative to the window's edges (see
// FramelessController::setTitleDragRegion: insets from the left, top and right
// edges, and the lower edge's y, negative meaning the default 100 px).
//
// Mouse tracking: the window tracks the mouse, and its frame controller
// watches plain mouse moves over every child of the window through an
// application-wide event filter (see FramelessController::watchChildren), so
// the size cursors appear over children near the edges too, whether or not
// those track the mouse. Presses on children that do not use them reach the
// window as usual, so dragging by a plain central widget works.

#include <QMainWindow>
#include <QMargins>
#include <QPixmap>
#include <QPoint>
#include <QRect>

#include "widgets/FramelessController.h"

class QPropertyAnimation;

class QVariableSizeWidget : public QMainWindow
{
    Q_OBJECT
public:
    explicit QVariableSizeWidget(QWidget *parent = nullptr);

    // Nine-patch background; the corners are a third of the image by default.
    void setBackgroundImage(const QString &path);
    void setBackgroundMargins(const QMargins &margins);
    void setLogo(const QString &path, const QPoint &pos = QPoint(20, 14));

    void setTitleDragRegion(int left, int top, int right, int bottom);

    // Normal -> maximised: keeps the current geometry and covers the available
    // screen area grown by `margin` (starting margin/2 px left of and above
    // its corner), so the shadow border lies off-screen. Maximised -> normal:
    // restores the kept geometry exactly. Emits maximizeToggled() afterwards.
    void toggleMaximize(int margin = 10);
    bool isMaxSize() const { return m_maximized; }
    QRect normalGeometryKept() const { return m_normalGeometry; }

    // Collapses the window to zero height at its vertical middle in 150 ms,
    // then closes it and gives it back its geometry and minimum size (so a
    // refused close, or a later show(), finds it intact).
    void animatedClose();

signals:
    void maximizeToggled(bool maximized);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    FramelessController m_frame;
    QPixmap m_background;
    QMargins m_backgroundMargins;
    bool m_customMargins = false;
    QPixmap m_logo;
    QPoint m_logoPos;
    bool m_maximized = false;
    int m_lastMargin = 10;
    QRect m_normalGeometry;
    QPropertyAnimation *m_closeAnimation = nullptr;
};
