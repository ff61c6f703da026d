// Converted pictures keep the shape they are shown with unless the user asks
// for "Full Screen": rows convert into a 1280x720 format and the ffmpeg tool
// measures where the picture lies in the frame.
#include "QueueTestSupport.h"

#include "queue/ItemProbe.h"
#include "queue/RowConversion.h"
#include "queue/VideoConvertBar.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace QueueTest;

namespace {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// The box of the frame at timeUs that is not black, from a grey picture the
// ffmpeg tool decodes.
Box pictureBox(const QString &path, double seconds, int frameW, int frameH)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-ss", QString::number(seconds), "-i", path, "-frames:v", "1", "-vf",
                       "format=gray", "-f", "rawvideo", "-"});
    if (!p.waitForFinished(60000))
        return {};
    const QByteArray grey = p.readAllStandardOutput();
    if (grey.size() != frameW * frameH)
        return {};
    // Borders are the columns and rows that are black all through (the pad
    // is black; every test picture has something brighter in each line).
    auto black = [&](int i, bool column) {
        const int n = column ? frameH : frameW;
        for (int k = 0; k < n; ++k)
            if (uchar(column ? grey[k * frameW + i] : grey[i * frameW + k]) > 24)
                return false;
        return true;
    };
    int left = 0, right = frameW - 1, top = 0, bottom = frameH - 1;
    while (left < frameW && black(left, true))
        ++left;
    while (right > left && black(right, true))
        --right;
    while (top < frameH && black(top, false))
        ++top;
    while (bottom > top && black(bottom, false))
        --bottom;
    return Box{left, top, right - left + 1, bottom - top + 1};
}

OutputFormat hd720()
{
    OutputFormat f = fastMp4();
    f.width = 1280;
    f.height = 720;
    f.videoBitRate = 1500;
    return f;
}

} // namespace

class TestShape : public QObject
{
    Q_OBJECT

    std::unique_ptr<VideoConvertBar> row(const QString &path, int dvdTitle = -1)
    {
        auto bar = std::make_unique<VideoConvertBar>();
        std::unique_ptr<ConverItemInfo> info = probeSource(path, qMax(0, dvdTitle), dvdTitle >= 0);
        bar->setItemInfo(info.release(), dvdTitle >= 0);
        bar->setTrimRange(0, 1000000);
        return bar;
    }

    // Converts one row alone; the converted file, or "" on failure.
    QString convert(VideoConvertBar *bar)
    {
        QSignalSpy done(bar, &VideoConvertBar::emitConvertedFinish);
        if (!bar->startConvert(false))
            return QString();
        if (!done.wait(120000) || !done.first().first().toBool())
            return QString();
        return bar->outputPath();
    }

private slots:
    void initTestCase()
    {
        OutputFormat::instance() = hd720();
        freshOutputFolder("shape");
    }

    void shapes_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("dvdTitle");
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<QSize>("frame");   // empty: the format keeps the source's shown size
        QTest::addColumn<QSize>("picture");
        const QSize hd(1280, 720);
        // 320x240 stored turned a quarter: shown 240x320, a centred column.
        QTest::newRow("portrait phone clip") << "rotated_90.mp4" << -1 << false << hd << QSize(540, 720);
        QTest::newRow("4:3 clip") << "clip_h264_aac.mp4" << -1 << false << hd << QSize(960, 720);
        QTest::newRow("4:3 clip, Full Screen stretches") << "clip_h264_aac.mp4" << -1 << true << hd << hd;
        QTest::newRow("4:3 DVD title") << "dvd" << 1 << false << hd << QSize(960, 720);
        QTest::newRow("16:9 DVD title fills the frame") << "dvd" << 0 << false << hd << hd;
        // A 16:9 PAL title is stored 720x576 and shown 1024x576.
        QTest::newRow("automatic size keeps the shown shape") << "dvd" << 0 << false << QSize() << QSize(1024, 576);
    }

    void shapes()
    {
        QFETCH(QString, source);
        QFETCH(int, dvdTitle);
        QFETCH(bool, fullScreen);
        QFETCH(QSize, frame);
        QFETCH(QSize, picture);
        if (dvdTitle >= 0 && !QFileInfo::exists(media("dvd/VIDEO_TS/VIDEO_TS.IFO")))
            QSKIP("no DVD fixture (dvdauthor missing)");
        OutputFormat::instance().width = frame.width();
        OutputFormat::instance().height = frame.height();
        auto bar = row(media(source), dvdTitle);
        if (fullScreen) {
            CropSettings crop;
            crop.ratioType = 2;
            bar->setEditSetting(crop);
        }
        const QSize shown = frame.isEmpty() ? picture : frame;
        QCOMPARE(bar->resolutionShown(), QString("%1*%2").arg(shown.width()).arg(shown.height()));
        const QString out = convert(bar.get());
        OutputFormat::instance() = hd720();
        QVERIFY2(!out.isEmpty(), qPrintable(bar->failureReason()));
        const Streams s = ffprobe(out);
        QCOMPARE(QSize(s.width(), s.height()), shown);
        const Box b = pictureBox(out, 0.5, shown.width(), shown.height());
        QVERIFY2(qAbs(b.w - picture.width()) <= 8 && qAbs(b.h - picture.height()) <= 8,
                 qPrintable(QString("picture %1x%2 at %3,%4").arg(b.w).arg(b.h).arg(b.x).arg(b.y)));
        // Centred: the borders on both sides match.
        QVERIFY(qAbs(b.x - (shown.width() - b.x - b.w)) <= 4);
        QVERIFY(qAbs(b.y - (shown.height() - b.y - b.h)) <= 4);
    }

    void mergedPartsKeepTheirShapes()
    {
        const QString wide = TestEnv::root() + "/wide.mp4";
        QVERIFY(ffmpeg({"-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=1", "-f", "lavfi", "-i",
                        "sine=duration=1", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest",
                        wide}));
        auto first = row(media("clip_h264_aac.mp4"));
        auto second = row(wide);
        RowConversion::setMergeFlag(true);
        QSignalSpy firstDone(first.get(), &VideoConvertBar::emitConvertedFinish);
        QVERIFY(first->startConvert(true));
        QVERIFY(firstDone.wait(120000));
        QSignalSpy secondDone(second.get(), &VideoConvertBar::emitConvertedFinish);
        QVERIFY(second->startConvert(true));
        QVERIFY(secondDone.wait(120000));
        const QString out = RowConversion::mergedOutputPath();
        second->finishMergedOutput();
        RowConversion::setMergeFlag(false);

        const Box four3 = pictureBox(out, 0.5, 1280, 720);
        QVERIFY2(qAbs(four3.w - 960) <= 8, qPrintable(QString("first part %1 wide").arg(four3.w)));
        const Box wideBox = pictureBox(out, 1.5, 1280, 720);
        QVERIFY2(wideBox.w >= 1272, qPrintable(QString("second part %1 wide").arg(wideBox.w)));
    }
};

VELMORA_TEST_MAIN(TestShape)
#include "tst_shape.moc"
