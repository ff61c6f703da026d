#include "queue/QMainDlg.h"
#include "ui_QMainDlg.h"

#include "queue/ItemProbe.h"
#include "queue/ImportJob.h"
#include "queue/RunScheduler.h"
#include "queue/QLoadingDlg.h"
#include "queue/VideoConvertBar.h"
#include "player/VXPlayerQDialog.h"
#include <zentrix.hpp>
#include "history/VXMessage.h"
#include "settings/ParserXML.h"
#include "base/AppGlobals.h"
#include "base/AppPaths.h"
#include "widgets/DarkMenuStyle.h"
#include "widgets/SkinnedFileDialog.h"
#include "widgets/StyleScrollBar.h"
#include "widgets/Theme.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <thread>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>

QMainDlg::QMainDlg(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::QMainDlg)
{
    registerItemRecordTypes();
    ui->setupUi(this);
    ui->m_labDrag->setText(tr("Drag media files here to start"));
    QFont font = Theme::font(14);
    ui->m_labDrag->setFont(font);
    ui->m_labDrag->setStyleSheet(Theme::sheet("color: @muted;"));

    connect(this, &QMainDlg::seedAddComplete, this, &QMainDlg::AddFileComplete);
    connect(this, &QMainDlg::seedAddItemInfo, this, &QMainDlg::addItemInfo);
    // For a worker thread that wants a row probed by the row itself: it waits
    // for the row (the import worker hands over records instead).
    connect(this, qOverload<QString, int>(&QMainDlg::seedNewItemBar), this,
            qOverload<QString, int>(&QMainDlg::addNewItemBar), Qt::BlockingQueuedConnection);

    m_menu = new QMenu(this);
    m_menu->setStyleSheet(DarkMenuStyle::styleSheet(120));
    m_actPlay = m_menu->addAction(tr("Play"), this, &QMainDlg::OnACtionPlay);
    m_actConvert = m_menu->addAction(tr("Convert"), this, &QMainDlg::OnACtionConvert);
    m_actRename = m_menu->addAction(tr("Rename"), this, &QMainDlg::OnACtionRename);
    m_menu->addSeparator();
    m_actDelete = m_menu->addAction(tr("&Delete"), this, &QMainDlg::OnACtionDelete);
    m_actDeleteAll = m_menu->addAction(tr("Delete ALL"), this, &QMainDlg::OnACtionDeleteAll);
    m_menu->addSeparator();
    m_actImport = m_menu->addAction(tr("Import"), this, &QMainDlg::OnACtionImport);
    m_actClearInvalid = m_menu->addAction(tr("Clear invalid files"), this, &QMainDlg::OnACtionClearInvalidFile);

    // The keyboard works on the rows while the focus is in the list (a click
    // on a row puts it there): Delete as the menu's "&Delete", Ctrl+A selects all.
    setFocusPolicy(Qt::StrongFocus);
    auto *deleteKey = new QShortcut(QKeySequence::Delete, this, this, [this] {
        if (!m_run.isRunning() && !AppGlobals::isConverting())
            OnACtionDelete();
    });
    deleteKey->setContext(Qt::WidgetWithChildrenShortcut);
    auto *selectAllKey = new QShortcut(QKeySequence::SelectAll, this, this, &QMainDlg::selectAllRows);
    selectAllKey->setContext(Qt::WidgetWithChildrenShortcut);

    setMouseTracking(true);
    setAutoFillBackground(false);
    auto *bar = new StyleScrollBar(Qt::Vertical, ui->scrollArea);
    bar->setArrowImages(AppPaths::dataPath("/image/ScrollBar/btn_up2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_up.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down.png"));
    ui->scrollArea->setVerticalScrollBar(bar);
    // Selectors keep the colour off the rows' own widgets.
    ui->scrollArea->setStyleSheet(Theme::sheet("QScrollArea#scrollArea { background: @panel; border: none; }"
                                               "#m_scrollAreaWidget, #verticalLayoutWidget_2 { background: @panel; }"));
    ui->m_listLayout->setSpacing(0);
    showList(false); // the list is empty

    m_searchTimer = new QTimer(this);
    m_searchTimer->setInterval(1000);
    connect(m_searchTimer, &QTimer::timeout, this, &QMainDlg::traversalTime);
    setAcceptDrops(true);
}

QMainDlg::~QMainDlg()
{
    // No row may report into a half-destroyed list.
    for (VideoConvertBar *row : m_allRows)
        row->disconnect(this);
    for (RunRow *row : m_run.runList())
        row->OnCancelConvert();
    RowConversion::closeMergedOutput();
    m_import.requestStop();
    joinWorker();
    // A probe the import left behind may still return; one that hangs in
    // the kernel is not waited for.
    ImportJob::waitForHelpers(std::chrono::seconds(2));
    qDeleteAll(m_allRows);
    m_allRows.clear();
    delete ui;
}

void QMainDlg::setShutdownCommand(const QString &program, const QStringList &arguments)
{
    m_run.setShutdownCommand(program, arguments);
}

// ---- Adding rows ---------------------------------------------------------------

VideoConvertBar *QMainDlg::newRow()
{
    auto *row = new VideoConvertBar(ui->m_scrollAreaWidget);
    m_allRows.append(row);
    connectRow(row);
    return row;
}

void QMainDlg::connectRow(VideoConvertBar *row)
{
    connect(row, &VideoConvertBar::emitMousePress, this, &QMainDlg::respondMouseStateEmit);
    connect(row, &VideoConvertBar::emitMouseShiftPress, this, &QMainDlg::shiftMouseStateEmit);
    connect(row, &VideoConvertBar::emitMouseCtrlPress, this, &QMainDlg::ctrlMouseStateEmit);
    connect(row, &VideoConvertBar::emitDelete, this, &QMainDlg::respondDeleteEmit);
    connect(row, &VideoConvertBar::emitVideoPlay, this, &QMainDlg::respondVideoPlayEmit);
    connect(row, &VideoConvertBar::seedEditSetting, this, &QMainDlg::setEditSetting);
    connect(row, &VideoConvertBar::seedWaterSetting, this, &QMainDlg::setWaterSetting);
    connect(row, &VideoConvertBar::emitConvertedFinish, this, &QMainDlg::converterFinishCount);
    connect(row, &VideoConvertBar::emitMergerNext, this, &QMainDlg::mergerNextFile);
    connect(row, &VideoConvertBar::emitConvertedVideo, this, &QMainDlg::emitVideo);
    connect(row, &VideoConvertBar::emitshowTreeMenu, this, &QMainDlg::respondShowTreeMenu);
    connect(this, &QMainDlg::emitIsStartConverter, row, &VideoConvertBar::StartConvertSet);
    connect(this, &QMainDlg::emitFormatChange, row, &VideoConvertBar::settingChange);
}

void QMainDlg::addItemInfo(ConverItemInfo *info)
{
    if (!info)
        return;
    VideoConvertBar *row = newRow();
    row->setItemInfo(info, m_import.isDvd());
    ui->m_listLayout->addWidget(row);
    SearchTextChanged(m_nameFilter);
    showList(true);
    emit seedIsAddItem(true);
}

void QMainDlg::addNewItemBar(QString path, int index)
{
    VideoConvertBar *row = newRow();
    if (!row->setUpFromPath(path, index)) {
        m_allRows.removeAll(row);
        delete row;
        return;
    }
    ui->m_listLayout->addWidget(row);
    SearchTextChanged(m_nameFilter);
    showList(true);
    emit seedIsAddItem(true);
}

void QMainDlg::addNewItemBar(QString path) { addNewItemBar(path, -1); }

void QMainDlg::SearchTextChanged(QString text)
{
    m_nameFilter = text;
    m_visibleRows.clear();
    for (VideoConvertBar *row : m_allRows) {
        const bool shown = row->displayName().contains(text, Qt::CaseInsensitive);
        row->setVisible(shown);
        if (shown)
            m_visibleRows.append(row);
    }
    emit emitDownedCount(int(m_allRows.size()));
}

// ---- Selection -------------------------------------------------------------------

void QMainDlg::respondMouseStateEmit()
{
    auto *row = qobject_cast<VideoConvertBar *>(sender());
    if (!row)
        return;
    for (VideoConvertBar *other : m_allRows)
        if (other != row)
            other->setSelectionState(VideoConvertBar::RowNotSelected);
    m_anchorRow = row;
    m_currentRow = row;
}

void QMainDlg::ctrlMouseStateEmit()
{
    auto *row = qobject_cast<VideoConvertBar *>(sender());
    if (!row)
        return;
    m_anchorRow = row;
    m_currentRow = row;
}

void QMainDlg::shiftMouseStateEmit()
{
    auto *row = qobject_cast<VideoConvertBar *>(sender());
    if (!row)
        return;
    m_currentRow = row;
    int from = m_anchorRow ? int(m_visibleRows.indexOf(m_anchorRow)) : 0;
    int to = int(m_visibleRows.indexOf(row));
    if (from > to)
        std::swap(from, to);
    for (int i = 0; i < m_visibleRows.size(); ++i)
        m_visibleRows[i]->setSelectionState(i >= from && i <= to ? VideoConvertBar::RowSelected
                                                                        : VideoConvertBar::RowNotSelected);
}

// ---- Context menu ----------------------------------------------------------------

void QMainDlg::updateMenuForRow(VideoConvertBar *row)
{
    const int state = row ? row->rowState() : -1;
    const bool idle = state == VideoConvertBar::RowIdle || state == VideoConvertBar::RowConverted
                      || state == VideoConvertBar::RowFailed;
    for (QAction *a : {m_actConvert, m_actRename, m_actPlay})
        a->setEnabled(idle);
    const bool mayDelete = idle || !RowConversion::mergeFlag();
    m_actDelete->setEnabled(mayDelete);
    m_actDeleteAll->setEnabled(mayDelete);
    m_actImport->setEnabled(true);
    if (m_run.isRunning() || AppGlobals::isConverting()) {
        for (QAction *a : {m_actImport, m_actDelete, m_actDeleteAll})
            a->setEnabled(false);
        if (AppGlobals::isMerge())
            for (QAction *a : {m_actConvert, m_actRename, m_actPlay})
                a->setEnabled(false);
    }
    m_actClearInvalid->setEnabled(true);
}

void QMainDlg::respondShowTreeMenu()
{
    if (!m_currentRow)
        m_currentRow = qobject_cast<VideoConvertBar *>(sender());
    if (!m_currentRow)
        return;
    updateMenuForRow(m_currentRow);
    m_menu->popup(QCursor::pos());
}

void QMainDlg::contextMenuEvent(QContextMenuEvent *event)
{
    for (QAction *a : {m_actPlay, m_actConvert, m_actRename, m_actDelete})
        a->setEnabled(false);
    const bool running = m_run.isRunning() || AppGlobals::isConverting();
    m_actDeleteAll->setEnabled(!running);
    m_actImport->setEnabled(!running);
    m_actClearInvalid->setEnabled(true);
    m_menu->popup(event->globalPos());
    event->accept();
}

void QMainDlg::OnACtionPlay()
{
    if (m_currentRow)
        m_currentRow->VideoStartPlay();
}

void QMainDlg::OnACtionConvert()
{
    // The whole list, as the Convert button would run it.
    if (AppGlobals::isMerge())
        mergeAll();
    else
        convertAll();
}

void QMainDlg::OnACtionRename()
{
    if (m_currentRow)
        m_currentRow->OnBtnEdit();
}

void QMainDlg::OnACtionDelete()
{
    const QList<VideoConvertBar *> rows = m_allRows;
    for (VideoConvertBar *row : rows)
        if (m_allRows.contains(row) && row->selectionState() == VideoConvertBar::RowSelected)
            row->OnBtnDelete();
}

void QMainDlg::OnACtionDeleteAll() { ActionDeleteALL(); }

void QMainDlg::selectAllRows()
{
    for (VideoConvertBar *row : std::as_const(m_visibleRows))
        row->setSelectionState(VideoConvertBar::RowSelected);
    if (!m_visibleRows.isEmpty() && !m_anchorRow)
        m_anchorRow = m_visibleRows.first();
}

void QMainDlg::OnACtionImport() { openFiles(); }

void QMainDlg::respondVideoPlayEmit(QString path)
{
    // A row of the list plays with its edits and range; any other path plainly.
    for (VideoConvertBar *row : std::as_const(m_allRows))
        if (row->sourcePath() == path) {
            row->VideoStartPlay();
            return;
        }
    if (QFileInfo::exists(path))
        VXPlayerQDialog::instance()->openFile(path);
}

void QMainDlg::setEditSetting(CropSettings cropSetting)
{
    for (VideoConvertBar *row : m_allRows)
        row->setEditSetting(cropSetting);
}

void QMainDlg::setWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imageWater)
{
    for (VideoConvertBar *row : m_allRows)
        row->setWaterSetting(textWater, imageWater);
}

// ---- Deleting rows -----------------------------------------------------------------

void QMainDlg::removeRow(VideoConvertBar *row)
{
    if (!row || !m_allRows.contains(row))
        return;
    // Reports of a row on its way out are nobody's business any more.
    row->disconnect(this);
    if (row->rowState() == VideoConvertBar::RowConverting)
        row->OnCancelConvert();
    ui->m_listLayout->removeWidget(row);
    if (m_currentRow == row)
        m_currentRow = nullptr;
    if (m_anchorRow == row)
        m_anchorRow = nullptr;
    if (m_deleteTarget == row)
        m_deleteTarget = nullptr;
    m_allRows.removeAll(row);
    m_visibleRows.removeAll(row);
    m_run.forget(row);
    row->hide();
    // The row may be inside one of its own signals.
    row->deleteLater();
}

void QMainDlg::afterRemoval()
{
    emit emitDownedCount(int(m_allRows.size()));
    if (m_visibleRows.isEmpty())
        SearchTextChanged(m_nameFilter);
    if (m_allRows.isEmpty()) {
        showList(false);
        emit seedIsAddItem(false);
    }
}

void QMainDlg::respondDeleteEmit()
{
    m_deleteTarget = qobject_cast<VideoConvertBar *>(sender());
    OnBarbtnDelete();
}

void QMainDlg::OnBarbtnDelete()
{
    VideoConvertBar *row = m_deleteTarget;
    if (!row || !m_visibleRows.contains(row))
        return;
    const bool wasInRun = m_run.runList().contains(row);
    removeRow(row);
    afterRemoval();
    if (wasInRun && m_run.isRunning() && m_run.runList().isEmpty())
        endRun(false);
}

void QMainDlg::ActionDeleteBar()
{
    m_deleteTarget = m_currentRow;
    OnBarbtnDelete();
}

void QMainDlg::ActionDeleteALL()
{
    m_currentRow = nullptr;
    stopConvert();
    const QList<VideoConvertBar *> rows = m_visibleRows;
    for (VideoConvertBar *row : rows)
        removeRow(row);
    emit emitDownedCount(int(m_allRows.size()));
    if (m_allRows.isEmpty()) {
        showList(false);
        emit seedIsAddItem(false);
    }
}

void QMainDlg::OnACtionClearInvalidFile()
{
    for (int i = int(m_allRows.size()) - 1; i >= 0; --i) {
        VideoConvertBar *row = m_allRows.at(i);
        if (!QFileInfo(row->sourcePath()).isFile())
            removeRow(row);
    }
    afterRemoval();
    if (m_run.isRunning() && m_run.runList().isEmpty())
        endRun(false);
}

// ---- The run -----------------------------------------------------------------------

namespace {

QList<RunRow *> runRows(const QList<VideoConvertBar *> &rows)
{
    QList<RunRow *> list;
    for (VideoConvertBar *row : rows)
        list.append(row);
    return list;
}

} // namespace

QList<VideoConvertBar *> QMainDlg::runList() const
{
    QList<VideoConvertBar *> rows;
    for (RunRow *row : m_run.runList())
        rows.append(static_cast<VideoConvertBar *>(row));
    return rows;
}

void QMainDlg::convertAll() { startRun(false); }

void QMainDlg::mergeAll() { startRun(true); }

void QMainDlg::startRun(bool merge)
{
    if (m_allRows.isEmpty() || m_run.isRunning())
        return;
    // No conversion of this user writes now: part files in the folder are
    // what killed runs left.
    RowConversion::removeStaleParts(AppGlobals::outputFolder());
    RowConversion::setMergeFlag(merge);
    m_runConverted = 0;
    m_runFailed = 0;
    emit emitIsStartConverter(true);
    // The 4K format takes the whole machine: one row at a time.
    const QString formatId = ParserXML::readSetting("FormatSet", "Format_ID", "1101");
    m_run.begin(runRows(m_allRows), merge, formatId == QLatin1String("4016") ? 1 : 2);
}

void QMainDlg::stopConvert()
{
    m_run.stop();
    RowConversion::closeMergedOutput();
    endRun(false);
}

void QMainDlg::endRun(bool finished)
{
    const bool ranToItsEnd = m_run.end(finished);
    emit emitIsStartConverter(false);
    RowConversion::setMergeFlag(false);
    if (ranToItsEnd)
        emit emitRunFinished(m_runConverted, m_runFailed);
    if (ranToItsEnd && ParserXML::readSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", "N") == QLatin1String("Y"))
        m_run.shutDown();
}

void QMainDlg::converterFinishCount(bool ok)
{
    auto *row = qobject_cast<VideoConvertBar *>(sender());
    if (!row || !m_allRows.contains(row))
        return;
    const bool inRun = m_run.takeFromRun(row);
    const bool merge = inRun && m_run.isMerged();

    if (!ok) {
        // Only a conversion that ran wrote a file; a start that failed owns
        // nothing under its name, which another row may be writing by now.
        const bool ran = row->rowState() == VideoConvertBar::RowConverting;
        row->markFailed();
        if (inRun)
            ++m_runFailed;
        // What a failed job wrote is not kept. A merged source shares its
        // file with the sources before it, which stay.
        // It never got its final name: only its part file is there.
        const QString written = RowConversion::partPath(row->outputPath());
        if (ran && !merge && !row->outputPath().isEmpty() && QFileInfo(written).isFile())
            QFile::remove(written);
    } else if (merge) {
        ConvertedFileInfo record = row->convertedFileInfo();
        record.convertedPath = RowConversion::mergedOutputPath();
        m_run.addMerged(row, row->convertedLength(), record);
    } else {
        ParserXML::addConvertedFile(row->convertedFileInfo());
        emit emitConvertedFinish();
        if (inRun)
            ++m_runConverted;
        removeRow(row);
    }

    if (!inRun) {
        afterRemoval();
        return;
    }
    if (merge) {
        if (m_run.runList().isEmpty())
            finishMergedRun(ok ? row : nullptr);
        else
            mergerNextFile();
    } else {
        m_run.startNextWaiting();
    }
    if (m_allRows.isEmpty()) {
        showList(false);
        emit seedIsAddItem(false);
    }
    emit emitDownedCount(int(m_allRows.size()));
    if (m_run.runList().isEmpty())
        endRun(true);
}

void QMainDlg::finishMergedRun(VideoConvertBar *lastRow)
{
    const QString merged = RowConversion::mergedOutputPath();
    if (lastRow)
        lastRow->finishMergedOutput();
    else
        RowConversion::closeMergedOutput();
    // Closing gave the merged file its name.
    const QString named = RowConversion::closedMergedOutput();
    if (!m_run.hasMergedRecord()) {
        // No source made it into the merged file.
        if (!named.isEmpty() && QFileInfo(named).isFile())
            QFile::remove(named);
        if (!merged.isEmpty())
            QFile::remove(RowConversion::partPath(merged));
        return;
    }
    const QFileInfo closed(named);
    if (named.isEmpty() || !closed.isFile() || closed.isSymLink() || closed.size() == 0) {
        // The merged file went (its folder was deleted): nothing to record,
        // its sources stay in the list, marked.
        m_run.takeMergedRecord();
        for (RunRow *row : m_run.takeMergedRows()) {
            auto *source = static_cast<VideoConvertBar *>(row);
            source->markFailed(tr("The output file is gone (was its folder deleted?)."));
            ++m_runFailed;
        }
        return;
    }
    mergerNextFile();
    for (RunRow *row : m_run.takeMergedRows())
        removeRow(static_cast<VideoConvertBar *>(row));
}

void QMainDlg::mergerNextFile()
{
    if (m_run.startNextMerged())
        return;
    if (std::optional<ConvertedFileInfo> record = m_run.takeMergedRecord()) {
        if (!RowConversion::closedMergedOutput().isEmpty())
            record->convertedPath = RowConversion::closedMergedOutput();
        record->size = QString::number(double(QFileInfo(record->convertedPath).size()) / 1048576.0, 'f', 2);
        ParserXML::addConvertedFile(*record);
        emit emitConvertedFinish();
        ++m_runConverted; // the merged file
    }
}

// ---- Painting ------------------------------------------------------------------------

void QMainDlg::showList(bool shown)
{
    ui->scrollArea->setVisible(shown);
    ui->m_labDrag->setVisible(!shown);
}

void QMainDlg::layoutEmptyState()
{
    const QRect r = rect();
    ui->verticalLayoutWidget->setGeometry(r);
    const QPixmap pic(AppPaths::dataPath("/image/bg_noFile.png"));
    const int picBottom = r.height() / 2 - 20 + pic.height() / 2;
    ui->m_labDrag->adjustSize();
    const int w = qMax(ui->m_labDrag->width(), 330);
    ui->m_labDrag->setGeometry((r.width() - w) / 2, picBottom + 10, w, ui->m_labDrag->height());
}

void QMainDlg::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutEmptyState();
}

void QMainDlg::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::panel());
    const QPixmap pic(AppPaths::dataPath("/image/bg_noFile.png"));
    if (!pic.isNull()) {
        const int x = (width() - pic.width()) / 2;
        const int y = height() / 2 - 20 - pic.height() / 2;
        painter.drawPixmap(x, y, pic);
    }
}

// ---- Import --------------------------------------------------------------------------

bool QMainDlg::isSupportedFile(const QString &path) { return ImportJob::isSupportedFile(path); }

QString QMainDlg::openFileFilter()
{
    return tr("All Supported Formats(*.m4v *.m4a *.m4b *.m4p *.m4r *.avi *.amr *.mod *.tod *.mts *.ts *.m2ts *.m2t *.tp *.trp *.mp4 *.m4v *.mpg *.mpeg *.3gp *.3g2 *wmv *.asf *.rm *.rmvb *.dat *.mov *.flv *.f4v *.mkv *.dv *.dvr-ms *.h.264 *.nsv *.vob *.mp3 *.m4a *.mp2 *.mpa *.wma *.aac *.ac3 *.mka *.ogg *.aif *.aiff *.ra;*ram *.Tivo *.wav *.ape *.flac *.webm *.ogv *.mxf *.vro *.wtv *.wtv);;Apple Video files(*.m4v);;Apple Music files(*.m4a *.m4b *.m4p *.m4r);;AVI Video files(*.avi);;Audible Audio(*.aa);;Adaptive Multi-Rate file(*.amr);;Audible Enhanced Format(*.aax);;MOD File(*.mod);;TOD File(*.tod);;High-definition files(*.mts *.ts *.m2ts *.m2t *.tp *.trp);;MPEG4 files(*.mp4 *.m4v);;MPEG files(*.mpg *.mpeg);;3GP files(*.3gp *.3g2);;Windows Media Video(*wmv *.asf);; Real Media files(*.rm *.rmvb);;Video CD files(*.dat);; Quick Time files(*.mov);;Flash Video files(*.flv *.f4v);;MKV files(*.mkv);; Digital Video files(*.dv);;Microsoft Digital Video Recorder(*.dvr-ms);; Raw h.264 Video files(*.h.264);; Nullsoft Stream Video(*.nsv);;Unprotected VOB Files(*.vob);;MPEG Audio Files(*.mp3 *.m4a *.mp2 *.mpa);;Windows Media Audio Files(*.wma);;Advanced Audio Coding Files(*.aac);;Audio Code 3 Files(*.ac3);;Matroska Audio Files(*.mka);;OGG Vorbis Audio Files(*.ogg);;Audio Interleave File Format(*.aif *.aiff);;Real Audio Files(*.ra;*ram);;Tivo File(*.Tivo);;Lossless Audio Files(*.wav *.ape *.flac);;WEBM Files(*.webm);;OGV Files(*.ogv);;MXF Files(*.mxf);;VRO Files(*.vro);;WTV(*.wtv);;All files(*.*)");
}

bool QMainDlg::isDvdSource(const QString &path)
{
    zxh::SourcePtr src(SourceCreate(-1));
    const bool ok = SourceOpenDvd(src.get(), path.toUtf8().constData()) != 0;
    qDebug() << path << "=============" << ok;
    SourceClose(src.get());
    return ok;
}

QLoadingDlg *QMainDlg::loadingDialog() const { return m_loadingDlg.data(); }

void QMainDlg::openFiles()
{
    const QStringList files = SkinnedFileDialog::openFileNames(this, QString(), AppGlobals::lastOpenFolder(),
                                                               openFileFilter());
    if (files.isEmpty())
        return;
    const QString folder = QFileInfo(files.first()).absolutePath();
    AppGlobals::setLastOpenFolder(folder);
    ParserXML::writeSetting("Open_path", "Open_path_value", folder);
    addImportFile(files);
}

void QMainDlg::OnLoadDvd()
{
    const QString folder = SkinnedFileDialog::existingDirectory(this, "Please select a folder:",
                                                                AppGlobals::lastOpenFolder());
    if (folder.isEmpty())
        return;
    AppGlobals::setLastOpenFolder(folder);
    ParserXML::writeSetting("Open_path", "Open_path_value", folder);
    addDvdFolder(folder, false);
}

void QMainDlg::OnLoadISOFile()
{
    const QString file = SkinnedFileDialog::openFileName(this, QString(), AppGlobals::lastOpenFolder(),
                                                         tr("ISO files(*.iso)"));
    if (file.isEmpty())
        return;
    // The next dialog opens in the image's folder with the image selected.
    AppGlobals::setLastOpenFolder(file);
    ParserXML::writeSetting("Open_path", "Open_path_value", file);
    addDvdFolder(file, true);
}

bool QMainDlg::beginImport()
{
    if (m_importActive) {
        qDebug() << "QMainDlg: an import is already running";
        return false;
    }
    // A dialog closed by Cancel ends its loop before the worker ends: wait
    // for that worker, then take what it queued (records and its completion)
    // so nothing of it reaches the next import's dialog. While the program
    // quits, a worker that still runs keeps the job: no new import.
    if (!wait())
        return false;
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (m_loadingDlg) {
        m_loadingDlg->hide();
        delete m_loadingDlg.data();
    }
    return true;
}

void QMainDlg::addDropPaths(const QStringList &paths)
{
    if (AppGlobals::isConverting() || m_run.isRunning()) {
        qDebug() << "QMainDlg: drop ignored while converting";
        return;
    }
    if (paths.isEmpty() || !beginImport())
        return;
    QStringList inputs;
    for (const QString &raw : paths) {
        const QString path = QDir::fromNativeSeparators(raw);
        const QFileInfo fi(path);
        if (fi.isDir() && isDvdSource(path)) {
            addDvdFolder(path, false);
            return;
        }
        if (fi.suffix().toLower() == QLatin1String("iso")) {
            addDvdFolder(path, true);
            return;
        }
        inputs.append(path);
    }
    if (inputs.isEmpty())
        return;
    m_import.setSearch(inputs);
    m_searchTimer->start();
    addImportFile(QStringList());
}

void QMainDlg::traversalTime()
{
    const int base = m_import.stepSearchProgress();
    if (base < 0) {
        m_searchTimer->stop();
        return;
    }
    emit seedLoadingProgress(float(base));
}

void QMainDlg::addImportFile(QStringList fileNames)
{
    // Waiting first: the job belongs to the worker until it has returned.
    if (!beginImport())
        return;
    const bool searching = m_import.isSearch();
    if (m_run.isRunning() || (!searching && fileNames.isEmpty()) || (searching && !m_import.hasSearchInput())) {
        m_import.clearSearch();
        m_searchTimer->stop();
        return;
    }
    // DVD titles and files are never mixed.
    if (m_import.isDvd())
        ActionDeleteALL();
    if (searching)
        m_import.startSearch();
    else
        m_import.setFiles(fileNames);
    runImport(nullptr);
}

void QMainDlg::addDvdFolder(QString fileNames, bool bISO)
{
    if (fileNames.isEmpty() || m_run.isRunning())
        return;
    if (!beginImport())
        return;
    // A DVD import always replaces the whole list.
    ActionDeleteALL();
    m_import.setDvd(fileNames, bISO);
    runImport(this);
}

void QMainDlg::addDvdFolder(QString fileNames) { addDvdFolder(fileNames, false); }

void QMainDlg::runImport(QWidget *dialogParent)
{
    auto *dlg = new QLoadingDlg(dialogParent);
    m_loadingDlg = dlg;
    connect(dlg, &QLoadingDlg::seedStopAddFile, this, &QMainDlg::StopAddFileThree);
    // Emitted by the worker: queued, in order with the records.
    connect(this, &QMainDlg::seedLoadingPath, dlg, &QLoadingDlg::setAddingPath);
    connect(this, &QMainDlg::seedLoadingCount, dlg, &QLoadingDlg::setAddedCount);
    connect(this, &QMainDlg::seedLoadingProgress, dlg, &QLoadingDlg::setProgress);
    if (QWidget *top = window(); top && top->isVisible()) {
        const QPoint origin = top->mapToGlobal(QPoint(0, 0));
        dlg->move(qMax(50, origin.x() + (top->width() - dlg->width()) / 2),
                  qMax(50, origin.y() + (top->height() - dlg->height()) / 2));
    }
    m_import.clearStop();
    m_recordsInFlight = 0;
    if (!start()) {
        qDebug() << "QMainDlg: cannot start the import thread";
        m_import.clearSearch();
        AddFileComplete(false);
        return;
    }
    // The worker's records and its completion are queued calls, delivered by
    // this loop; AddFileComplete ends it.
    m_importActive = true;
    dlg->exec();
    m_importActive = false;
}

void QMainDlg::StopAddFileThree()
{
    m_import.requestStop();
}

void QMainDlg::AddFileComplete(bool bShowMsg)
{
    m_searchTimer->stop();
    if (QLoadingDlg *dlg = m_loadingDlg.data()) {
        m_loadingDlg = nullptr;
        dlg->done(QDialog::Accepted);
        // Still inside its own exec(): it goes once that loop has returned.
        dlg->deleteLater();
    }
    const auto names = [](const QStringList &paths) {
        QStringList list;
        for (const QString &path : paths)
            list << path.mid(path.lastIndexOf('/') + 1);
        return list.join('\n');
    };
    QStringList notes;
    if (!bShowMsg && !m_import.leftOut().isEmpty())
        notes << tr("Not media files, left out:\n%1").arg(names(m_import.leftOut()));
    if (!m_import.notResponding().isEmpty())
        notes << tr("No answer from these (a network drive that does not respond?), left out:\n%1")
                     .arg(names(m_import.notResponding()));
    m_import.clearLeftOut();
    m_import.clearNotResponding();
    if (!notes.isEmpty())
        VXMessageBox(notes.join("\n\n"), QString(), VXMsg::KindWarning);
    if (bShowMsg) {
        VXMessageBox(m_import.isIsoImage() ? tr("Invalid ISO File, please select another one!")
                                 : tr("Invalid DVD-VIDEO folder, please select another folder."),
                     QString(), VXMsg::KindWarning);
    }
}

void QMainDlg::handOver(ConverItemInfo *info)
{
    // The GUI thread delivers everything that is queued in one go before it
    // looks at its timers again, so a worker running ahead of the rows would
    // stall the window. Waiting for the rows keeps the queue short.
    while (m_recordsInFlight >= kMaxRecordsInFlight && !m_import.stopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++m_recordsInFlight;
    emit seedAddItemInfo(info);
    QMetaObject::invokeMethod(this, [this] { --m_recordsInFlight; }, Qt::QueuedConnection);
}

void QMainDlg::OnExecute()
{
    ImportJob::Sink sink;
    sink.path = [this](const QString &path) { emit seedLoadingPath(path); };
    sink.count = [this](const QString &count) { emit seedLoadingCount(count); };
    sink.progress = [this](float percent) { emit seedLoadingProgress(percent); };
    sink.record = [this](ConverItemInfo *info) { handOver(info); };
    sink.searchDone = [this] { QMetaObject::invokeMethod(m_searchTimer, "stop", Qt::QueuedConnection); };
    sink.complete = [this](bool invalidDvd) { emit seedAddComplete(invalidDvd); };
    m_import.run(sink);
}

// ---- Drag and drop -------------------------------------------------------------------

namespace {

QStringList localPaths(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

} // namespace

void QMainDlg::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void QMainDlg::dragMoveEvent(QDragMoveEvent *event)
{
    if (!localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void QMainDlg::dropEvent(QDropEvent *event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drop finishes first: the import runs a modal dialog, and the
    // dragging application waits for the end of the drop.
    QMetaObject::invokeMethod(this, [this, paths] { addDropPaths(paths); }, Qt::QueuedConnection);
}
