// Conversion runs of the queue on the real engine with generated clips: rows
// two (or one) at a time, failures, merging, stopping, the history file, the
// badge and the shut-down after a run.
#include "QueueTestSupport.h"

#include <zentrix.h>
#include "queue/QMainDlg.h"
#include "queue/VideoConvertBar.h"
#include "base/AppPaths.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

using namespace QueueTest;

namespace {

QStringList filesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files);
    names.sort();
    return names;
}

// Unfinished outputs: hidden files beside the final names.
QStringList partsIn(const QString &dir)
{
    return QDir(dir).entryList({"*.part"}, QDir::Files | QDir::Hidden);
}

// Watches a run every few milliseconds: how many rows convert at once, and
// how many reports of a finished row came before each row started.
class RunWatch : public QObject
{
public:
    explicit RunWatch(QMainDlg *list)
        : m_list(list)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { look(); });
        connect(list, &QMainDlg::emitConvertedFinish, this, [this] { ++finished; });
        for (VideoConvertBar *row : list->rows())
            connect(row, &VideoConvertBar::emitConvertedFinish, this, [this] { ++ended; });
        m_rows = list->rows();
        m_timer.start(5);
    }

    int maxConverting = 0;
    int finished = 0;          // history records (the badge's count)
    int ended = 0;             // rows that reported an end, good or bad
    QList<int> endedBeforeStart; // per row in list order; -1 = never seen converting

private:
    void look()
    {
        if (endedBeforeStart.isEmpty())
            endedBeforeStart = QList<int>(m_rows.size(), -1);
        int converting = 0;
        const QList<VideoConvertBar *> alive = m_list->rows();
        for (int i = 0; i < m_rows.size(); ++i) {
            if (!alive.contains(m_rows[i]))
                continue;
            if (m_rows[i]->rowState() == VideoConvertBar::RowConverting) {
                ++converting;
                if (endedBeforeStart[i] < 0)
                    endedBeforeStart[i] = ended;
            }
        }
        maxConverting = qMax(maxConverting, converting);
    }

    QMainDlg *m_list;
    QList<VideoConvertBar *> m_rows;
    QTimer m_timer;
};

} // namespace

class TestQueueRun : public QObject
{
    Q_OBJECT

    QString m_out;

    std::unique_ptr<QMainDlg> listOf(const QStringList &names)
    {
        auto list = std::make_unique<QMainDlg>();
        list->setShutdownCommand("false", {}); // never the real one
        QStringList paths;
        for (const QString &n : names)
            paths << media(n);
        list->addImportFile(paths);
        return list;
    }

    // Heavier jobs, so that what the test does lands while they run.
    static void startHeavy(QMainDlg *list, bool merge)
    {
        OutputFormat &f = OutputFormat::instance();
        f.width = 1280;
        f.height = 720;
        f.videoBitRate = 4000;
        if (merge)
            list->mergeAll();
        else
            list->convertAll();
    }

    static bool waitIdle(QMainDlg *list, int ms = 90000)
    {
        QElapsedTimer t;
        t.start();
        while (list->isRunning() && t.elapsed() < ms)
            QTest::qWait(20);
        return !list->isRunning();
    }

private slots:
    void initTestCase()
    {
        registerItemRecordTypes();
        ZxStartup(0, 0);
    }

    void init()
    {
        OutputFormat::instance() = fastMp4();
        m_out = freshOutputFolder("run");
        clearHistory();
        setFormatId("1101");
        setShutdown(false);
        AppGlobals::setMerge(false);
    }

    void rowsConvertTwoAtATime_data()
    {
        QTest::addColumn<QString>("formatId");
        QTest::addColumn<int>("parallel");
        QTest::newRow("two at a time") << "1101" << 2;
        QTest::newRow("4016 one after another") << "4016" << 1;
    }

    // The whole road: rows to output files, history entries and the badge.
    void rowsConvertTwoAtATime()
    {
        QFETCH(QString, formatId);
        QFETCH(int, parallel);
        setFormatId(formatId);
        // The two same-named sources start together.
        auto list = listOf({"clip_h264_aac.mp4", "clip_h264_aac.mp4", "clip_mpeg4_mp3.avi"});
        QCOMPARE(list->itemCount(), 3);
        const QString thumb = list->rows().at(0)->thumbnailFile();
        QSignalSpy started(list.get(), &QMainDlg::emitIsStartConverter);
        QSignalSpy hasItems(list.get(), &QMainDlg::seedIsAddItem);
        RunWatch watch(list.get());
        // What a run killed earlier left under the first output's part name.
        QVERIFY(writeFile(m_out + ".clip_h264_aac.mp4.part", "unfinished"));

        list->convertAll();
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toBool(), true);
        int converting = 0, waiting = 0;
        for (VideoConvertBar *row : list->rows()) {
            converting += row->rowState() == VideoConvertBar::RowConverting;
            waiting += row->rowState() == VideoConvertBar::RowWaiting;
        }
        QCOMPARE(converting, parallel);
        QCOMPARE(waiting, 3 - parallel);

        QVERIFY(waitIdle(list.get()));
        QCOMPARE(watch.maxConverting, parallel);
        // The last row started only after an earlier one had ended.
        QVERIFY(watch.endedBeforeStart.value(2) >= 1);
        if (parallel == 1)
            QCOMPARE(watch.endedBeforeStart.value(1), 1);

        // Rows left the list; the badge and the main window heard of it.
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(watch.finished, 3);
        QCOMPARE(started.last().at(0).toBool(), false);
        QCOMPARE(hasItems.last().at(0).toBool(), false);

        // Same names became name(1), the stale part file went; every file
        // is a real conversion.
        QCOMPARE(partsIn(m_out), QStringList());
        QCOMPARE(filesIn(m_out),
                 QStringList({"clip_h264_aac(1).mp4", "clip_h264_aac.mp4", "clip_mpeg4_mp3.mp4"}));
        for (const QString &name : filesIn(m_out)) {
            const Streams p = ffprobe(m_out + name);
            QVERIFY2(p.ok && p.videoCount == 1, qPrintable(name + ": " + p.error));
            QCOMPARE(p.width(), 160);
            QVERIFY2(p.duration > 3.5 && p.duration < 6.0, qPrintable(name));
        }

        // The history lists what converted, as the rows showed it.
        QStringList listed = ParserXML::listConvertedFiles();
        listed.sort();
        QCOMPARE(listed, QStringList({m_out + "clip_h264_aac(1).mp4", m_out + "clip_h264_aac.mp4",
                                      m_out + "clip_mpeg4_mp3.mp4"}));
        const auto entry = ParserXML::convertedFile(m_out + "clip_h264_aac.mp4");
        QVERIFY(entry.has_value());
        QCOMPARE(entry->extend, QString("mp4"));
        QCOMPARE(entry->resolution, QString("160*120"));
        QCOMPARE(entry->time, QString("00:05"));
        QCOMPARE(entry->size, AppPaths::sizeText(QFileInfo(m_out + "clip_h264_aac.mp4").size()));
        QCOMPARE(entry->imgPath, thumb);
        QVERIFY(QFileInfo::exists(thumb));
    }

    void failedRowStaysAndTheRunGoesOn_data()
    {
        QTest::addColumn<QString>("source");     // empty: probed clip; else a file the engine refuses
        QTest::addColumn<bool>("blockOutput");   // the output folder cannot be created
        QTest::addColumn<int>("sizeLimitKiB");   // writes fail past this size, mid-job
        QTest::addColumn<int>("failed");
        QTest::addColumn<int>("converted");
        // Every kind of broken source is refused by the engine (zentrix Hostile
        // tests); one is enough to show the run carries on past it.
        QTest::newRow("corrupt source") << "random.mp4" << false << 0 << 1 << 2;
        QTest::newRow("unwritable output") << "" << true << 0 << 3 << 0;
        QTest::newRow("output cut off while writing") << "" << false << 24 << 3 << 0;
    }

    void failedRowStaysAndTheRunGoesOn()
    {
        QFETCH(QString, source);
        QFETCH(bool, blockOutput);
        QFETCH(int, sizeLimitKiB);
        QFETCH(int, failed);
        QFETCH(int, converted);
        setShutdown(true);
        const QString marker = TestEnv::root() + "/powered-off-" + QTest::currentDataTag();
        QFile::remove(marker);

        auto list = std::make_unique<QMainDlg>();
        list->setShutdownCommand("touch", {marker});
        // The bad row first, so the run has to carry on past it.
        if (!source.isEmpty()) {
            list->addItemInfo(fakeItem(media(source)));
            list->addImportFile({media("clip_h264_aac.mp4"), media("clip_mpeg4_mp3.avi")});
        } else {
            list->addImportFile({media("clip_h264_aac.mp4"), media("clip_mpeg4_mp3.avi"), media("video_only.mp4")});
        }
        if (blockOutput) {
            QFile blocker(m_out + "file");
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            AppGlobals::setOutputFolder(m_out + "file/sub/");
        }
        QCOMPARE(list->itemCount(), 3);
        VideoConvertBar *bad = list->rows().first();
        QSignalSpy badEnded(bad, &VideoConvertBar::emitConvertedFinish);
        RunWatch watch(list.get());

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (sizeLimitKiB > 0) {
            OutputFormat::instance().videoBitRate = 2000; // past the limit within the first second
            rlimit limited = saved;
            limited.rlim_cur = rlim_t(sizeLimitKiB) * 1024;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        }
        QStringList existedAtFailure;
        connect(list.get(), &QMainDlg::emitDownedCount, this, [&] {
            for (VideoConvertBar *row : list->rows())
                if (row->rowState() == VideoConvertBar::RowConverting
                    && QFileInfo::exists(RowConversion::partPath(row->outputPath())))
                    existedAtFailure << row->outputPath();
        });
        list->convertAll();
        const bool idle = waitIdle(list.get());
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
        QVERIFY(idle);
        QCOMPARE(badEnded.count(), 1);
        QCOMPARE(badEnded.at(0).at(0).toBool(), false);

        QCOMPARE(list->itemCount(), failed);
        for (VideoConvertBar *row : list->rows()) {
            QCOMPARE(row->rowState(), int(VideoConvertBar::RowFailed));
            QVERIFY(!row->failureReason().isEmpty());
            QVERIFY2(!QFileInfo::exists(row->outputPath()), qPrintable(row->outputPath()));
        }
        QCOMPARE(partsIn(m_out), QStringList());
        QCOMPARE(watch.finished, converted);
        QCOMPARE(ParserXML::listConvertedFiles().size(), converted);
        QCOMPARE(filesIn(m_out).size(), converted + (blockOutput ? 1 : 0));
        if (sizeLimitKiB > 0) // the engine had written part of a file, which went
            QVERIFY(!existedAtFailure.isEmpty());
        // Failed rows do not cancel the shut-down the user asked for.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 5000);

        // A failed row may be converted again once its cause is gone.
        if (blockOutput) {
            AppGlobals::setOutputFolder(m_out);
            list->convertAll();
            QVERIFY(waitIdle(list.get()));
            QCOMPARE(list->itemCount(), 0);
            QCOMPARE(ParserXML::listConvertedFiles().size(), 3);
        }
    }

    void noOutputFolderWritesNothing()
    {
        AppGlobals::setOutputFolder(QString());
        auto list = listOf({"clip_h264_aac.mp4", "clip_mpeg4_mp3.avi"});
        list->convertAll();
        QVERIFY(waitIdle(list.get(), 10000));
        QCOMPARE(list->itemCount(), 2);
        for (VideoConvertBar *row : list->rows()) {
            QCOMPARE(row->rowState(), int(VideoConvertBar::RowFailed));
            QVERIFY(row->outputPath().isEmpty());
        }
        QVERIFY(!QFileInfo::exists("/clip_h264_aac.mp4"));
        QVERIFY(ParserXML::listConvertedFiles().isEmpty());
    }

    void mergeOfThree_data()
    {
        QTest::addColumn<QString>("badSource"); // empty: all three sources are good
        QTest::addColumn<int>("badAt");
        QTest::newRow("three sources") << QString() << -1;
        QTest::newRow("a corrupt source in the middle") << "random.mp4" << 1;
        // The merged file takes the name of the first source that made it in.
        QTest::newRow("a corrupt first source") << "random.mp4" << 0;
    }

    void mergeOfThree()
    {
        QFETCH(QString, badSource);
        QFETCH(int, badAt);
        auto list = std::make_unique<QMainDlg>();
        list->setShutdownCommand("false", {});
        const QStringList good{"clip_h264_aac.mp4", "clip_mpeg4_mp3.avi", "name with spaces [1] ü.mp4"};
        for (int i = 0; i < good.size(); ++i) {
            if (i == badAt)
                list->addItemInfo(fakeItem(media(badSource)));
            list->addImportFile({media(good.at(i))});
        }
        QCOMPARE(list->itemCount(), badSource.isEmpty() ? 3 : 4);
        qint64 total = 0;
        for (VideoConvertBar *row : list->rows())
            if (row->sourcePath() != media(badSource))
                total += row->convertedLength();
        RunWatch watch(list.get());
        QSignalSpy started(list.get(), &QMainDlg::emitIsStartConverter);

        list->mergeAll();
        QVERIFY(RowConversion::mergeFlag());
        QVERIFY(waitIdle(list.get()));
        QCOMPARE(watch.maxConverting, 1);
        QCOMPARE(watch.finished, 1);
        QCOMPARE(started.last().at(0).toBool(), false);
        QVERIFY(!RowConversion::hasMergeConverter());
        QVERIFY(!RowConversion::mergeFlag());
        // Merged sources leave the list; a failed one stays, marked.
        QCOMPARE(list->itemCount(), badSource.isEmpty() ? 0 : 1);
        if (!badSource.isEmpty())
            QCOMPARE(list->rows().first()->rowState(), int(VideoConvertBar::RowFailed));

        QCOMPARE(filesIn(m_out), QStringList{"clip_h264_aac.mp4"});
        const QString merged = m_out + "clip_h264_aac.mp4";
        const Streams p = ffprobe(merged);
        QVERIFY2(p.ok && p.videoCount == 1, qPrintable(p.error));
        QVERIFY2(qAbs(p.duration - total / 1e6) < 1.5, qPrintable(QString::number(p.duration)));

        QCOMPARE(ParserXML::listConvertedFiles(), QStringList{merged});
        const auto entry = ParserXML::convertedFile(merged);
        QVERIFY(entry.has_value());
        QCOMPARE(entry->time, AppPaths::durationText(total));
        QCOMPARE(entry->size, QString::number(QFileInfo(merged).size() / 1048576.0, 'f', 2));
    }

    // The output folder goes while the rows convert: what they wrote is
    // lost, so nothing is recorded and the rows stay, failed.
    void deletedOutputFolderRecordsNothing()
    {
        for (const bool merge : {false, true}) {
            init();
            auto list = listOf({"clip_10s.mp4", "clip_10s.mp4"});
            RunWatch watch(list.get());
            startHeavy(list.get(), merge);
            QCOMPARE(list->rows().first()->rowState(), int(VideoConvertBar::RowConverting));
            QTest::qWait(300);
            QVERIFY(QDir(m_out).removeRecursively());
            QVERIFY(waitIdle(list.get()));
            QCOMPARE(watch.finished, 0);
            QVERIFY(ParserXML::listConvertedFiles().isEmpty());
            QCOMPARE(list->itemCount(), 2);
            for (VideoConvertBar *row : list->rows()) {
                QCOMPARE(row->rowState(), int(VideoConvertBar::RowFailed));
                QVERIFY(!row->failureReason().isEmpty());
            }
        }
    }

    void stopLeavesTheRows()
    {
        for (const bool merge : {false, true}) {
            init();
            auto list = listOf({"clip_10s.mp4", "clip_10s.mp4", "clip_10s.mp4"});
            QSignalSpy started(list.get(), &QMainDlg::emitIsStartConverter);
            RunWatch watch(list.get());
            startHeavy(list.get(), merge);
            QVERIFY(list->rows().first()->rowState() == VideoConvertBar::RowConverting);
            QTest::qWait(300);
            QVERIFY(list->isRunning());
            // What a crash or a kill would leave now: nothing under a final
            // name, only the hidden files being written.
            QCOMPARE(filesIn(m_out), QStringList());
            QCOMPARE(partsIn(m_out).size(), merge ? 1 : 2);

            list->stopConvert();
            QVERIFY(!list->isRunning());
            QVERIFY(list->runList().isEmpty());
            QCOMPARE(started.last().at(0).toBool(), false);
            QCOMPARE(list->itemCount(), 3);
            for (VideoConvertBar *row : list->rows()) {
                QCOMPARE(row->rowState(), int(VideoConvertBar::RowIdle));
                QVERIFY(!row->isProgressVisible());
            }
            QVERIFY(!RowConversion::hasMergeConverter());
            // The stop keeps what was converted, finished so that it plays,
            // under its final name.
            QCOMPARE(partsIn(m_out), QStringList());
            QCOMPARE(filesIn(m_out).size(), merge ? 1 : 2);
            for (const QString &name : filesIn(m_out)) {
                const Streams p = ffprobe(m_out + name);
                QVERIFY2(p.ok && p.videoCount == 1 && p.duration > 0.1, qPrintable(name + ": " + p.error));
            }
            // Nothing starts afterwards and nothing is recorded.
            QTest::qWait(400);
            for (VideoConvertBar *row : list->rows())
                QCOMPARE(row->rowState(), int(VideoConvertBar::RowIdle));
            QCOMPARE(watch.finished, 0);
            QVERIFY(ParserXML::listConvertedFiles().isEmpty());

            // The list runs again from there; a new merged run opens a new file.
            const QStringList before = filesIn(m_out);
            OutputFormat::instance() = fastMp4();
            watch.finished = 0;
            if (merge)
                list->mergeAll();
            else
                list->convertAll();
            QVERIFY(waitIdle(list.get()));
            QCOMPARE(list->itemCount(), 0);
            QCOMPARE(watch.finished, merge ? 1 : 3);
            QCOMPARE(filesIn(m_out).size(), before.size() + (merge ? 1 : 3));
            if (merge)
                QCOMPARE(ParserXML::listConvertedFiles(), QStringList{m_out + "clip_10s(1).mp4"});
        }
    }
};

VELMORA_TEST_MAIN(TestQueueRun)
#include "tst_queuerun.moc"
