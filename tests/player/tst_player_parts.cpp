// The player's parts without a player: pictures handed over from another
// thread, the slider, the play list's drops and menu.

#include "TestEnv.h"
#include "TestTools.h"

#include "player/PlayListWidget.h"
#include "player/VideoImageWindow.h"
#include "widgets/QSliderCtrlBtn.h"
#include "widgets/qSliderCtrl.h"

#include <zentrix.h>

#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

#include <thread>
#include <vector>

class TestPlayerParts : public QObject
{
    Q_OBJECT

private slots:
    void picturesFromAnotherThread()
    {
        VideoImageWindow window;
        window.resize(160, 120);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // A 320 x 240 packed frame, one colour, with padded lines.
        const int w = 320, h = 240, stride = w * 4 + 64;
        std::vector<uint8_t> pixels(size_t(stride) * h);
        auto fill = [&](QRgb c) {
            for (int y = 0; y < h; ++y)
                std::fill_n(reinterpret_cast<QRgb *>(pixels.data() + y * stride), w, c);
        };
        const ZxFrame frame{ZX_PIXEL_RGB32, w, h, {pixels.data()}, {stride}, 0};

        fill(qRgb(200, 30, 40));
        // Two pictures before the GUI thread looks: the second is dropped.
        std::thread([&] {
            VideoImageWindow::frameCallback(&window, &frame);
            VideoImageWindow::frameCallback(&window, &frame);
        }).join();
        QCOMPARE(window.droppedFrames(), qint64(1));
        fill(qRgb(0, 0, 255)); // the engine reuses its buffer at once
        QTRY_VERIFY(window.hasPicture());
        QTRY_VERIFY(window.paintedFrames() >= 1);
        QImage shown = window.picture();
        QCOMPARE(shown.size(), QSize(160, 120)); // scaled to the window on the way
        QCOMPARE(shown.pixel(80, 60), qRgb(200, 30, 40));

        // Once painted, the next picture is taken again; planar ones too.
        std::vector<uint8_t> yPlane(w * h, 235), uPlane(w * h / 4, 128), vPlane(w * h / 4, 128);
        const ZxFrame planar{ZX_PIXEL_YUV420P, w, h, {yPlane.data(), uPlane.data(), vPlane.data()}, {w, w / 2, w / 2}, 0};
        std::thread([&] { VideoImageWindow::frameCallback(&window, &planar); }).join();
        QTRY_COMPARE(window.picture().pixel(10, 10), qRgb(255, 255, 255));
        QCOMPARE(window.droppedFrames(), qint64(1));

        // A double click asks for full screen, a click for play/pause.
        QSignalSpy full(&window, &VideoImageWindow::emitFullScreen);
        QSignalSpy playPause(&window, &VideoImageWindow::emitPlayOrPause);
        QTest::mouseClick(&window, Qt::LeftButton);
        QTest::mouseDClick(&window, Qt::LeftButton);
        QCOMPARE(full.count(), 1);
        QCOMPARE(playPause.count(), 1);
    }

    void sliderReportsUserMovesOnly()
    {
        qSliderCtrl slider;
        slider.resize(212, 16);
        slider.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slider));
        QSignalSpy moved(&slider, &qSliderCtrl::sendProgressValue);
        slider.setValue(0.4);
        QCOMPARE(moved.count(), 0);
        const int half = slider.handle()->width() / 2;
        QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(half + (212 - 2 * half) * 3 / 4, 8));
        QCOMPARE(moved.count(), 1);
        QVERIFY(qAbs(moved.first().first().toDouble() - 0.75) < 0.02);
        QVERIFY(qAbs(slider.value() - 0.75) < 0.02);
        slider.setValue(1.7);
        QCOMPARE(slider.value(), 1.0);
    }

    void playListDropsAndMenu()
    {
        PlayListWidget list;
        list.resize(230, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy play(&list, &PlayListWidget::emitPlayVideo);
        QSignalSpy gone(&list, &PlayListWidget::emitDeleteVideo);
        QMimeData mime;
        const QString a = TestTools::media("clip_h264_aac.mp4"), b = TestTools::media("name with spaces [1] \u00fc.mp4");
        mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl("https://example.invalid/x.mp4")});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &drop);
        QCOMPARE(list.paths(), QStringList({a, b}));
        QCOMPARE(play.count(), 1);
        QCOMPARE(play.first().first().toString(), a);
        QCOMPARE(list.currentPath(), a);

        // "Delete ALL" from the menu empties it and tells that the played file went.
        const QList<QAction *> actions = list.menu()->actions();
        QCOMPARE(actions.size(), 3);
        actions.at(2)->trigger();
        QCOMPARE(list.count(), 0);
        QCOMPARE(gone.count(), 1);
        QVERIFY(!list.playNext());
    }
};

VELMORA_TEST_MAIN(TestPlayerParts)
#include "tst_player_parts.moc"
