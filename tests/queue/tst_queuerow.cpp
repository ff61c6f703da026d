// The queue row without conversions: output facts, output paths, the
// thumbnail cache, stream choice, the job it would start, mouse selection,
// state-driven controls, renaming, and the part files killed runs left.
#include "QueueTestSupport.h"

#include "history/ConvertedItem.h"
#include "TestTools.h"
#include "queue/ItemProbe.h"
#include "queue/RowOutput.h"
#include "queue/RowPicture.h"
#include "queue/VideoConvertBar.h"
#include "widgets/QCustomComboBox.h"
#include "widgets/RetractLabel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace QueueTest;

class TestQueueRow : public QObject
{
    Q_OBJECT

    std::unique_ptr<VideoConvertBar> rowFor(ConverItemInfo *info, bool dvd = false)
    {
        auto row = std::make_unique<VideoConvertBar>();
        row->resize(820, 84);
        row->setItemInfo(info, dvd);
        return row;
    }

private slots:
    void init()
    {
        OutputFormat::instance() = fastMp4();
        RowConversion::setMergeFlag(false);
    }

    void outputFacts()
    {
        const qint64 tenMin = 600LL * 1000000;
        // Source length, video and audio streams, an audio-only output, the
        // output width (0: the source's), the trim, and the texts shown.
        const struct { const char *what; qint64 durationUs; bool video, audio, audioOnly; int outWidth;
                       qint64 trimStart, trimEnd; const char *size, *duration, *resolution; } rows[] = {
            // (1000 + 128) kbit/s for 600 s, 2 % overhead.
            {"video and audio", tenMin, true, true, false, 640, 0, 0, "82.29 MB", "10:00", "640*360"},
            {"audio-only output drops the video rate", tenMin, true, true, true, 640, 0, 0, "9.34 MB", "10:00", "0*0"},
            {"no audio stream", tenMin, true, false, false, 640, 0, 0, "72.96 MB", "10:00", "640*360"},
            {"source size when the output keeps it", tenMin, true, true, false, 0, 0, 0, "82.29 MB", "10:00", "1280*720"},
            {"whole seconds only", 999999, true, true, false, 640, 0, 0, "0 B", "00:00", "640*360"},
            {"trim decides the length", tenMin, true, true, false, 640, 60000000, 120000000, "8.23 MB", "01:00", "640*360"},
            {"over an hour", 3725LL * 1000000, false, true, false, 640, 0, 0, "57.98 MB", "01:02:05", "0*0"},
        };
        QStringList expected, got;
        for (const auto &r : rows) {
            OutputFormat &f = OutputFormat::instance();
            f.videoBitRate = 1000;
            f.audioBitRate = 128;
            f.audioOnly = r.audioOnly;
            f.width = r.outWidth;
            f.height = r.outWidth ? 360 : 0;
            auto row = rowFor(fakeItem("/media/a.avi", r.durationUs, r.video, r.audio, 1280, 720));
            row->setTrimRange(r.trimStart, r.trimEnd);
            const QString line = QString("%1: %2, %3, %4").arg(r.what);
            expected << line.arg(QString(r.size), QString(r.duration), QString(r.resolution));
            got << line.arg(row->sizeShown(), row->durationShown(), row->resolutionShown());
            QCOMPARE(row->findChild<QLabel *>("m_labSize")->text(), row->sizeShown());
            QCOMPARE(row->findChild<QLabel *>("m_labResolution")->text(), row->resolutionShown());
        }
        QCOMPARE(got, expected);
    }

    void namesFollowTheOutputExtension()
    {
        const struct { const char *what; QString path; bool dvd; int title; QString name; } cases[] = {
            {"extension replaced", "/m/clip.avi", false, 0, "clip.mp4"},
            {"only the last dot", "/m/a.b.c.mkv", false, 0, "a.b.c.mp4"},
            {"no extension keeps the name", "/m/noext", false, 0, "noext.mp4"},
            {"dot in a folder name only", "/m/dir.v2/noext", false, 0, "noext.mp4"},
            {"DVD title counts from 1", "/m/dvd", true, 2, "Title3.mp4"},
        };
        for (const auto &c : cases) {
            OutputFormat::instance().ext = "mp4";
            ConverItemInfo *info = fakeItem(c.path);
            info->dvdTitle = c.title;
            auto row = rowFor(info, c.dvd);
            QVERIFY2(row->displayName() == c.name, qPrintable(QString(c.what) + ": " + row->displayName()));
            QCOMPARE(row->findChild<RetractLabel *>("m_labVideoName")->fullText(), row->displayName());

            OutputFormat::instance().ext = "mkv";
            row->formatChanged();
            QVERIFY2(row->displayName() == c.name.chopped(3) + "mkv", qPrintable(QString(c.what) + ": " + row->displayName()));
            QCOMPARE(row->findChild<QLabel *>("m_labFormat")->text(), QString("mkv"));
        }
    }

    void outputPathNeverOverwrites()
    {
        // Names already there ("/" marks a folder) and the name chosen.
        const QList<QPair<QStringList, QString>> cases{
            {{}, "clip.mp4"},
            {{"clip.mp4"}, "clip(1).mp4"},
            {{"clip.mp4", "clip(1).mp4"}, "clip(2).mp4"},
            {{"clip.mp4", "clip(2).mp4"}, "clip(1).mp4"}, // a gap is reused
            {{"clip.mp4/"}, "clip(1).mp4"},               // a folder of that name counts
        };
        for (const auto &[existing, expected] : cases) {
            const QString dir = freshOutputFolder("paths") + "sub/deeper"; // no trailing slash
            QDir().mkpath(dir);
            for (const QString &name : existing) {
                if (name.endsWith('/'))
                    QDir().mkpath(dir + "/" + name);
                else
                    QVERIFY(writeFile(dir + "/" + name, ""));
            }
            QCOMPARE(RowOutput::uniqueOutputPath(dir, "clip.avi", "mp4"), dir + "/" + expected);
            QCOMPARE(RowOutput::uniqueOutputPath(dir + "/", "clip.avi", "mp4"), dir + "/" + expected);
        }
        const QString created = freshOutputFolder("paths") + "made/on/demand/";
        QCOMPARE(RowOutput::uniqueOutputPath(created, "clip", "mp4"), created + "clip.mp4");
        QVERIFY(QDir(created).exists());
    }

    void thumbnailIsCachedOnce()
    {
        const QString source = "/media/thumb source ü.mp4";
        const QString cache = RowOutput::thumbnailCachePath(source);
        QFile::remove(cache);

        ConverItemInfo *info = fakeItem(source);
        info->thumbnail = QImage(640, 360, QImage::Format_RGB32);
        info->thumbnail.fill(Qt::red);
        auto row = rowFor(info);
        QCOMPARE(row->thumbnailFile(), cache);
        const QSize fitted = QSize(640, 360).scaled(120, 120, Qt::KeepAspectRatio);
        QImage stored(cache);
        QCOMPARE(stored.size(), fitted); // fits 120 x 120, aspect kept
        QVERIFY(qRed(stored.pixel(60, 30)) > 200);

        // An existing cache file is kept as it is.
        ConverItemInfo *again = fakeItem(source);
        again->thumbnail = QImage(100, 100, QImage::Format_RGB32);
        again->thumbnail.fill(Qt::blue);
        auto second = rowFor(again);
        QCOMPARE(QImage(cache).size(), fitted);
        QVERIFY(qRed(QImage(cache).pixel(60, 30)) > 200);

        // No picture, no cache file, and the history entry carries no image.
        const QString none = "/media/no picture.mp3";
        QFile::remove(RowOutput::thumbnailCachePath(none));
        auto audio = rowFor(fakeItem(none, 1000000, false, true));
        QVERIFY(audio->thumbnailFile().isEmpty());
        QVERIFY(!QFileInfo::exists(RowOutput::thumbnailCachePath(none)));
        QVERIFY(audio->convertedFileInfo().imgPath.isEmpty());
    }

    // The picture is made for the screen's device pixel ratio (run once more
    // with QT_SCALE_FACTOR=2): as many device pixels as the area shows.
    void pictureIsSharpAtTheScreensRatio()
    {
        ConverItemInfo *info = fakeItem("/media/sharp picture.mp4");
        info->thumbnail = QImage(1280, 720, QImage::Format_RGB32);
        info->thumbnail.fill(Qt::darkCyan);
        auto row = rowFor(info);
        row->resize(900, 84);
        row->show();
        QVERIFY(QTest::qWaitForWindowExposed(row.get()));
        auto *picture = row->findChild<RowPicture *>("m_videoIconWidget");
        QVERIFY(picture);
        const qreal ratio = picture->devicePixelRatioF();
        QCOMPARE(ratio, qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0);
        picture->repaint();
        const QPixmap shown = picture->shownPicture();
        QCOMPARE(shown.devicePixelRatio(), ratio);
        // It fills the area along one side, in device pixels, aspect kept.
        const QSize area = picture->size() * ratio;
        const QString seen = QString("%1x%2 in %3x%4").arg(shown.width()).arg(shown.height()).arg(area.width()).arg(area.height());
        QVERIFY2(shown.width() <= area.width() && shown.height() <= area.height(), qPrintable(seen));
        QVERIFY2(qAbs(shown.width() - area.width()) <= 1 || qAbs(shown.height() - area.height()) <= 1, qPrintable(seen));
        QVERIFY2(qAbs(double(shown.width()) / shown.height() - 16.0 / 9.0) < 0.03, qPrintable(seen));
    }

    void thumbnailsStayPrivateAndOnlyRegularFilesAreRead()
    {
        const QString cache = RowOutput::thumbnailCachePath("/media/private.mp4");
        const QString folder = QFileInfo(cache).path();
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0700);

        // A link planted under the name the row writes: the file it points
        // to is never made, the name gets a picture of its own.
        const QString victim = TestEnv::root() + "/victim.xml";
        QFile::remove(cache);
        QVERIFY(QFile::link(victim, cache));
        ConverItemInfo *info = fakeItem("/media/private.mp4");
        info->thumbnail = QImage(64, 48, QImage::Format_RGB32);
        info->thumbnail.fill(Qt::green);
        const QImage green = info->thumbnail; // the row takes the record and frees it
        auto row = rowFor(info);
        QVERIFY(!QFileInfo::exists(victim));
        QVERIFY(!QFileInfo(cache).isSymLink());
        QCOMPARE(QImage(row->thumbnailFile()).size(), QSize(64, 48).scaled(120, 120, Qt::KeepAspectRatio));

        // A folder owned by someone else is refused: nothing is written.
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        auto restore = qScopeGuard([&] { ::chown(QFile::encodeName(folder).constData(), ::geteuid(), ::getegid()); });
        const auto files = [&] { return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System); };
        const QStringList before = files();
        ConverItemInfo *other = fakeItem("/media/other.mp4");
        other->thumbnail = green;
        auto refused = rowFor(other);
        QVERIFY(refused->thumbnailFile().isEmpty());
        QCOMPARE(files(), before);

        // A FIFO and a device named in the history as thumbnails: the list
        // shows its placeholder and never blocks on them.
        const QString fifo = TestEnv::root() + "/thumb.fifo";
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &picture : {fifo, QString("/dev/zero")}) {
            ConvertedFileInfo entry = row->convertedFileInfo();
            entry.convertedPath = TestEnv::root() + "/listed.mp4";
            entry.imgPath = picture;
            ParserXML::addConvertedFile(entry);
            ConvertedItem item;
            item.setPath(entry.convertedPath);
            QVERIFY(!item.findChild<QLabel *>("m_labThumb")->pixmap().isNull());
        }
    }

    void streamChoiceReachesTheJob()
    {
        ConverItemInfo *info = fakeItem("/m/movie.mkv", 10000000);
        info->subtitleStreamCount = 1;
        info->subtitles = {{"[None]", ""}, {"eng [subrip]", ""}, {"Video Internal CC", ""}};
        info->audioTracks = QStringList{"English[1]", "French[2]"};
        auto row = rowFor(info);
        auto *audio = row->findChild<QCustomComboBox *>("m_cmbAudio");
        auto *subs = row->findChild<QCustomComboBox *>("m_cmbSubtitle");
        QCOMPARE(audio->count(), 2);
        QCOMPARE(subs->count(), 3);

        audio->setCurrentIndex(1);
        row->addAddSubtl("(movie)[SRT]", "/m/movie.srt");
        QCOMPARE(subs->count(), 4);
        QCOMPARE(subs->currentIndex(), 3);
        ConvertParams p = row->convertParams();
        QCOMPARE(p.audioIndex, 1);
        QCOMPARE(p.subtitleIndex, 3);
        QCOMPARE(p.subtitleStreamCount, 1);
        QCOMPARE(p.subtitleFile, std::string("/m/movie.srt"));

        // Removing an entry before the chosen one keeps the same entry chosen.
        row->removerSubtlItem(1);
        QCOMPARE(subs->count(), 3);
        QCOMPARE(row->trackSelection().subtitleIndex, 2);
        QCOMPARE(row->trackSelection().subtitleFile, std::string("/m/movie.srt"));
        // Removing the chosen one falls back to "[None]".
        row->removerSubtlItem(2);
        QCOMPARE(row->trackSelection().subtitleIndex, 0);
        QVERIFY(row->trackSelection().subtitleFile.empty());
        QCOMPARE(row->subtitleList().size(), 2);
    }

    void jobFollowsTheOutputFormat()
    {
        // Output width (0: the source's) or audio only; the job's width and video codec.
        const struct { bool audioOnly; int outWidth, width, videoCodec; } formats[] = {
            {false, 160, 160, 13}, {false, 0, 320, 13}, {true, 160, 0, -1}};
        for (const auto &fmt : formats) {
            OutputFormat &f = OutputFormat::instance();
            f.audioOnly = fmt.audioOnly;
            f.width = fmt.outWidth;
            f.height = fmt.outWidth ? 120 : 0;
            f.quality = 90;
            auto row = rowFor(fakeItem("/m/a.mp4", 8000000));
            row->setTrimRange(2000000, 5000000);
            const ConvertParams p = row->convertParams();
            QCOMPARE(p.container, std::string("mp4"));
            QCOMPARE(p.width, fmt.width);
            QCOMPARE(p.videoCodecId, fmt.videoCodec);
            QCOMPARE(p.videoQuality, 90);
            QCOMPARE(p.audioQuality, 90);
            QCOMPARE(p.trimStart, qint64(2000000));
            QCOMPARE(p.trimLength, qint64(3000000));
            QCOMPARE(row->convertedLength(), qint64(3000000));
        }
    }

    void mouseSelection()
    {
        // The button and keys, the row's selection before and after, and the
        // signals: p plain, s shift, c ctrl, m menu.
        const struct { const char *what; Qt::MouseButton button; Qt::KeyboardModifiers mods; int before, after; QString seen; } clicks[] = {
            {"plain", Qt::LeftButton, {}, 0, 2, "p"},
            {"ctrl selects", Qt::LeftButton, Qt::ControlModifier, 0, 2, "c"},
            {"ctrl deselects", Qt::LeftButton, Qt::ControlModifier, 2, 0, "c"},
            {"shift leaves it to the list", Qt::LeftButton, Qt::ShiftModifier, 0, 0, "s"},
            {"shift+ctrl is a plain click", Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, 0, 2, "p"},
            {"right selects first", Qt::RightButton, {}, 0, 2, "pm"},
            {"right on a selected row", Qt::RightButton, Qt::ControlModifier, 2, 2, "m"},
        };
        QStringList expected, got;
        for (const auto &c : clicks) {
            auto row = rowFor(fakeItem("/m/a.mp4"));
            row->setSelectionState(c.before);
            QString seen;
            connect(row.get(), &VideoConvertBar::emitMousePress, this, [&] { seen += 'p'; });
            connect(row.get(), &VideoConvertBar::emitMouseShiftPress, this, [&] { seen += 's'; });
            connect(row.get(), &VideoConvertBar::emitMouseCtrlPress, this, [&] { seen += 'c'; });
            connect(row.get(), &VideoConvertBar::emitshowTreeMenu, this, [&] { seen += 'm'; });
            // On the text area, away from the picture and the buttons.
            QTest::mousePress(row.get(), c.button, c.mods, QPoint(300, 70));
            expected << QString("%1: %2 %3").arg(QString(c.what)).arg(c.after).arg(c.seen);
            got << QString("%1: %2 %3").arg(QString(c.what)).arg(row->selectionState()).arg(seen);
        }
        QCOMPARE(got, expected);
    }

    void controlsFollowTheState()
    {
        auto row = rowFor(fakeItem("/m/a.mp4"));
        auto *edit = row->findChild<QPushButton *>("m_btnEdit");
        auto *rename = row->findChild<QPushButton *>("m_btnEditName");
        auto *del = row->findChild<QPushButton *>("m_btnClose");
        auto *picture = row->findChild<QWidget *>("m_videoIconWidget");
        auto *audio = row->findChild<QWidget *>("m_cmbAudio");
        const QList<QWidget *> all{edit, rename, del, picture, audio};
        for (QWidget *w : all)
            QVERIFY(w->isEnabled());

        row->setWaiting();
        for (QWidget *w : all)
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(!row->isProgressVisible());
        row->OnCancelConvert(); // a waiting row has nothing to stop
        QCOMPARE(row->rowState(), int(VideoConvertBar::RowIdle));
        for (QWidget *w : all)
            QVERIFY(w->isEnabled());

        // The start of a run locks editing; in a merged run also the rest.
        row->StartConvertSet(true);
        QVERIFY(!edit->isEnabled());
        QVERIFY(del->isEnabled());
        row->StartConvertSet(false);
        RowConversion::setMergeFlag(true);
        row->StartConvertSet(true);
        QVERIFY(!edit->isEnabled() && !rename->isEnabled() && !del->isEnabled() && !picture->isEnabled());
        RowConversion::setMergeFlag(false);

        // A failed row can be dealt with again.
        row->markFailed();
        QCOMPARE(row->rowState(), int(VideoConvertBar::RowFailed));
        QVERIFY(del->isEnabled() && rename->isEnabled() && audio->isEnabled());
    }

    // The label's own tests cover the refused characters and blank names.
    void renameRules()
    {
        const QString typed = "holiday 2024";
        auto row = rowFor(fakeItem("/m/clip.avi"));
        row->show();
        row->OnBtnEdit();
        auto *label = row->findChild<RetractLabel *>("m_labVideoName");
        QVERIFY(label->isRenaming());
        QLineEdit *editor = label->renameEditor();
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(row->displayName(), QString("holiday 2024.mp4"));
    }

    // Only what a killed run of ours can have left goes; anything that merely
    // looks like it, or is not the user's plain file, stays untouched.
    void staleParts()
    {
        const QString dir = freshOutputFolder("parts");
        const QString outside = freshOutputFolder("elsewhere") + "precious.mp4";
        QVERIFY(TestTools::writeFile(outside, "precious"));
        const QString stale = dir + ".-odd 'name' [1]: é.mp4.part";
        const QStringList kept{dir + "-odd 'name' [1]: é.mp4", // the final name
                               dir + "download.mp4.part",      // not hidden
                               dir + ".notes.part",            // no output name inside
                               dir + ".link.mp4.part",         // a link
                               dir + ".folder.mkv.part",       // a folder
                               dir + ".pipe.avi.part",         // a FIFO
                               dir + ".theirs.mp4.part"};      // another user's
        QVERIFY(TestTools::writeFile(stale, "unfinished"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(TestTools::writeFile(kept[i], "x"));
        QVERIFY(QFile::link(outside, kept[3]));
        QVERIFY(QDir().mkpath(kept[4]));
        QCOMPARE(::mkfifo(QFile::encodeName(kept[5]).constData(), 0600), 0);
        QVERIFY(TestTools::writeFile(kept[6], "x"));
        // Another owner needs root (as in CI); otherwise the file is left out.
        const bool foreign = ::chown(QFile::encodeName(kept[6]).constData(), 65534, 65534) == 0;
        const QStringList checked = foreign ? kept : kept.mid(0, 6);

        QCOMPARE(RowConversion::removeStaleParts(dir), 1);
        QVERIFY(!QFileInfo::exists(stale));
        for (const QString &p : checked)
            QVERIFY2(QFileInfo(p).exists() || QFileInfo(p).isSymLink(), qPrintable(p));
        QCOMPARE(TestTools::readFile(outside), QByteArray("precious"));
        QCOMPARE(RowConversion::removeStaleParts(dir + "missing/"), 0);
    }

    // A row whose start failed has its failure reported later; a row that
    // finishes in between must start the next waiting row, not that one again.
    void failedStartLeavesTheLine()
    {
        AppGlobals::setOutputFolder(QString()); // every start fails
        auto first = rowFor(fakeItem("/m/a.avi"));
        auto second = rowFor(fakeItem("/m/b.avi"));
        QSignalSpy firstEnded(first.get(), &VideoConvertBar::emitConvertedFinish);
        QSignalSpy secondEnded(second.get(), &VideoConvertBar::emitConvertedFinish);
        RunScheduler run;
        run.begin({first.get(), second.get()}, false, 1);
        QVERIFY(!first->isWaitingToRun());
        QVERIFY(second->isWaitingToRun());
        run.startNextWaiting(); // another row finished before the failure arrived
        QTRY_COMPARE_WITH_TIMEOUT(secondEnded.count(), 1, 5000);
        QTest::qWait(50);
        QCOMPARE(firstEnded.count(), 1);
        QCOMPARE(firstEnded.at(0).at(0).toBool(), false);
        QVERIFY(!first->failureReason().isEmpty());
    }

    // The audio extract names its file after the sound's codec, estimates
    // the sound's share of the source, and writes that very stream.
    void audioExtractFollowsTheSoundCodec_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("ext");
        QTest::newRow("aac") << "aac" << "m4a";
        QTest::newRow("opus") << "libopus" << "opus";
        QTest::newRow("ac3") << "ac3" << "ac3";
        QTest::newRow("pcm") << "pcm_s16le" << "wav";
        QTest::newRow("mp2 has no file of its own") << "mp2" << "mka";
    }

    void audioExtractFollowsTheSoundCodec()
    {
        QFETCH(QString, codec);
        QFETCH(QString, ext);
        const QString dir = freshOutputFolder("extract");
        const QString source = dir + "source " + codec + ".mkv";
        QVERIFY(TestTools::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:d=3", "-f", "lavfi", "-i",
                                   "sine=sample_rate=48000:d=3", "-c:v", "libx264", "-preset", "ultrafast", "-b:v",
                                   "2M", "-c:a", codec, "-ac", "2", source}));
        std::unique_ptr<ConverItemInfo> info = probeMediaFile(source);
        QVERIFY(info && info->hasVideo);
        OutputFormat &f = OutputFormat::instance();
        f.audioOnly = true;
        f.sameQuality = true;
        f.ext = "mka";
        f.videoCodecId = -1;
        f.audioBitRate = 0;   // the catalogue's "Auto": any rate is kept
        auto row = rowFor(info.release());
        QCOMPARE(row->formatShown(), ext);

        const TestTools::Streams in = TestTools::ffprobe(source);
        const qint64 bytes = QFileInfo(source).size();
        QVERIFY(row->startConvert(false));
        QSignalSpy ended(row.get(), &VideoConvertBar::emitConvertedFinish);
        QVERIFY(ended.wait(60000));
        QCOMPARE(ended.first().first().toBool(), true);
        QVERIFY2(row->outputPath().endsWith("." + ext), qPrintable(row->outputPath()));
        const TestTools::Streams out = TestTools::ffprobe(row->outputPath());
        QCOMPARE(out.videoCount, 0);
        QCOMPARE(out.audio.value("codec_name").toString(), in.audio.value("codec_name").toString());
        QVERIFY(qAbs(out.duration - 3.0) < 0.15);
        // The estimate is the sound's share of the file: near what was
        // written, far below the whole source.
        const qint64 written = QFileInfo(row->outputPath()).size();
        const QStringList shown = row->sizeShown().split(' ');
        const double unit = shown.value(1) == "MB" ? 1048576.0 : shown.value(1) == "KB" ? 1024.0 : 1.0;
        const double estimate = shown.value(0).toDouble() * unit;
        QVERIFY2(estimate > written * 0.75 && estimate < written * 1.25,
                 qPrintable(row->sizeShown() + " for " + QString::number(written) + " bytes written"));
        QVERIFY(written < bytes / 2);
    }
};

VELMORA_TEST_MAIN(TestQueueRow)
#include "tst_queuerow.moc"
