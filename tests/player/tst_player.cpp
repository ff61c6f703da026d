// The player window on generated clips: playing, the step and range rules,
// the play list, sound, closing and reuse, the queue's play entries, DVD
// titles and unreadable files.

#include "ModalHelper.h"
#include "TestEnv.h"
#include "TestTools.h"

#include "player/AudioWaveWidget.h"
#include "player/PlayBtnWidget.h"
#include "player/PlayListWidget.h"
#include "player/PlayerVideobar.h"
#include "player/VXPlayerQDialog.h"
#include "player/VideoImageWindow.h"
#include "profiles/OutputFormat.h"
#include "queue/QMainDlg.h"
#include "queue/RowPicture.h"
#include "queue/VideoConvertBar.h"
#include "widgets/QImageButton.h"

#include <QAction>
#include <QtTest>

using TestTools::media;

namespace {

constexpr qint64 kSecond = 1000000;

VXPlayerQDialog *player() { return VXPlayerQDialog::instance(); }

// Plays path from the play list, shown but not modal, and waits until it runs.
bool playShown(const QString &path)
{
    player()->show();
    player()->addFiles({path});
    return QTest::qWaitFor([] { return player()->state() == VXPlayerQDialog::Playing; }, 10000);
}

// Seeks by the progress slider's fraction and waits for the picture there.
bool seekFraction(double f, qint64 expectUs)
{
    player()->ProgressValueChange(f);
    return QTest::qWaitFor(
        [expectUs] { return !player()->isSeeking() && qAbs(player()->position() - expectUs) < 600000; }, 10000);
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(media("clip_10s.mp4")), "the media fixture is missing");
    }

    void cleanup()
    {
        player()->OnBtnClose();
        player()->playList()->OnDeleteVideoALL();
    }

    void playsClipsAndRejectsBadFiles()
    {
        QVERIFY(playShown(media("clip_h264_aac.mp4")));
        QCOMPARE(player()->currentPath(), media("clip_h264_aac.mp4"));
        QVERIFY(player()->videoWindow()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(player()->videoWindow()->paintedFrames() > 5, 10000);
        QVERIFY(player()->timeText().endsWith(" / 00:00:05"));
        QTRY_VERIFY_WITH_TIMEOUT(!player()->timeText().startsWith("00:00:00"), 10000);
        // The picture changes while it plays.
        const QImage first = player()->videoWindow()->picture();
        QTRY_VERIFY_WITH_TIMEOUT(player()->videoWindow()->picture() != first, 10000);

        // Sound only: the waveform stands in for the picture.
        QVERIFY(playShown(media("audio_only.wav")));
        QVERIFY(player()->hasNoVideo());
        QVERIFY(!player()->videoWindow()->isVisible());
        QVERIFY(player()->waveWidget()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(player()->waveWidget()->sampleCount() > 0, 10000);

        // Unreadable files fail cleanly, and a good one plays again afterwards.
        for (const char *bad : {"random.mp4", "zero.mp4", "no such file.mp4"}) {
            player()->addFiles({media(bad)});
            QCOMPARE(player()->state(), int(VXPlayerQDialog::Failed));
            QVERIFY(!player()->lastError().isEmpty());
            QCOMPARE(player()->timeText(), QString("00:00:00 / 00:00:00"));
        }
        QVERIFY(playShown(media("name with spaces [1] \u00fc.mp4")));
    }

    void stepsAndRangeRules()
    {
        QVERIFY(playShown(media("clip_10s.mp4")));
        player()->OnBtnPause();
        QCOMPARE(player()->state(), int(VXPlayerQDialog::Paused));

        // Back within the first 5 s goes to the start.
        QVERIFY(seekFraction(0.3, 3 * kSecond));
        player()->OnBtnBack();
        QTRY_VERIFY2_WITH_TIMEOUT(player()->position() < 600000,
                                  qPrintable(QString("at %1 µs, state %2").arg(player()->position()).arg(player()->state())),
                                  10000);

        // Forward by 5 s in the middle works; within the last 6 s it does nothing.
        QVERIFY(seekFraction(0.2, 2 * kSecond));
        player()->OnBtnFast();
        QTRY_VERIFY2_WITH_TIMEOUT(qAbs(player()->position() - 7 * kSecond) < 600000,
                                  qPrintable(QString("at %1 µs, state %2").arg(player()->position()).arg(player()->state())),
                                  10000);
        QVERIFY(seekFraction(0.45, 4500000));
        player()->OnBtnFast();
        QTest::qWait(400);
        QVERIFY(qAbs(player()->position() - 4500000) < 600000);

        // With a range starting at 2 s, back from 4 s stays put.
        player()->setRange(2 * kSecond, 0);
        QVERIFY(seekFraction(0.25, 4 * kSecond)); // 2 s + 8 s x 0.25
        player()->OnBtnBack();
        QTest::qWait(400);
        QVERIFY(qAbs(player()->position() - 4 * kSecond) < 600000);

        // The range end stops playback.
        player()->setRange(0, 1500000);
        QVERIFY(seekFraction(0.0, 0));
        player()->OnBtnPlay();
        QCOMPARE(player()->state(), int(VXPlayerQDialog::Playing));
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), int(VXPlayerQDialog::Stopped), 15000);
        QVERIFY(player()->position() < 3 * kSecond);
        QVERIFY(!player()->controlBar()->isPlayingLook());
    }

    void playListAndSound()
    {
        const QStringList files = {media("clip_h264_aac.mp4"), media("clip_10s.mp4"), media("video_only.mp4")};
        player()->show();
        player()->addFiles(files);
        PlayListWidget *list = player()->playList();
        QCOMPARE(list->paths(), files);
        QCOMPARE(player()->currentPath(), files[0]);

        player()->OnBtnPreVideo(); // from the first row to the last
        QCOMPARE(player()->currentPath(), files[2]);
        QCOMPARE(list->currentPath(), files[2]);
        QCOMPARE(player()->state(), int(VXPlayerQDialog::Playing));
        player()->OnBtnNextVideo(); // from the last row to the first
        QCOMPARE(player()->currentPath(), files[0]);
        player()->OnBtnNextVideo();
        QCOMPARE(player()->currentPath(), files[1]);

        // Rows show the length, "hh:mm:ss" from an hour on; the thumbnail exists for pictures.
        QCOMPARE(list->row(1)->lengthShown(), QString("00:10"));
        QCOMPARE(PlayerVideobar::lengthText(3540 * kSecond), QString("59:00"));
        QCOMPARE(PlayerVideobar::lengthText(3660 * kSecond), QString("01:01:00"));
        QVERIFY(!list->row(1)->thumbnail().isNull());
        QVERIFY(PlayerVideobar(media("audio_only.wav")).thumbnail().isNull());

        // Deleting the playing row stops playback.
        QMetaObject::invokeMethod(list->row(1), "emitDelete");
        QTRY_COMPARE(list->count(), 2);
        QCOMPARE(player()->state(), int(VXPlayerQDialog::Stopped));

        // Mute, then sound on again: the volume set before comes back.
        PlayBtnWidget *bar = player()->controlBar();
        player()->VolumeValueChange(0.6);
        player()->OnBtnVolume(true);
        QVERIFY(player()->isMuted());
        QCOMPARE(bar->volume(), 0.0);
        player()->OnBtnVolume(false);
        QVERIFY(!player()->isMuted());
        QCOMPARE(player()->volume(), 60);
        QCOMPARE(bar->volume(), 0.6);
        // The mute button of the bar does the same.
        bar->button("m_btnVolume")->click();
        QVERIFY(player()->isMuted());
        bar->button("m_btnMute")->click();
        QCOMPARE(player()->volume(), 60);
    }

    void closeHidesAndReuses()
    {
        VXPlayerQDialog *first = player();
        QString seen;
        int seenState = 0;
        ModalHelper::whenModal([&](QWidget *w) {
            (void)QTest::qWaitFor([] { return player()->videoWindow()->paintedFrames() > 0; }, 10000);
            seen = player()->currentPath();
            seenState = player()->state();
            w->findChild<QImageButton *>("m_btnClose")->click();
        }, 20000);
        first->openFile(media("clip_h264_aac.mp4"));
        QCOMPARE(seen, media("clip_h264_aac.mp4"));
        QCOMPARE(seenState, int(VXPlayerQDialog::Playing));
        QVERIFY(!first->isVisible());
        QCOMPARE(first->state(), int(VXPlayerQDialog::Stopped));

        ModalHelper::whenModal([&](QWidget *w) {
            seen = player()->currentPath();
            w->close(); // the window's own close hides it as well
        }, 20000);
        player()->openFile(media("clip_10s.mp4"));
        QCOMPARE(player(), first);
        QCOMPARE(seen, media("clip_10s.mp4"));
        QVERIFY(!first->isVisible());
    }

    void queueEntriesOpenThePlayer()
    {
        OutputFormat::instance().ext = "mp4";
        QMainDlg list;
        list.addNewItemBar(media("clip_10s.mp4"));
        list.addNewItemBar(media("clip_h264_aac.mp4"));
        QCOMPARE(list.rows().size(), 2);
        VideoConvertBar *row = list.rows().at(1);
        row->setTrimRange(2 * kSecond, 4 * kSecond);
        CropSettings turned;
        turned.rotation = 90; // the row's edits reach the picture: it stands upright
        row->setEditSetting(turned);

        struct Seen { QString path; int state = 0; qint64 start = -1, end = -1; qint64 pos = -1; QSize picture; };
        auto watch = [](Seen &seen) {
            ModalHelper::whenModal([&seen](QWidget *w) {
                (void)QTest::qWaitFor([] { return player()->position() >= 2 * kSecond; }, 10000);
                (void)QTest::qWaitFor([] { return player()->videoWindow()->hasPicture(); }, 10000);
                seen = {player()->currentPath(), player()->state(), player()->rangeStart(), player()->rangeEnd(),
                        player()->position(), player()->videoWindow()->picture().size()};
                w->close();
            }, 20000);
        };

        // A click on the row's picture.
        Seen byPicture;
        watch(byPicture);
        auto *picture = row->findChild<RowPicture *>("m_videoIconWidget");
        QVERIFY(picture);
        QTest::mouseClick(picture, Qt::LeftButton);
        QCOMPARE(byPicture.path, media("clip_h264_aac.mp4"));
        QCOMPARE(byPicture.state, int(VXPlayerQDialog::Playing));
        QCOMPARE(byPicture.start, 2 * kSecond);
        QCOMPARE(byPicture.end, 4 * kSecond);
        QVERIFY(byPicture.pos >= 2 * kSecond);
        QVERIFY2(byPicture.picture.height() > byPicture.picture.width(),
                 qPrintable(QString("%1x%2").arg(byPicture.picture.width()).arg(byPicture.picture.height())));

        // The context menu's "Play" on the current row.
        Seen byMenu;
        watch(byMenu);
        QTest::mousePress(row, Qt::LeftButton, {}, QPoint(300, 40));
        QCOMPARE(list.currentRow(), row);
        list.actionPlay()->trigger();
        QCOMPARE(byMenu.path, media("clip_h264_aac.mp4"));
        QCOMPARE(byMenu.start, 2 * kSecond);
    }

    void dvdTitlePlays()
    {
        const QString dvd = media("dvd_multi");
        if (!QFileInfo::exists(dvd + "/VIDEO_TS"))
            QSKIP("the DVD fixture was not made (dvdauthor missing)");
        PlayItem item;
        item.path = dvd;
        item.dvd = true;
        item.dvdTitle = 2; // 7 s, the third title
        player()->playItem(item, false);
        QCOMPARE(player()->state(), int(VXPlayerQDialog::Playing));
        QTRY_VERIFY_WITH_TIMEOUT(player()->videoWindow()->paintedFrames() > 3, 15000);
        QVERIFY(player()->timeText().endsWith(" / 00:00:07"));
    }
};

VELMORA_TEST_MAIN(TestPlayer)
#include "tst_player.moc"
