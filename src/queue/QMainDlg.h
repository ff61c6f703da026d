#pragma once
// The queue list in the centre of the main window: one row (VideoConvertBar)
// per source item, selection with plain, Shift and Ctrl clicks, the context
// menu, deleting rows, and the conversion run over the rows, either two rows
// at a time (one at a time for the format "4016") or all rows merged into one
// output file.
//
// Files arrive through addImportFile. Until the import worker (the
// QUtilThread body of this class) probes them on its own thread,
// addImportFile probes them synchronously on the GUI thread.
//
// GUI thread only; rows report progress through their own queued signals.

#include "engine/QUtilThread.h"
#include "queue/ItemRecords.h"
#include "settings/SettingsRecords.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

namespace Ui { class QMainDlg; }
class QAction;
class QMenu;
class VideoConvertBar;

class QMainDlg : public QWidget, public QUtilThread
{
    Q_OBJECT
public:
    explicit QMainDlg(QWidget *parent = nullptr);
    ~QMainDlg() override;

    int itemCount() const { return int(m_allRows.size()); }
    // All rows in list order, and the rows that still have to convert in the
    // run in progress (empty when idle).
    QList<VideoConvertBar *> rows() const { return m_allRows; }
    QList<VideoConvertBar *> runList() const { return m_runList; }
    bool isRunning() const { return m_running; }
    VideoConvertBar *currentRow() const { return m_currentRow; }

    // Operations for the main window.
    void openFiles();          // the open dialog ("Import")
    void convertAll();
    void mergeAll();
    void stopConvert();

    // What shuts the computer down after a run when the user asked for it;
    // run directly with its argument list (no shell). "systemctl poweroff"
    // unless replaced (tests replace it).
    void setShutdownCommand(const QString &program, const QStringList &arguments);

    // The context menu and its actions, as the last respondShowTreeMenu or
    // right click on the empty list area left them.
    QMenu *contextMenu() const { return m_menu; }
    QAction *actionPlay() const { return m_actPlay; }
    QAction *actionConvert() const { return m_actConvert; }
    QAction *actionRename() const { return m_actRename; }
    QAction *actionDelete() const { return m_actDelete; }
    QAction *actionDeleteAll() const { return m_actDeleteAll; }
    QAction *actionImport() const { return m_actImport; }
    QAction *actionClearInvalid() const { return m_actClearInvalid; }

signals:
    void emitDownedCount(int count);
    void seedIsAddItem(bool hasItems);
    void seedNewItemBar(QString path, int index);
    void seedNewItemBar(QString path);
    void seedAddItemInfo(ConverItemInfo *info);
    void emitIsStartConverter(bool bStart);
    void emitVideo(QString filePath);
    void seedAddComplete(bool bShowMsg);
    void emitConvertedFinish();
    void emitFormatChange();

public slots:
    void OnBarbtnDelete();
    void addDvdFolder(QString fileNames, bool bISO);
    void addDvdFolder(QString fileNames);
    void addImportFile(QStringList fileNames);
    void addNewItemBar(QString path, int index);
    void addNewItemBar(QString path);
    void addItemInfo(ConverItemInfo *info);
    void SearchTextChanged(QString text);
    void respondMouseStateEmit();
    void shiftMouseStateEmit();
    void ctrlMouseStateEmit();
    void respondDeleteEmit();
    void respondVideoPlayEmit(QString path);
    void respondShowTreeMenu();
    void converterFinishCount(bool ok);
    void mergerNextFile();
    void ActionDeleteALL();
    void OnACtionPlay();
    void OnACtionConvert();
    void OnACtionRename();
    void OnACtionDelete();
    void ActionDeleteBar();
    void OnACtionDeleteAll();
    void OnACtionImport();
    void OnLoadDvd();
    void OnLoadISOFile();
    void OnACtionClearInvalidFile();
    void StopAddFileThree();
    void AddFileComplete(bool bShowMsg);
    void setEditSetting(CropSettings cropSetting);
    void setWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imageWater);
    void traversalTime();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    // The import worker's body; files are probed by addImportFile for now.
    void OnExecute() override;

private:
    void layoutEmptyState();
    void showList(bool shown); // the rows, or the empty state
    VideoConvertBar *newRow();
    void connectRow(VideoConvertBar *row);
    void removeRow(VideoConvertBar *row);
    void afterRemoval();
    void startRun(bool merge);
    void endRun(bool finished); // finished: the last row ended by itself (not stopped)
    void finishMergedRun(VideoConvertBar *lastRow);
    void startNextWaiting();
    void shutDownIfAsked();
    void updateMenuForRow(VideoConvertBar *row);

    Ui::QMainDlg *ui = nullptr;

    QList<VideoConvertBar *> m_allRows;     // owns the rows, in adding order
    QList<VideoConvertBar *> m_visibleRows; // rows passing the name filter
    QList<VideoConvertBar *> m_runList;     // rows still to convert in this run
    QList<VideoConvertBar *> m_mergedRows;  // sources already appended to the merged output
    VideoConvertBar *m_currentRow = nullptr;
    VideoConvertBar *m_anchorRow = nullptr;
    VideoConvertBar *m_deleteTarget = nullptr;
    QString m_nameFilter;
    bool m_mergeRun = false;                // merge all asked; read when the run starts
    bool m_running = false;
    qint64 m_mergedTotal = 0;               // microseconds of the merged sources
    std::optional<ConvertedFileInfo> m_mergedRecord;
    bool m_dvdMode = false;

    QString m_shutdownProgram = QStringLiteral("systemctl");
    QStringList m_shutdownArguments = {QStringLiteral("poweroff")};

    QMenu *m_menu = nullptr;
    QAction *m_actPlay = nullptr;
    QAction *m_actConvert = nullptr;
    QAction *m_actRename = nullptr;
    QAction *m_actDelete = nullptr;
    QAction *m_actDeleteAll = nullptr;
    QAction *m_actImport = nullptr;
    QAction *m_actClearInvalid = nullptr;
};
