#pragma once
// Frameless, translucent dialog that paints one background image over its
// whole rectangle and moves with the mouse wherever it is pressed, keeping the
// offset of the press.

#include <QDialog>
#include <QPixmap>

#include "widgets/FramelessController.h"

class QImageDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QImageDialog(QWidget *parent = nullptr);

    // Loads the background and resizes the dialog to it. A missing image
    // returns false and leaves a flat dark background.
    bool setBackgroundImage(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FramelessController m_frame;
    QPixmap m_background;
};
