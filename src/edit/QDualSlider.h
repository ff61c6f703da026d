#pragma once
// The two-handled trim slider under the edit dialog's preview: a start and an
// end handle on one horizontal track, the marked part between them painted.
//
// Each handle keeps its offset in pixels from the left end of the track; with
// w the handle width, the usable length is T = track width - 2w + 1 and the
// values are offset / T (fractions 0..1). The start handle is drawn at its
// offset, the end handle at w + its offset, so the two values are equal when
// the handles touch. The handle pressed last has the focus: clicks on the
// track and the frame-step buttons of the trim page move that one.
//
// Only the user's moves are reported (sendProgressValue for the start handle,
// sendEndProgressValue for the end handle); the setters are silent.

#include <QPixmap>
#include <QWidget>

class QImageButton;
class QMouseEvent;

class QDualSlider : public QWidget
{
    Q_OBJECT
public:
    enum Handle { StartHandle = 0, EndHandle = 1 };

    explicit QDualSlider(QWidget *parent = nullptr);

    // p in percent. The start handle never passes the end handle's left
    // edge, the end handle never the start handle's right edge.
    void setStartPercent(double p);
    void setEndPercent(double p);

    double startValue() const;
    double endValue() const;
    Handle focusHandle() const { return m_focus; }
    void setFocusHandle(Handle h) { m_focus = h; }

    int handleWidth() const { return m_handleWidth; }
    double usableLength() const; // T
    double startOffset() const { return m_startOffset; }
    double endOffset() const { return m_endOffset; }
    QImageButton *startButton() const { return m_btnStart; }
    QImageButton *endButton() const { return m_btnEnd; }

signals:
    void sendProgressValue(double fraction);
    void sendEndProgressValue(double fraction);

private slots:
    // grabX: where the handle was pressed, from its left edge.
    void btnMouseMove(QMouseEvent *event, int grabX);
    void btnEndMouseMove(QMouseEvent *event, int grabX);
    // which: the Handle pressed.
    void SetBtnFocus(QMouseEvent *event, int which);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    double trackWidth() const;
    // Moves the focused handle so its left edge is at x (widget pixels),
    // clamped, and reports the new value.
    void moveStartTo(double x);
    void moveEndTo(double x);
    void placeHandles();

    QImageButton *m_btnStart;
    QImageButton *m_btnEnd;
    QPixmap m_marked;
    int m_handleWidth = 12;
    double m_startOffset = 0.0;
    double m_endOffset = 0.0;
    double m_lastT = 0.0;       // T the offsets were computed for
    Handle m_focus = StartHandle;
    int m_grabX = 0;
};
