#pragma once
// Small frameless modal box with a title, an optional kind icon, a text and one
// or two buttons; the kinds and results are those of VXMessage.h. Its images
// come from the "pic" folder beside the executable. A missing image is logged
// and the box goes on without it.

#include <QDialog>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

namespace Ui { class QVXMessageDlg; }

class QVXMessageDlg : public QDialog
{
    Q_OBJECT
public:
    enum class KindIcon { None, Warning, Success, Error };

    // An empty title keeps "Video Converter".
    explicit QVXMessageDlg(const QString &text = QString(), const QString &title = QString(),
                           unsigned kind = 0, QWidget *parent = nullptr);
    ~QVXMessageDlg() override;

    QString title() const { return m_title; }
    QString message() const { return m_message; }
    unsigned kind() const { return m_kind; }

    // Which kind icon the flags select, and whether it is drawn.
    KindIcon kindIcon() const;
    bool drawsKindIcon() const;

    // Where the message is drawn; valid once the box has been shown.
    QRect textRect() const { return m_textRect; }
    static QRect titleRect() { return QRect(QPoint(25, 11), QPoint(325, 37)); }

    // The folder holding the box's images: the executable's folder + "/pic".
    static QString imageFolder();

public slots:
    void OnBtnOk();
    void OnBtnCancel();
    void reject() override; // Escape and the window's close count as Cancel / No

signals:
    // "Restart" of a KindRestart box; the box stays open.
    void emitRestart();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void initButtons();
    void loadKindIcon();
    void layoutForShow();

    std::unique_ptr<Ui::QVXMessageDlg> m_ui;
    QString m_title;
    QString m_message;
    unsigned m_kind = 0;
    QFont m_titleFont;
    QFont m_textFont;
    QRect m_textRect;
    QPixmap m_background;
    QPixmap m_titleIcon;
    QPixmap m_kindIcon;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
