// Plays a 1080p30 clip in the player window for a number of seconds and
// reports the pictures painted, the pictures the window skipped because the
// previous one was not painted yet, and the longest gap between two ticks of
// a 5 ms timer on the GUI thread (the longest time the window could not react).
//
//   bench_player_window [SECONDS] [CLIP]
//
// Without CLIP, a 20 s 1920x1080 30 fps H.264 + AAC clip from lavfi's
// testsrc2 is made with the ffmpeg tool into the current folder once.

#include "player/VXPlayerQDialog.h"
#include "player/VideoImageWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 10;
    QString clip = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString("bench_window_1080p30.mp4");
    if (!QFileInfo::exists(clip)) {
        const int rc = QProcess::execute("ffmpeg", {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f",
                                                    "lavfi", "-i", "testsrc2=size=1920x1080:rate=30:duration=20",
                                                    "-f", "lavfi", "-i", "sine=frequency=440:duration=20", "-c:v",
                                                    "libx264", "-preset", "veryfast", "-crf", "23", "-pix_fmt",
                                                    "yuv420p", "-c:a", "aac", clip});
        if (rc != 0) {
            std::fprintf(stderr, "cannot make %s with ffmpeg\n", qPrintable(clip));
            return 1;
        }
    }

    VXPlayerQDialog *player = VXPlayerQDialog::instance();
    player->show();
    player->addFiles({clip});
    if (player->state() != VXPlayerQDialog::Playing) {
        std::fprintf(stderr, "cannot play %s: %s\n", qPrintable(clip), qPrintable(player->lastError()));
        return 1;
    }
    VideoImageWindow *video = player->videoWindow();

    // Let the first picture arrive before measuring.
    QElapsedTimer clock;
    clock.start();
    while (video->paintedFrames() == 0 && clock.elapsed() < 10000)
        app.processEvents(QEventLoop::AllEvents, 10);
    const qint64 painted0 = video->paintedFrames();
    const qint64 dropped0 = video->droppedFrames();

    QElapsedTimer run, tick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = qMax(longestGap, tick.restart());
    });
    run.start();
    tick.start();
    ticker.start();
    double elapsed = 0;
    qint64 painted = 0, dropped = 0;
    QSize picture;
    // Read before quitting: quitting closes the window, which stops it.
    QTimer::singleShot(seconds * 1000, &app, [&] {
        elapsed = run.elapsed() / 1000.0;
        painted = video->paintedFrames() - painted0;
        dropped = video->droppedFrames() - dropped0;
        picture = video->picture().size();
        app.quit();
    });
    app.exec();
    std::printf("{\"seconds\": %.2f, \"window\": \"%dx%d\", \"picture\": \"%dx%d\", \"painted\": %lld, "
                "\"painted_fps\": %.2f, \"skipped\": %lld, \"longest_gui_gap_ms\": %lld}\n",
                elapsed, video->width(), video->height(), picture.width(), picture.height(),
                painted, painted / elapsed, dropped, longestGap);
    player->OnBtnClose();
    return 0;
}
