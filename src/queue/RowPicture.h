#pragma once
// The picture area of a queue row: the item's thumbnail scaled to fit, or a
// placeholder, with the play mark over it. A left release over it asks for
// playback (emitMouseRelease).

#include <QImage>
#include <QPixmap>
#include <QWidget>

class RowPicture : public QWidget
{
    Q_OBJECT
public:
    explicit RowPicture(QWidget *parent = nullptr);

    // A null image shows the placeholder. Give the largest image at hand: it
    // is scaled to the area's size in device pixels when painted, so it stays
    // sharp on a screen with a device pixel ratio above 1.
    void setPicture(const QImage &image);
    bool hasPicture() const { return !m_source.isNull(); }
    // The picture as painted last (device pixels, with its ratio set).
    QPixmap shownPicture() const { return m_picture; }

signals:
    void emitMouseRelease();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void preparePicture();

    QImage m_source;
    QPixmap m_picture;
    QPixmap m_placeholder;
    QPixmap m_playMark;
    bool m_hover = false;
    bool m_pressed = false;
};
