// The edit dialog on a 1080p clip: how long opening takes until both
// previews show their first picture, and how often the previews show a new
// picture while a trim handle is dragged along the track.
//
//   bench_edit_dialog [RUNS] [CLIP]
//
// Each run builds a new dialog (as the queue row does), opens CLIP and waits
// for a picture in both panes; then it pauses and drags the start handle
// across the track for 3 s with a mouse move every 16 ms (a 60 Hz mouse),
// then the end handle back, counting the pictures each pane painted during
// the drags. The first columns split the opening: a bare engine player
// opening the clip (PlayerOpenFile alone), the dialog's openVideo, the first
// picture in the original pane, and in both. Without CLIP, a 20 s 1920x1080 30 fps H.264 + AAC clip of lavfi's
// testsrc2 is made with the ffmpeg tool into the current folder once.

#include "edit/QDualSlider.h"
#include "edit/QVideoEditDlg.h"
#include "player/VideoImageWindow.h"
#include "widgets/QImageButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>

#include <zentrix.h>

#include <cstdio>
#include <ctime>
#include <cstdlib>

namespace {

// Runs the event loop for ms without spinning (the bench must not take CPU
// time from the decoder it measures).
void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void send(QWidget *w, QEvent::Type type, QPoint global)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

struct Drag
{
    double seconds = 0;
    double cpu = 0;      // CPU time of the whole process (all threads) during the drag
    qint64 original = 0; // pictures painted by each pane during the drag
    qint64 output = 0;
    int moves = 0;
};

// Drags a handle by dx pixels over `ms` milliseconds, a move every 16 ms.
Drag drag(QVideoEditDlg &dlg, QWidget *handle, int dx, int ms)
{
    Drag d;
    const QPoint from = handle->mapToGlobal(QPoint(handle->width() / 2, handle->height() / 2));
    const qint64 o0 = dlg.originalPane()->paintedFrames(), p0 = dlg.outputPane()->paintedFrames();
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    send(handle, QEvent::MouseButtonPress, from);
    while (clock.elapsed() < ms) {
        const double f = double(clock.elapsed()) / ms;
        send(handle, QEvent::MouseMove, from + QPoint(int(dx * f), 0));
        ++d.moves;
        waitMs(16);
    }
    send(handle, QEvent::MouseButtonRelease, from + QPoint(dx, 0));
    d.seconds = clock.elapsed() / 1000.0;
    d.cpu = cpuSeconds() - cpu0;
    d.original = dlg.originalPane()->paintedFrames() - o0;
    d.output = dlg.outputPane()->paintedFrames() - p0;
    return d;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ZxStartup(0, 0);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
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

    std::printf("run  PlayerOpenFile  openVideo original  both (ms) | per drag: s, cpu s, pictures original/output, per s, per cpu s\n");
    for (int run = 1; run <= runs; ++run) {
        // The engine's part alone: opening a bare player on the clip.
        QElapsedTimer bare;
        bare.start();
        ZxPlayer *probe = PlayerCreate(-1);
        PlayerOpenFile(probe, clip.toUtf8().constData(), 0, 0, 50000);
        const qint64 bareMs = bare.elapsed();
        PlayerRelease(probe);

        QElapsedTimer open;
        open.start();
        // The row's order: construct, open, show.
        QVideoEditDlg dlg;
        if (!dlg.openVideo(clip, 0, 0)) {
            std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(clip), qPrintable(dlg.lastError()));
            return 1;
        }
        const qint64 openCallMs = open.elapsed();
        dlg.show();
        qint64 firstOriginalMs = -1;
        while ((dlg.originalPane()->paintedFrames() == 0 || dlg.outputPane()->paintedFrames() == 0)
               && open.elapsed() < 10000) {
            waitMs(2);
            if (firstOriginalMs < 0 && dlg.originalPane()->paintedFrames() > 0)
                firstOriginalMs = open.elapsed();
        }
        const qint64 openMs = open.elapsed();

        waitMs(500);
        dlg.OnBtnPause();
        waitMs(300);
        QDualSlider *slider = dlg.trimSlider();
        const int track = slider->width() - 2 * slider->handleWidth();
        const Drag a = drag(dlg, slider->startButton(), track * 9 / 10, 3000);
        // The end handle back towards the start handle.
        const Drag b = drag(dlg, slider->endButton(), -track / 2, 3000);
        auto cols = [](const Drag &d) {
            const double shown = double(qMin(d.original, d.output));
            return QString::asprintf("%4.2f %4.2f %3lld/%3lld %5.1f %5.1f", d.seconds, d.cpu,
                                     static_cast<long long>(d.original), static_cast<long long>(d.output),
                                     shown / d.seconds, d.cpu > 0 ? shown / d.cpu : 0.0);
        };
        std::printf("%3d  %8lld  %9lld %8lld %5lld | start: %s | end: %s\n", run, static_cast<long long>(bareMs),
                    static_cast<long long>(openCallMs), static_cast<long long>(firstOriginalMs),
                    static_cast<long long>(openMs), qPrintable(cols(a)), qPrintable(cols(b)));
        std::fflush(stdout);
    }
    return 0;
}
