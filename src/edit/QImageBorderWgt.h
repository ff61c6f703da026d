#pragma once
// A frame drawn over a preview pane: a transparent widget covering the whole
// pane that draws a border with eight grips at borderRect(). As the crop
// frame it takes the mouse itself and reports presses, moves (hover
// included) and releases in pane coordinates; as the watermark frame it lets
// the mouse through to the pane underneath (setPassMouse).

#include <QRect>
#include <QWidget>

class QMouseEvent;

class QImageBorderWgt : public QWidget
{
    Q_OBJECT
public:
    explicit QImageBorderWgt(QWidget *parent = nullptr);

    // The border, in the pane's pixels. The widget follows the pane's size.
    void setBorderRect(const QRect &rect);
    QRect borderRect() const { return m_border; }
    void setPassMouse(bool pass);

signals:
    void emitMouseMove(QMouseEvent *event);
    void emitMouseDown(QMouseEvent *event);
    void emitMouseUp(QMouseEvent *event);

public slots:
    // A move seen by another widget, handed on as if it happened here.
    void externMove(QMouseEvent *event);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void fitParent();

    QRect m_border;
};
