#pragma once
// The picture area of the player and of the edit dialog's previews. The
// engine hands it pictures on its own picture thread (frameCallback); the
// window keeps the latest one and paints it on the GUI thread, letterboxed.
//
// One copy per picture: a packed 32-bit frame is wrapped in a QImage without
// copying and scaled to the window's size on the engine's thread (the scale
// is the copy); a planar frame is converted once. The result goes to the GUI
// thread through a queued call. While a picture waits to be painted, newer
// ones are dropped, so nothing queues up behind a busy GUI thread.

#include <QImage>
#include <QSize>
#include <QWidget>

#include <atomic>
#include <mutex>

struct ZxFrame;

class VideoImageWindow : public QWidget
{
    Q_OBJECT
public:
    explicit VideoImageWindow(QWidget *parent = nullptr);

    // For PlayerSetFrameCallback with this window as context; any thread.
    static void frameCallback(void *context, const ZxFrame *frame);
    void deliverFrame(const ZxFrame &frame);

    // Fill mode: the owner gives the window the picture's display shape
    // (a DVD's 720 x 576 shown 16:9, say), so pictures are stretched over
    // the whole window instead of keeping their pixel shape. Off by default.
    void setFillWindow(bool fill) { m_fill = fill; update(); }

    // Forgets the picture (shows the black area).
    void clearPicture();
    bool hasPicture() const { return !m_image.isNull(); }
    QImage picture() const { return m_image; }

    // Full-screen mode: the area fills its window and shows the control bar
    // when the mouse comes near the bottom edge (emitShowBtn).
    void setFullScreenMode(bool on);
    bool isFullScreenMode() const { return m_fullScreen; }

    // Pictures painted and pictures dropped because the previous one was not
    // painted yet, since the window was made.
    qint64 paintedFrames() const { return m_painted; }
    qint64 droppedFrames() const { return m_dropped.load(); }

signals:
    void emitFullScreen();
    void emitShowBtn(bool show);
    void emitPlayOrPause();
    void emitMouseMove(QMouseEvent *event);
    void emitMouseDown(QMouseEvent *event);
    void emitMouseUp(QMouseEvent *event);
    void emitMouseLeave();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void takePicture(const QImage &image);

    QImage m_image;
    std::atomic<bool> m_waiting{false}; // a picture is on its way or not painted yet
    std::atomic<qint64> m_dropped{0};
    std::mutex m_sizeLock;
    QSize m_targetSize;                 // the window's size, read by the engine's thread
    qint64 m_painted = 0;
    bool m_fullScreen = false;
    std::atomic<bool> m_fill{false};
    bool m_pressed = false;
};
