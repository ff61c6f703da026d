// The queue list without conversions: selection, the context menu's rules, deleting, clearing invalid files,
// "Apply to all", and the main window's controls following the list.
#include "QueueTestSupport.h"

#include "queue/QMainDlg.h"
#include "queue/VideoConvertBar.h"
#include "shell/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScrollArea>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace QueueTest;

class TestQueueList : public QObject
{
    Q_OBJECT

    std::unique_ptr<QMainDlg> listWith(int rows)
    {
        auto list = std::make_unique<QMainDlg>();
        list->resize(900, 500);
        for (int i = 0; i < rows; ++i)
            list->addItemInfo(fakeItem(QString("/m/clip%1.avi").arg(i)));
        return list;
    }

    static QString selection(const QMainDlg &list)
    {
        QString s;
        for (VideoConvertBar *row : list.rows())
            s += row->selectionState() == 2 ? 'x' : '.';
        return s;
    }

private slots:
    void init()
    {
        OutputFormat::instance() = fastMp4();
        AppGlobals::setConverting(false);
        AppGlobals::setMerge(false);
        RowConversion::setMergeFlag(false);
    }

    void selection_data()
    {
        QTest::addColumn<QString>("clicks"); // p plain, c ctrl, s shift, then the row
        QTest::addColumn<QString>("selected");
        QTest::newRow("shift without an anchor starts at the first row") << "s2" << "xxx..";
        QTest::newRow("shift upwards from the anchor") << "p3 s1" << ".xxx.";
        QTest::newRow("plain click clears the others") << "s4 p2" << "..x..";
        QTest::newRow("ctrl adds and moves the anchor") << "p0 c3" << "x..x.";
        QTest::newRow("ctrl removes") << "s3 c1" << "x.xx.";
        QTest::newRow("shift range from a ctrl anchor") << "p0 c4 s2" << "..xxx";
        QTest::newRow("shift keeps its anchor") << "p2 s4 s0" << "xxx..";
    }

    void selection()
    {
        QFETCH(QString, clicks);
        auto list = listWith(5);
        list->show();
        for (const QString &click : clicks.split(' ')) {
            const Qt::KeyboardModifiers mods = click[0] == 'c' ? Qt::ControlModifier
                                               : click[0] == 's' ? Qt::ShiftModifier
                                                                 : Qt::NoModifier;
            VideoConvertBar *row = list->rows().at(click.mid(1).toInt());
            QTest::mousePress(row, Qt::LeftButton, mods, QPoint(300, 70));
            QCOMPARE(list->currentRow(), row);
        }
        QTEST(selection(*list), "selected");
    }

    // Which entries of the row menu are enabled, by the row's state and the
    // run; also the menu of the empty area below the rows.
    void menuRules()
    {
        const struct { const char *what; int rowState; bool converting, mainMerge, rowMerge; QString enabled; } rows[] = {
            // Play Convert Rename Delete DeleteAll Import Clear
            {"idle", 0, false, false, false, "PCRDAIX"},
            {"failed row can be dealt with", 5, false, false, false, "PCRDAIX"},
            {"waiting row in a run", 2, true, false, false, "______X"},
            {"waiting row in a merged run", 2, true, true, true, "______X"},
            {"failed row while converting", 5, true, false, false, "PCR___X"},
            {"idle row while converting", 0, true, false, false, "PCR___X"},
            {"idle row while merging", 0, true, true, false, "______X"},
        };
        const auto enabledOf = [](QMainDlg &list) {
            QString enabled;
            const QList<QPair<QAction *, QChar>> actions{
                {list.actionPlay(), 'P'},      {list.actionConvert(), 'C'},   {list.actionRename(), 'R'},
                {list.actionDelete(), 'D'},    {list.actionDeleteAll(), 'A'}, {list.actionImport(), 'I'},
                {list.actionClearInvalid(), 'X'}};
            for (const auto &a : actions)
                enabled += a.first->isEnabled() ? a.second : QChar('_');
            list.contextMenu()->hide();
            return enabled;
        };
        QStringList expected, got;
        for (const auto &r : rows) {
            auto list = listWith(2);
            list->show();
            VideoConvertBar *row = list->rows().at(1);
            if (r.rowState == 2)
                row->setWaiting();
            else if (r.rowState == 5)
                row->markFailed();
            AppGlobals::setConverting(r.converting);
            AppGlobals::setMerge(r.mainMerge);
            RowConversion::setMergeFlag(r.rowMerge);
            QTest::mousePress(row, Qt::RightButton, Qt::NoModifier, QPoint(300, 70));
            QVERIFY2(list->contextMenu()->isVisible(), r.what);
            QCOMPARE(row->selectionState(), 2);
            expected << QString("%1: %2").arg(QString(r.what), r.enabled);
            got << QString("%1: %2").arg(QString(r.what), enabledOf(*list));
        }
        QCOMPARE(got, expected);
        init();

        auto list = listWith(1);
        list->show();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 480), list->mapToGlobal(QPoint(5, 480)));
        QApplication::sendEvent(list.get(), &event);
        QVERIFY(list->contextMenu()->isVisible());
        QCOMPARE(enabledOf(*list).left(6), QString("____AI"));
    }

    void deletingRows()
    {
        auto list = listWith(4);
        QSignalSpy counts(list.get(), &QMainDlg::emitDownedCount);
        QSignalSpy hasItems(list.get(), &QMainDlg::seedIsAddItem);

        // "&Delete" removes the selected rows only.
        list->rows().at(1)->setSelectionState(2);
        list->rows().at(3)->setSelectionState(2);
        list->actionDelete()->trigger();
        QCOMPARE(list->itemCount(), 2);
        QCOMPARE(list->rows().at(0)->sourcePath(), QString("/m/clip0.avi"));
        QCOMPARE(list->rows().at(1)->sourcePath(), QString("/m/clip2.avi"));
        QCOMPARE(counts.last().at(0).toInt(), 2);
        QCOMPARE(hasItems.count(), 0);

        // The current row's delete.
        QTest::mousePress(list->rows().at(0), Qt::LeftButton, Qt::NoModifier, QPoint(300, 70));
        list->ActionDeleteBar();
        QCOMPARE(list->itemCount(), 1);
        QVERIFY(!list->currentRow());

        list->ActionDeleteALL();
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(hasItems.count(), 1);
        QCOMPARE(hasItems.last().at(0).toBool(), false);
        QVERIFY(!list->findChild<QScrollArea *>("scrollArea")->isVisible());
        QTRY_COMPARE(list->findChildren<VideoConvertBar *>().size(), 0); // deleted, not only hidden
    }

    // With the focus in the list: Ctrl+A selects every row, Delete removes
    // the selected ones as the menu's "&Delete" does, not while converting.
    void keyboardSelectsAndDeletes()
    {
        auto list = listWith(4);
        list->show();
        QVERIFY(QTest::qWaitForWindowActive(list.get()));
        QTest::mouseClick(list->rows().at(2), Qt::LeftButton, Qt::NoModifier, QPoint(300, 70));
        QVERIFY(list->isAncestorOf(QApplication::focusWidget()) || list->hasFocus());
        QCOMPARE(selection(*list), QString("..x."));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(selection(*list), QString("xxxx"));

        list->rows().at(0)->setSelectionState(0);
        AppGlobals::setConverting(true);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QCOMPARE(list->itemCount(), 4);
        AppGlobals::setConverting(false);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QCOMPARE(list->itemCount(), 1);
        QCOMPARE(list->rows().at(0)->sourcePath(), QString("/m/clip0.avi"));
    }

    void clearInvalidFiles()
    {
        const QString kept = TestEnv::root() + "/still here.mp4";
        QFile::copy(media("clip_h264_aac.mp4"), kept);
        auto list = listWith(0);
        list->addItemInfo(fakeItem("/m/gone1.mp4"));
        list->addItemInfo(fakeItem(kept));
        list->addItemInfo(fakeItem(TestEnv::root())); // a folder is not a file
        list->addItemInfo(fakeItem("/m/gone2.mp4"));
        QTest::mousePress(list->rows().at(3), Qt::LeftButton, Qt::NoModifier, QPoint(300, 70));
        list->actionClearInvalid()->trigger();
        QCOMPARE(list->itemCount(), 1);
        QCOMPARE(list->rows().first()->sourcePath(), kept);
        QVERIFY(!list->currentRow());
    }

    void applyToAll()
    {
        auto list = listWith(3);
        CropSettings crop;
        crop.rotation = 90;
        crop.cropRect = {0.1, 0.2, 0.5, 0.5};
        WatermarkTextSettings text;
        text.text = "Velmora ü";
        WatermarkImageSettings image;
        image.imagePath = "/m/logo.png";
        // Through a row's relay signals, as the edit dialog's "Apply to all".
        emit list->rows().at(1)->seedEditSetting(crop);
        emit list->rows().at(1)->seedWaterSetting(text, image);
        for (VideoConvertBar *row : list->rows()) {
            QCOMPARE(row->cropSettings().rotation, 90);
            QCOMPARE(row->cropSettings().cropRect, crop.cropRect);
            QCOMPARE(row->textWatermark().text, text.text);
            QCOMPARE(row->imageWatermark().imagePath, image.imagePath);
            QCOMPARE(row->convertParams().crop.rotation, 90);
        }
    }

    void mainWindowFollowsTheList()
    {
        MainWindow w;
        w.show();
        auto *convert = w.findChild<QWidget *>("m_btnConvert");
        auto *merge = w.findChild<QWidget *>("m_btnMerge");
        QVERIFY(!convert->isEnabled());
        w.queueList()->addItemInfo(fakeItem("/m/a.mp4"));
        w.queueList()->addItemInfo(fakeItem("/m/b.mp4"));
        QVERIFY(convert->isEnabled() && merge->isEnabled());

        w.queueList()->rows().at(0)->findChild<QAbstractButton *>("m_btnClose")->click();
        QCOMPARE(w.queueList()->itemCount(), 1);
        QVERIFY(convert->isEnabled() && merge->isEnabled());
        w.queueList()->rows().at(0)->findChild<QAbstractButton *>("m_btnClose")->click();
        QCOMPARE(w.queueList()->itemCount(), 0);
        QVERIFY(!convert->isEnabled());
        QVERIFY(!merge->isEnabled());
    }
};

VELMORA_TEST_MAIN(TestQueueList)
#include "tst_queuelist.moc"
