#pragma once
// The handle of qSliderCtrl: a small image the user grabs and drags. It only
// reports the mouse; the slider moves it.

#include <QPixmap>
#include <QWidget>

class QMouseEvent;

class QSliderCtrlBtn : public QWidget
{
    Q_OBJECT
public:
    explicit QSliderCtrlBtn(QWidget *parent = nullptr);
    // Loads the handle image and takes its size; false when it cannot be read.
    bool loadImage(const QString &path);

signals:
    // The int is the x of the press inside the handle, so the handle keeps
    // the grab point under the mouse while dragged.
    void mouseMove(QMouseEvent *event, int grabX);
    void mouseDown(QMouseEvent *event, int grabX);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPixmap m_image;
    int m_grabX = 0;
};
