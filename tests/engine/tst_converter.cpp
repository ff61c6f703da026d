// The converter on the real engine with generated clips: progress, finish,
// stop reports, and the handles' lifetimes. Failures and merging are checked
// on the engine (zentrix tests) and through the queue (tst_queuerun), whose
// outputs ffprobe measures.
#include "engine/CAVConverter.h"
#include <zentrix.hpp>
#include "TestTools.h"
#include "TestEnv.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

Q_DECLARE_METATYPE(ConvertParams)

namespace {

struct Report {
    int percent;
    convertState state;
};

using TestTools::media;

// Outputs are measured by ffprobe; only the engine's own view of a source's
// end is read through the engine.
double probedSeconds(const QString &path) { return TestTools::ffprobe(path).duration; }

int64_t engineDurationUs(const QString &path)
{
    zxh::SourcePtr src(SourceCreate(-1));
    if (SourceOpenFile(src.get(), path.toUtf8().constData()) != 1)
        return -1;
    return SourceDuration(src.get());
}

ConvertParams h264Mp4(int width = 320, int height = 240)
{
    ConvertParams p;
    p.container = "mp4";
    p.videoCodecId = 28;
    p.width = width;
    p.height = height;
    p.frameRateNum = 25;
    p.frameRateDen = 1;
    p.videoBitRate = 800;
    p.videoQuality = 50;
    p.audioCodecId = 86018;
    p.sampleRate = 44100;
    p.channels = 2;
    p.audioBitRate = 128;
    return p;
}

// A heavier job, so that a stop or a poll lands while it runs.
ConvertParams slowMp4()
{
    ConvertParams p = h264Mp4(1280, 720);
    p.videoBitRate = 4000;
    p.videoQuality = 100;
    return p;
}

std::string utf8(const QString &s) { return s.toStdString(); }

} // namespace

// Stands in for a queue row: the callback records on the worker thread and
// emits the row's queued signal, as the row does.
class Recorder : public QObject {
    Q_OBJECT
public:
    Recorder()
    {
        qRegisterMetaType<convertState>("convertState");
        connect(this, SIGNAL(seedConvertPro(uint, convertState)), this,
                SLOT(UpdataConverPro(uint, convertState)), Qt::QueuedConnection);
    }

    static void callback(int percent, void *owner, convertState state)
    {
        auto *self = static_cast<Recorder *>(owner);
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_direct.push_back({percent, state});
        }
        emit self->seedConvertPro(uint(percent), state);
    }

    std::vector<Report> direct() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_direct;
    }
    int endCount() const
    {
        const auto d = direct();
        return int(std::count_if(d.begin(), d.end(), [](const Report &r) { return r.state != ConvertProgress; }));
    }
    convertState lastState() const
    {
        const auto d = direct();
        return d.empty() ? convertState(0) : d.back().state;
    }

    QList<QPair<uint, convertState>> queued;

signals:
    void seedConvertPro(uint pro, convertState state);

public slots:
    void UpdataConverPro(uint pro, convertState state) { queued.append({pro, state}); }

private:
    mutable std::mutex m_mutex; // guards m_direct
    std::vector<Report> m_direct;
};

// Records the elementary-stream callbacks (worker thread).
struct StreamRecorder {
    std::atomic<int> ends{0};
    std::mutex mutex; // guards everything below
    std::vector<int64_t> positions;
    int64_t total = -1;
    convertState state = convertState(0);

    static void position(int64_t written_us, void *owner)
    {
        auto *self = static_cast<StreamRecorder *>(owner);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->positions.push_back(written_us);
    }
    static void time(int64_t total_us, void *owner, convertState state)
    {
        auto *self = static_cast<StreamRecorder *>(owner);
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->ends;
        self->total = total_us;
        self->state = state;
    }
};

class TestConverter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(media("clip_10s.mp4")), "run the make_test_media fixture first");
        QVERIFY(m_out.isValid());
    }

    void convertReportsProgressThenFinished_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<ConvertParams>("params");
        QTest::addColumn<double>("expectedSeconds");
        QTest::addColumn<bool>("mustReportProgress");

        QTest::newRow("10 s H.264 at 720p") << "clip_10s.mp4" << slowMp4() << 10.0 << true;
        ConvertParams cc = h264Mp4();
        cc.subtitleStreamCount = 0;
        cc.subtitleIndex = 1; // the closed-caption entry; the clip has none
        QTest::newRow("closed captions asked, none present") << "clip_h264_aac.mp4" << cc << 5.0 << false;
        // A range that starts at the very end leaves nothing to convert: the job is
        // over before any poll could see it move, and its end is the only report.
        ConvertParams atEnd = h264Mp4();
        atEnd.trimStart = engineDurationUs(media("clip_h264_aac.mp4"));
        QTest::newRow("range starting at the end") << "clip_h264_aac.mp4" << atEnd << 0.0 << false;
    }

    void convertReportsProgressThenFinished()
    {
        QFETCH(QString, source);
        QFETCH(ConvertParams, params);
        QFETCH(double, expectedSeconds);
        QFETCH(bool, mustReportProgress);

        const QString output = m_out.filePath(QString("convert_%1.mp4").arg(QTest::currentDataTag()));
        Recorder rec;
        CAVConverter conv;
        QVERIFY(conv.StartConvert(utf8(media(source)), utf8(output), params, &rec, &Recorder::callback));
        QTRY_VERIFY_WITH_TIMEOUT(rec.endCount() > 0, 120000);

        const std::vector<Report> reports = rec.direct();
        QCOMPARE(rec.endCount(), 1);
        QCOMPARE(int(reports.back().state), int(ConvertFinished));
        QCOMPARE(reports.back().percent, 0);
        int previous = -1;
        for (size_t i = 0; i + 1 < reports.size(); ++i) {
            QCOMPARE(int(reports[i].state), int(ConvertProgress));
            QVERIFY(reports[i].percent >= previous && reports[i].percent <= 100);
            previous = reports[i].percent;
        }
        if (mustReportProgress)
            QVERIFY2(reports.size() >= 3, "a 10 s job at 720p should be polled several times");
        if (expectedSeconds == 0) {
            QVERIFY(params.trimStart > 0);
            QCOMPARE(int(reports.size()), 1);
        }
        QVERIFY(conv.LastError().empty());
        conv.StopConvert(); // after the job's own end a stop adds nothing
        QCOMPARE(rec.direct().size(), reports.size());

        // The same reports reach the GUI thread through the queued signal.
        QTRY_COMPARE_WITH_TIMEOUT(rec.queued.size(), int(reports.size()), 5000);
        QCOMPARE(int(rec.queued.back().second), int(ConvertFinished));

        const double seconds = expectedSeconds > 0 ? probedSeconds(output) : 0;
        QVERIFY2(qAbs(seconds - expectedSeconds) < 0.35, qPrintable(QString::number(seconds)));
    }

    void stopWaitsForTheWorker_data()
    {
        QTest::addColumn<bool>("waitForProgress");
        QTest::addColumn<bool>("releaseInsteadOfStop");
        QTest::newRow("stop while it runs") << true << false;
        QTest::newRow("stop right after the start") << false << false;
        QTest::newRow("converter released while it runs") << true << true;
    }

    void stopWaitsForTheWorker()
    {
        QFETCH(bool, waitForProgress);
        QFETCH(bool, releaseInsteadOfStop);
        const QString output = m_out.filePath(QString("stopped_%1.mp4").arg(QTest::currentDataTag()).replace(' ', '_'));
        Recorder rec;
        auto conv = std::make_unique<CAVConverter>();
        QVERIFY(conv->StartConvert(utf8(media("clip_10s.mp4")), utf8(output), slowMp4(), &rec, &Recorder::callback));
        if (waitForProgress)
            QTRY_VERIFY_WITH_TIMEOUT(!rec.direct().empty(), 30000); // the first report of a 10 s job is progress

        if (releaseInsteadOfStop) {
            conv.reset(); // stops, waits, releases; the owner hears nothing more
            QVERIFY(rec.endCount() == 0);
        } else {
            conv->StopConvert();
            // Returned only after the worker's last word, and that word is "stopped".
            QCOMPARE(rec.endCount(), 1);
            QCOMPARE(int(rec.lastState()), int(ConvertStopped));
            const size_t count = rec.direct().size();
            conv->StopConvert(); // nothing left to stop
            QCOMPARE(rec.direct().size(), count);
        }
        QVERIFY2(QFileInfo(output).size() > 0, "a stop deletes no file");
        if (!releaseInsteadOfStop) {
            const double seconds = probedSeconds(output);
            QVERIFY2(seconds >= 0.0 && seconds < 9.9, qPrintable(QString::number(seconds)));
        }
    }

    void stopsWithoutJobDoNothing()
    {
        Recorder rec;
        CAVConverter conv; // a stop without a job returns at once (a hang meets the test's timeout)
        conv.StopConvert();
        conv.StopMerge(true);
        conv.StopMerge(false);
        // Starting without paths, or adding to a merge never begun, fails before touching the engine.
        QVERIFY(!conv.StartConvert("", utf8(m_out.filePath("x.mp4")), h264Mp4(), &rec, &Recorder::callback));
        QVERIFY(!conv.AddMergeFile(utf8(media("clip_h264_aac.mp4")), h264Mp4(), &rec, &Recorder::callback));
    }

    void stopRacingTheEnd()
    {
        // A stop that lands around the job's own end: whichever side ends the
        // job closes it, and the owner hears exactly one end.
        ConvertParams p = h264Mp4();
        p.trimLength = 400000;
        for (int delayMs = 0; delayMs <= 400; delayMs += 40) {
            Recorder rec;
            CAVConverter conv;
            const QString output = m_out.filePath(QString("race_%1.mp4").arg(delayMs));
            QVERIFY(conv.StartConvert(utf8(media("clip_h264_aac.mp4")), utf8(output), p, &rec, &Recorder::callback));
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            conv.StopConvert();
            QCOMPARE(rec.endCount(), 1);
            const convertState end = rec.lastState();
            QVERIFY2(end == ConvertStopped || end == ConvertFinished, qPrintable(QString::number(end)));
            conv.StopConvert();
            QCOMPARE(rec.endCount(), 1);
        }
    }

    void elementaryStreams()
    {
        // Two seconds of silent 16-bit stereo PCM fed packet by packet; sample
        // times count in samples (the audio track's time base is its rate).
        const int rate = 44100;
        const int perPacket = 1024;
        StreamTrackInfo pcm;
        pcm.codecId = 65536;
        pcm.sampleRate = rate;
        pcm.channels = 2;

        CAVConverter conv;
        QCOMPARE(conv.AddTrackAt(5, 9, pcm), -1); // no such kind
        QCOMPARE(conv.AddTrackAt(ZX_TRACK_AUDIO, 7, pcm), 7);
        StreamSample sample;
        sample.data.assign(size_t(perPacket) * 4, 0);
        sample.duration = perPacket;
        sample.keyFrame = true;
        QVERIFY(!conv.WriteSample(sample, 7)); // not started yet

        ConvertParams params;
        params.container = "matroska";
        StreamRecorder rec;
        const QString output = m_out.filePath("streams.mkv");
        QVERIFY2(conv.StartStreams(utf8(output), params, &rec, &StreamRecorder::position, &StreamRecorder::time),
                 conv.LastError().c_str());
        QVERIFY(!conv.WriteSample(sample, 8)); // unknown track number
        const int packets = 2 * rate / perPacket;
        for (int i = 0; i < packets; ++i) {
            sample.pts = int64_t(i) * perPacket;
            QVERIFY(conv.WriteSample(sample, 7));
        }
        conv.FlushTracks();
        QTRY_COMPARE_WITH_TIMEOUT(rec.ends.load(), 1, 10000);
        const double expected = double(packets) * perPacket / rate;
        {
            std::lock_guard<std::mutex> lock(rec.mutex);
            QCOMPARE(int(rec.state), int(ConvertFinished));
            QVERIFY2(qAbs(rec.total / 1e6 - expected) < 0.05, qPrintable(QString::number(rec.total)));
            for (size_t i = 1; i < rec.positions.size(); ++i)
                QVERIFY(rec.positions[i] > rec.positions[i - 1]);
        }
        QVERIFY(!conv.WriteSample(sample, 7)); // the tracks are gone with the finished output
        const double seconds = probedSeconds(output);
        QVERIFY2(qAbs(seconds - expected) < 0.1, qPrintable(QString::number(seconds)));
    }

private:
    QTemporaryDir m_out;
};

VELMORA_TEST_MAIN(TestConverter)
#include "tst_converter.moc"
