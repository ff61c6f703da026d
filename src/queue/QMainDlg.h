#pragma once
// The queue list in the centre of the main window: one row (VideoConvertBar)
// per source item, selection with plain, Shift and Ctrl clicks, the context
// menu, deleting rows, and the conversion run over the rows, either two rows
// at a time (one at a time for the format "4016") or all rows merged into one
// output file.
//
// It is also the import worker: sources arrive through the file dialog
// (addImportFile), drops (addDropPaths: files, folders searched recursively,
// DVD folders, ISO images) and the DVD menu (addDvdFolder). The QUtilThread
// body (OnExecute) probes them on its own thread while the modal QLoadingDlg
// shows progress, and hands each record to the GUI thread through the queued
// seedAddItemInfo. An import call returns when its dialog closes.
//
// GUI thread only, except OnExecute and StopAddFileThree (which only raises
// the stop flag and may be called from any thread); rows report progress
// through their own queued signals.

#include "engine/QUtilThread.h"
#include "queue/ImportJob.h"
#include "queue/ItemRecords.h"
#include "queue/RunScheduler.h"
#include "settings/SettingsRecords.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <atomic>

namespace Ui { class QMainDlg; }
class QAction;
class QLoadingDlg;
class QMenu;
class QTimer;
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
    QList<VideoConvertBar *> runList() const;
    bool isRunning() const { return m_run.isRunning(); }
    VideoConvertBar *currentRow() const { return m_currentRow; }

    // Operations for the main window.
    void openFiles();          // the open dialog ("Import"), as OnACtionImport
    void convertAll();
    void mergeAll();
    void stopConvert();

    // What shuts the computer down after a run when the user asked for it;
    // run directly with its argument list (no shell). "systemctl poweroff"
    // unless replaced (tests replace it).
    void setShutdownCommand(const QString &program, const QStringList &arguments);

    // Adds dropped local paths: a DVD folder or an ".iso" file among them
    // starts a DVD import of that one item and the rest are ignored;
    // otherwise files with a supported extension and the supported files
    // below dropped folders are imported. Ignored while converting.
    void addDropPaths(const QStringList &paths);

    // The extension test of the search: the text from the last "." on,
    // lower-cased, is one of the supported extensions.
    static bool isSupportedFile(const QString &path);

    // The filter of the open dialog.
    static QString openFileFilter();

    // The engine opens path as a DVD-Video structure.
    static bool isDvdSource(const QString &path);

    // The dialog of the running import, or null.
    QLoadingDlg *loadingDialog() const;
    bool isImporting() const { return m_importActive; }
    // The list holds the titles of a DVD.
    bool isDvdMode() const { return m_import.isDvd(); }

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
    // What the loading dialog shows: the source being probed ("Searching..."
    // during a search, "Title%1" for a DVD), the count "i/n" and the
    // percentage. Emitted on the import worker's thread.
    void seedLoadingPath(QString path);
    void seedLoadingCount(QString count);
    void seedLoadingProgress(float percent);
    // A run went to its end by itself (not stopped): the files it converted
    // (a merged run makes one) and the rows that failed.
    void emitRunFinished(int converted, int failed);

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
    // Ctrl+A: every listed row becomes selected.
    void selectAllRows();
    void StopAddFileThree();
    void AddFileComplete(bool bShowMsg);
    void setEditSetting(CropSettings cropSetting);
    void setWaterSetting(WatermarkTextSettings textWater, WatermarkImageSettings imageWater);
    void traversalTime();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // The import worker's body: runs on the worker thread.
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
    void updateMenuForRow(VideoConvertBar *row);

    // Import helpers. beginImport waits for the previous worker and delivers
    // what it queued; false while an import dialog is already running.
    bool beginImport();
    void runImport(QWidget *dialogParent);
    void handOver(ConverItemInfo *info); // emits seedAddItemInfo once the rows keep up

    Ui::QMainDlg *ui = nullptr;

    QList<VideoConvertBar *> m_allRows;     // owns the rows, in adding order
    QList<VideoConvertBar *> m_visibleRows; // rows passing the name filter
    VideoConvertBar *m_currentRow = nullptr;
    VideoConvertBar *m_anchorRow = nullptr;
    VideoConvertBar *m_deleteTarget = nullptr;
    QString m_nameFilter;
    RunScheduler m_run;
    int m_runConverted = 0; // this run's converted files and failed rows
    int m_runFailed = 0;

    ImportJob m_import;                     // what the import worker probes
    std::atomic<int> m_recordsInFlight{0};  // records emitted and not yet made into rows
    static constexpr int kMaxRecordsInFlight = 2;
    QTimer *m_searchTimer = nullptr;        // fakes search progress, one step a second
    QPointer<QLoadingDlg> m_loadingDlg;
    bool m_importActive = false;            // an import dialog runs its modal loop

    QMenu *m_menu = nullptr;
    QAction *m_actPlay = nullptr;
    QAction *m_actConvert = nullptr;
    QAction *m_actRename = nullptr;
    QAction *m_actDelete = nullptr;
    QAction *m_actDeleteAll = nullptr;
    QAction *m_actImport = nullptr;
    QAction *m_actClearInvalid = nullptr;
};
