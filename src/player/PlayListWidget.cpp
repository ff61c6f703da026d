#include "player/PlayListWidget.h"

#include "player/PlayerVideobar.h"
#include "base/AppPaths.h"
#include "widgets/DarkMenuStyle.h"
#include "widgets/StyleScrollBar.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>

PlayListWidget::PlayListWidget(QWidget *parent)
    : QScrollArea(parent)
    , m_contents(new QWidget)
    , m_layout(new QVBoxLayout(m_contents))
    , m_menu(new QMenu(this))
{
    setFixedWidth(230);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true); // drops arrive at the viewport
    setObjectName("m_playList");
    m_contents->setObjectName("m_playListContents");
    const QString bg = AppPaths::dataPath("/image/playlist_bg.PNG");
    setStyleSheet(QString("QScrollArea {border:#212121;}"
                          " #m_playList, #m_playListContents { border-image: url(%1); }")
                      .arg(bg));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    setWidget(m_contents);

    auto *bar = new StyleScrollBar(Qt::Vertical, this);
    bar->setArrowImages(AppPaths::dataPath("/image/ScrollBar/btn_up2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_up.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down.png"));
    setVerticalScrollBar(bar);

    m_menu->setStyleSheet(DarkMenuStyle::styleSheet(120));
    m_menu->addAction(tr("Play"), this, &PlayListWidget::OnPlayAction);
    m_menu->addAction(tr("Delete"), this, &PlayListWidget::OnDeleteVideo);
    m_menu->addAction(tr("Delete ALL"), this, &PlayListWidget::OnDeleteVideoALL);
}

QStringList PlayListWidget::paths() const
{
    QStringList out;
    for (PlayerVideobar *row : m_rows)
        out << row->path();
    return out;
}

QString PlayListWidget::currentPath() const
{
    return m_current ? m_current->path() : QString();
}

int PlayListWidget::currentIndex() const
{
    return int(m_rows.indexOf(m_current));
}

PlayerVideobar *PlayListWidget::findRow(const QString &path) const
{
    for (PlayerVideobar *row : m_rows)
        if (row->path() == path)
            return row;
    return nullptr;
}

PlayerVideobar *PlayListWidget::appendRow(const QString &path)
{
    if (PlayerVideobar *existing = findRow(path))
        return existing;
    auto *row = new PlayerVideobar(path, m_contents);
    connect(row, &PlayerVideobar::emitDoublePressEvent, this, &PlayListWidget::VideoPlay);
    connect(row, &PlayerVideobar::emitPressEvent, this, &PlayListWidget::PopMenu);
    connect(row, &PlayerVideobar::emitDelete, this, &PlayListWidget::DeleteVideo);
    connect(row, &PlayerVideobar::emitReleseEvent, this, [this, row] {
        for (PlayerVideobar *r : std::as_const(m_rows))
            r->setSelected(r == row);
    });
    m_layout->insertWidget(m_layout->count() - 1, row);
    m_rows.append(row);
    return row;
}

void PlayListWidget::setCurrent(PlayerVideobar *row)
{
    for (PlayerVideobar *r : std::as_const(m_rows))
        r->setCurrent(r == row);
    m_current = row;
    if (row)
        ensureWidgetVisible(row);
}

void PlayListWidget::playRow(PlayerVideobar *row)
{
    if (!row)
        return;
    setCurrent(row);
    emit emitPlayVideo(row->path());
}

void PlayListWidget::addFiles(const QStringList &paths)
{
    PlayerVideobar *first = nullptr;
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        PlayerVideobar *row = appendRow(path);
        if (!first)
            first = row;
    }
    playRow(first);
}

void PlayListWidget::markCurrent(const QString &path)
{
    setCurrent(appendRow(path));
}

bool PlayListWidget::playPrevious()
{
    if (m_rows.isEmpty())
        return false;
    const int i = currentIndex();
    playRow(m_rows.at(i <= 0 ? int(m_rows.size()) - 1 : i - 1));
    return true;
}

bool PlayListWidget::playNext()
{
    if (m_rows.isEmpty())
        return false;
    const int i = currentIndex();
    playRow(m_rows.at(i < 0 || i + 1 >= int(m_rows.size()) ? 0 : i + 1));
    return true;
}

void PlayListWidget::VideoPlay()
{
    playRow(qobject_cast<PlayerVideobar *>(sender()));
}

void PlayListWidget::PopMenu()
{
    m_menuRow = qobject_cast<PlayerVideobar *>(sender());
    m_menu->popup(QCursor::pos());
}

void PlayListWidget::OnPlayAction()
{
    if (m_menuRow)
        playRow(m_menuRow);
}

void PlayListWidget::removeRow(PlayerVideobar *row)
{
    if (!row || !m_rows.contains(row))
        return;
    const bool wasCurrent = row == m_current;
    m_rows.removeAll(row);
    m_layout->removeWidget(row);
    row->hide();
    row->deleteLater();
    if (wasCurrent) {
        m_current = nullptr;
        emit emitDeleteVideo();
    }
}

void PlayListWidget::DeleteVideo()
{
    removeRow(qobject_cast<PlayerVideobar *>(sender()));
}

void PlayListWidget::OnDeleteVideo()
{
    removeRow(m_menuRow);
}

void PlayListWidget::OnDeleteVideoALL()
{
    const bool hadCurrent = m_current != nullptr;
    for (PlayerVideobar *row : std::as_const(m_rows)) {
        m_layout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    m_current = nullptr;
    if (hadCurrent)
        emit emitDeleteVideo();
}

void PlayListWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat("text/uri-list"))
        event->acceptProposedAction();
}

void PlayListWidget::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    addFiles(paths);
}
