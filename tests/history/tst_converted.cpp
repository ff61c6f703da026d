// The converted-files list over a real history file: pruning of vanished
// files, removing rows from the list or from the disk, the row facts, and a
// list longer than its view.

#include "ModalHelper.h"
#include "TestEnv.h"
#include "TestTools.h"

#include "history/AskMessageDlg.h"
#include "history/ConvertedItem.h"
#include "history/QConvertedDlg.h"
#include "settings/ParserXML.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

namespace {

QString makeFile(const QString &name)
{
    const QString dir = TestEnv::root() + "/out";
    QDir().mkpath(dir);
    const QString path = dir + "/" + name;
    TestTools::writeFile(path, "media");
    return path;
}

void record(const QString &path, const QString &time = "00:05")
{
    ConvertedFileInfo info;
    info.convertedPath = path;
    info.imgPath = "";
    info.resolution = "320*240";
    info.time = time;
    info.size = "1.50 MB";
    info.extend = "MP4";
    ParserXML::addConvertedFile(info);
}

QByteArray historyText() { return TestTools::readFile(ParserXML::convertedFilePath()); }

QStringList shownPaths(const QConvertedDlg &dlg)
{
    QStringList paths;
    for (ConvertedItem *row : dlg.rows())
        paths << row->path();
    return paths;
}

bool nothingShown(QConvertedDlg &dlg)
{
    return dlg.findChild<QLabel *>("m_labNothing")->isVisibleTo(&dlg)
           && !dlg.findChild<QWidget *>("m_scrollArea")->isVisibleTo(&dlg);
}

} // namespace

class TestConverted : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void vanishedFilesArePrunedFromListAndHistory();
    void removeOneRow();
    void deleteAllRemovesFilesAndEmptiesHistory();
    void fileThatCannotBeDeletedStillLeavesTheHistory();
    void rowShowsRecordedFactsAndSelection();
    void showInFolderGetsTheCleanPath();
    void longListScrollsSelectsAndDeletes();
    void askDialogAnswers();
    void thumbnailIsSharpAtTheScreensRatio();
};

void TestConverted::init()
{
    QFile::remove(ParserXML::convertedFilePath());
    QDir(TestEnv::root() + "/out").removeRecursively();
}

void TestConverted::cleanup()
{
    QConvertedDlg::setAsker(nullptr);
    ConvertedItem::setFolderOpener(nullptr);
}

void TestConverted::vanishedFilesArePrunedFromListAndHistory()
{
    const QString kept = makeFile("kept clip [1].mp4");
    const QString gone = makeFile("gone.mp4");
    // A drive that is not plugged in: its folder is missing.
    const QString unplugged = TestEnv::root() + "/drive not mounted/film.mp4";
    record(kept);
    record(gone);
    record(unplugged);
    QFile::remove(gone);

    QConvertedDlg dlg;
    QCOMPARE(shownPaths(dlg), QStringList{kept});
    QVERIFY(!historyText().contains("gone.mp4"));
    QVERIFY(historyText().contains("kept clip [1].mp4"));
    QVERIFY(!nothingShown(dlg));
    // Hidden, not forgotten: back in the list once the drive is back.
    QVERIFY(historyText().contains("drive not mounted/film.mp4"));
    QDir().mkpath(TestEnv::root() + "/drive not mounted");
    TestTools::writeFile(unplugged, "media");
    QConvertedDlg again;
    QCOMPARE(shownPaths(again), QStringList({kept, unplugged}));
    QDir(TestEnv::root() + "/drive not mounted").removeRecursively();
}

void TestConverted::removeOneRow()
{
    // The answer, and whether the file and its history entry stay.
    const struct { int answer; bool fileKept, entryKept; } cases[] = {
        {int(AskMessageDlg::Cancelled), true, true},
        {int(AskMessageDlg::MoveFiles), true, false},
        {int(AskMessageDlg::DeleteFiles), false, false},
    };
    for (const auto &c : cases) {
        init();
        const QString path = makeFile("one ü.mkv");
        record(path);
        QString question;
        QConvertedDlg::setAsker([&](const QString &q) { question = q; return c.answer; });

        QConvertedDlg dlg;
        QCOMPARE(dlg.rows().size(), 1);
        QMetaObject::invokeMethod(dlg.rows().first()->findChild<QAbstractButton *>("m_btnClose"), "click");
        QCOMPARE(question, QString("Do you want to delete the seleted files or just move the \nfiles from the list?"));
        QVERIFY2(QFile::exists(path) == c.fileKept, qPrintable(QString("answer %1").arg(c.answer)));
        QVERIFY2(historyText().contains("one ü.mkv") == c.entryKept, qPrintable(QString("answer %1").arg(c.answer)));
        QCOMPARE(dlg.rows().size(), c.entryKept ? 1 : 0);
        QCOMPARE(nothingShown(dlg), !c.entryKept);
    }
}

void TestConverted::deleteAllRemovesFilesAndEmptiesHistory()
{
    const QStringList paths{makeFile("a.mp4"), makeFile("b: colon.avi"), makeFile("c'quote.mp3")};
    for (const QString &p : paths)
        record(p);
    int asked = 0;
    QConvertedDlg::setAsker([&](const QString &q) {
        ++asked;
        return q.contains("all files") ? int(AskMessageDlg::DeleteFiles) : int(AskMessageDlg::Cancelled);
    });
    QConvertedDlg dlg;
    QCOMPARE(dlg.rows().size(), 3);
    dlg.OnBtnAllDelete();
    QCOMPARE(asked, 1);
    for (const QString &p : paths)
        QVERIFY2(!QFile::exists(p), qPrintable(p));
    QVERIFY(ParserXML::listConvertedFiles().isEmpty());
    QVERIFY(!historyText().contains("Path_item"));
    QVERIFY(dlg.rows().isEmpty());
    QVERIFY(dlg.currentRow() == nullptr);
    QVERIFY(nothingShown(dlg));

    // With nothing listed the question is not even asked.
    dlg.OnBtnAllDelete();
    QCOMPARE(asked, 1);
}

void TestConverted::fileThatCannotBeDeletedStillLeavesTheHistory()
{
    // A folder where the output file was: removing it as a file fails, even as root.
    const QString stuck = TestEnv::root() + "/out/stuck.mp4";
    QDir().mkpath(stuck + "/inner");
    record(stuck);
    QConvertedDlg::setAsker([](const QString &) { return int(AskMessageDlg::DeleteFiles); });
    QConvertedDlg dlg;
    QCOMPARE(dlg.rows().size(), 1);
    dlg.OnBtnAllDelete();
    QVERIFY(QFileInfo::exists(stuck));
    QVERIFY(!historyText().contains("stuck.mp4"));
}

void TestConverted::rowShowsRecordedFactsAndSelection()
{
    const QString a = makeFile("first.mp4");
    const QString b = makeFile("second.mp4");
    record(a, "01:02:03");
    record(b);
    QConvertedDlg dlg;
    ConvertedItem *rowA = dlg.rows().at(0);
    ConvertedItem *rowB = dlg.rows().at(1);
    QCOMPARE(rowA->findChild<QLabel *>("m_labVideoName")->text(), QString("first.mp4"));
    QCOMPARE(rowA->findChild<QLabel *>("m_time")->text(), QString("01:02:03"));
    QCOMPARE(rowA->findChild<QLabel *>("m_resolution")->text(), QString("320*240"));
    QCOMPARE(rowA->findChild<QLabel *>("m_size")->text(), QString("1.50 MB"));
    QCOMPARE(rowA->findChild<QLabel *>("m_format")->text(), QString("MP4"));
    QVERIFY(!rowA->findChild<QLabel *>("m_labThumb")->pixmap().isNull()); // the placeholder

    // A row for a path the history does not know.
    ConvertedItem stray;
    stray.setPath(makeFile("stray.mp4"));
    QCOMPARE(stray.findChild<QLabel *>("m_time")->text(), QString("Unkown"));

    dlg.show();
    QTest::mouseClick(rowA, Qt::LeftButton, {}, QPoint(30, 30));
    QVERIFY(rowA->isSelected());
    QCOMPARE(dlg.currentRow(), rowA);
    QTest::mouseClick(rowB, Qt::LeftButton, {}, QPoint(30, 30));
    QVERIFY(!rowA->isSelected());
    QVERIFY(rowB->isSelected());
    QCOMPARE(dlg.currentRow(), rowB);
}

void TestConverted::showInFolderGetsTheCleanPath()
{
    const QString path = makeFile("shown.mp4");
    QString doubled = path;
    doubled.replace("/out/", "//out//");
    record(doubled);
    QStringList opened;
    ConvertedItem::setFolderOpener([&](const QString &p) { opened << p; });
    QConvertedDlg dlg;
    QCOMPARE(dlg.rows().size(), 1);
    dlg.rows().first()->OnBtnSearch();
    QCOMPARE(opened, QStringList{path});
}

// The row under a point of the list's viewport, and the path it shows.
static ConvertedItem *rowAt(QScrollArea *area, const QPoint &at)
{
    for (QWidget *w = area->viewport()->childAt(at); w; w = w->parentWidget())
        if (auto *row = qobject_cast<ConvertedItem *>(w))
            return row;
    return nullptr;
}

static QString pathAt(QScrollArea *area, const QPoint &at)
{
    ConvertedItem *row = rowAt(area, at);
    return row ? row->path() : QString();
}

void TestConverted::longListScrollsSelectsAndDeletes()
{
    QStringList all;
    for (int i = 0; i < 150; ++i) {
        all << makeFile(QString("clip %1.mp4").arg(i));
        record(all.last(), QString("00:%1").arg(i % 60, 2, 10, QChar('0')));
    }
    QConvertedDlg::setAsker([](const QString &) { return int(AskMessageDlg::MoveFiles); });
    QConvertedDlg dlg;
    QCOMPARE(dlg.paths(), all);
    // Rows are made for what the view shows, not for the whole history.
    QVERIFY(dlg.findChildren<ConvertedItem *>().size() < 20);

    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *area = dlg.findChild<QScrollArea *>("m_scrollArea");
    QScrollBar *bar = area->verticalScrollBar();
    const QPoint top(30, 5), bottom(30, area->viewport()->height() - 5);
    QCOMPARE(pathAt(area, top), all.first());
    QTest::mouseClick(rowAt(area, top), Qt::LeftButton, {}, QPoint(30, 30));
    QVERIFY(dlg.currentRow());
    QCOMPARE(dlg.currentRow()->path(), all.first());

    // At the end the last entry shows at the bottom, with its own facts; the
    // rows that show other entries now carry no selection along.
    bar->setValue(bar->maximum());
    QCOMPARE(pathAt(area, bottom), all.last());
    ConvertedItem *last = rowAt(area, bottom);
    QCOMPARE(last->findChild<QLabel *>("m_labVideoName")->text(), QString("clip 149.mp4"));
    QCOMPARE(last->findChild<QLabel *>("m_time")->text(), QString("00:29"));
    QStringList opened;
    ConvertedItem::setFolderOpener([&](const QString &p) { opened << p; });
    QMetaObject::invokeMethod(last->findChild<QAbstractButton *>("m_btnSearch"), "click");
    QCOMPARE(opened, QStringList{all.last()});
    for (ConvertedItem *row : dlg.rows())
        QVERIFY2(!row->isSelected(), qPrintable(row->path()));

    // Deleting a row far down removes that entry, and the rows in view show
    // their neighbours in list order.
    ConvertedItem *doomed = dlg.rows().at(1);
    const QString doomedPath = doomed->path();
    QMetaObject::invokeMethod(doomed->findChild<QAbstractButton *>("m_btnClose"), "click");
    all.removeOne(doomedPath);
    QCOMPARE(dlg.paths(), all);
    QVERIFY(!ParserXML::listConvertedFiles().contains(doomedPath));
    const int first = int(all.indexOf(dlg.rows().first()->path()));
    for (int k = 0; k < dlg.rows().size(); ++k)
        QCOMPARE(dlg.rows().at(k)->path(), all.value(first + k));
    QCOMPARE(pathAt(area, bottom), all.last());

    // Back at the top, the pressed entry is selected again, and only it.
    bar->setValue(0);
    QCOMPARE(pathAt(area, top), all.first());
    QVERIFY(rowAt(area, top)->isSelected());
    QCOMPARE(dlg.currentRow(), rowAt(area, top));
    int selected = 0;
    for (ConvertedItem *row : dlg.rows())
        selected += row->isSelected();
    QCOMPARE(selected, 1);

    // "Delete All" reaches the entries never shown too.
    QConvertedDlg::setAsker([](const QString &) { return int(AskMessageDlg::DeleteFiles); });
    dlg.OnBtnAllDelete();
    for (const QString &p : std::as_const(all))
        QVERIFY2(!QFile::exists(p), qPrintable(p));
    QVERIFY(ParserXML::listConvertedFiles().isEmpty());
    QVERIFY(dlg.rows().isEmpty());
    QVERIFY(nothingShown(dlg));
}

void TestConverted::askDialogAnswers()
{
    const QList<QPair<QString, int>> answers{{"m_btnMove", int(AskMessageDlg::MoveFiles)},
                                             {"m_btnDelete", int(AskMessageDlg::DeleteFiles)},
                                             {"m_btnCancel", int(AskMessageDlg::Cancelled)},
                                             {"m_btnClose", int(AskMessageDlg::Cancelled)}};
    for (const auto &[button, result] : answers) {
        AskMessageDlg dlg;
        QCOMPARE(dlg.message(), QString("Do you want to delete the seleted files or just move \nthe files from the list?"));
        ModalHelper::clickInModal(button);
        QVERIFY2(dlg.exec() == result, qPrintable(button));
    }
}

// Run once more with QT_SCALE_FACTOR=2: the row's picture has as many device
// pixels as its area shows.
void TestConverted::thumbnailIsSharpAtTheScreensRatio()
{
    record(makeFile("sharp.mp4"));
    QConvertedDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *thumb = dlg.rows().at(0)->findChild<QLabel *>("m_labThumb");
    const qreal ratio = thumb->devicePixelRatioF();
    QCOMPARE(ratio, qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0);
    const QPixmap shown = thumb->pixmap();
    QCOMPARE(shown.devicePixelRatio(), ratio);
    const QSize area = thumb->size() * ratio;
    QVERIFY(qAbs(shown.width() - area.width()) <= 1 || qAbs(shown.height() - area.height()) <= 1);
}

VELMORA_TEST_MAIN(TestConverted)
#include "tst_converted.moc"
