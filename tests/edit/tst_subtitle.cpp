// The Subtitle page and the snapshots of the edit dialog on a generated
// source: a flat blue picture (burnt text is the only bright thing in it),
// two audio tracks of different pitch, one inner subtitle stream, and
// movie.srt and movie.idx beside it. Converted files are checked with the
// ffmpeg tool, not with our engine.
#include "EditTestSupport.h"

#include "edit/QCaptureSettingDlg.h"
#include "edit/QSubtitleOperateDlg.h"
#include "history/QMessOpacityDlg.h"
#include "queue/ItemProbe.h"
#include "widgets/QCustomComboBox.h"

#include <QFontDialog>

using namespace QueueTest;
using namespace EditTest;

namespace {

// Every cue of the test files shows from 0.3 s to 3.7 s; the source lasts 4 s.
QString srt(const QString &line)
{
    return "1\n00:00:00,300 --> 00:00:03,700\n" + line + "\n\n";
}

// Pixels brighter than the blue source could ever be.
int brightPixels(const QImage &image)
{
    int n = 0;
    const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x)
            n += g.constScanLine(y)[x] > 180;
    return n;
}

// The pitch of a file's first audio stream, from its zero crossings.
double frequency(const QString &path)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-ac", "1", "-ar", "16000", "-f", "s16le", "-"});
    p.waitForFinished(60000);
    const QByteArray pcm = p.readAllStandardOutput();
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const int n = int(pcm.size() / 2);
    int crossings = 0;
    for (int i = 1; i < n; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return n > 0 ? crossings / 2.0 / (n / 16000.0) : 0;
}

QStringList names(const QList<subltItemInfo> &list)
{
    QStringList out;
    for (const subltItemInfo &e : list)
        out << QString::fromStdString(e.name);
    return out;
}

QStringList comboTexts(QCustomComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

} // namespace

class TestSubtitle : public QObject
{
    Q_OBJECT

    QString m_dir;
    QString m_movie;
    QString m_odd; // a subtitle file with an awkward name

private slots:
    void initTestCase()
    {
        m_dir = TestEnv::root() + "/media";
        QDir().mkpath(m_dir);
        m_movie = m_dir + "/movie.mkv";
        m_odd = m_dir + "/it's \"odd\" [1]: Ünïcødé 字幕.srt";
        QVERIFY(writeFile(m_dir + "/inner.srt", srt("INNER").toUtf8()));
        QVERIFY(writeFile(m_dir + "/movie.srt", srt("WWW BESIDE WWW").toUtf8()));
        QVERIFY(writeFile(m_dir + "/movie.idx", "# VobSub index file, v7\n"));
        QVERIFY(writeFile(m_odd, srt("WWW ODD NAME WWW").toUtf8()));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "color=c=0x204080:s=320x240:r=25:d=4",
                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=4",
                        "-f", "lavfi", "-i", "sine=frequency=1000:sample_rate=44100:duration=4",
                        "-i", m_dir + "/inner.srt", "-map", "0:v", "-map", "1:a", "-map", "2:a", "-map", "3:s",
                        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-c:s", "srt",
                        "-metadata:s:s:0", "language=eng", "-t", "4", m_movie}));
    }

    // The page lists what the import lists, and what it chooses shows at once
    // in the output preview.
    void pageListsAndPreview()
    {
        QVideoEditDlg dlg;
        QVERIFY(dlg.openVideo(m_movie, 0, 0));
        dlg.OnBtnPause();
        QSubtitleOperateDlg *pg = dlg.subtitlePage();

        const std::unique_ptr<ConverItemInfo> probed = probeMediaFile(m_movie);
        QCOMPARE(names(pg->subtitleList()), names(probed->subtitles));
        QCOMPARE(pg->audioList(), probed->audioTracks);
        QCOMPARE(pg->subtitleList().at(3).path, (m_dir + "/movie.srt").toStdString());
        QCOMPARE(dlg.trackSelection().subtitleStreamCount, 1);

        // No subtitle yet, then the file beside the source.
        QVERIFY(brightPixels(grabAt(dlg, 1500)) < 10);
        dlg.findChild<QCustomComboBox *>("m_cmbSubtitle")->setCurrentIndex(3);
        QVERIFY(brightPixels(grabAt(dlg, 1500)) > 100);
        QVERIFY(brightPixels(grabAt(dlg, 100)) < 10);

        // "[None]" empties the path line and takes the text away.
        dlg.findChild<QCustomComboBox *>("m_cmbSubtitle")->setCurrentIndex(0);
        QCOMPARE(pg->path(), QString());
        QVERIFY(dlg.trackSelection().subtitleFile.empty());
        QVERIFY(brightPixels(grabAt(dlg, 1500)) < 10);

        // A file with an awkward name is added, chosen and drawn.
        QSignalSpy added(pg, &QSubtitleOperateDlg::emitAddSubtl);
        pg->addSubtitlePath(m_odd);
        QCOMPARE(added.size(), 1);
        QCOMPARE(pg->subtitleIndex(), 5);
        QCOMPARE(QString::fromStdString(pg->subtitleList().at(5).name),
                 QString("(it's \"odd\" [1]: Ünïcødé 字幕)[SRT]"));
        QCOMPARE(pg->path(), m_odd);
        QVERIFY(brightPixels(grabAt(dlg, 1500)) > 100);
        QVERIFY2(QString(PlayerLastError(dlg.player())).isEmpty(), PlayerLastError(dlg.player()));

        // A file already listed is only selected.
        pg->addSubtitlePath(m_dir + "/movie.srt");
        QCOMPARE(added.size(), 1);
        QCOMPARE(pg->subtitleList().size(), 6);
        QCOMPARE(dlg.trackSelection().subtitleIndex, 3);
        QCOMPARE(pg->path(), m_dir + "/movie.srt");

        // A listed file that is gone: a message, and the choice stays.
        const QString lost = m_dir + "/lost.srt";
        QVERIFY(writeFile(lost, srt("LOST").toUtf8()));
        pg->addSubtitlePath(lost);
        QVERIFY(QFile::remove(lost));
        dlg.findChild<QCustomComboBox *>("m_cmbSubtitle")->setCurrentIndex(3);
        QString message;
        catchMessage(message);
        dlg.findChild<QCustomComboBox *>("m_cmbSubtitle")->setCurrentIndex(6);
        QVERIFY2(message.contains(lost), qPrintable(message));
        QCOMPARE(pg->subtitleIndex(), 3);
        QCOMPARE(dlg.trackSelection().subtitleIndex, 3);

        // The font dialog's choice reaches the record.
        whenModalOf<QFontDialog>([](QFontDialog *fd) {
            fd->setCurrentFont(QFont("DejaVu Sans", 30, QFont::Bold));
            fd->accept();
        });
        pg->setSubtlFont();
        QCOMPARE(dlg.subtitleStyle().pointSize, 30);
        QCOMPARE(dlg.subtitleStyle().bold, 1);
        QCOMPARE(QString::fromStdString(dlg.subtitleStyle().fontFamily), QString("DejaVu Sans"));
    }

    // The row's list goes into the page, files added and removed on the page
    // come back to the row, and the accepted choice converts: the second
    // track's pitch and the chosen file's text in the picture.
    void rowKeepsInStepAndConverts()
    {
        OutputFormat::instance() = fastMp4();
        OutputFormat::instance().width = 320;
        OutputFormat::instance().height = 240;
        freshOutputFolder("subtitle");
        VideoConvertBar row;
        row.setItemInfo(probeMediaFile(m_movie).release(), false);
        const QString extra = m_dir + "/extra.srt";
        QVERIFY(writeFile(extra, srt("EXTRA").toUtf8()));
        const QString gone = m_dir + "/gone.srt";
        QVERIFY(writeFile(gone, srt("GONE").toUtf8()));
        row.addAddSubtl("(extra)[SRT]", extra); // a file added in an earlier session
        QCustomComboBox *rowSubs = row.findChild<QCustomComboBox *>("m_cmbSubtitle");
        QVERIFY(rowSubs);

        QStringList pageAtOpen, rowAfterAdd, rowAfterRemove;
        int pageIndexAtOpen = -1, rowIndexAfterAdd = -1;
        whenModalOf<QVideoEditDlg>([&](QVideoEditDlg *dlg) {
            QSubtitleOperateDlg *pg = dlg->subtitlePage();
            pageAtOpen = names(pg->subtitleList());
            pageIndexAtOpen = pg->subtitleIndex();
            pg->addSubtitlePath(gone);
            rowAfterAdd = comboTexts(rowSubs);
            rowIndexAfterAdd = rowSubs->currentIndex();
            pg->deleteSubtitleFile();
            rowAfterRemove = comboTexts(rowSubs);
            pg->addSubtitlePath(m_odd);
            dlg->findChild<QCustomComboBox *>("m_cmbAudio")->setCurrentIndex(1);
            dlg->accept();
        });
        row.OnEditVideo();

        const QStringList rowList = names(row.subtitleList());
        QCOMPARE(pageAtOpen, rowList.mid(0, 6));
        QCOMPARE(pageIndexAtOpen, 5);
        QCOMPARE(rowAfterAdd, pageAtOpen + QStringList{"(gone)[SRT]"});
        QCOMPARE(rowIndexAfterAdd, 6);
        QCOMPARE(rowAfterRemove, pageAtOpen);
        QCOMPARE(comboTexts(rowSubs), rowList);
        QCOMPARE(rowSubs->currentIndex(), 6);
        const TrackSelection tracks = row.trackSelection();
        QCOMPARE(tracks.audioIndex, 1);
        QCOMPARE(tracks.subtitleIndex, 6);
        QCOMPARE(tracks.subtitleStreamCount, 1);
        QCOMPARE(QString::fromStdString(tracks.subtitleFile), m_odd);

        QVERIFY2(convertRow(row), qPrintable(row.failureReason()));
        const QString out = row.outputPath();
        const double hz = frequency(out);
        QVERIFY2(qAbs(hz - 1000) < 50, qPrintable(QString::number(hz)));
        QVERIFY(brightPixels(decodedFrame(out, 1.5)) > 100);
        QVERIFY(brightPixels(decodedFrame(out, 3.9)) < 10);
    }

    // Snapshots: the folder check, the picture of the output preview in the
    // chosen format, and the settings dialog.
    void snapshots()
    {
        const QString folder = TestEnv::root() + "/shots [a]: é/";
        QVERIFY(QDir().mkpath(folder));
        ParserXML::readSnapshotFolder();
        ParserXML::writeSnapshotFolder(folder);
        ParserXML::writeSnapshotFormat("PNG");

        QVideoEditDlg dlg;
        QVERIFY(dlg.openVideo(m_movie, 160, 120));
        dlg.OnBtnPause();
        QVERIFY(!grabAt(dlg, 1000).isNull()); // a picture to take
        QCOMPARE(dlg.snapshotFormat(), QString("PNG"));
        dlg.OnScreenshots();
        const QStringList shots = QDir(folder).entryList(QDir::Files);
        QCOMPARE(shots.size(), 1);
        QVERIFY(shots.first().endsWith("_lumeris.png"));
        const QImage shot(folder + shots.first(), "PNG");
        QCOMPARE(shot.size(), QSize(160, 120)); // not the source's own 320 x 240
        auto *toast = dlg.findChild<QMessOpacityDlg *>();
        QCOMPARE(toast ? toast->text() : QString(), QString("Snapshot successfully!"));

        // The folder goes away: a message, no file.
        QVERIFY(QDir(folder).removeRecursively());
        QString message;
        catchMessage(message);
        dlg.OnScreenshots();
        QVERIFY2(message.contains(folder) && message.contains("is no exists"), qPrintable(message));
        QVERIFY(!QFileInfo::exists(folder));

        // The settings dialog makes it again and stores the choice, which
        // the edit dialog takes when it is confirmed.
        whenModalOf<QCaptureSettingDlg>([](QCaptureSettingDlg *settings) {
            settings->findChild<QCustomComboBox *>("m_cmbFormat")->setCurrentIndex(1);
            settings->OnOkBtn();
        });
        dlg.ShowPathSettingDlg();
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(dlg.snapshotFormat(), QString("BMP"));
    }
};

VELMORA_TEST_MAIN(TestSubtitle)
#include "tst_subtitle.moc"
