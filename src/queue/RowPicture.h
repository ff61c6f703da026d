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

    // A null image shows the placeholder.
    void setPicture(const QImage &image);
    bool hasPicture() const { return !m_picture.isNull(); }

signals:
    void emitMouseRelease();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap m_picture;
    QPixmap m_placeholder;
    QPixmap m_playMark;
    bool m_hover = false;
    bool m_pressed = false;
};
