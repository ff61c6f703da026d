// Times an import of many small clips through the queue list's drop path and
// compares it with ffprobe reading the same files one after another.
//
//   bench_import [COUNT [WORKDIR]]      (default 500 clips in ./bench-import)
//
// One tiny clip is made once with the ffmpeg tool; the others are hard links
// to it (copies where links fail). While the import runs, a 10 ms timer on
// the GUI thread records the longest gap between its ticks: the longest time
// the window could not react. The same timer on the idle window beforehand
// shows what the machine's load alone does to it, and the longest single
// event of the list (a row is made in one) which part is the list's own.
// Prints the times, their ratio and the gaps. BENCH_SKIP_FFPROBE=1 skips the
// ffprobe loop.
#include "profiles/OutputFormat.h"
#include "queue/QMainDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

bool run(const QString &program, const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList makeClips(const QString &dir, int count)
{
    QDir().mkpath(dir + "/clips");
    const QString seed = dir + "/seed.mp4";
    if (!QFileInfo::exists(seed)
        && !run("ffmpeg", {"-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                           "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
                           "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1",
                           "-c:v", "mpeg4", "-q:v", "8", "-c:a", "aac", "-b:a", "64k", "-shortest", seed})) {
        std::fprintf(stderr, "bench_import: ffmpeg could not make %s\n", qPrintable(seed));
        return {};
    }
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString f = QString("%1/clips/clip%2.mp4").arg(dir).arg(i, 4, 10, QChar('0'));
        if (!QFileInfo::exists(f) && !run("ln", {seed, f}) && !QFile::copy(seed, f))
            return {};
        files << f;
    }
    return files;
}

// The list, timing each event it handles (a row is made in one event).
class TimedList : public QMainDlg
{
public:
    qint64 longestEventMs = 0;
    int longestEventType = 0;

private:
    quint64 m_events = 0;

protected:
    bool event(QEvent *e) override
    {
        QElapsedTimer t;
        t.start();
        const int type = e->type();
        const quint64 seq = ++m_events;
        const bool r = QMainDlg::event(e);
        const qint64 ms = t.elapsed();
        // The import's modal loop runs inside one event: count only events
        // that did not contain others.
        if (seq == m_events && ms > longestEventMs) {
            longestEventMs = ms;
            longestEventType = type;
        }
        return r;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 500;
    const QString dir = QDir(args.size() > 2 ? args.at(2) : QString("bench-import")).absolutePath();
    const QStringList files = makeClips(dir, count);
    if (files.size() != count || count <= 0)
        return 1;
    // Rows refresh their output facts from the chosen format.
    OutputFormat::instance().ext = "mp4";
    OutputFormat::instance().container = "MP4";

    // ffprobe first, so both runs find the files in the page cache.
    // BENCH_SKIP_FFPROBE=1 leaves it out (for looking at the import alone).
    const bool skipProbe = qEnvironmentVariableIntValue("BENCH_SKIP_FFPROBE") == 1;
    QElapsedTimer probeClock;
    probeClock.start();
    for (const QString &f : skipProbe ? QStringList() : files) {
        if (!run("ffprobe", {"-v", "quiet", "-show_streams", "-show_format", f})) {
            std::fprintf(stderr, "bench_import: ffprobe failed on %s\n", qPrintable(f));
            return 1;
        }
    }
    const qint64 ffprobeMs = probeClock.elapsed();

    TimedList list;
    list.resize(900, 500);
    list.show();

    qint64 longestGapMs = 0;
    QStringList longGaps; // where the window stalled, for a look at the cause
    QElapsedTimer tick;
    QElapsedTimer sinceStart;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = tick.restart();
        longestGapMs = qMax(longestGapMs, gap);
        if (gap > 50 && longGaps.size() < 10)
            longGaps << QString("%1 ms at %2 ms (%3 rows)").arg(gap).arg(sinceStart.elapsed()).arg(list.itemCount());
    });

    // The same ticker on an idle window first: what the machine's load alone
    // does to a 10 ms timer.
    qint64 idleGapMs = 0;
    {
        QTimer idleTicker;
        idleTicker.setInterval(10);
        QElapsedTimer idleTick;
        QObject::connect(&idleTicker, &QTimer::timeout, [&] { idleGapMs = qMax(idleGapMs, idleTick.restart()); });
        QTimer::singleShot(0, &list, [&] {
            idleTick.start();
            idleTicker.start();
        });
        QTimer::singleShot(3000, &app, &QApplication::quit);
        app.exec();
    }

    qint64 importMs = 0;
    QTimer::singleShot(0, &list, [&] {
        tick.start();
        sinceStart.start();
        ticker.start();
        QElapsedTimer clock;
        clock.start();
        list.addDropPaths({dir + "/clips"});
        importMs = clock.elapsed();
        ticker.stop();
        app.quit();
    });
    app.exec();

    const double ratio = double(importMs) / double(qMax<qint64>(1, ffprobeMs));
    std::printf("clips             %d\n", count);
    std::printf("rows              %d\n", list.itemCount());
    std::printf("import ms         %lld\n", static_cast<long long>(importMs));
    std::printf("ffprobe loop ms   %lld\n", static_cast<long long>(ffprobeMs));
    std::printf("import / ffprobe  %.3f   (target <= 1.5)\n", ratio);
    std::printf("longest GUI gap   %lld ms (target <= 100)\n", static_cast<long long>(longestGapMs));
    std::printf("longest list event %lld ms (type %d)\n", static_cast<long long>(list.longestEventMs),
                list.longestEventType);
    std::printf("idle window gap   %lld ms (the same timer for 3 s before the import)\n",
                static_cast<long long>(idleGapMs));
    for (const QString &g : longGaps)
        std::printf("  gap %s\n", qPrintable(g));
    return list.itemCount() == count ? 0 : 1;
}
