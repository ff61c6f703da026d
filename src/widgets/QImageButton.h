#pragma once
// Push button drawn from one image that holds four equal frames side by side:
// normal, hover, pressed, disabled (see FourStateTracker).

#include <QPixmap>
#include <QPushButton>

class FourStateTracker;

class QImageButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QImageButton(QWidget *parent = nullptr);

    // Loads the four-frame image and fixes the button at one frame's size
    // (image width / 4, truncated, x image height). A missing or too narrow
    // image returns false and leaves the button with a flat look.
    bool loadImage(const QString &path);

    // 0 normal, 1 hover, 2 pressed, 3 disabled.
    int state() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_image;
    FourStateTracker *m_tracker;
};
