#pragma once
// Plain widget drawn from a four-frame image with the four states of the
// image buttons (see FourStateTracker). The frame is stretched over the
// widget, whose size comes from its owner. Emits clicked() when the left
// button is released over it.

#include <QPixmap>
#include <QWidget>

class FourStateTracker;

class QCustomImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QCustomImageWidget(QWidget *parent = nullptr);

    // A missing or too narrow image returns false; the widget then paints a
    // flat fill.
    bool loadImage(const QString &path);

    // 0 normal, 1 hover, 2 pressed, 3 disabled.
    int state() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_image;
    FourStateTracker *m_tracker;
    bool m_pressed = false;
};
