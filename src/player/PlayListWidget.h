#pragma once
// The player's side list of files, 230 px wide. Adding paths appends rows;
// the first path added is made current and announced with emitPlayVideo,
// which the player answers by playing it. Rows can be played by double click
// or from their context menu ("Play", "Delete", "Delete ALL"), deleted by
// their own button, and files dropped on the list are appended.

#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>

class PlayerVideobar;
class QMenu;
class QVBoxLayout;

class PlayListWidget : public QScrollArea
{
    Q_OBJECT
public:
    explicit PlayListWidget(QWidget *parent = nullptr);

    // Appends a row per path and plays the first of them (a path already in
    // the list is not added twice: its row is used).
    void addFiles(const QStringList &paths);
    // Makes path's row current without asking to play it (added when missing).
    void markCurrent(const QString &path);

    int count() const { return int(m_rows.size()); }
    PlayerVideobar *row(int i) const { return m_rows.value(i); }
    QStringList paths() const;
    QString currentPath() const;
    int currentIndex() const;

    // The row before / after the current one becomes current, wrapping at
    // the ends, and is announced. False when the list is empty.
    bool playPrevious();
    bool playNext();

    QMenu *menu() const { return m_menu; }

signals:
    void emitPlayVideo(QString path);
    void emitDeleteVideo();

public slots:
    void VideoPlay();
    void PopMenu();
    void DeleteVideo();
    void OnDeleteVideo();
    void OnDeleteVideoALL();
    void OnPlayAction();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    PlayerVideobar *appendRow(const QString &path);
    PlayerVideobar *findRow(const QString &path) const;
    void setCurrent(PlayerVideobar *row);
    void playRow(PlayerVideobar *row);
    void removeRow(PlayerVideobar *row);

    QWidget *m_contents;
    QVBoxLayout *m_layout;
    QList<PlayerVideobar *> m_rows;
    PlayerVideobar *m_current = nullptr;
    QPointer<PlayerVideobar> m_menuRow;
    QMenu *m_menu;
};
