// Catalogue rules on small catalogues written by the test: list splitting,
// units, "Auto", the filter, the chosen-entry rule, and the apply step.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "CatalogueXml.h"
#include "TestEnv.h"
#include "TestTools.h"
#include "profiles/OutputFormat.h"
#include "profiles/ProfileCatalog.h"

namespace {

using namespace CatalogueXml;

// Bit rates are the given stem followed by 0 (default), 1 (low) and 2 (high).
QString vp(const QString &fourcc, const QString &res, const QString &fr, const QString &frList,
           const QString &rate)
{
    return videoParam(fourcc, res, fr, frList, rates("videobitrate", rate + "0", rate + "1", rate + "2", "0, 500 ,1000"));
}

QString ap(const QString &fourcc, const QString &channel, const QString &tag, const QString &sr = "44100")
{
    return audioParam(fourcc, channel, rates("audiobitrate", tag + "0", tag + "1", tag + "2", "64,128"), sr,
                      "22050," + sr);
}

const QString kCatalogue = plist(QString(
    "<key>Categories</key><array><string>Video</string><string>Audio</string><string>Odd</string></array>"
    "<key>Codecs</key><dict><key>H264</key><string>H.264</string><key>mp3 </key><string>MP3 (lame)</string>"
    "<key>AAC </key><string>AAC</string></dict>"
    "<key>Video</key><array>"
    // 1: automatic values, two encoders, several entries per encoder
    "<dict>" + baseInfo("Auto MP4", "1", "mp4", true) +
    "<key>videoencoders</key><dict><key>default</key><string> H264 </string><key>supports</key><string>H264,MP4V</string></dict>"
    "<key>resolution</key><dict><key>default</key><string>1920*1080</string></dict>"
    "<key>videoparams</key><array>"
    + vp("H264", "1280*720", "25", "25,30", "72") + vp(" H264 ", "1920*1080", "29.97", "29.97", "108")
    + vp("MP4V", "640*480", "23.976", "23.976", "48") + vp("H264", "1920*1080", "59.94", "59.94", "109")
    + "</array>"
    "<key>audioencoders</key><dict><key>default</key><string>AAC</string><key>supports</key><string>AAC,mp3</string></dict>"
    "<key>channels</key><dict><key>default</key><string>2</string></dict>"
    "<key>audioparams</key><array>" + ap("AAC", "1", "11") + ap("AAC", "2", "12", "48000") + ap("mp3", "2", "32") + "</array>"
    "</dict>"
    // 2: no automatic values, "0" entries, a filter
    "<dict>" + baseInfo("Filtered AVI", "2", "avi", false) +
    "<key>videoencoders</key><dict><key>default</key><string>Xvid</string><key>supports</key><string>0,Xvid,H264,MJPG</string>"
    "<key>filter</key><string>Xvid:mp3,AAC|H264:AAC|MJPG:</string></dict>"
    "<key>resolution</key><dict><key>default</key><string>640*480</string></dict>"
    "<key>videoparams</key><array>" + vp("Xvid", "320*240", "0", "0,25", "24") + vp("Xvid", "720*480", "25", "25", "47")
    + vp("H264", "1280*720", "30", "30", "73") + "</array>"
    "<key>channels</key><dict><key>default</key><string>2</string></dict>"
    "<key>audioparams</key><array>" + ap("mp3", "2", "32") + ap("AAC", "6", "16") + ap("AAC", "2", "12") + "</array>"
    "</dict>"
    "</array>"
    "<key>Audio</key><array>"
    "<dict>" + baseInfo("Plain MP3", "9", "mp3", false) +
    "<key>videoencoders</key><dict/>"
    "<key>audioencoders</key><dict><key>default</key><string>mp3</string><key>supports</key><string>mp3</string></dict>"
    "<key>channels</key><dict><key>default</key><string>1</string></dict>"
    "<key>audioparams</key><array>" + ap("mp3", "2", "32") + ap("mp3", "1", "31", "22050") + "</array>"
    "</dict>"
    "<dict>" + baseInfo("Second 9", "9", "wav", false) + "</dict>"
    "</array>"
    // Values of the wrong kind read as missing.
    "<key>Odd</key><array><string>not a format</string><dict>" + baseInfo("Odd", "5", "mkv", true) +
    "<key>videoencoders</key><dict><key>supports</key><integer>5</integer><key>default</key><string>H264</string></dict>"
    "<key>videoparams</key><string>none</string><key>channels</key><array/></dict></array>"
    ""));

} // namespace

class TestProfileCatalog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ProfileCatalog *m_catalog = nullptr;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.path() + "/" + name;
        return TestTools::writeFile(path, bytes) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_catalog = new ProfileCatalog(write("catalogue.plist", kCatalogue.toUtf8()));
        QVERIFY2(m_catalog->isLoaded(), qPrintable(m_catalog->loadError()));
    }
    void cleanupTestCase() { delete m_catalog; }

    void splitList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("zero is Auto, blanks stripped") << "0, 500 ,1000" << " kbps"
                                                       << QStringList{"Auto", "500 kbps", "1000 kbps"};
        QTest::newRow("empty pieces dropped") << ",,a, ,b," << "" << QStringList{"a", "b"};
        QTest::newRow("empty text") << "" << " fps" << QStringList{};
        QTest::newRow("only zero") << " 0 " << " HZ" << QStringList{"Auto"};
        QTest::newRow("zeros that are not 0") << "00,0.0" << " fps" << QStringList{"00 fps", "0.0 fps"};
    }
    void splitList()
    {
        QFETCH(QString, text);
        QFETCH(QString, unit);
        QTEST(ProfileCatalog::splitList(text, unit), "expected");
    }

    void filterList_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("expected");
        const QString f = "H264:AAC,MP3|HMP2:MP2A, AC3|MJPG:0,PCM";
        QTest::newRow("first") << f << "H264" << QStringList{"AAC", "MP3"};
        QTest::newRow("middle") << f << "HMP2" << QStringList{"MP2A", "AC3"};
        QTest::newRow("last, 0 is Auto") << f << "MJPG" << QStringList{"Auto", "PCM"};
        QTest::newRow("absent") << f << "VP8" << QStringList{};
        QTest::newRow("code at the very end") << "VP8:VBIS|VP9" << "VP9" << QStringList{};
        QTest::newRow("first occurrence anywhere") << "XH264:MP3|H264:AAC" << "H264" << QStringList{"MP3"};
        QTest::newRow("empty code") << f << "" << QStringList{};
    }
    void filterList()
    {
        QFETCH(QString, filter);
        QFETCH(QString, code);
        QTEST(ProfileCatalog::filterList(filter, code), "expected");
    }

    void codecNames()
    {
        QCOMPARE(m_catalog->codecName("mp3"), QString("MP3 (lame)")); // looked up as "mp3 "
        QCOMPARE(m_catalog->codecName("H264"), QString("H.264"));
        QCOMPARE(m_catalog->codecName("VP8"), QString("VP8 ")); // not listed: the padded code
        QCOMPARE(m_catalog->codecName("MJPG"), QString("MJPG"));
        QCOMPARE(m_catalog->codecName(""), QString(""));
    }

    void categoriesFormatsBaseInfo()
    {
        QCOMPARE(m_catalog->categories(), (QStringList{"Video", "Audio", "Odd"}));
        const QList<FormatRecord> video = m_catalog->formats("Video");
        QCOMPARE(video.size(), 2);
        QCOMPARE(video[1].title, QString("Filtered AVI"));
        QCOMPARE(video[1].id, QString("2"));
        QCOMPARE(video[1].ext, QString("avi"));
        QCOMPARE(video[1].category, QString("Video"));
        QVERIFY(m_catalog->formats("").isEmpty());
        QVERIFY(m_catalog->formats("Missing").isEmpty());
        QCOMPARE(m_catalog->formats("Odd").size(), 1); // the string entry is skipped

        QCOMPARE(m_catalog->baseInfo("Audio", "9", "title"), QString("Plain MP3")); // first match
        QCOMPARE(m_catalog->baseInfo("Video", "2", "ext"), QString("avi"));
        QCOMPARE(m_catalog->baseInfo("Video", "2", "nokey"), QString());
        QCOMPARE(m_catalog->baseInfo("Video", "", "ext"), QString());
        QCOMPARE(m_catalog->baseInfo("", "2", "ext"), QString());
        QCOMPARE(m_catalog->baseInfo("Video", "7", "ext"), QString());
    }

    void chosenEntry_data()
    {
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<QString>("chosenResolution");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QStringList>("resolutions");
        const QStringList h264 = {"Auto", "1280*720", "1920*1080", "1920*1080"};
        QTest::newRow("requested, last match wins") << "H264" << "1920*1080" << "1920*1080" << "1092 kbps" << h264;
        QTest::newRow("empty asks for the default") << "" << "" << "1920*1080" << "1092 kbps" << h264;
        QTest::newRow("Auto asks for the default") << "Auto" << "Auto" << "1920*1080" << "1092 kbps" << h264;
        QTest::newRow("first match") << "H264" << "1280*720" << "1280*720" << "722 kbps" << h264;
        QTest::newRow("unknown size takes the first") << "H264" << "999*999" << "1280*720" << "722 kbps" << h264;
        QTest::newRow("other encoder, its sizes only") << "MP4V" << "" << "640*480" << "482 kbps"
                                                       << QStringList{"Auto", "640*480"};
    }
    void chosenEntry()
    {
        QFETCH(QString, encoder);
        QFETCH(QString, resolution);
        const FormatParams p = m_catalog->params("Video", "1", encoder, resolution, "", "");
        QTEST(p.resolution, "chosenResolution");
        QTEST(p.videoBitRateHigh, "high");
        QTEST(p.resolutions, "resolutions");
    }

    // The menus of a format with automatic values; the defaults they resolve
    // to are held by the apply table below.
    void automaticValues()
    {
        const FormatParams p = m_catalog->params("Video", "1", "", "", "", "");
        QVERIFY(p.autoValues);
        QVERIFY(!p.audioOnly);
        QCOMPARE(p.videoEncoders, (QStringList{"Auto", "H264", "MP4V"}));
        QCOMPARE(p.frameRates, (QStringList{"Auto", "59.94 fps"}));
        QCOMPARE(p.videoBitRates, (QStringList{"Auto", "Auto", "500 kbps", "1000 kbps"}));
        QCOMPARE(p.videoBitRateDefault, QString("1090 kbps"));
        QCOMPARE(p.audioEncoders, (QStringList{"Auto", "AAC", "mp3"}));
        QCOMPARE(p.channels, (QStringList{"Auto", "1", "2"}));
        QCOMPARE(p.audioBitRates, (QStringList{"Auto", "64 kbps", "128 kbps"}));
        QCOMPARE(p.sampleRates, (QStringList{"Auto", "22050 HZ", "48000 HZ"}));

        // The channel choice picks the audio entry.
        const FormatParams mono = m_catalog->params("Video", "1", "", "", "AAC", "1");
        QCOMPARE(mono.channel, QString("1"));
        QCOMPARE(mono.audioBitRateLow, QString("111 kbps"));
        QCOMPARE(mono.sampleRateDefault, QString("44100 HZ"));
    }

    void filteredAudio()
    {
        const FormatParams p = m_catalog->params("Video", "2", "", "", "", "");
        QVERIFY(!p.autoValues);
        QCOMPARE(p.videoEncoders, (QStringList{"Auto", "Xvid", "H264", "MJPG"})); // "0" only
        QCOMPARE(p.resolutions, (QStringList{"320*240", "720*480"}));
        QCOMPARE(p.resolution, QString("320*240")); // the default 640*480 is not offered
        QCOMPARE(p.frameRates, (QStringList{"Auto", "25 fps"}));
        QCOMPARE(p.audioEncoders, (QStringList{"mp3", "AAC"})); // no leading Auto
        QCOMPARE(p.channels, (QStringList{"2"}));               // of mp3, the first of the filter
        QCOMPARE(p.audioBitRateHigh, QString("322 kbps"));

        const FormatParams h264 = m_catalog->params("Video", "2", "H264", "", "", "");
        QCOMPARE(h264.audioEncoders, (QStringList{"AAC"}));
        QCOMPARE(h264.channels, (QStringList{"6", "2"}));
        QCOMPARE(h264.channel, QString("2"));
        QCOMPARE(h264.audioBitRateHigh, QString("122 kbps"));

        // A filter without audio encoders for the video encoder: empty audio menus.
        const FormatParams mjpg = m_catalog->params("Video", "2", "MJPG", "", "", "");
        QVERIFY(mjpg.audioEncoders.isEmpty());
        QVERIFY(mjpg.channels.isEmpty());
        QVERIFY(mjpg.sampleRateDefault.isEmpty());
    }

    void audioOnlyAndMissing()
    {
        const FormatParams p = m_catalog->params("Audio", "9", "", "", "", "");
        QVERIFY(p.audioOnly);
        QVERIFY(p.videoEncoders.isEmpty() && p.resolutions.isEmpty() && p.frameRates.isEmpty()
                && p.videoBitRates.isEmpty());
        QCOMPARE(p.channel, QString("1"));
        QCOMPARE(p.sampleRateDefault, QString("22050 HZ"));

        const FormatParams none = m_catalog->params("Video", "77", "", "", "", "");
        QVERIFY(none.ext.isEmpty() && none.audioEncoders.isEmpty() && !none.audioOnly);

        const FormatParams empty = m_catalog->params("", "1", "", "", "", "");
        QVERIFY(empty.category.isEmpty() && empty.formatId.isEmpty());

        // Values of the wrong kind read as missing instead of ending the program.
        const FormatParams odd = m_catalog->params("Odd", "5", "", "", "", "");
        QCOMPARE(odd.videoEncoders, (QStringList{"Auto"}));
        QCOMPARE(odd.videoEncoder, QString("H264"));
        QCOMPARE(odd.resolutions, (QStringList{"Auto"}));
    }

    void unreadableCatalogue_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << "" << QByteArray() << "Can't open file: ";
        QTest::newRow("root array") << "array.plist" << QByteArray("<plist><array/></plist>")
                                    << "boost::bad_any_cast: failed conversion using boost::any_cast";
    }
    void unreadableCatalogue()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString path = file.isEmpty() ? m_dir.path() + "/missing.plist" : write(file, bytes);
        const ProfileCatalog catalog(path);
        QVERIFY(!catalog.isLoaded());
        QCOMPARE(catalog.loadError(), error + (file.isEmpty() ? path : QString()));
        QVERIFY(catalog.categories().isEmpty());
        QVERIFY(catalog.formats("Video").isEmpty());
        QVERIFY(catalog.params("Video", "1", "", "", "", "").ext.isEmpty());
    }

    void apply_data()
    {
        QTest::addColumn<QString>("format");  // category/id
        QTest::addColumn<int>("quality");
        QTest::addColumn<QStringList>("entries"); // the eight combos
        QTest::addColumn<QString>("expected");    // container, video, frame rate, bit rates, audio, preset
        const QStringList allAuto = {"Auto", "Auto", "Auto", "Auto", "Auto", "Auto", "Auto", "Auto"};
        QTest::newRow("all Auto, Small Size takes low")
            << "Video/1" << 0 << allAuto << "mp4 H264 28 0x0 60000/1001 v1091 AAC 86018 ch2 48000 a121 q50";
        QTest::newRow("all Auto, High Quality takes high")
            << "Video/1" << 1 << allAuto << "mp4 H264 28 0x0 60000/1001 v1092 AAC 86018 ch2 48000 a122 q90";
        QTest::newRow("Customized takes the default")
            << "Video/1" << 2 << QStringList{"Original", "1280*720", "Smart Fit", "Auto", "mp3", "2", "Auto", "Auto"}
            << "mp4 H264 28 1280x720 25/1 v720 mp3 0 ch2 44100 a320 q50"; // codes compare exactly: "mp3" is not "MP3"
        QTest::newRow("explicit entries")
            << "Video/1" << 1 << QStringList{"MP4V", "1920*1080", "29.97 fps", "500 kbps", "AAC", "1", "22050 HZ", "64 kbps"}
            << "mp4 MP4V 13 1920x1080 30000/1001 v500 AAC 86018 ch1 22050 a64 q90";
        QTest::newRow("23.976, texts without units give 0")
            << "Video/1" << 1 << QStringList{"H264", "640*480", "23.976 fps", "1000", "AAC", "2", "44100", "128"}
            << "mp4 H264 28 640x480 24000/1001 v0 AAC 86018 ch2 0 a0 q90";
        QTest::newRow("whole frame rate, bit rate without a number")
            << "Video/1" << 0 << QStringList{"H264", "Auto", "25 fps", "x kbps", "Auto", "Auto", "Auto", "Auto"}
            << "mp4 H264 28 0x0 25/1 v0 AAC 86018 ch2 48000 a121 q50";
        QTest::newRow("default frame rate 0 keeps the source rate")
            << "Video/2" << 0 << QStringList{"Auto", "Auto", "Auto", "Auto", "mp3", "Auto", "Auto", "Auto"}
            << "avi Xvid 1145656920 0x0 0/1 v241 mp3 0 ch2 44100 a321 q50";
        QTest::newRow("filtered audio: Auto has no default encoder")
            << "Video/2" << 0 << QStringList{"Xvid", "320*240", "25 fps", "Auto", "Auto", "Auto", "Auto", "Auto"}
            << "avi Xvid 1145656920 320x240 25/1 v241  -1 ch2 44100 a321 q50";
        QTest::newRow("audio only: video entries ignored")
            << "Audio/9" << 0 << QStringList{"H264", "1280*720", "25 fps", "500 kbps", "Auto", "Auto", "Auto", "Auto"}
            << "audio only: mp3  -1 0x0 0/1 v0 mp3 0 ch1 22050 a311 q50";
    }
    void apply()
    {
        QFETCH(QString, format);
        QFETCH(int, quality);
        QFETCH(QStringList, entries);
        const QStringList e = entries;
        const OutputChoice c{format.section('/', 0, 0), format.section('/', 1), quality, format.startsWith("Audio"),
                             e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7]};
        const OutputFormat f = OutputFormat::fromChoice(*m_catalog, c);
        const QString got = QString("%1%2 %3 %4 %5x%6 %7/%8 v%9 %10 %11 ch%12 %13 a%14 q%15")
                                .arg(f.audioOnly ? "audio only: " : "", f.container, f.videoCodec)
                                .arg(f.videoCodecId).arg(f.width).arg(f.height)
                                .arg(f.frameRateNum).arg(f.frameRateDen).arg(f.videoBitRate)
                                .arg(f.audioCodec).arg(f.audioCodecId)
                                .arg(f.channels).arg(f.sampleRate).arg(f.audioBitRate).arg(f.quality);
        QTEST(got, "expected");
    }
};

VELMORA_TEST_MAIN(TestProfileCatalog)
#include "test_profile_catalog.moc"
