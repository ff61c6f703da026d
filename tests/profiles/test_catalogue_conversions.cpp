// Every format of the shipped catalogue, with the parameters the program
// starts with, converts two seconds of a generated clip into a file whose
// streams are what the catalogue promises.

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "FormatChoice.h"
#include "TestTools.h"
#include "TestEnv.h"
#include "engine/CAVConverter.h"
#include "profiles/OutputFormat.h"
#include "profiles/OutputParams.h"
#include "profiles/ProfileCatalog.h"
#include "base/AppPaths.h"
#include "zentrix.h"

namespace {

using TestTools::ffprobe;
using TestTools::rate;
using TestTools::Streams;

const char *kSource = "clip_h264_aac.mp4";
const int64_t kLengthUs = 2000000;

// The codec ffprobe names for what the engine encodes a catalogue codec number
// with in this container; "" when the engine has no encoder for it.
QString expectedCodec(int legacyId, const std::string &container)
{
    const char *encoder = ZxEncoderName(legacyId, container.c_str());
    const AVCodec *codec = encoder ? avcodec_find_encoder_by_name(encoder) : nullptr;
    return codec ? QString::fromLatin1(avcodec_get_name(codec->id)) : QString();
}


} // namespace

class TestCatalogueConversions : public QObject
{
    Q_OBJECT

private:
    ProfileCatalog *m_catalog = nullptr;
    QTemporaryDir m_out;
    QString m_source;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    double m_sourceRate = 0;
    int m_sourceChannels = 0;
    int m_sourceSampleRate = 0;

private slots:
    void initTestCase()
    {
        m_catalog = new ProfileCatalog(AppPaths::dataPath("/profile/profiles_win.plist"));
        QVERIFY2(m_catalog->isLoaded(), qPrintable(m_catalog->loadError()));
        QVERIFY(m_out.isValid());
        m_source = TestTools::media(kSource);
        QVERIFY2(QFileInfo::exists(m_source), "run the make_test_media fixture first");
        const Streams src = ffprobe(m_source);
        QVERIFY2(src.ok, qPrintable(src.error));
        m_sourceWidth = src.video.value("width").toInt();
        m_sourceHeight = src.video.value("height").toInt();
        m_sourceRate = rate(src.video.value("r_frame_rate").toString());
        m_sourceChannels = src.audio.value("channels").toInt();
        m_sourceSampleRate = src.audio.value("sample_rate").toString().toInt();
        QVERIFY(m_sourceWidth > 0 && m_sourceHeight > 0 && m_sourceRate > 0);
        QVERIFY(src.duration > 2.5);
    }
    void cleanupTestCase() { delete m_catalog; }

    void defaultsConvert_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("id");
        int rows = 0;
        for (const QString &category : m_catalog->categories()) {
            for (const FormatRecord &r : m_catalog->formats(category)) {
                QTest::addRow("%s %s", qPrintable(r.id), qPrintable(r.title)) << category << r.id;
                ++rows;
            }
        }
        QVERIFY(rows > 50);
    }

    void defaultsConvert()
    {
        QFETCH(QString, category);
        QFETCH(QString, id);
        const OutputChoice choice = FormatChoice::smallSize(*m_catalog, category, id);
        const OutputFormat f = OutputFormat::fromChoice(*m_catalog, choice);
        // What a queue row hands the converter for a source of the clip's size.
        ConvertParams params = outputParams(f, m_sourceWidth, m_sourceHeight);
        params.trimStart = 0;
        params.trimLength = kLengthUs;
        QVERIFY2(!f.ext.isEmpty() && !params.container.empty(), "no container");

        QString expectedVideo;
        if (!f.audioOnly) {
            expectedVideo = expectedCodec(params.videoCodecId, params.container);
            QVERIFY2(!expectedVideo.isEmpty(), qPrintable(QString("no encoder for video codec %1 (%2) in %3")
                                                              .arg(f.videoCodec).arg(params.videoCodecId)
                                                              .arg(QString::fromStdString(params.container))));
        }
        const QString expectedAudio = expectedCodec(params.audioCodecId, params.container);
        QVERIFY2(!expectedAudio.isEmpty(), qPrintable(QString("no encoder for audio codec %1 (%2) in %3")
                                                          .arg(f.audioCodec).arg(params.audioCodecId)
                                                          .arg(QString::fromStdString(params.container))));

        const QString output = m_out.filePath(QString("%1.%2").arg(id, f.ext));
        // The parameters, so that a failure message says what was asked.
        QString what = f.audioOnly ? QString("audio only")
                                   : QString("%1 %2x%3 %4/%5 fps %6 kbps")
                                         .arg(f.videoCodec).arg(params.width).arg(params.height)
                                         .arg(params.frameRateNum).arg(params.frameRateDen)
                                         .arg(params.videoBitRate);
        what += QString(" | %1 %2 ch %3 Hz %4 kbps in %5")
                    .arg(f.audioCodec).arg(params.channels).arg(params.sampleRate).arg(params.audioBitRate)
                    .arg(QString::fromStdString(params.container));

        std::atomic<int> end{-1};
        const auto callback = [](int, void *owner, convertState state) {
            if (state != ConvertProgress)
                static_cast<std::atomic<int> *>(owner)->store(int(state));
        };
        CAVConverter conv;
        QVERIFY2(conv.StartConvert(m_source.toStdString(), output.toStdString(), params, &end, callback),
                 qPrintable(what + ": " + QString::fromStdString(conv.LastError())));
        QTRY_VERIFY_WITH_TIMEOUT(end.load() >= 0, 300000);
        QVERIFY2(end.load() == int(ConvertFinished),
                 qPrintable(what + ": " + QString::fromStdString(conv.LastError())));

        QVERIFY2(QFileInfo(output).size() > 0, qPrintable(what + ": no output file"));
        const Streams out = ffprobe(output);
        QVERIFY2(out.ok, qPrintable(what + ": ffprobe cannot read the file: " + out.error));

        if (f.audioOnly) {
            QCOMPARE(out.videoCount, 0);
        } else {
            QCOMPARE(out.videoCount, 1);
            QCOMPARE(out.video.value("codec_name").toString(), expectedVideo);
            // A format named 10-bit keeps ten bits (and so an HDR source's picture).
            if (m_catalog->baseInfo(category, id, "title").contains("10-bit"))
                QCOMPARE(out.video.value("pix_fmt").toString(), QString("yuv420p10le"));
            QCOMPARE(out.video.value("width").toInt(), params.width);
            QCOMPARE(out.video.value("height").toInt(), params.height);
            const double wantRate = params.frameRateNum > 0 ? double(params.frameRateNum) / params.frameRateDen
                                                            : m_sourceRate;
            const QString gotRate = out.video.value("r_frame_rate").toString();
            QVERIFY2(qAbs(rate(gotRate) - wantRate) < 0.01,
                     qPrintable(QString("%1: %2 fps").arg(what, gotRate)));
        }
        QCOMPARE(out.audioCount, 1);
        QCOMPARE(out.audio.value("codec_name").toString(), expectedAudio);
        // "Same quality" formats keep the source's sound format, whatever
        // their menus hold.
        QCOMPARE(out.audio.value("channels").toInt(), f.sameQuality ? m_sourceChannels : params.channels);
        QCOMPARE(out.audio.value("sample_rate").toString().toInt(),
                 f.sameQuality ? m_sourceSampleRate : params.sampleRate);
        QVERIFY2(qAbs(out.duration - kLengthUs / 1e6) <= 0.25,
                 qPrintable(QString("%1: lasts %2 s").arg(what).arg(out.duration)));
    }
};

VELMORA_TEST_MAIN(TestCatalogueConversions)
#include "test_catalogue_conversions.moc"
