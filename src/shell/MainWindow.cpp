#include "shell/MainWindow.h"
#include "ui_MainWindow.h"

#include "history/QConvertedDlg.h"
#include "history/QMessOpacityDlg.h"
#include "history/VXMessage.h"
#include "profiles/FormatWidget.h"
#include "queue/QMainDlg.h"
#include "queue/RunNotice.h"
#include "settings/ParserXML.h"
#include "settings/QPreferencesDlg.h"
#include "settings/QShowCloseDlg.h"
#include "base/AppGlobals.h"
#include "base/AppPaths.h"
#include "shell/OpticalDrives.h"
#include "shell/QAboutDlg.h"
#include "shell/UpdateChecker.h"
#include "widgets/DarkMenuStyle.h"
#include "widgets/SkinnedFileDialog.h"

#include "zentrix.h"
#include "widgets/Theme.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QStyle>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QUrl>

namespace {

// The option handed to the codec library at start-up (see initCodecLibrary).
int g_libraryOption = 30;

} // namespace

QString MainWindow::productPage()
{
    return QAboutDlg::productPage();
}

QString MainWindow::appcastUrl()
{
    const QString fromEnv = qEnvironmentVariable("VELMORA_APPCAST_URL");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStringLiteral("https://velmora.example.com/update/appcast.xml");
}

MainWindow::MainWindow(QWidget *parent)
    : QVariableSizeWidget(parent)
    , ui(new Ui::MainWindow)
{
    // 2. Form, title and a frameless, translucent window (the base paints the shadow).
    ui->setupUi(this);
    setWindowTitle(tr("Velmora Video Converter"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setMouseTracking(true);
    ui->centralWidget->setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);

    // 3. Background and logo.
    setBackgroundImage(AppPaths::dataPath("/image/backgroud.png"));
    setLogo(AppPaths::dataPath("/image/Common_bg/main_logo.png"));

    // 4. Skin.
    skinWidgets();

    // 5. Output folder: the stored one, else <documents>/Converted/.
    const QString defaultFolder = AppPaths::defaultOutputFolder();
    setOutputFolder(ParserXML::readSetting("OutPut_path", "path_value", defaultFolder));

    // 6. Buttons.
    connect(ui->m_btnMax, &QPushButton::clicked, this, &MainWindow::OnMaxSize);
    connect(ui->m_btnRestore, &QPushButton::clicked, this, &MainWindow::OnRestoreSize);
    connect(ui->m_btnMenu, &QPushButton::clicked, this, &MainWindow::OnMenu);
    connect(ui->m_btnMin, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &MainWindow::OnClose);
    connect(ui->m_btnAddFile, &QPushButton::clicked, this, &MainWindow::OnAddFile);
    connect(ui->m_btnLoadDvd, &QPushButton::clicked, this, &MainWindow::OnLoadDVD);
    connect(ui->m_btnFromt, &QPushButton::clicked, this, &MainWindow::OnFormatDlg);
    connect(ui->m_btnSelFolder, &QPushButton::clicked, this, &MainWindow::OnSelFolder);
    connect(ui->m_btnMerge, &QAbstractButton::clicked, this, &MainWindow::OnBtnMerge);
    connect(ui->m_btnConvert, &QPushButton::clicked, this, &MainWindow::OnConvert);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &MainWindow::OnStopConvert);
    connect(ui->m_btnOpen, &QPushButton::clicked, this, &MainWindow::OnOpenConverterPath);
    connect(ui->m_btnConverted, &QPushButton::clicked, this, &MainWindow::OnBtnConverted);
    connect(this, &QVariableSizeWidget::maximizeToggled, this, [this](bool) { updateMaxButtons(); });

    // 7. Menus, the queue list and the stored format choice.
    buildMenus();
    m_queueList = new QMainDlg(ui->centralWidget);
    m_queueList->setObjectName("m_queueList");
    connect(m_queueList, &QMainDlg::seedIsAddItem, this, &MainWindow::SetConverterBtn);
    connect(m_queueList, &QMainDlg::emitIsStartConverter, this, &MainWindow::IsStartToConverter);
    connect(m_queueList, &QMainDlg::emitConvertedFinish, ui->m_btnConverted, &QImageButtonEx::addItemCount);
    m_runNotice = new RunNotice(this);
    connect(m_queueList, &QMainDlg::emitRunFinished, this, &MainWindow::announceRunEnd);
    connect(m_runNotice, &RunNotice::undelivered, this, [this](const QString &text) {
        // No notification service: the tray icon's message where there is a
        // tray, else the program's own toast over the window.
        if (m_trayIcon && m_trayIcon->isVisible() && trayAvailable())
            m_trayIcon->showMessage(tr("Conversion finished"), text, QSystemTrayIcon::Information, 8000);
        else if (isVisible())
            QMessOpacityDlg::showToast(this, text, AppPaths::dataPath("/image/msg_small_opacity.png"));
    });
    // The one format chooser: its title goes to the format button, its changes
    // to every queue row. Restoring the stored format and preset announces the
    // title and fills OutputFormat.
    FormatWidget *chooser = FormatWidget::instance();
    connect(chooser, &FormatWidget::sendDevFormatChange, this, &MainWindow::OnFormatChange);
    connect(chooser, &FormatWidget::settingChangeForFormat, m_queueList, &QMainDlg::emitFormatChange);
    chooser->restoreStoredChoice();

    // 8. Title band for dragging.
    setTitleDragRegion(20, 0, 19, -1);

    // 9. Tray, update checker, codec library, last open folder.
    createTray();
    setupUpdateChecker();
    initCodecLibrary();
    AppGlobals::setLastOpenFolder(ParserXML::readSetting("Open_path", "Open_path_value", "."));

    setKeyboardOrder();
    SetConverterBtn(m_queueList->itemCount() > 0);
    IsStartToConverter(false);
    updateMaxButtons();
    resize(972, 702);
    layoutWidgets();
}

MainWindow::~MainWindow()
{
    if (m_trayIcon)
        m_trayIcon->hide();
    delete m_actHide;
    delete m_actShow;
    delete m_actQuit;
    delete m_trayMenu;
    delete m_trayIcon;
    UpdateChecker::instance().cleanup();
    delete ui;
}

void MainWindow::skinWidgets()
{
    ui->m_btnMenu->loadImage(AppPaths::dataPath("/image/btn_meun.png"));
    ui->m_btnMin->loadImage(AppPaths::dataPath("/image/btn_min.png"));
    ui->m_btnMax->loadImage(AppPaths::dataPath("/image/btn_max.png"));
    ui->m_btnRestore->loadImage(AppPaths::dataPath("/image/btn_restore.png"));
    ui->m_btnClose->loadImage(AppPaths::dataPath("/image/btn_close.png"));
    for (QImageButton *b : {ui->m_btnMenu, ui->m_btnMin, ui->m_btnMax, ui->m_btnRestore, ui->m_btnClose})
        b->setText(QString());

    QFont font = Theme::font(13);
    const QColor normal(230, 230, 230), hover(255, 255, 255), pressed(200, 200, 200), disabled(120, 120, 120);
    auto skinText = [&](QTextImageButton *b, const QString &image, const QString &text, int flags) {
        b->setImage(AppPaths::dataPath(image), text, flags);
        b->setFont(font);
        b->setTextColors(normal, hover, pressed, disabled);
    };
    const int iconText = Qt::AlignVCenter | Qt::AlignLeft;
    skinText(ui->m_btnAddFile, "/image/btn_add_files.png", tr("Add Files"), iconText);
    skinText(ui->m_btnLoadDvd, "/image/btn_dvd.png", tr("Load DVD"), iconText);
    skinText(ui->m_btnConverted, "/image/btn_converted.png", tr("Converted"), iconText);
    ui->m_btnConverted->setBadgeImage(AppPaths::dataPath("/image/EditDlg/btn_count.png"));
    // Close to the glyph, so "Converted" ends before the count badge.
    for (QTextImageButton *b : {ui->m_btnAddFile, ui->m_btnLoadDvd, static_cast<QTextImageButton *>(ui->m_btnConverted)})
        b->setTextOffset(36, 0);
    skinText(ui->m_btnConvert, "/image/Common_bg/btn_common3.png", tr("Convert"), Qt::AlignCenter);
    skinText(ui->m_btnCancel, "/image/Common_bg/btn_common3.png", tr("Cancel"), Qt::AlignCenter);
    skinText(ui->m_btnOpen, "/image/btn_open.png", tr("Open"), Qt::AlignCenter);
    ui->m_btnSelFolder->loadImage(AppPaths::dataPath("/image/button_Sel.png"));
    ui->m_btnSelFolder->setText(QString());
    ui->m_btnSelFolder->setToolTip(tr("Choose the output folder"));
    ui->m_btnMenu->setToolTip(tr("Menu"));
    ui->m_btnMin->setToolTip(tr("Minimize"));
    ui->m_btnMax->setToolTip(tr("Maximize"));
    ui->m_btnRestore->setToolTip(tr("Restore"));
    ui->m_btnClose->setToolTip(tr("Close"));
    ui->m_btnAddFile->setToolTip(tr("Add media files to the list"));
    ui->m_btnLoadDvd->setToolTip(tr("Load a DVD, a DVD folder or an ISO image"));
    ui->m_btnConverted->setToolTip(tr("The files converted so far"));
    ui->m_btnConvert->setToolTip(tr("Convert every file of the list"));
    ui->m_btnCancel->setToolTip(tr("Stop converting"));
    ui->m_btnOpen->setToolTip(tr("Open the output folder"));
    ui->m_btnMerge->setToolTip(tr("Join all files of the list into one output file"));

    // The format button is not image-skinned: a flat box with the format's icon.
    ui->m_btnFromt->setElideMode(Qt::ElideRight);
    setFormatText(tr("Lossless M4V"));
    ui->m_btnFromt->setFont(font);
    ui->m_btnFromt->setTextColors(normal, hover, pressed, disabled);
    ui->m_btnFromt->setTextFlags(Qt::AlignVCenter | Qt::AlignLeft);
    ui->m_btnFromt->setTextOffset(34, 0);
    ui->m_btnFromt->setIconImage(AppPaths::dataPath("/image/Format_Dlg/main_icon_format@2x.png"));
    ui->m_btnFromt->setIconRect(5, 3, 24, 22);

    QFont labelFont = Theme::font(12);
    for (QLabel *l : {ui->m_labFormat, ui->m_labOutput}) {
        l->setFont(labelFont);
        l->setStyleSheet("color: rgb(200, 200, 200);");
    }
    ui->m_labFormat->setText(tr("Format:"));
    ui->m_labOutput->setText(tr("Output:"));

    ui->m_btnMerge->setText(tr("Merge all into one file"));
    ui->m_btnMerge->setFont(labelFont);
    ui->m_btnMerge->setStyleSheet(
        Theme::sheet("QCheckBox { color: rgb(200, 200, 200); }"
                     "QCheckBox:disabled { color: @disabled; }"
                "QCheckBox::indicator { width: 18px; height: 18px; }"
                "QCheckBox::indicator:unchecked { image: url(%1); }"
                "QCheckBox::indicator:checked { image: url(%2); }")
            .arg(AppPaths::dataPath("/image/Common_bg/btn_check_off.png"),
                 AppPaths::dataPath("/image/Common_bg/btn_check_on.png")));

    ui->m_editOutPaht->setFont(labelFont);
    ui->m_editOutPaht->setStyleSheet(
        Theme::sheet("QLineEdit { background-color: @field; color: @muted; border: none; }"));
    ui->m_editOutPaht->setReadOnly(true);
}

void MainWindow::buildMenus()
{
    m_dvdMenu = new QMenu(this);
    m_dvdMenu->setObjectName("m_dvdMenu");
    m_dvdMenu->setStyleSheet(DarkMenuStyle::styleSheet(200));

    m_mainMenu = new QMenu(this);
    m_mainMenu->setObjectName("m_mainMenu");
    m_mainMenu->setStyleSheet(DarkMenuStyle::styleSheet(120));
    m_actPreferences = m_mainMenu->addAction(tr("Preferences"), this, &MainWindow::ActOnPreferDlg);
    m_actHome = m_mainMenu->addAction(tr("Home"), this, &MainWindow::ActOnHome);
    m_actHelp = m_mainMenu->addAction(tr("Help"), this, &MainWindow::ActOnHelp);
    m_actUpdates = m_mainMenu->addAction(tr("Check for Updates"), this, &MainWindow::ActOnUpdates);
    m_actAbout = m_mainMenu->addAction(tr("About"), this, &MainWindow::ActOnAbout);
}

void MainWindow::createTray()
{
    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setIcon(QIcon(AppPaths::dataPath("/image/Common_bg/no_title_logo.png")));
    m_trayIcon->setToolTip(tr("Velmora Video Converter"));
    m_trayMenu = new QMenu(this);
    m_trayMenu->setStyleSheet(DarkMenuStyle::styleSheet(120));
    m_actHide = new QAction(tr("Hidden (&H)"), this);
    m_actShow = new QAction(tr("Show Window (&S)"), this);
    m_actQuit = new QAction(tr("Quit (&Q)"), this);
    connect(m_actHide, &QAction::triggered, this, &QWidget::hide);
    connect(m_actShow, &QAction::triggered, this, &QWidget::show);
    connect(m_actQuit, &QAction::triggered, this, [this] {
        if (confirmStopBeforeExit())
            qApp->quit();
    });
    m_trayMenu->addAction(m_actHide);
    m_trayMenu->addAction(m_actShow);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_actQuit);
    m_trayIcon->setContextMenu(m_trayMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::iconActivated);
    m_trayIcon->show();
}

void MainWindow::setupUpdateChecker()
{
    UpdateChecker &checker = UpdateChecker::instance();
    checker.setAppDetails("Velmora", "Velmora Video Converter", "1.0.0");
    checker.setAppcastUrl(QUrl(appcastUrl()));
    checker.init();
}

void MainWindow::initCodecLibrary()
{
    ZxStartup(1, 1);
    ZxSetDataFolder(AppPaths::dataFolder().toUtf8().constData());
    ZxSetOption(&g_libraryOption, 1);
}

void MainWindow::setOutputFolder(const QString &path)
{
    m_outputFolder = path;
    showOutputFolder();
    AppGlobals::setOutputFolder(path);
    ParserXML::writeSetting("OutPut_path", "path_value", path);
}

void MainWindow::showOutputFolder()
{
    // The middle of a long path goes: its start and the folder's own name stay.
    const QLineEdit *edit = ui->m_editOutPaht;
    const int room = edit->width() - 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 6;
    ui->m_editOutPaht->setText(edit->fontMetrics().elidedText(m_outputFolder, Qt::ElideMiddle, qMax(20, room)));
    ui->m_editOutPaht->setCursorPosition(0);
    ui->m_editOutPaht->setToolTip(m_outputFolder);
}

void MainWindow::setFormatText(const QString &text)
{
    ui->m_btnFromt->setText(text);
    ui->m_btnFromt->setToolTip(text);
}

void MainWindow::setKeyboardOrder()
{
    // Top to bottom, left to right, as the window reads.
    QWidget *order[] = {ui->m_btnAddFile, ui->m_btnLoadDvd, ui->m_btnConverted, m_queueList,
                        ui->m_btnFromt, ui->m_btnSelFolder, ui->m_btnOpen, ui->m_btnMerge,
                        ui->m_btnConvert, ui->m_btnCancel, ui->m_btnMenu, ui->m_btnMin,
                        ui->m_btnMax, ui->m_btnRestore, ui->m_btnClose};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ui->m_editOutPaht->setFocusPolicy(Qt::NoFocus); // shown, never typed into
}

bool MainWindow::trayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::hideToTray()
{
    // Hidden with no tray there would leave nothing to bring the window back.
    if (trayAvailable())
        hide();
    else
        showMinimized();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

bool MainWindow::checkWritable(const QString &folder)
{
    const QString why = AppPaths::folderWriteError(folder);
    if (why.isEmpty())
        return true;
    qDebug() << "output folder" << folder << why;
    VXMessageBox(tr("%1 is not writable").arg(QDir::toNativeSeparators(folder)), QString(), VXMsg::KindError);
    return false;
}

void MainWindow::announceRunEnd(int converted, int failed)
{
    m_runNotice->announce(converted, failed, m_outputFolder);
}

void MainWindow::updateMaxButtons()
{
    ui->m_btnMax->setVisible(!isMaxSize());
    ui->m_btnRestore->setVisible(isMaxSize());
}

void MainWindow::OnMaxSize()
{
    toggleMaximize(10);
    updateMaxButtons();
}

void MainWindow::OnRestoreSize()
{
    toggleMaximize(10);
    updateMaxButtons();
}

void MainWindow::OnAddFile()
{
    m_queueList->openFiles();
}

void MainWindow::setDriveScanPaths(const QString &devDir, const QString &procMounts)
{
    m_devDir = devDir;
    m_procMounts = procMounts;
}

void MainWindow::rebuildDvdMenu()
{
    m_dvdMenu->clear();
    const QList<OpticalDrive> drives = OpticalDrives::scan(m_devDir, m_procMounts);
    for (const OpticalDrive &d : drives) {
        QAction *a = m_dvdMenu->addAction(d.menuText(), this, &MainWindow::loadDVDPath);
        a->setData(d.root());
    }
    m_dvdMenu->addAction(tr("Load DVD Folder..."), m_queueList, &QMainDlg::OnLoadDvd);
    m_dvdMenu->addAction(tr("Load ISO File..."), m_queueList, &QMainDlg::OnLoadISOFile);
}

void MainWindow::OnLoadDVD()
{
    rebuildDvdMenu();
    const QPoint at = ui->m_btnLoadDvd->mapToGlobal(QPoint(0, 35));
    m_dvdMenu->popup(at);
}

void MainWindow::loadDVDPath()
{
    // The drive's root travels in the action's data, so a label never leaks
    // into the path whatever characters it holds.
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QString root = action->data().toString();
    if (!root.isEmpty())
        m_queueList->addDvdFolder(root);
}

void MainWindow::OnMenu()
{
    m_mainMenu->popup(QCursor::pos() - QPoint(50, 0));
}

void MainWindow::openProductPage()
{
    QDesktopServices::openUrl(QUrl(productPage()));
}

void MainWindow::ActOnHome()
{
    openProductPage();
}

void MainWindow::ActOnHelp()
{
    openProductPage();
}

void MainWindow::centreChild(QWidget *dialog) const
{
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    int x = origin.x() + (width() - dialog->width()) / 2;
    int y = origin.y() + (height() - dialog->height()) / 2;
    if (x <= 0)
        x = 50;
    if (y <= 0)
        y = 50;
    dialog->move(x, y);
}

void MainWindow::ActOnAbout()
{
    QAboutDlg dlg(this);
    centreChild(&dlg);
    dlg.exec();
}

void MainWindow::ActOnPreferDlg()
{
    QPreferencesDlg dlg(this);
    connect(&dlg, &QPreferencesDlg::emitAutoUpdate, this, &MainWindow::setAutoUpdate);
    connect(&dlg, &QPreferencesDlg::emitLangugeChangeSet, this, &MainWindow::LangugeChangeSet);
    centreChild(&dlg);
    dlg.exec();
}

void MainWindow::ActOnUpdates()
{
    UpdateChecker::instance().checkUpdateWithUi();
}

void MainWindow::OnFormatDlg()
{
    FormatWidget *chooser = FormatWidget::instance();
    centreChild(chooser);
    chooser->prepareToShow();
    chooser->setPreset(ParserXML::readSetting("VIDEO_QUALITY_ITEM", "quality_value", "0").toInt());
    chooser->exec();
}

void MainWindow::OnFormatChange(QString DevFormat)
{
    qDebug() << "--OnFormatChange--";
    setFormatText(DevFormat);
    ui->m_btnFromt->setIconImage(FormatWidget::instance()->currentFormatIcon());
    ui->m_btnFromt->setIconRect(5, 3, 24, 22);
    ui->m_btnFromt->update();
}

void MainWindow::OnSelFolder()
{
    // Opens where the output goes now, so a neighbouring folder is one step away.
    const QString start = QDir(m_outputFolder).exists() ? m_outputFolder : QStringLiteral(".");
    const QString dir = SkinnedFileDialog::existingDirectory(this, tr("Save to"), start);
    if (dir.isEmpty() || !checkWritable(dir))
        return;
    setOutputFolder(dir.endsWith('/') ? dir : dir + "/");
}

void MainWindow::OnBtnMerge()
{
    const bool merge = ui->m_btnMerge->isChecked();
    AppGlobals::setMerge(merge);
    // The queue rows read the same flag (AppGlobals) when they start.
}

void MainWindow::OnConvert()
{
    if (QDir(m_outputFolder).exists() && !m_outputFolder.isEmpty()) {
        if (!checkWritable(m_outputFolder))
            return;
        if (AppGlobals::isMerge())
            m_queueList->mergeAll();
        else
            m_queueList->convertAll();
    } else {
        VXMessageBox(tr("The output path is invalid!"), QString(), VXMsg::KindError);
    }
}

void MainWindow::OnStopConvert()
{
    const int answer = VXMessageBox(tr("Are you sure to stop converting?"), QString(),
                                    VXMsg::KindWarningQuestion);
    if (answer == VXMsg::Yes)
        m_queueList->stopConvert();
}

void MainWindow::IsStartToConverter(bool bStart)
{
    ui->m_btnConvert->setVisible(!bStart);
    ui->m_btnCancel->setVisible(bStart);
    for (QWidget *w : {static_cast<QWidget *>(ui->m_btnAddFile), static_cast<QWidget *>(ui->m_btnLoadDvd),
                       static_cast<QWidget *>(ui->m_btnFromt), static_cast<QWidget *>(ui->m_btnSelFolder)})
        w->setEnabled(!bStart);
    // The merge box also needs items: a run that emptied the queue must not
    // leave it enabled.
    ui->m_btnMerge->setEnabled(!bStart && m_hasItems);
    AppGlobals::setConverting(bStart);
}

void MainWindow::SetConverterBtn(bool able)
{
    m_hasItems = able;
    ui->m_btnConvert->setEnabled(able);
    ui->m_btnMerge->setEnabled(able);
}

void MainWindow::OnOpenConverterPath()
{
    const QString path = m_outputFolder;
    if (!path.isEmpty() && QDir(path).exists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    else
        VXMessageBox(tr("Invalid path"), QString(), VXMsg::KindPlain);
}

void MainWindow::OnBtnConverted()
{
    ui->m_btnConverted->resetCount();
    ui->m_btnConverted->update();
    // A new list each time, so it always shows the history file as it is now.
    delete m_convertedDlg;
    m_convertedDlg = new QConvertedDlg(this);
    centreChild(m_convertedDlg);
    m_convertedDlg->exec();
}

bool MainWindow::confirmStopBeforeExit()
{
    if (!m_queueList || !m_queueList->isRunning())
        return true;
    const int answer = VXMessageBox(tr("Are you sure to stop converting?"), QString(),
                                    VXMsg::KindWarningQuestion);
    if (answer != VXMsg::Yes)
        return false;
    m_queueList->stopConvert();
    return true;
}

void MainWindow::stopAndQuit()
{
    if (m_queueList && m_queueList->isRunning())
        m_queueList->stopConvert();
    qApp->quit();
}

void MainWindow::OnClose()
{
    if (ParserXML::readSetting("REMIND_ITEM", "isShowRemind", "Y") == "Y") {
        QShowCloseDlg dlg(this);
        centreChild(&dlg);
        if (dlg.exec() != QDialog::Accepted)
            return;
        if (dlg.dontAskAgain())
            ParserXML::writeSetting("REMIND_ITEM", "isShowRemind", "N");
        if (dlg.isExit()) {
            if (!confirmStopBeforeExit())
                return;
            // Read first so the item exists for the write.
            ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "Y");
            ParserXML::writeSetting("CLOSE_ITEM", "bIsCloseDlg", "Y");
            animatedClose();
        } else {
            ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "Y");
            ParserXML::writeSetting("CLOSE_ITEM", "bIsCloseDlg", "N");
            hideToTray();
        }
        return;
    }
    if (ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "Y") == "Y") {
        if (confirmStopBeforeExit())
            animatedClose();
    } else {
        hideToTray();
    }
}

void MainWindow::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
        showNormal();
}

void MainWindow::setAutoUpdate(bool bUpdate)
{
    UpdateChecker::instance().setAutomaticCheckForUpdates(bUpdate);
}

void MainWindow::LangugeChangeSet(bool bChange)
{
    // No translation catalogue is held, so there is nothing to install.
    Q_UNUSED(bChange);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager while converting: the same question.
    if (!confirmStopBeforeExit()) {
        event->ignore();
        return;
    }
    QVariableSizeWidget::closeEvent(event);
    if (event->isAccepted())
        qApp->quit();
}

void MainWindow::layoutWidgets()
{
    const int w = width(), h = height();
    ui->centralWidget->setGeometry(0, 0, w, h);
    ui->m_btnClose->move(w - 32, 15);
    ui->m_btnMax->move(w - 57, 15);
    ui->m_btnRestore->move(w - 57, 15);
    ui->m_btnMin->move(w - 82, 15);
    ui->m_btnMenu->move(w - 107, 15);

    const int gap = 8;
    QWidget *tools[] = {ui->m_btnAddFile, ui->m_btnLoadDvd, ui->m_btnConverted};
    int total = 0;
    for (QWidget *t : tools)
        total += t->width();
    total += 2 * gap;
    int x = (w - total) / 2;
    for (QWidget *t : tools) {
        t->move(x, 24);
        x += t->width() + gap;
    }

    const int barY = h - 49;
    ui->m_labFormat->move(22, barY + (30 - ui->m_labFormat->height()) / 2);
    ui->m_btnFromt->setGeometry(82, barY, 165, 30);
    ui->m_labOutput->move(257, barY + (30 - ui->m_labOutput->height()) / 2);
    ui->m_btnOpen->move(w - 437, barY + (30 - ui->m_btnOpen->height()) / 2);
    ui->m_btnSelFolder->move(ui->m_btnOpen->x() - ui->m_btnSelFolder->width() - 6,
                             barY + (30 - ui->m_btnSelFolder->height()) / 2);
    const int editLeft = 257 + 58;
    const int editRight = ui->m_btnSelFolder->x() - 6;
    ui->m_editOutPaht->setGeometry(editLeft + 8, barY + 5, qMax(40, editRight - editLeft - 16), 20);
    showOutputFolder();
    ui->m_btnConvert->move(w - ui->m_btnConvert->width() - 22, barY + (30 - ui->m_btnConvert->height()) / 2);
    ui->m_btnCancel->move(ui->m_btnConvert->pos());
    ui->m_btnMerge->adjustSize();
    ui->m_btnMerge->move(ui->m_btnConvert->x() - ui->m_btnMerge->width() - 20,
                         barY + (30 - ui->m_btnMerge->height()) / 2);

    if (m_queueList)
        // Between the title band and the bottom bar of the background (each
        // 61 px inside the 5-px shadow border).
        m_queueList->setGeometry(5, 66, w - 10, h - 132);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QVariableSizeWidget::resizeEvent(event);
    layoutWidgets();
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QVariableSizeWidget::paintEvent(event);
    {
        // The format button is a flat framed box; its icon and text are its own.
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(80, 82, 82));
        p.setBrush(Theme::field());
        p.drawRoundedRect(QRectF(ui->m_btnFromt->geometry()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    // The output folder's frame: 10-px ends and a stretched middle.
    const QPixmap edit(AppPaths::dataPath("/image/bg_edit.png"));
    if (edit.isNull() || edit.width() <= 20)
        return;
    QPainter p(this);
    const QRect e = ui->m_editOutPaht->geometry().adjusted(-8, -4, 8, 4);
    const int sh = edit.height();
    p.drawPixmap(QRect(e.left(), e.top(), 10, e.height()), edit, QRect(0, 0, 10, sh));
    p.drawPixmap(QRect(e.left() + 10, e.top(), e.width() - 20, e.height()), edit,
                 QRect(10, 0, edit.width() - 20, sh));
    p.drawPixmap(QRect(e.right() - 9, e.top(), 10, e.height()), edit, QRect(edit.width() - 10, 0, 10, sh));
}
