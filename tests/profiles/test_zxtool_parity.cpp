// zxtool builds its jobs with the program's parameter plan, so what it
// measures (benchmarks, scripts) is what the program sends: for catalogue
// formats, the converter of the program and zxtool with the same options
// write the same video and audio bytes.
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>

#include "FormatChoice.h"
#include "TestEnv.h"
#include "engine/CAVConverter.h"
#include "profiles/OutputFormat.h"
#include "profiles/OutputParams.h"
#include "profiles/ProfileCatalog.h"
#include "base/AppPaths.h"

namespace {

const int64_t kLengthUs = 2000000;

// MD5 of one stream's packets, read by the ffmpeg tool; "" when it fails.
QString streamHash(const QString &path, const char *stream)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-map", QString("0:") + stream, "-c", "copy", "-f", "md5", "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

} // namespace

class TestZxtoolParity : public QObject
{
    Q_OBJECT

private slots:
    void sameBytes_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("ext");
        // H.264/AAC in MP4 (the default phone format), MPEG-4 in AVI, VP8 in
        // WebM, and an audio-only format.
        QTest::newRow("mp4") << "Devices" << "mp4";
        QTest::newRow("avi") << "General Video" << "avi";
        QTest::newRow("webm") << "Web Video" << "webm";
        QTest::newRow("mp3") << "General Audio" << "mp3";
    }

    void sameBytes()
    {
        QFETCH(QString, category);
        QFETCH(QString, ext);
        ProfileCatalog catalog(AppPaths::dataPath("/profile/profiles_win.plist"));
        QVERIFY2(catalog.isLoaded(), qPrintable(catalog.loadError()));

        // The first format of the category with that extension.
        const QList<FormatRecord> formats = catalog.formats(category);
        const auto record = std::find_if(formats.begin(), formats.end(), [&](const auto &r) { return r.ext == ext; });
        QVERIFY2(record != formats.end(), "the catalogue has no such format");

        const OutputChoice choice = FormatChoice::smallSize(catalog, category, record->id);
        const OutputFormat format = OutputFormat::fromChoice(catalog, choice);
        ConvertParams params = outputParams(format, 320, 240);
        params.trimLength = kLengthUs;

        const QString source = qEnvironmentVariable("VELMORA_TEST_MEDIA") + "/clip_h264_aac.mp4";
        QTemporaryDir out;
        const QString fromProgram = out.filePath("program." + format.ext);
        const QString fromTool = out.filePath("zxtool." + format.ext);

        std::atomic<int> end{-1};
        const auto callback = [](int, void *owner, convertState state) {
            if (state != ConvertProgress)
                static_cast<std::atomic<int> *>(owner)->store(int(state));
        };
        CAVConverter conv;
        QVERIFY2(conv.StartConvert(source.toStdString(), fromProgram.toStdString(), params, &end, callback),
                 conv.LastError().c_str());
        QTRY_VERIFY_WITH_TIMEOUT(end.load() >= 0, 120000);
        QCOMPARE(end.load(), int(ConvertFinished));

        QStringList args = {"convert", source, fromTool, "--quiet",
                            "--container", QString::fromStdString(params.container),
                            "--vcodec", QString::number(params.videoCodecId),
                            "--acodec", QString::number(params.audioCodecId),
                            "--rate", QString::number(params.sampleRate),
                            "--channels", QString::number(params.channels),
                            "--abitrate", QString::number(params.audioBitRate),
                            "--quality", QString::number(params.videoQuality),
                            "--length", QString::number(kLengthUs)};
        if (params.width > 0)
            args << "--size" << QString("%1x%2").arg(params.width).arg(params.height);
        if (params.frameRateNum > 0)
            args << "--fps" << QString("%1/%2").arg(params.frameRateNum).arg(params.frameRateDen);
        if (params.videoBitRate > 0)
            args << "--vbitrate" << QString::number(params.videoBitRate);
        QProcess tool;
        tool.start(qEnvironmentVariable("VELMORA_BIN_DIR") + "/zxtool", args);
        QVERIFY(tool.waitForFinished(120000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

        if (!format.audioOnly) {
            const QString video = streamHash(fromProgram, "v");
            QVERIFY(!video.isEmpty());
            QCOMPARE(streamHash(fromTool, "v"), video);
        }
        const QString audio = streamHash(fromProgram, "a");
        QVERIFY(!audio.isEmpty());
        QCOMPARE(streamHash(fromTool, "a"), audio);
    }
};

VELMORA_TEST_MAIN(TestZxtoolParity)
#include "test_zxtool_parity.moc"
