#include "queue/QMainDlg.h"
#include "ui_QMainDlg.h"

#include "queue/ItemProbe.h"
#include "queue/VideoConvertBar.h"
#include "settings/ParserXML.h"
#include "shell/AppGlobals.h"
#include "shell/AppPaths.h"
#include "widgets/DarkMenuStyle.h"
#include "widgets/StyleScrollBar.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProcess>

QMainDlg::QMainDlg(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::QMainDlg)
{
    registerItemRecordTypes();
    ui->setupUi(this);
    ui->m_labDrag->setText(tr("Drag media files here to start"));
    QFont font("Tahoma");
    font.setPixelSize(14);
    ui->m_labDrag->setFont(font);
    ui->m_labDrag->setStyleSheet("color: rgb(172, 170, 171);");

    connect(this, &QMainDlg::seedAddComplete, this, &QMainDlg::AddFileComplete);
    connect(this, &QMainDlg::seedAddItemInfo, this, &QMainDlg::addItemInfo);
    // Emitted by the import worker only, which waits for the row.
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

    setMouseTracking(true);
    setAutoFillBackground(false);
    auto *bar = new StyleScrollBar(Qt::Vertical, ui->scrollArea);
    bar->setArrowImages(AppPaths::dataPath("/image/ScrollBar/btn_up2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_up.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down2.png"),
                        AppPaths::dataPath("/image/ScrollBar/btn_down.png"));
    ui->scrollArea->setVerticalScrollBar(bar);
    // Selectors keep the colour off the rows' own widgets.
    ui->scrollArea->setStyleSheet("QScrollArea#scrollArea { background: rgb(62, 63, 63); border: none; }"
                                  "#m_scrollAreaWidget, #verticalLayoutWidget_2 { background: rgb(62, 63, 63); }");
    ui->m_listLayout->setSpacing(0);
    showList(false); // the list is empty
}

QMainDlg::~QMainDlg()
{
    // No row may report into a half-destroyed list.
    for (VideoConvertBar *row : m_allRows)
        row->disconnect(this);
    for (VideoConvertBar *row : m_runList)
        row->OnCancelConvert();
    VideoConvertBar::closeMergedOutput();
    joinWorker();
    qDeleteAll(m_allRows);
    m_allRows.clear();
    delete ui;
}

void QMainDlg::OnExecute()
{
    // The import worker's body arrives with the threaded import.
}

void QMainDlg::setShutdownCommand(const QString &program, const QStringList &arguments)
{
    m_shutdownProgram = program;
    m_shutdownArguments = arguments;
}

// ---- Adding rows ---------------------------------------------------------------

void QMainDlg::openFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Open"), AppGlobals::lastOpenFolder(),
                                                            tr("All files(*.*)"), nullptr,
                                                            QFileDialog::DontUseNativeDialog);
    if (files.isEmpty())
        return;
    AppGlobals::setLastOpenFolder(QFileInfo(files.first()).absolutePath());
    addImportFile(files);
}

void QMainDlg::addImportFile(QStringList fileNames)
{
    // Interim path: each file is probed here, on the GUI thread, one after
    // the other. Files the engine cannot read are left out.
    if (m_running)
        return;
    m_dvdMode = false;
    for (const QString &name : fileNames) {
        const QString path = QDir::fromNativeSeparators(name);
        std::unique_ptr<ConverItemInfo> info = probeMediaFile(path);
        if (info)
            addItemInfo(info.release());
        else
            qDebug() << "QMainDlg: cannot read" << path;
    }
}

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
    row->setItemInfo(info, m_dvdMode);
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

void QMainDlg::addDvdFolder(QString fileNames, bool bISO)
{
    qDebug() << "QMainDlg::addDvdFolder: DVD import is not available yet" << fileNames << bISO;
}

void QMainDlg::addDvdFolder(QString fileNames) { addDvdFolder(fileNames, false); }

void QMainDlg::OnLoadDvd() { qDebug() << "QMainDlg::OnLoadDvd: DVD import is not available yet"; }

void QMainDlg::OnLoadISOFile() { qDebug() << "QMainDlg::OnLoadISOFile: ISO import is not available yet"; }

void QMainDlg::StopAddFileThree() {}

void QMainDlg::AddFileComplete(bool bShowMsg) { Q_UNUSED(bShowMsg); }

void QMainDlg::traversalTime() {}

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
            other->setSelectionState(0);
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
        m_visibleRows[i]->setSelectionState(i >= from && i <= to ? 2 : 0);
}

// ---- Context menu ----------------------------------------------------------------

void QMainDlg::updateMenuForRow(VideoConvertBar *row)
{
    const int state = row ? row->rowState() : -1;
    const bool idle = state == VideoConvertBar::RowIdle || state == VideoConvertBar::RowConverted
                      || state == VideoConvertBar::RowFailed;
    for (QAction *a : {m_actConvert, m_actRename, m_actPlay})
        a->setEnabled(idle);
    const bool mayDelete = idle || !VideoConvertBar::mergeFlag();
    m_actDelete->setEnabled(mayDelete);
    m_actDeleteAll->setEnabled(mayDelete);
    m_actImport->setEnabled(true);
    if (m_running || AppGlobals::isConverting()) {
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
    const bool running = m_running || AppGlobals::isConverting();
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
        if (m_allRows.contains(row) && row->selectionState() == 2)
            row->OnBtnDelete();
}

void QMainDlg::OnACtionDeleteAll() { ActionDeleteALL(); }

void QMainDlg::OnACtionImport() { openFiles(); }

void QMainDlg::respondVideoPlayEmit(QString path)
{
    // The player window opens here once it exists.
    qDebug() << "QMainDlg: play" << path;
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
    m_runList.removeAll(row);
    m_mergedRows.removeAll(row);
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
    const bool wasInRun = m_runList.contains(row);
    removeRow(row);
    afterRemoval();
    if (wasInRun && m_running && m_runList.isEmpty())
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
    if (m_running && m_runList.isEmpty())
        endRun(false);
}

// ---- The run -----------------------------------------------------------------------

void QMainDlg::convertAll()
{
    if (m_allRows.isEmpty() || m_running) {
        m_mergeRun = false;
        return;
    }
    const bool merge = m_mergeRun;
    m_mergeRun = false;
    startRun(merge);
}

void QMainDlg::mergeAll()
{
    m_mergeRun = true;
    m_mergedTotal = 0;
    m_mergedRecord.reset();
    convertAll();
}

void QMainDlg::startRun(bool merge)
{
    m_runList = m_allRows;
    m_mergedRows.clear();
    m_running = true;
    VideoConvertBar::setMergeFlag(merge);
    emit emitIsStartConverter(true);

    // Every row waits first, so a row that fails at once finds the others
    // in line and the next one takes its place.
    const QList<VideoConvertBar *> run = m_runList;
    for (VideoConvertBar *row : run)
        row->setWaiting();
    if (merge) {
        run.first()->startConvert(true);
        return;
    }
    const QString formatId = ParserXML::readSetting("FormatSet", "Format_ID", "1101");
    const int parallel = formatId == QLatin1String("4016") ? 1 : 2;
    for (int i = 0; i < parallel && i < run.size(); ++i)
        run.at(i)->startConvert(false);
}

void QMainDlg::startNextWaiting()
{
    for (VideoConvertBar *row : m_runList) {
        if (row->rowState() == VideoConvertBar::RowWaiting) {
            row->startConvert(false);
            return;
        }
    }
}

void QMainDlg::stopConvert()
{
    const QList<VideoConvertBar *> run = m_runList;
    m_runList.clear();
    for (VideoConvertBar *row : run)
        row->OnCancelConvert();
    // Sources already in the abandoned merged output go back to the queue.
    const QList<VideoConvertBar *> merged = m_mergedRows;
    m_mergedRows.clear();
    for (VideoConvertBar *row : merged)
        row->OnCancelConvert();
    VideoConvertBar::closeMergedOutput();
    m_mergedRecord.reset();
    m_mergedTotal = 0;
    endRun(false);
}

void QMainDlg::endRun(bool finished)
{
    const bool wasRunning = m_running;
    m_running = false;
    emit emitIsStartConverter(false);
    VideoConvertBar::setMergeFlag(false);
    if (finished && wasRunning)
        shutDownIfAsked();
}

void QMainDlg::converterFinishCount(bool ok)
{
    auto *row = qobject_cast<VideoConvertBar *>(sender());
    if (!row || !m_allRows.contains(row))
        return;
    const bool inRun = m_runList.removeAll(row) > 0;
    const bool merge = inRun && VideoConvertBar::mergeFlag();

    if (!ok) {
        row->markFailed();
        // What a failed job wrote is not kept. A merged source shares its
        // file with the sources before it, which stay.
        if (!merge && !row->outputPath().isEmpty() && QFileInfo(row->outputPath()).isFile())
            QFile::remove(row->outputPath());
    } else if (merge) {
        if (!m_mergedRecord) {
            ConvertedFileInfo record = row->convertedFileInfo();
            record.convertedPath = VideoConvertBar::mergedOutputPath();
            m_mergedRecord = record;
        }
        m_mergedTotal += row->convertedLength();
        m_mergedRows.append(row);
    } else {
        ParserXML::addConvertedFile(row->convertedFileInfo());
        emit emitConvertedFinish();
        removeRow(row);
    }

    if (!inRun) {
        afterRemoval();
        return;
    }
    if (merge) {
        if (m_runList.isEmpty())
            finishMergedRun(ok ? row : nullptr);
        else
            mergerNextFile();
    } else {
        startNextWaiting();
    }
    if (m_allRows.isEmpty()) {
        showList(false);
        emit seedIsAddItem(false);
    }
    emit emitDownedCount(int(m_allRows.size()));
    if (m_runList.isEmpty())
        endRun(true);
}

void QMainDlg::finishMergedRun(VideoConvertBar *lastRow)
{
    const QString merged = VideoConvertBar::mergedOutputPath();
    if (lastRow)
        lastRow->finishMergedOutput();
    else
        VideoConvertBar::closeMergedOutput();
    if (!m_mergedRecord) {
        // No source made it into the merged file.
        if (!merged.isEmpty() && QFileInfo(merged).isFile())
            QFile::remove(merged);
        return;
    }
    mergerNextFile();
    const QList<VideoConvertBar *> done = m_mergedRows;
    m_mergedRows.clear();
    for (VideoConvertBar *row : done)
        removeRow(row);
}

void QMainDlg::mergerNextFile()
{
    if (!m_runList.isEmpty()) {
        m_runList.first()->startConvert(true);
        return;
    }
    if (VideoConvertBar::mergeFlag() && m_mergedRecord) {
        ConvertedFileInfo record = *m_mergedRecord;
        m_mergedRecord.reset();
        record.time = AppPaths::durationText(m_mergedTotal);
        record.size = QString::number(double(QFileInfo(record.convertedPath).size()) / 1048576.0, 'f', 2);
        ParserXML::addConvertedFile(record);
        emit emitConvertedFinish();
    }
}

void QMainDlg::shutDownIfAsked()
{
    if (ParserXML::readSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", "N") != QLatin1String("Y"))
        return;
    qDebug() << "\n\n\nshutdown---------\n\n\n";
    if (!QProcess::startDetached(m_shutdownProgram, m_shutdownArguments))
        qDebug() << "QMainDlg: cannot run" << m_shutdownProgram << m_shutdownArguments;
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
    painter.fillRect(rect(), QColor(62, 63, 63));
    const QPixmap pic(AppPaths::dataPath("/image/bg_noFile.png"));
    if (!pic.isNull()) {
        const int x = (width() - pic.width()) / 2;
        const int y = height() / 2 - 20 - pic.height() / 2;
        painter.drawPixmap(x, y, pic);
    }
}
