// The import: the worker probing on its own thread behind the modal loading
// dialog, drops (files, folders, DVD folders, ISO images), cancel, DVD and
// ISO failures, probes that hang, and the lines the probe makes for audio
// and subtitle tracks.
#include "QueueTestSupport.h"

#include "history/QVXMessageDlg.h"
#include "queue/ImportJob.h"
#include "queue/ItemProbe.h"
#include "queue/QLoadingDlg.h"
#include "queue/QMainDlg.h"
#include "queue/VideoConvertBar.h"
#include "widgets/QCustomComboBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMimeData>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace QueueTest;

namespace {

// Answers the next message box: remembers its text and closes it.
struct MessageCatcher {
    QString text;
    QTimer timer;
    explicit MessageCatcher()
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QVXMessageDlg *>(w);
                if (box && box->isVisible()) {
                    text = box->message();
                    box->reject();
                }
            }
        });
        timer.start();
    }
};

QStringList names(const QMainDlg &list)
{
    QStringList n;
    for (VideoConvertBar *row : list.rows())
        n << row->displayName();
    return n;
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString tmp(const QString &name) const { return m_dir.path() + "/" + name; }

    std::unique_ptr<QMainDlg> newList()
    {
        auto list = std::make_unique<QMainDlg>();
        list->resize(900, 500);
        return list;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo::exists(media("dvd_multi.iso")), "run the make_test_media fixture first");
        OutputFormat::instance() = fastMp4();
        // A folder to drop: two media files among other things, and links
        // that must not be followed.
        QDir().mkpath(tmp("drop/sub"));
        QVERIFY(QFile::copy(media("clip_vp8_vorbis.webm"), tmp("drop/a.mkv")));
        QVERIFY(QFile::copy(media("clip_h264_aac.mp4"), tmp("drop/sub/c.mp4")));
        QFile txt(tmp("drop/b.txt"));
        QVERIFY(txt.open(QIODevice::WriteOnly));
        txt.write("not media\n");
        txt.close();
        QVERIFY(QFile::link(tmp("drop/sub/c.mp4"), tmp("drop/link.mp4")));
        QVERIFY(QFile::link(tmp("drop"), tmp("drop/sub/loop")));
        QVERIFY(QFile::copy(media("dvd.iso"), tmp("X.ISO")));
        QDir().mkpath(tmp("dvd folder"));
        QVERIFY(QFile::link(media("dvd_multi/VIDEO_TS"), tmp("dvd folder/VIDEO_TS")));
    }

    void init()
    {
        AppGlobals::setConverting(false);
        AppGlobals::setMerge(false);
        RowConversion::setMergeFlag(false);
    }

    void extensionTest()
    {
        QVERIFY(QMainDlg::isSupportedFile("/v/Movie.MKV"));         // capitals are lower-cased
        QVERIFY(!QMainDlg::isSupportedFile("/v/movie"));            // no dot
        QVERIFY(!QMainDlg::isSupportedFile("/v/dir.mkv/movie"));    // dot only in a folder name
        QVERIFY(QMainDlg::isSupportedFile("/v/cam.h.264"));         // two-dot extension
        QVERIFY(QMainDlg::isSupportedFile("/v/cam.264"));           // raw stream, the tail of .h.264
        QVERIFY(QMainDlg::isSupportedFile("/v/rec.DVR-MS"));        // extension with a dash
    }

    // Probe lines: untitled audio streams named by codec with the language
    // name, subtitle entries in their order with files found beside the source.
    void probeLines()
    {
        const QString movie = tmp("lines/movie.mkv");
        QDir().mkpath(tmp("lines"));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
                        "-f", "lavfi", "-i", "sine=frequency=440:duration=1",
                        "-f", "lavfi", "-i", "sine=frequency=880:duration=1",
                        "-map", "0:v", "-map", "1:a", "-map", "2:a", "-c:v", "mpeg4", "-c:a", "aac",
                        "-metadata:s:a:1", "language=ger", movie}));
        QVERIFY(QFile::copy(media("sample.srt"), tmp("lines/movie.srt")));
        QVERIFY(QFile::copy(media("sample.srt"), tmp("lines/movie.ass")));

        std::unique_ptr<ConverItemInfo> info = probeMediaFile(movie);
        QVERIFY(info);
        QCOMPARE(info->audioTracks, QStringList({"aac [1]", "aac (German)[2]"}));
        QStringList subs;
        QStringList subPaths;
        for (const subltItemInfo &s : info->subtitles) {
            subs << QString::fromStdString(s.name);
            subPaths << QString::fromStdString(s.path);
        }
        QCOMPARE(subs, QStringList({"[None]", "Video Internal CC", "(movie)[ASS]", "(movie)[SRT]"}));
        QCOMPARE(subPaths, QStringList({"", "", tmp("lines/movie.ass"), tmp("lines/movie.srt")}));

        // Embedded subtitle stream: language name, title, codec.
        info = probeMediaFile(media("clip_mkv_two_audio_sub.mkv"));
        QVERIFY(info);
        QCOMPARE(info->audioTracks, QStringList({"English Stereo (English)[1]", "French Stereo (French)[2]"}));
        QCOMPARE(info->subtitleStreamCount, 1);
        QCOMPARE(info->subtitles.at(1).name, std::string("English (English)[subrip]"));
    }

    // Sources go through the worker and become rows in order; unreadable
    // ones become rows without streams.
    void importFiles()
    {
        auto list = newList();
        // Completions counted on this thread (see cancelKeepsProbedRows).
        QList<bool> complete;
        connect(list.get(), &QMainDlg::seedAddComplete, list.get(), [&complete](bool dvd) { complete << dvd; });
        QSignalSpy counts(list.get(), &QMainDlg::seedLoadingCount);
        const QStringList files{media("zero.mp4"), media("random.mp4"), media("does not exist.mp4"),
                                media("truncated.mp4"), media("clip_h264_aac.mp4")};
        list->addImportFile(files);
        QStringList sources;
        for (VideoConvertBar *row : list->rows())
            sources << row->sourcePath();
        QCOMPARE(sources, files);
        for (int i = 0; i < 3; ++i) {
            VideoConvertBar *row = list->rows().at(i);
            QCOMPARE(row->durationShown(), QString("00:00"));
            QVERIFY(row->thumbnailFile().isEmpty());
            QCOMPARE(row->findChild<QCustomComboBox *>("m_cmbAudio")->count(), 0);
        }
        VideoConvertBar *clip = list->rows().last();
        QCOMPARE(clip->durationShown(), QString("00:05"));
        QCOMPARE(clip->displayName(), QString("clip_h264_aac.mp4"));
        QCOMPARE(clip->findChild<QCustomComboBox *>("m_cmbAudio")->count(), 1);
        // The subtitle lines are probeLines' business; the row shows them.
        QCOMPARE(clip->subtitleList().last().name, std::string("(clip_h264_aac)[SRT]"));
        QTRY_COMPARE(complete, QList<bool>{false});
        QCOMPARE(counts.last().at(0).toString(), QString("5/5"));
        QVERIFY(!list->isImporting());
        QVERIFY(!list->loadingDialog());
        QVERIFY(!list->rows().last()->thumbnailFile().isEmpty());

        // A second import adds to the first.
        list->addImportFile({media("audio_only.mp3")});
        QCOMPARE(list->itemCount(), 6);
        VideoConvertBar *mp3 = list->rows().last();
        QCOMPARE(mp3->sourcePath(), media("audio_only.mp3"));
        QCOMPARE(mp3->displayName(), QString("audio_only.mp4")); // the output's name
        QVERIFY(mp3->thumbnailFile().isEmpty());
        QCOMPARE(mp3->findChild<QCustomComboBox *>("m_cmbAudio")->count(), 1);
    }

    void drops()
    {
        // What is dropped, while converting or not; the rows (sorted display
        // names), DVD mode and the first text of the loading dialog.
        const struct { const char *what; QStringList paths; bool converting; QStringList rows; bool dvd; QString first; } drops[] = {
            {"folder: supported files below it, links not followed", {tmp("drop")}, false,
             {"a.mp4", "c.mp4"}, false, "Searching..."},
            {"files and a folder, unsupported file skipped",
             {media("video_only.mp4"), tmp("drop/b.txt"), tmp("drop/sub")}, false,
             {"c.mp4", "video_only.mp4"}, false, "Searching..."},
            {"ISO in capitals wins over the other items",
             {media("clip_h264_aac.mp4"), tmp("X.ISO"), media("audio_only.mp3")}, false,
             {"Title1.mp4", "Title2.mp4"}, true, "Title1"},
            {"DVD folder", {tmp("dvd folder")}, false, {"Title1.mp4", "Title2.mp4", "Title3.mp4"}, true, "Title1"},
            {"nothing while converting", {media("clip_h264_aac.mp4"), tmp("drop")}, true, {}, false, ""},
        };
        for (const auto &d : drops) {
            auto list = newList();
            QSignalSpy shown(list.get(), &QMainDlg::seedLoadingPath);
            AppGlobals::setConverting(d.converting);
            list->addDropPaths(d.paths);
            AppGlobals::setConverting(false);
            QStringList got = names(*list);
            got.sort();
            const QString line = QString("%1: %2, DVD %3, first \"%4\"").arg(d.what);
            QCOMPARE(line.arg(got.join(' ')).arg(list->isDvdMode()).arg(shown.isEmpty() ? QString() : shown.first().at(0).toString()),
                     line.arg(d.rows.join(' ')).arg(d.dvd).arg(d.first));
            for (VideoConvertBar *row : list->rows())
                QCOMPARE(row->fromDvd(), list->isDvdMode());
        }
    }

    // A drop carries file URLs; it reaches the list over the empty-list text
    // and over rows, and the import starts once the drop has finished.
    void dropEvent()
    {
        auto list = newList();
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const QString clip = media("clip_h264_aac.mp4");
        auto dropOn = [&](QWidget *target) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(clip), QUrl("https://example.org/x.mp4")});
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            return enter.isAccepted() && drop.isAccepted();
        };
        QWidget *emptyText = list->findChild<QWidget *>("m_labDrag");
        QVERIFY(emptyText && emptyText->isVisible());
        QVERIFY(dropOn(emptyText));
        QCOMPARE(list->itemCount(), 0); // not inside the drop
        QTRY_COMPARE_WITH_TIMEOUT(list->itemCount(), 1, 20000);
        QVERIFY(dropOn(list->rows().first()));
        QTRY_COMPARE_WITH_TIMEOUT(list->itemCount(), 2, 20000);
        QCOMPARE(list->rows().last()->sourcePath(), clip);

        QMimeData remoteOnly;
        remoteOnly.setUrls({QUrl("https://example.org/x.mp4")});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &remoteOnly, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.get(), &enter);
        QVERIFY(!enter.isAccepted());
    }

    // A DVD import replaces the list; titles become rows in order.
    void dvdImport()
    {
        const QStringList three{"1/3", "2/3", "3/3"};
        const struct { QString path; bool iso; int rows; QStringList counts; QString message; } imports[] = {
            {media("dvd_multi"), false, 3, three, ""},
            {media("dvd_multi.iso"), true, 3, three, ""},
            {media("empty_dir"), false, 0, {}, "Invalid DVD-VIDEO folder, please select another folder."},
            {media("plain_files.iso"), true, 0, {}, "Invalid ISO File, please select another one!"},
        };
        for (const auto &d : imports) {
            auto list = newList();
            list->addItemInfo(fakeItem("/m/earlier.avi"));
            QSignalSpy counts(list.get(), &QMainDlg::seedLoadingCount);
            MessageCatcher catcher;
            list->addDvdFolder(d.path, d.iso);
            QStringList shownCounts;
            for (const QList<QVariant> &c : counts)
                shownCounts << c.at(0).toString();
            // The box ran inside the import, so it has been answered by now.
            const QString line = QString("%1: %2 rows, counts %3, message \"%4\"").arg(d.path);
            QCOMPARE(line.arg(list->itemCount()).arg(shownCounts.join(' '), catcher.text),
                     line.arg(d.rows).arg(d.counts.join(' '), d.message));
            for (int i = 0; i < list->itemCount(); ++i) {
                VideoConvertBar *row = list->rows().at(i);
                QCOMPARE(row->displayName(), QString("Title%1.mp4").arg(i + 1));
                QCOMPARE(row->trackSelection().dvdTitle, i);
                QCOMPARE(row->sourcePath(), d.path);
            }
            // Each title keeps a picture of its own, though they share the disc's path.
            QSet<QString> pictures;
            for (VideoConvertBar *row : list->rows())
                pictures.insert(row->thumbnailFile());
            QCOMPARE(pictures.size(), list->itemCount());
            QVERIFY(!list->loadingDialog());
        }
    }

    void filesReplaceDvdTitles()
    {
        auto list = newList();
        list->addDvdFolder(media("dvd"));
        QCOMPARE(list->itemCount(), 2);
        QVERIFY(list->isDvdMode());
        list->addImportFile({media("clip_h264_aac.mp4")});
        QCOMPARE(names(*list), QStringList{"clip_h264_aac.mp4"});
        QVERIFY(!list->isDvdMode());
        QVERIFY(!list->rows().first()->fromDvd());
    }

    // Cancel keeps what was probed and ends the dialog; the next import runs.
    // A FIFO among the files: its open would block for good. It is left
    // out and the import goes on.
    void pipeIsLeftOut()
    {
        const QString fifo = tmp("pipe [1].mp4");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        std::atomic<bool> done{false};
        std::thread backstop([&] { // frees a reader stuck in open() after 5 s
            for (int i = 0; i < 500 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            while (!done) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        auto list = newList();
        MessageCatcher catcher;
        list->addImportFile({fifo, media("clip_h264_aac.mp4")});
        done = true;
        backstop.join();
        QVERIFY(!list->isImporting());
        QCOMPARE(catcher.text, QString("Not media files, left out:\npipe [1].mp4"));
        QCOMPARE(list->itemCount(), 1);
        QCOMPARE(list->rows().first()->sourcePath(), media("clip_h264_aac.mp4"));
        QFile::remove(fifo);
    }

    // A probe that hangs (as open() does on a stalled network mount) is left
    // behind: the import ends without it, files of its folder are not tried
    // while it hangs, Cancel and later imports do not wait for it, and what
    // it makes once it returns is dropped.
    void hangingProbeIsLeftBehind()
    {
        struct Gate {
            std::mutex mutex;
            std::condition_variable opened;
            bool open = false;
        };
        auto gate = std::make_shared<Gate>();
        ImportJob::setProber([gate](const QString &path) {
            if (path.contains("hang")) {
                std::unique_lock<std::mutex> lock(gate->mutex);
                gate->opened.wait(lock, [&] { return gate->open; });
            }
            return probeSource(path, 0, false);
        });
        // Well above what a real probe of a test clip takes, even on a busy machine.
        ImportJob::setStallLimit(std::chrono::seconds(2));
        QDir().mkpath(tmp("stalled"));
        QDir().mkpath(tmp("stalled too"));
        const QString hanging = tmp("stalled/a hang.mp4");
        const QString sameFolder = tmp("stalled/b.mp4");
        const QString cancelled = tmp("stalled too/c hang.mp4");
        for (const QString &f : {hanging, sameFolder, cancelled})
            QVERIFY(QFileInfo::exists(f) || QFile::copy(media("clip_h264_aac.mp4"), f));

        auto list = newList();
        MessageCatcher catcher;
        list->addImportFile({hanging, sameFolder, media("clip_h264_aac.mp4")});
        QVERIFY(!list->isImporting());
        QVERIFY2(catcher.text.contains("a hang.mp4\nb.mp4"), qPrintable(catcher.text));
        QCOMPARE(names(*list), QStringList{"clip_h264_aac.mp4"});

        // Cancel does not wait for a hanging probe either; a cancelled probe
        // is no failure to report.
        ImportJob::setStallLimit(std::chrono::minutes(5));
        catcher.text.clear();
        QTimer::singleShot(300, list.get(), &QMainDlg::StopAddFileThree);
        list->addImportFile({cancelled});
        QVERIFY(!list->isImporting());
        QVERIFY(catcher.text.isEmpty());

        // A later import runs while both still hang.
        list->addImportFile({media("clip_mpeg4_mp3.avi")});
        QCOMPARE(list->itemCount(), 2);

        // Once they return, what they made goes nowhere, and the folder is
        // tried again.
        {
            std::lock_guard<std::mutex> lock(gate->mutex);
            gate->open = true;
        }
        gate->opened.notify_all();
        QVERIFY(ImportJob::waitForHelpers(std::chrono::seconds(30)));
        QCoreApplication::processEvents();
        QCOMPARE(list->itemCount(), 2);
        list->addImportFile({sameFolder});
        QCOMPARE(names(*list), QStringList({"clip_h264_aac.mp4", "clip_mpeg4_mp3.mp4", "b.mp4"}));
        ImportJob::setProber(nullptr);
        ImportJob::setStallLimit(std::chrono::seconds(30));
    }

    void cancelKeepsProbedRows()
    {
        QDir().mkpath(tmp("many"));
        QStringList files;
        for (int i = 0; i < 100; ++i) {
            const QString f = tmp(QString("many/clip%1.mp4").arg(i, 3, 10, QChar('0')));
            if (!QFileInfo::exists(f) && !QFile::link(media("video_only.mp4"), f))
                QVERIFY(QFile::copy(media("video_only.mp4"), f));
            files << f;
        }
        auto list = newList();
        int received = 0;
        QMainDlg *l = list.get();
        connect(l, &QMainDlg::seedAddItemInfo, l, [&received, l] {
            if (++received == 10)
                l->StopAddFileThree();
        }, Qt::DirectConnection);
        // Counted on this thread: the worker emits the completion, and the
        // queued call that closes the dialog may run here before a spy's
        // direct call in the worker has counted it.
        int completions = 0;
        connect(l, &QMainDlg::seedAddComplete, l, [&completions] { ++completions; });
        list->addImportFile(files);
        QCOMPARE(list->itemCount(), 10);
        QTRY_COMPARE(completions, 1);
        QVERIFY(!list->loadingDialog());
        QCOMPARE(list->rows().last()->sourcePath(), files.at(9));

        // The stop does not leak into the next import.
        list->addImportFile(files.mid(10, 2));
        QCOMPARE(list->itemCount(), 12);
    }

    // Cancel in the dialog itself: the dialog closes and asks once to stop.
    void loadingDialogCancel()
    {
        for (const QString &button : {QString("m_btnCancel"), QString("m_btnClose"), QString() /* Escape */}) {
            QLoadingDlg dlg;
            QSignalSpy stop(&dlg, &QLoadingDlg::seedStopAddFile);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            if (button.isEmpty())
                QTest::keyClick(&dlg, Qt::Key_Escape);
            else
                dlg.findChild<QAbstractButton *>(button)->click();
            QVERIFY2(stop.count() == 1 && !dlg.isVisible(), qPrintable(button));
        }
    }
};

VELMORA_TEST_MAIN(TestImport)
#include "tst_import.moc"
