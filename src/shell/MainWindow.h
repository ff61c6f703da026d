#pragma once
// The single top-level window: title bar, tool buttons, the queue list in the
// centre, and the bottom bar with format, output folder, merge and Convert.

#include "widgets/QVariableSizeWidget.h"

#include <QPointer>
#include <QSystemTrayIcon>

namespace Ui { class MainWindow; }
class QAction;
class QMenu;
class QMainDlg;
class QConvertedDlg;
class RunNotice;

class MainWindow : public QVariableSizeWidget
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    QMainDlg *queueList() const { return m_queueList; }
    QString outputFolder() const { return m_outputFolder; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }

    // The DVD menu as last built (rebuilt on every click of the DVD button).
    QMenu *dvdMenu() const { return m_dvdMenu; }
    // Fills the DVD menu: one action per optical drive, then the folder and ISO entries.
    void rebuildDvdMenu();

    // Where the optical-drive scan looks; tests point it at a fake tree.
    void setDriveScanPaths(const QString &devDir, const QString &procMounts);

    // Leaving while a run converts: asks the stop question; on Yes the run
    // is stopped (its files kept, finished) and true comes back. True at
    // once when nothing converts.
    bool confirmStopBeforeExit();
    // A termination signal: stops a run without asking and quits through
    // the normal end of the program.
    void stopAndQuit();

    // Shows the window wherever it went (hidden to the tray, minimised,
    // behind others) and brings it to the front: a second start asks for it.
    void bringToFront();

    // Whether the desktop has a system tray to hide into. Without one,
    // "Minimize to Tray" minimises, so the window can always come back.
    static bool trayAvailable();

    RunNotice *runNotice() const { return m_runNotice; }

    // The product web page and the appcast feed (deployment values).
    static QString productPage();
    static QString appcastUrl();

private slots:
    void OnMaxSize();
    void OnRestoreSize();
    void OnAddFile();
    void OnLoadDVD();
    void OnFormatDlg();
    void OnSelFolder();
    void OnBtnMerge();
    void loadDVDPath();
    void OnMenu();
    void ActOnHome();
    void ActOnHelp();
    void ActOnAbout();
    void ActOnPreferDlg();
    void ActOnUpdates();
    void OnFormatChange(QString DevFormat);
    void OnConvert();
    void OnStopConvert();
    void IsStartToConverter(bool bStart);
    void SetConverterBtn(bool able);
    void OnOpenConverterPath();
    void OnBtnConverted();
    void OnClose();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void setAutoUpdate(bool bUpdate);
    void LangugeChangeSet(bool bChange);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void skinWidgets();
    void buildMenus();
    void createTray();
    void setupUpdateChecker();
    void initCodecLibrary();
    void setOutputFolder(const QString &path);
    void updateMaxButtons();
    void layoutWidgets();
    void centreChild(QWidget *dialog) const;
    void hideToTray();
    // The output folder cannot be written: says so; true when it can.
    bool checkWritable(const QString &folder);
    void showOutputFolder();
    void setFormatText(const QString &text);
    void setKeyboardOrder();
    void announceRunEnd(int converted, int failed);
    void openProductPage();

    Ui::MainWindow *ui;
    QMenu *m_dvdMenu = nullptr;
    QMenu *m_mainMenu = nullptr;
    QAction *m_actPreferences = nullptr;
    QAction *m_actHome = nullptr;
    QAction *m_actHelp = nullptr;
    QAction *m_actUpdates = nullptr;
    QAction *m_actAbout = nullptr;
    QMainDlg *m_queueList = nullptr;
    QPointer<QConvertedDlg> m_convertedDlg; // the list of the last opening
    QString m_outputFolder;
    RunNotice *m_runNotice = nullptr;
    bool m_hasItems = false; // the queue list holds at least one item
    QSystemTrayIcon *m_trayIcon = nullptr;
    QMenu *m_trayMenu = nullptr;
    QAction *m_actHide = nullptr;
    QAction *m_actShow = nullptr;
    QAction *m_actQuit = nullptr;
    QString m_devDir = QStringLiteral("/dev");
    QString m_procMounts = QStringLiteral("/proc/mounts");
};
