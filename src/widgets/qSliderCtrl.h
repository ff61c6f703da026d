#pragma once
// A horizontal slider drawn from images: a dark track, its filled part up to
// the handle (a stretched image) and a handle (QSliderCtrlBtn). Values are
// fractions 0..1. Dragging the handle or pressing on the track reports the
// new fraction through sendProgressValue; setValue() from the program does not.

#include <QPixmap>
#include <QWidget>

class QMouseEvent;
class QSliderCtrlBtn;

class qSliderCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit qSliderCtrl(QWidget *parent = nullptr);

    // The handle image and the image stretched over the filled part.
    void setImages(const QString &handlePath, const QString &ratePath);
    void setTrackColor(const QColor &color) { m_track = color; update(); }

    double value() const { return m_value; }
    void setValue(double fraction);
    bool isDragging() const { return m_dragging; }
    QSliderCtrlBtn *handle() const { return m_handle; }

signals:
    void sendProgressValue(double fraction);

public slots:
    void btnMouseMove(QMouseEvent *event, int grabX);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void placeHandle();
    double fractionAt(double handleLeft) const;
    void moveTo(double fraction);

    QSliderCtrlBtn *m_handle;
    QPixmap m_rate;
    QColor m_track;
    double m_value = 0.0;
    bool m_dragging = false;
};
