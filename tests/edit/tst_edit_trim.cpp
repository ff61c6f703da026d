// The edit dialog's preview and its Trim page on generated clips (the real
// engine, SDL's dummy sound device), and the queue row that opens it.

#include "EditTestSupport.h"

#include "edit/QDualSlider.h"
#include "edit/QTrimOperatedlgDlg.h"
#include "player/AudioWaveWidget.h"
#include "player/VideoImageWindow.h"
#include "widgets/QImageButton.h"
#include "widgets/qSliderCtrl.h"

#include <QApplication>

#include <cmath>
#include <memory>

using TestTools::media;
using namespace EditTest;

namespace {

constexpr qint64 kSecond = 1000000;

// Presses a handle in its middle and drags it by dx pixels (0: a click).
void dragHandle(QWidget *handle, int dx = 0)
{
    const QPoint mid(handle->width() / 2, handle->height() / 2);
    TestTools::dragMouse(handle, mid, mid + QPoint(dx, 0), 4);
}

bool near(qint64 a, qint64 b, qint64 tolerance) { return qAbs(a - b) <= tolerance; }

// A number and a unit as the row shows a size ("12.34 MB"), in bytes.
double shownBytes(const QString &text)
{
    const QStringList parts = text.split(' ');
    const QString unit = parts.value(1);
    const double scale = unit == "GB" ? 1073741824.0 : unit == "MB" ? 1048576.0 : unit == "KB" ? 1024.0 : 1.0;
    return parts.value(0).toDouble() * scale;
}

} // namespace

class TestEditTrim : public QObject
{
    Q_OBJECT

    QString m_long; // 100 s, 10 pictures a second, a key picture every second

    // Opens the dialog shown on path and waits for its first pictures.
    static bool openShown(QVideoEditDlg &dlg, const QString &path)
    {
        if (!dlg.openVideo(path, 0, 0))
            return false;
        dlg.show();
        return QTest::qWaitFor([&dlg] { return dlg.originalPane()->paintedFrames() > 0; }, 10000);
    }

private slots:
    void initTestCase()
    {
        registerItemRecordTypes();
        ZxStartup(0, 0);
        QVERIFY2(QFileInfo::exists(media("clip_h264_aac.mp4")), "the media fixture is missing");
        m_long = TestEnv::root() + "/-trim source [100 s] ü.mp4";
        QVERIFY(TestTools::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=100", "-f", "lavfi",
                                   "-i", "sine=frequency=440:sample_rate=44100:duration=100", "-c:v", "libx264",
                                   "-preset", "ultrafast", "-g", "10", "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac",
                                   "2", "-shortest", m_long}));
    }

    void dualSliderClamps()
    {
        QDualSlider slider;
        slider.resize(412, slider.height());
        slider.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slider));
        QSignalSpy startMoves(&slider, &QDualSlider::sendProgressValue);
        QSignalSpy endMoves(&slider, &QDualSlider::sendEndProgressValue);

        // Dragging the start handle far past the end handle: it stops just left of it.
        slider.setEndPercent(60);
        dragHandle(slider.startButton(), 380);
        QCOMPARE(slider.focusHandle(), QDualSlider::StartHandle);
        QCOMPARE(slider.startValue(), slider.endValue());
        QVERIFY(!startMoves.isEmpty());
        QCOMPARE(startMoves.last().at(0).toDouble(), slider.endValue());
        QVERIFY(endMoves.isEmpty());

        // The end handle likewise stops just right of the start handle.
        slider.setStartPercent(30);
        QCOMPARE(slider.startValue(), 0.3);
        dragHandle(slider.endButton(), -380);
        QCOMPARE(slider.focusHandle(), QDualSlider::EndHandle);
        QCOMPARE(slider.endValue(), slider.startValue());
        QCOMPARE(endMoves.last().at(0).toDouble(), 0.3);

        // And neither leaves the track; a click on the track moves the focused handle.
        dragHandle(slider.endButton(), 1000);
        QCOMPARE(slider.endValue(), 1.0);
        QVERIFY(slider.endButton()->geometry().right() < slider.width());
        TestTools::dragMouse(&slider, QPoint(slider.width() / 2, 5), QPoint(slider.width() / 2, 5));
        QVERIFY(qAbs(slider.endValue() - 0.5) < 0.02);
        QCOMPARE(slider.startValue(), 0.3);

        // The setters clamp the same way.
        slider.setStartPercent(90);
        QCOMPARE(slider.startValue(), slider.endValue());
        slider.setStartPercent(10);
        slider.setEndPercent(5);
        QCOMPARE(slider.endValue(), slider.startValue());
        slider.setStartPercent(-3);
        slider.setEndPercent(140);
        QCOMPARE(slider.startValue(), 0.0);
        QCOMPARE(slider.endValue(), 1.0);
    }

    // Trim narrows step by step, refuses a point, and Reset returns to the file.
    void trimNarrowsAndResets()
    {
        QVideoEditDlg dlg;
        QVERIFY(openShown(dlg, m_long));
        QDualSlider *s = dlg.trimSlider();
        const qint64 d = dlg.duration();
        QVERIFY2(near(d, 100 * kSecond, kSecond / 10), qPrintable(QString::number(d)));
        QVERIFY(dlg.timeText().endsWith(" / 00:01:40"));

        // Untrimmed, the handles at the ends: the whole file.
        dlg.OnTrimVideo();
        QCOMPARE(dlg.trimStart(), qint64(0));
        QCOMPARE(dlg.trimEnd(), d);

        dlg.ResetTrimTime();
        s->setStartPercent(20);
        s->setEndPercent(60);
        dlg.OnTrimVideo();
        QVERIFY(near(dlg.trimStart(), std::llround(d * 0.2), 1));
        QVERIFY(near(dlg.trimEnd(), std::llround(d * 0.6), 1));
        QCOMPARE(dlg.state(), QVideoEditDlg::Stopped);
        QCOMPARE(s->startValue(), 0.0);
        QCOMPARE(s->endValue(), 1.0);
        QCOMPARE(dlg.timeText(), QString("00:00:00 / 00:00:40"));

        // The second cut is inside the first.
        s->setStartPercent(50);
        s->setEndPercent(100);
        dlg.OnTrimVideo();
        QVERIFY(near(dlg.trimStart(), std::llround(d * 0.4), 2));
        QVERIFY(near(dlg.trimEnd(), std::llround(d * 0.6), 2));
        const qint64 start = dlg.trimStart(), end = dlg.trimEnd();
        // The preview went to the new range's start.
        QTRY_VERIFY2_WITH_TIMEOUT(near(dlg.position(), start, 150000),
                                  qPrintable(QString("at %1, busy %2").arg(dlg.position()).arg(PlayerIsBusy(dlg.player()))), 10000);

        // 0 % and 100 %: the working range stays as it is.
        s->setStartPercent(0);
        s->setEndPercent(100);
        dlg.OnTrimVideo();
        QCOMPARE(dlg.trimStart(), start);
        QCOMPARE(dlg.trimEnd(), end);

        // Both handles on one point: refused with the message, nothing changes.
        s->setStartPercent(50);
        s->setEndPercent(50);
        QString message;
        catchMessage(message);
        dlg.OnTrimVideo();
        QCOMPARE(message, QString("Trim too short"));
        QCOMPARE(dlg.trimStart(), start);
        QCOMPARE(dlg.trimEnd(), end);

        dlg.ResetTrimTime();
        QCOMPARE(dlg.trimStart(), qint64(0));
        QCOMPARE(dlg.trimEnd(), qint64(0));
        QCOMPARE(s->startValue(), 0.0);
        QCOMPARE(s->endValue(), 1.0);
        QCOMPARE(dlg.progressValue(), 0.0);
        QCOMPARE(dlg.timeText(), QString("00:00:00 / 00:01:40"));
        QTRY_VERIFY_WITH_TIMEOUT(dlg.position() < 150000, 10000);
    }

    void frameStepsAndSound()
    {
        QVideoEditDlg dlg;
        QVERIFY(openShown(dlg, m_long));
        QDualSlider *s = dlg.trimSlider();
        constexpr qint64 frame = kSecond / 10;
        dlg.OnBtnPause();
        QVERIFY(!grabAt(dlg, 10000).isNull());

        // The end handle was touched last: it moves, one picture at a time.
        s->setEndPercent(50);
        dragHandle(s->endButton());
        dlg.OnNextStep();
        QCOMPARE(dlg.state(), QVideoEditDlg::Paused);
        QVERIFY2(near(dlg.position(), 50 * kSecond + frame, 1000), qPrintable(QString::number(dlg.position())));
        QVERIFY(qAbs(s->endValue() - 0.501) < 1e-6);
        QCOMPARE(s->startValue(), 0.0);
        dlg.OnNextStep();
        dlg.OnPreviousStep();
        QVERIFY2(near(dlg.position(), 50 * kSecond + frame, 1000), qPrintable(QString::number(dlg.position())));
        QVERIFY(qAbs(s->endValue() - 0.501) < 1e-6);

        // Now the start handle.
        s->setStartPercent(30);
        dragHandle(s->startButton());
        dlg.OnPreviousStep();
        QVERIFY2(near(dlg.position(), 30 * kSecond - frame, 1000), qPrintable(QString::number(dlg.position())));
        QVERIFY(qAbs(s->startValue() - 0.299) < 1e-6);
        QVERIFY(qAbs(s->endValue() - 0.501) < 1e-6);

        // Handles on one point: stepping the end handle does nothing.
        s->setStartPercent(80);
        QCOMPARE(s->startValue(), s->endValue());
        dragHandle(s->endButton());
        const qint64 before = dlg.position();
        const double value = s->endValue();
        dlg.OnNextStep();
        QTest::qWait(300);
        QCOMPARE(dlg.position(), before);
        QCOMPARE(s->endValue(), value);

        // Muting with the slider at 0, then sound on: volume 100.
        dlg.soundSlider()->setValue(0.4);
        dlg.OnBtnSoundClose();
        QCOMPARE(dlg.soundSlider()->value(), 0.0);
        dlg.OnBtnSoundOpen();
        QCOMPARE(dlg.soundSlider()->value(), 0.4);
        dlg.soundSlider()->setValue(0.0); // as the slider does before it reports
        dlg.SoundValueChange(0.0);
        QVERIFY(dlg.findChild<QImageButton *>("m_btnSoundClose")->isVisible());
        dlg.OnBtnSoundClose();
        dlg.OnBtnSoundOpen();
        QCOMPARE(dlg.lastVolume(), 100.0);
        QCOMPARE(dlg.soundSlider()->value(), 1.0);
        QVERIFY(dlg.findChild<QImageButton *>("m_btnSoundOpen")->isVisible());
    }

    void previewPlays()
    {
        QVideoEditDlg dlg;
        QVERIFY(!dlg.trimPage()->playState());
        QVERIFY(openShown(dlg, media("clip_h264_aac.mp4")));
        QCOMPARE(dlg.state(), QVideoEditDlg::Playing);
        QVERIFY(dlg.trimPage()->playState());
        // Both panes move.
        QTRY_VERIFY_WITH_TIMEOUT(dlg.outputPane()->hasPicture(), 10000);
        const QImage original = dlg.originalPane()->picture(), output = dlg.outputPane()->picture();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.originalPane()->picture() != original && dlg.outputPane()->picture() != output,
                                 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.timeText().startsWith("00:00:00"), 10000);
        QVERIFY(dlg.timeText().endsWith(" / 00:00:05"));

        dlg.OnBtnPause();
        QCOMPARE(dlg.state(), QVideoEditDlg::Paused);
        dlg.PlayProValueChange(0.5);
        QCOMPARE(dlg.timeText(), QString("00:00:02 / 00:00:05"));
        QTRY_VERIFY_WITH_TIMEOUT(near(dlg.position(), 2500000, 100000), 10000);
        dlg.OnBtnStop();
        QCOMPARE(dlg.timeText(), QString("00:00:00 / 00:00:05"));
        QCOMPARE(dlg.progressValue(), 0.0);

        // A section plays from its start handle and stops at the range's end.
        dlg.setTrimRange(1 * kSecond, 2 * kSecond);
        QCOMPARE(dlg.timeText(), QString("00:00:00 / 00:00:01"));
        dlg.trimSlider()->setStartPercent(50);
        dlg.PlaySection();
        QCOMPARE(dlg.state(), QVideoEditDlg::Playing);
        QVERIFY(dlg.position() >= 1400000);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.state(), QVideoEditDlg::Stopped, 5000);
        QCOMPARE(dlg.timeText(), QString("00:00:00 / 00:00:01"));
        QTRY_VERIFY_WITH_TIMEOUT(near(dlg.position(), 1 * kSecond, 100000), 10000);

        // Sound only: the waveform stands in the output pane.
        QVERIFY(dlg.openVideo(media("audio_only.wav"), 0, 0));
        QVERIFY(dlg.hasNoVideo());
        QVERIFY(dlg.findChild<AudioWaveWidget *>()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(dlg.findChild<AudioWaveWidget *>()->sampleCount() > 0, 10000);

        // Unreadable: no player, every slot idle.
        QVERIFY(!dlg.openVideo(media("random.mp4"), 0, 0));
        QVERIFY(!dlg.isOpen());
        dlg.OnBtnPlay();
        dlg.OnTrimVideo();
        dlg.OnNextStep();
        QCOMPARE(dlg.state(), QVideoEditDlg::Closed);
    }

    // The row: rejecting keeps its records, accepting a trim reaches the row
    // and the converted file; DVD titles open, unreadable files do not.
    void rowOpensTrimsAndConverts()
    {
        OutputFormat::instance() = QueueTest::fastMp4();
        const QString out = QueueTest::freshOutputFolder("trim");
        VideoConvertBar row;
        QVERIFY(row.setUpFromPath(m_long));
        QCOMPARE(row.durationShown(), QString("01:40"));
        const double wholeSize = shownBytes(row.sizeShown());

        auto trimIn = [](const char *button) {
            whenModalOf<QVideoEditDlg>([button](QVideoEditDlg *dlg) {
                dlg->trimSlider()->setStartPercent(20);
                dlg->trimSlider()->setEndPercent(60);
                dlg->OnTrimVideo();
                dlg->findChild<QAbstractButton *>(button)->click();
            }, 20000);
        };
        trimIn("m_btnCancel");
        row.OnEditVideo();
        QCOMPARE(row.durationShown(), QString("01:40"));
        QCOMPARE(row.convertParams().trimLength, int64_t(0));

        trimIn("m_btnOk");
        row.OnEditVideo();
        QCOMPARE(row.durationShown(), QString("00:40"));
        const double ratio = shownBytes(row.sizeShown()) / wholeSize;
        QVERIFY2(qAbs(ratio - 0.4) < 0.01, qPrintable(row.sizeShown()));
        QVERIFY(near(row.convertParams().trimStart, 20 * kSecond, 50000));

        QVERIFY2(convertRow(row), qPrintable(row.failureReason()));
        const TestTools::Streams probe = TestTools::ffprobe(row.outputPath());
        QVERIFY2(probe.ok, qPrintable(probe.error));
        QVERIFY2(qAbs(probe.duration - 40.0) < 0.3, qPrintable(QString::number(probe.duration)));
        QCOMPARE(probe.videoCount, 1);

        // A DVD title row opens the dialog on its title.
        const QString dvd = media("dvd_multi");
        if (QFileInfo::exists(dvd + "/VIDEO_TS")) {
            VideoConvertBar titleRow;
            QVERIFY(titleRow.setUpFromPath(dvd, 1));
            QVERIFY(titleRow.fromDvd());
            auto seen = std::make_shared<qint64>(-1);
            whenModalOf<QVideoEditDlg>([seen](QVideoEditDlg *dlg) {
                if (QTest::qWaitFor([dlg] { return dlg->originalPane()->hasPicture(); }, 10000))
                    *seen = dlg->duration();
                dlg->close();
            }, 20000);
            titleRow.OnEditVideo();
            QVERIFY2(near(*seen, 6 * kSecond, kSecond / 2), qPrintable(QString::number(*seen)));
        } else {
            qWarning("the DVD fixture was not made (dvdauthor missing): DVD part skipped");
        }

        // An unreadable file gives no dialog.
        VideoConvertBar bad;
        bad.setItemInfo(QueueTest::fakeItem(media("random.mp4")), false);
        auto shown = std::make_shared<bool>(false);
        ModalHelper::whenModal([shown](QWidget *w) {
            *shown = true;
            w->close();
        }, 3000);
        bad.OnEditVideo();
        QVERIFY(!*shown);
        QCOMPARE(bad.durationShown(), QString("00:05"));
    }
};

VELMORA_TEST_MAIN(TestEditTrim)
#include "tst_edit_trim.moc"
