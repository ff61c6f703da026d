#include "history/ConvertedItem.h"
#include "history/FileManager.h"
#include "history/ThumbnailFile.h"
#include "ui_ConvertedItem.h"

#include "settings/ParserXML.h"
#include "base/AppPaths.h"
#include "widgets/Theme.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

namespace {

ConvertedItem::FolderOpener &folderOpener()
{
    static ConvertedItem::FolderOpener opener = &ConvertedItem::showInFolder;
    return opener;
}

// Scaled for the screen's device pixel ratio: as many device pixels as the
// box shows, so pictures stay sharp on a scaled screen.
QPixmap scaledInto(const QPixmap &pixmap, const QSize &box, qreal ratio)
{
    if (pixmap.isNull())
        return pixmap;
    QPixmap scaled = pixmap.scaled(box * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

} // namespace

ConvertedItem::ConvertedItem(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConvertedItem)
{
    ui->setupUi(this);
    setFixedHeight(Height);
    setAttribute(Qt::WA_Hover);

    QFont nameFont = Theme::font(13);
    QFont factFont = Theme::font(11);
    ui->m_labVideoName->setFont(nameFont);
    ui->m_labVideoName->setStyleSheet("color: white;");
    for (QLabel *l : {ui->m_time, ui->m_resolution, ui->m_size, ui->m_format}) {
        l->setFont(factFont);
        l->setStyleSheet(Theme::sheet("color: @muted;"));
    }
    // Small glyphs before the facts, taken from the row pictures of the skin.
    const QPixmap audioIcon(AppPaths::dataPath("/image/videodisplay/main_icon_audio@2x.png"));
    const QPixmap videoIcon(AppPaths::dataPath("/image/videodisplay/Video_icon.png"));
    const QPixmap formatIcon(AppPaths::dataPath("/image/Format_Dlg/main_icon_format@2x.png"));
    const QPixmap playIcon(AppPaths::dataPath("/image/videodisplay/btn_play.png"));
    ui->m_iconTime->setPixmap(scaledInto(playIcon, {14, 14}, devicePixelRatioF()));
    ui->m_iconResolution->setPixmap(scaledInto(videoIcon, {14, 14}, devicePixelRatioF()));
    ui->m_iconSize->setPixmap(scaledInto(audioIcon, {14, 14}, devicePixelRatioF()));
    ui->m_iconFormat->setPixmap(scaledInto(formatIcon, {14, 14}, devicePixelRatioF()));

    ui->m_btnSearch->loadImage(AppPaths::dataPath("/image/EditDlg/Edit_btn_folder.png"));
    ui->m_btnSearch->setToolTip(tr("Show in folder"));
    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    ui->m_btnClose->setToolTip(tr("Delete"));
    connect(ui->m_btnSearch, &QPushButton::clicked, this, &ConvertedItem::OnBtnSearch);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &ConvertedItem::emitDelete);
}

ConvertedItem::~ConvertedItem()
{
    delete ui;
}

void ConvertedItem::setPath(const QString &path)
{
    m_path = path;
    ui->m_labVideoName->setText(QFileInfo(path).fileName());
    ui->m_labVideoName->setToolTip(path);

    const auto info = ParserXML::convertedFile(path);
    showRecord(info ? &*info : nullptr);
}

void ConvertedItem::setRecord(const ConvertedFileInfo &record)
{
    m_path = record.convertedPath;
    ui->m_labVideoName->setText(QFileInfo(m_path).fileName());
    ui->m_labVideoName->setToolTip(m_path);
    showRecord(&record);
}

void ConvertedItem::showRecord(const ConvertedFileInfo *info)
{
    const QString unknown = tr("Unkown");
    ui->m_time->setText(info ? info->time : unknown);
    ui->m_resolution->setText(info ? info->resolution : unknown);
    ui->m_size->setText(info ? info->size : unknown);
    ui->m_format->setText(info ? info->extend : unknown);

    QPixmap thumb;
    if (info && !info->imgPath.isEmpty())
        thumb = QPixmap::fromImage(ThumbnailFile::read(info->imgPath));
    if (thumb.isNull())
        thumb.load(AppPaths::dataPath("/image/Converted_Dlg/Video_icon.png"));
    ui->m_labThumb->setPixmap(scaledInto(thumb, ui->m_labThumb->size(), ui->m_labThumb->devicePixelRatioF()));
    ui->m_labThumb->setAlignment(Qt::AlignCenter);
}

void ConvertedItem::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void ConvertedItem::setFolderOpener(FolderOpener opener)
{
    folderOpener() = opener ? std::move(opener) : FolderOpener(&ConvertedItem::showInFolder);
}

void ConvertedItem::showInFolder(const QString &filePath) { FileManager::showItem(filePath); }

void ConvertedItem::OnBtnSearch()
{
    // Paths arrive as the history stored them; "//" runs are collapsed.
    QString path = m_path;
    while (path.contains("//"))
        path.replace("//", "/");
    folderOpener()(path);
}

void ConvertedItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        setSelected(true);
        emit emitMousePress();
    }
    QWidget::mousePressEvent(event);
}

void ConvertedItem::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void ConvertedItem::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}

void ConvertedItem::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QColor fill(50, 51, 51);
    if (m_selected)
        fill = Theme::selection();
    else if (m_hover)
        fill = QColor(70, 72, 72);
    p.fillRect(rect(), fill);
    p.setPen(QColor(40, 41, 41));
    p.drawLine(rect().bottomLeft(), rect().bottomRight());
}
