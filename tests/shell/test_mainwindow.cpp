// The main window: its idle/converting states, the stop question, the output
// folder checks, the DVD menu, the converted badge and the close flows with
// the settings that drive them; a second start raising it, the notice at the
// end of a run, and the texts cut to fit.
//
// The process runs on a private session bus without a tray host, so the
// desktop here has no system tray.

#include "ModalHelper.h"
#include "PrivateSessionBus.h"
#include "TestEnv.h"
#include "TestTools.h"

#include "history/QVXMessageDlg.h"
#include "queue/QMainDlg.h"
#include "settings/ParserXML.h"
#include "base/AppGlobals.h"
#include "base/AppPaths.h"
#include "queue/RunNotice.h"
#include "queue/VideoConvertBar.h"
#include "shell/MainWindow.h"
#include "shell/SingleInstance.h"
#include "widgets/QImageButtonEx.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestTools::readFile;
using TestTools::writeFile;

// Counts close events, which hiding does not send.
class CloseCounter : public QObject
{
public:
    int closes = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Close)
            ++closes;
        return false;
    }
};

template <typename T = QWidget>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing child %s", name);
    return c;
}

// Answers the next message box with a button, keeping the text it showed.
void answerNextBox(const QString &button, QString *shown)
{
    ModalHelper::whenModal([button, shown](QWidget *dlg) {
        if (auto *m = qobject_cast<QVXMessageDlg *>(dlg))
            *shown = m->message();
        dlg->findChild<QAbstractButton *>(button)->click();
    });
}

// Stores a setting as the program does: an item is written only once read.
void store(const char *item, const char *key, const QString &value)
{
    ParserXML::readSetting(item, key, value);
    ParserXML::writeSetting(item, key, value);
}

// A fresh output folder, stored as the user's choice.
QString storeOutputFolder(const QString &folder)
{
    QDir().mkpath(folder);
    store("OutPut_path", "path_value", folder);
    return folder;
}

// The settings as they were left by the code under test.
QString setting(const char *item, const char *key)
{
    return ParserXML::readSetting(item, key, "<default>");
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void convertingStateSwitchesTheBottomBar();
    void stopAsksFirst();
    void missingOutputFolderIsShownAndRefused();
    void brokenSettingsFileIsKeptAndDefaultsUsed();
    void convertedBadgeCountsAndResets();
    void dvdMenuListsDrivesThenFolderAndIso();
    void closeQuestion_data();
    void closeQuestion();
    void exitWhileConvertingAsksToStop();
    void terminationSignalQuitsCleanly();
    void secondStartShowsTheHiddenWindow();
    void longTextsAreCutAndTippedWhole();
    void unwritableOutputFolderIsNamed();
    void endOfRunIsAnnouncedOnce();
};

void TestMainWindow::init()
{
    QFile::remove(ParserXML::settingFilePath());
    AppGlobals::setConverting(false);
    AppGlobals::setMerge(false);
}

void TestMainWindow::convertingStateSwitchesTheBottomBar()
{
    MainWindow w;
    w.show();
    emit w.queueList()->seedIsAddItem(true);
    const char *editing[] = {"m_btnMerge", "m_btnAddFile", "m_btnLoadDvd", "m_btnFromt", "m_btnSelFolder"};

    emit w.queueList()->emitIsStartConverter(true);
    QVERIFY(AppGlobals::isConverting());
    QVERIFY(!child(&w, "m_btnConvert")->isVisible());
    QVERIFY(child(&w, "m_btnCancel")->isVisible());
    for (const char *name : editing)
        QVERIFY2(!child(&w, name)->isEnabled(), name);
    QVERIFY(child(&w, "m_btnConverted")->isEnabled());

    emit w.queueList()->emitIsStartConverter(false);
    QVERIFY(!AppGlobals::isConverting());
    QVERIFY(child(&w, "m_btnMerge")->isEnabled());
    QVERIFY(child(&w, "m_btnConvert")->isVisible());
    QVERIFY(!child(&w, "m_btnCancel")->isVisible());
    for (const char *name : editing)
        QVERIFY2(child(&w, name)->isEnabled(), name);

    // A run that converted every row ends with an empty queue: the end of
    // the run must not enable what needs rows again.
    emit w.queueList()->emitIsStartConverter(true);
    emit w.queueList()->seedIsAddItem(false);
    emit w.queueList()->emitIsStartConverter(false);
    QVERIFY(!child(&w, "m_btnConvert")->isEnabled() && !child(&w, "m_btnMerge")->isEnabled());
}

void TestMainWindow::stopAsksFirst()
{
    // No and the close box leave the run; Yes stops it.
    const QList<QPair<QString, bool>> answers{{"m_btnCancel", true}, {"m_btnClose", true}, {"m_btnOk", false}};
    for (const auto &[button, stillConverting] : answers) {
        MainWindow w;
        w.show();
        emit w.queueList()->emitIsStartConverter(true);
        QString shownText;
        answerNextBox(button, &shownText);
        QVERIFY(QMetaObject::invokeMethod(&w, "OnStopConvert"));
        QCOMPARE(shownText, QString("Are you sure to stop converting?"));
        QCOMPARE(AppGlobals::isConverting(), stillConverting);
        QCOMPARE(child(&w, "m_btnCancel")->isVisible(), stillConverting);
    }
}

void TestMainWindow::missingOutputFolderIsShownAndRefused()
{
    // A stored folder that is gone is still shown; converting reports it.
    const QString gone = TestEnv::root() + "/gone/Out put:[1]/";
    store("OutPut_path", "path_value", gone);
    MainWindow w;
    w.show();
    QCOMPARE(child<QLineEdit>(&w, "m_editOutPaht")->toolTip(), gone);
    QCOMPARE(w.outputFolder(), gone);

    emit w.queueList()->seedIsAddItem(true);
    QString shown;
    QSignalSpy started(w.queueList(), &QMainDlg::emitIsStartConverter);
    answerNextBox("m_btnOk", &shown);
    QVERIFY(QMetaObject::invokeMethod(&w, "OnConvert"));
    QCOMPARE(shown, QString("The output path is invalid!"));
    QCOMPARE(started.count(), 0);

    shown.clear();
    answerNextBox("m_btnOk", &shown);
    QVERIFY(QMetaObject::invokeMethod(&w, "OnOpenConverterPath"));
    QCOMPARE(shown, QString("Invalid path"));
}

void TestMainWindow::brokenSettingsFileIsKeptAndDefaultsUsed()
{
    const QByteArray broken = "<ROOTITEM><OutPut_path path_value=\"/keep/me\"></ROOT";
    QVERIFY(writeFile(ParserXML::settingFilePath(), broken));
    {
        MainWindow w;
        w.show();
        QCOMPARE(w.outputFolder(), AppPaths::defaultOutputFolder());
        QCOMPARE(child<QLineEdit>(&w, "m_editOutPaht")->toolTip(), AppPaths::defaultOutputFolder());
        QVERIFY(QMetaObject::invokeMethod(&w, "OnBtnMerge"));
    }
    QCOMPARE(readFile(ParserXML::settingFilePath()), broken);
}

void TestMainWindow::convertedBadgeCountsAndResets()
{
    MainWindow w;
    w.show();
    auto *badge = child<QImageButtonEx>(&w, "m_btnConverted");
    emit w.queueList()->emitConvertedFinish();
    emit w.queueList()->emitConvertedFinish();
    QCOMPARE(badge->count(), 2);
    // The list opens modally; it shows the history, here empty.
    QString nothing;
    ModalHelper::whenModal([&](QWidget *dlg) {
        if (auto *l = dlg->findChild<QLabel *>("m_labNothing"); l && l->isVisible())
            nothing = l->text();
        dlg->findChild<QAbstractButton *>("m_btnCancel")->click();
    });
    QVERIFY(QMetaObject::invokeMethod(&w, "OnBtnConverted"));
    QCOMPARE(badge->count(), 0);
    QCOMPARE(nothing, QString("Nothing here yet!"));
}

void TestMainWindow::dvdMenuListsDrivesThenFolderAndIso()
{
    QTemporaryDir tree;
    const QString dev = tree.path() + "/dev";
    QDir().mkpath(dev);
    QDir().mkpath(tree.path() + "/c");
    QVERIFY(writeFile(tree.path() + "/c/a.txt", "a"));
    QVERIFY(TestTools::makeIsoImage("HOLIDAY", tree.path() + "/c", dev + "/sr0"));
    QVERIFY(writeFile(dev + "/sda", QByteArray(100, 'x')));
    QVERIFY(writeFile(tree.path() + "/mounts", ""));

    MainWindow w;
    w.setDriveScanPaths(dev, tree.path() + "/mounts");
    w.rebuildDvdMenu();
    QList<QAction *> actions = w.dvdMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->text(), dev + "/sr0  HOLIDAY");
    QCOMPARE(actions[0]->data().toString(), dev + "/sr0");
    QCOMPARE(actions[1]->text(), QString("Load DVD Folder..."));
    QCOMPARE(actions[2]->text(), QString("Load ISO File..."));
    // Rebuilt on every click, never accumulated.
    w.rebuildDvdMenu();
    QCOMPARE(w.dvdMenu()->actions().size(), 3);
}

void TestMainWindow::closeQuestion_data()
{
    QTest::addColumn<QString>("stored");   // close choice stored with the question off, or "" to ask
    QTest::addColumn<QString>("choice");   // radio to pick, or "" to cancel the question
    QTest::addColumn<bool>("dontAsk");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("remind");   // "isShowRemind" afterwards
    QTest::addColumn<QString>("closeDlg"); // "bIsCloseDlg" afterwards
    QTest::newRow("unasked: N minimises without a tray") << "N" << "" << false << false << "N" << "N";
    QTest::newRow("unasked: Y exits") << "Y" << "" << false << true << "N" << "Y";
    QTest::newRow("cancel changes nothing") << "" << "" << true << false << "Y" << "<default>";
    QTest::newRow("tray (none: minimise), ask again") << "" << "m_radioMin" << false << false << "Y" << "N";
    QTest::newRow("tray (none: minimise), never ask") << "" << "m_radioMin" << true << false << "N" << "N";
    QTest::newRow("exit, never ask") << "" << "m_radioClose" << true << true << "N" << "Y";
}

void TestMainWindow::closeQuestion()
{
    QFETCH(QString, stored);
    QFETCH(QString, choice);
    QFETCH(bool, dontAsk);
    QFETCH(bool, closes);
    QFETCH(QString, remind);
    QFETCH(QString, closeDlg);
    if (!stored.isEmpty()) {
        store("REMIND_ITEM", "isShowRemind", "N");
        store("CLOSE_ITEM", "bIsCloseDlg", stored);
    }

    MainWindow w;
    CloseCounter counter;
    w.installEventFilter(&counter);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!MainWindow::trayAvailable());
    bool asked = false;
    if (stored.isEmpty()) {
        ModalHelper::whenModal([&](QWidget *dlg) {
            asked = true;
            if (choice.isEmpty()) {
                dlg->findChild<QAbstractButton *>("m_btnCancel")->click();
                return;
            }
            dlg->findChild<QRadioButton *>(choice)->setChecked(true);
            dlg->findChild<QCheckBox *>("m_chkNote")->setChecked(dontAsk);
            dlg->findChild<QAbstractButton *>("m_btnOk")->click();
        });
    }
    QVERIFY(QMetaObject::invokeMethod(&w, "OnClose"));
    QCOMPARE(asked, stored.isEmpty());
    // No tray here: the tray choice minimises instead of hiding for good.
    const bool minimised = !closes && (choice == "m_radioMin" || !stored.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible() == !closes && w.isMinimized() == minimised, 3000);
    QTest::qWait(300); // past the 150 ms closing animation
    QCOMPARE(counter.closes > 0, closes);
    QCOMPARE(w.isVisible(), !closes);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(setting("REMIND_ITEM", "isShowRemind"), remind);
    // Read without creating: the item may legitimately be missing.
    const QByteArray file = readFile(ParserXML::settingFilePath());
    if (closeDlg == "<default>")
        QVERIFY2(!file.contains("bIsCloseDlg=\"N\""), file.constData());
    else
        QCOMPARE(setting("CLOSE_ITEM", "bIsCloseDlg"), closeDlg);
}

// Leaving while a run converts asks the stop question first; No keeps the
// window and the run, Yes stops it and keeps the stopped file, finished,
// under its final name.
void TestMainWindow::exitWhileConvertingAsksToStop()
{
    const QString out = storeOutputFolder(TestEnv::root() + "/exit out/");
    MainWindow w;
    w.show();
    QMainDlg *list = w.queueList();
    list->addImportFile({TestTools::media("clip_10s.mp4")});
    QCOMPARE(list->itemCount(), 1);
    list->convertAll();
    QVERIFY(list->isRunning());

    QString asked;
    answerNextBox("m_btnCancel", &asked);
    QVERIFY(!w.close());
    QCOMPARE(asked, QString("Are you sure to stop converting?"));
    QVERIFY(list->isRunning());

    answerNextBox("m_btnOk", &asked);
    QVERIFY(w.close());
    QVERIFY(!list->isRunning());
    QCOMPARE(QDir(out).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList());
    const QStringList kept = QDir(out).entryList(QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY2(kept.first().startsWith("clip_10s."), qPrintable(kept.first()));
}

// SIGTERM ends the program through its normal way out (exit status 0),
// not by the signal.
void TestMainWindow::terminationSignalQuitsCleanly()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMORA_DISMISS_DIALOGS_MS", "300");
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("VELMORA_BIN_DIR") + "/velmora", {});
    QVERIFY(p.waitForStarted(10000));
    QByteArray seen;
    QVERIFY2(TestTools::waitForStderr(p, "main window shown", seen), seen.constData());
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
}


// A second start finds the first instance and brings its window back from
// wherever it went (here hidden, as to a tray that is not there).
void TestMainWindow::secondStartShowsTheHiddenWindow()
{
    const QString lock = TestEnv::root() + "/runtime/raise test.lock";
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.hide();

    SingleInstance first(lock);
    QVERIFY(first.acquire());
    QVERIFY(first.listen());
    connect(&first, &SingleInstance::showRequested, &w, &MainWindow::bringToFront);

    SingleInstance second(lock);
    QVERIFY(!second.acquire());
    QVERIFY(second.askRunningToShow());
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible() && !w.isMinimized(), 5000);

    // Minimised works the same.
    w.showMinimized();
    QVERIFY(second.askRunningToShow());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isMinimized(), 5000);
}

// The format button, the output folder and a long row name show a cut text
// and carry the whole one as their tooltip.
void TestMainWindow::longTextsAreCutAndTippedWhole()
{
    const QString folder = storeOutputFolder(TestEnv::root() + "/a folder with a rather long name/"
                                             + QString(60, QChar(0x00e9)) + "/Converted/");
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto *edit = child<QLineEdit>(&w, "m_editOutPaht");
    QVERIFY2(edit->text().contains(QChar(0x2026)), qPrintable(edit->text()));
    QVERIFY(edit->fontMetrics().horizontalAdvance(edit->text()) <= edit->width());
    QCOMPARE(edit->toolTip(), folder);
    QCOMPARE(w.outputFolder(), folder);

    const QString title = "A format title far too long for the button [HD] 1920x1080 (H.264 + AAC)";
    QVERIFY(QMetaObject::invokeMethod(&w, "OnFormatChange", Q_ARG(QString, title)));
    auto *format = child<QTextImageButton>(&w, "m_btnFromt");
    QVERIFY(format->shownText().endsWith(QChar(0x2026)));
    QVERIFY(title.startsWith(format->shownText().chopped(1)));
    QCOMPARE(format->toolTip(), title);

    const QString longName = TestEnv::root() + "/" + QString("a very long source name ").repeated(6) + "end.mp4";
    auto *info = new ConverItemInfo;
    info->filePath = longName;
    w.queueList()->addItemInfo(info);
    auto *name = w.queueList()->rows().first()->findChild<QLabel *>("m_labVideoName");
    QVERIFY2(name->text().endsWith("..."), qPrintable(name->text()));
    QVERIFY(name->toolTip().contains(QFileInfo(longName).completeBaseName()));
}

// Runs `f` with this process's effective user set to "nobody", as a user
// who may not write into folders of root.
template <typename F>
void asNobody(F f)
{
    QVERIFY(::setegid(65534) == 0);
    QVERIFY(::seteuid(65534) == 0);
    f();
    QVERIFY(::seteuid(0) == 0);
    QVERIFY(::setegid(0) == 0);
}

void TestMainWindow::unwritableOutputFolderIsNamed()
{
    if (::geteuid() != 0)
        QSKIP("needs root to act as another user");
    // Outside the private root (closed to others): visible to everyone,
    // writable by root alone.
    QTemporaryDir open("/tmp/velmora-locked-XXXXXX");
    QVERIFY(open.isValid());
    QVERIFY(::chmod(QFile::encodeName(open.path()).constData(), 0755) == 0);
    const QString locked = storeOutputFolder(open.path() + "/locked out/");
    MainWindow w;
    w.show();
    QMainDlg *list = w.queueList();
    list->addImportFile({TestTools::media("video_only.mp4")});
    QCOMPARE(list->itemCount(), 1);

    QString shown;
    QSignalSpy started(list, &QMainDlg::emitIsStartConverter);
    answerNextBox("m_btnOk", &shown);
    asNobody([&] { QVERIFY(QMetaObject::invokeMethod(&w, "OnConvert")); });
    QCOMPARE(shown, QDir::toNativeSeparators(locked) + " is not writable");
    QCOMPARE(started.count(), 0);

    // A run that meets such a folder anyway names the reason on its row,
    // also when the folder is still to be made below one it may not write.
    AppGlobals::setOutputFolder(locked + "not made yet/");
    asNobody([&] { list->convertAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(!list->isRunning(), 10000);
    VideoConvertBar *row = list->rows().first();
    QCOMPARE(row->rowState(), int(VideoConvertBar::RowFailed));
    QVERIFY2(row->findChild<QAbstractButton *>("m_btnClose")->toolTip().contains("Permission denied"),
             qPrintable(row->findChild<QAbstractButton *>("m_btnClose")->toolTip()));
}

// One notice per finished run, with the counts, through the desktop's
// notification service; its action opens the output folder.
void TestMainWindow::endOfRunIsAnnouncedOnce()
{
    FakeNotifications service;
    QVERIFY(service.registerOn("fake notifications"));
    const QString out = storeOutputFolder(TestEnv::root() + "/notice out/");
    MainWindow w;
    w.show();
    QStringList opened;
    w.runNotice()->setFolderOpener([&](const QString &folder) { opened << folder; });
    QMainDlg *list = w.queueList();
    list->addImportFile({TestTools::media("video_only.mp4"), TestTools::media("video_only.mp4")});
    QCOMPARE(list->itemCount(), 2);
    list->convertAll();
    QTRY_VERIFY_WITH_TIMEOUT(!list->isRunning(), 120000);
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 1, 5000);
    QCOMPARE(service.received.first().body, QString("2 files converted"));
    QVERIFY(service.received.first().actions.contains("open-folder"));
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
    service.invoke(1, "open-folder");
    QTRY_COMPARE(opened, QStringList{out});

    // A stopped run is no news; a run whose row failed says so.
    list->addImportFile({TestTools::media("video_only.mp4")});
    list->convertAll();
    list->stopConvert();
    QTest::qWait(300);
    QCOMPARE(service.received.size(), 1);
    QVERIFY(QDir(out).removeRecursively());
    QVERIFY(writeFile(TestEnv::root() + "/notice out", "a file where the folder was"));
    list->convertAll();
    QTRY_VERIFY_WITH_TIMEOUT(!list->isRunning(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 2, 5000);
    QCOMPARE(service.received.last().body, QString("0 files converted, 1 failed"));
}

int main(int argc, char **argv)
{
    TestEnv::setUp();
    if (!PrivateSessionBus::start()) {
        std::fprintf(stderr, "cannot start a private session bus (dbus-daemon)\n");
        return 1;
    }
    int code = 0;
    {
        QApplication app(argc, argv);
        app.setAttribute(Qt::AA_Use96Dpi, true);
        TestMainWindow tc;
        QTEST_SET_MAIN_SOURCE_PATH
        code = QTest::qExec(&tc, argc, argv);
    }
    PrivateSessionBus::stop();
    return code;
}
#include "test_mainwindow.moc"
