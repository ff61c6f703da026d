#pragma once
// One row of the player's play list: thumbnail, file name and length, with a
// delete button. The row reads the length and a thumbnail (the picture at a
// tenth of the length) itself when it is made.

#include <QImage>
#include <QString>
#include <QWidget>

class QImageButton;

class PlayerVideobar : public QWidget
{
    Q_OBJECT
public:
    explicit PlayerVideobar(const QString &path, QWidget *parent = nullptr);

    QString path() const { return m_path; }
    QString name() const { return m_name; }
    qint64 duration() const { return m_duration; }
    QImage thumbnail() const { return m_thumbnail; }
    // The length as shown: "mm:ss" under an hour, else "hh:mm:ss".
    QString lengthShown() const { return lengthText(m_duration); }
    static QString lengthText(qint64 microseconds);

    bool isCurrent() const { return m_current; }
    void setCurrent(bool on);
    bool isSelected() const { return m_selected; }
    void setSelected(bool on);

signals:
    void emitDoublePressEvent();
    void emitPressEvent();
    void emitReleseEvent();
    void emitLeaveEvent();
    void emitEnterEvent();
    void emitDelete();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void readFile();

    QString m_path;
    QString m_name;
    qint64 m_duration = 0;
    QImage m_thumbnail;
    bool m_current = false;
    bool m_selected = false;
    bool m_hover = false;
    QImageButton *m_btnDelete;
};
