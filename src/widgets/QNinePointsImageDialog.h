#pragma once
// Frameless, translucent dialog drawn from a nine-patch background image.
// It takes the image's size, with corners of a third of the image's width and
// height; it can be dragged by its top 100 px and, when made resizable,
// resized from 6-px bands along its edges (never below its two corners).
// A double click does nothing (in particular it neither maximises nor closes).

#include <QDialog>
#include <QMargins>
#include <QPixmap>

#include "widgets/FramelessController.h"

class QImageButton;

class QNinePointsImageDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QNinePointsImageDialog(QWidget *parent = nullptr);

    // Loads the background and fixes the dialog at its size. A missing image
    // returns false and leaves a flat dark background at the current size.
    bool setBackgroundImage(const QString &path, bool draggable = true);
    QMargins backgroundMargins() const { return m_margins; }

    void setDraggable(bool on);
    bool isDraggable() const { return m_frame.isDraggable(); }
    void setResizable(bool on);
    bool isResizable() const { return m_frame.isResizable(); }

protected:
    // The title-bar chrome the program's small dialogs share: the logo at the
    // top left and the close button, skinned, at the top right.
    void addLogoAndCloseButton(QImageButton *closeButton, const QString &logoPath, const QString &closeImagePath);

    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void applySizeLimits();

    FramelessController m_frame;
    QPixmap m_background;
    QMargins m_margins;
};
