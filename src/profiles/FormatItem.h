#pragma once
// One tile of the format grid: the format's icon and title over the tile
// image of its state, and a settings button shown on the selected tile.

#include <QPixmap>
#include <QString>
#include <QWidget>

class QImageButton;
class QLabel;

enum QFormatItemState { FormatItemNormal = 0, FormatItemHover = 1, FormatItemSelected = 2 };

class FormatItem : public QWidget
{
    Q_OBJECT
public:
    FormatItem(const QString &category, const QString &id, const QString &title, QWidget *parent = nullptr);

    QString category() const { return m_category; }
    QString id() const { return m_id; }
    QString title() const;
    // A line under the title in the tile's tool tip ("" none).
    void setDescription(const QString &description);
    QString iconFileName() const { return m_iconFileName; }
    QString iconPath() const { return m_iconPath; }

    QFormatItemState state() const { return m_state; }
    // Also shows the settings button on the selected tile only.
    void setState(QFormatItemState state);

    QImageButton *settingsButton() const { return m_btnSet; }

    // The ring of the tile the keyboard is on.
    void setKeyboardMark(bool on);

    static QSize tileSize() { return QSize(124, 112); }

signals:
    void emitItemPress(QString categories, QString ItemID, bool all);
    void emitItemDoubleClick();
    void emitOnSet(QString itemID);

public slots:
    void BtnPress();
    void BtnEnter();
    void BtnLeave();
    void OnBtnSet();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QString m_category;
    QString m_id;
    QString m_iconFileName;
    QString m_iconPath;
    QPixmap m_icon;
    QPixmap m_background;
    QLabel *m_labName;
    QImageButton *m_btnSet;
    QFormatItemState m_state = FormatItemNormal;
    bool m_keyboardMark = false;
};
