#pragma once
// Widget that paints one background image over its whole rectangle and drags
// its top-level window with the mouse, keeping the offset of the press (used
// as an image-backed panel or title area of frameless windows; a top-level
// QImageWidget moves itself).

#include <QPixmap>
#include <QWidget>

#include "widgets/FramelessController.h"

class QImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QImageWidget(QWidget *parent = nullptr);

    // A missing image returns false and the widget paints nothing.
    bool setBackgroundImage(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FramelessController m_frame;
    QPixmap m_background;
};
