// ParserXML against real files in a private settings folder.

#include "settings/ParserXML.h"

#include "TestEnv.h"
#include "TestTools.h"

#include <QApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

namespace {

using TestTools::readFile;

void writeBytes(const QString &path, const QByteArray &bytes) { QVERIFY(TestTools::writeFile(path, bytes)); }

// The elements tagged `tag` directly under the document element.
QList<QDomElement> elementsTagged(const QString &path, const QString &tag)
{
    QList<QDomElement> out;
    QDomDocument doc;
    doc.setContent(readFile(path), false);
    for (QDomElement e = doc.documentElement().firstChildElement(tag); !e.isNull();
         e = e.nextSiblingElement(tag))
        out << e;
    return out;
}

ConvertedFileInfo entry(const QString &path, const QString &tag)
{
    return {"/tmp/thumb_" + tag + ".png", path, "640*480", "01:0" + tag, tag + ".00 MB", "mp4"};
}

const QByteArray kWarning = "^error::ParserXML->writeOperateXml->file.open";

// Reads and writes through every kind of record; the reads must give defaults.
void useEveryEntryPoint()
{
    QCOMPARE(ParserXML::readSetting("CLOSE_ITEM", "bIsCloseDlg", "Y"), QString("Y"));
    ParserXML::writeSetting("CLOSE_ITEM", "bIsCloseDlg", "N");
    QVERIFY(!ParserXML::readFormatCustom("1101"));
    ParserXML::writeFormatCustom("1101", FormatCustomSettings{});
    ParserXML::addConvertedFile(entry("/x/a.mp4", "1"));
    QVERIFY(!ParserXML::findConvertedFile("/x/a.mp4"));
    QVERIFY(ParserXML::listConvertedFiles().isEmpty());
}

// Every read and write, on files that must stay untouched.
void useEveryOperation(const QString &languageXml)
{
    useEveryEntryPoint();
    QCOMPARE(ParserXML::readSnapshotFormat(), QString("JPEG"));
    ParserXML::writeSnapshotFolder("/tmp");
    ParserXML::removeConvertedFiles({"/x/a.mp4"});
    QVERIFY(ParserXML::languageFile(languageXml, "English").isEmpty());
}

} // namespace

class TestParserXML : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const QString &p : {ParserXML::settingFilePath(), ParserXML::formatFilePath(), ParserXML::convertedFilePath()})
            QFile::remove(p);
    }

    void readSetting_data()
    {
        QTest::addColumn<QByteArray>("initial");   // file content; "-" = no file
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("itemCount");        // elements tagged item afterwards
        QTest::addColumn<QString>("storedFirst");  // attribute of the first such element afterwards
        QTest::addColumn<bool>("keyPresent");      // the first element carries the key afterwards

        QTest::newRow("first start: file created with the default")
            << QByteArray("-") << "CLOSE_ITEM" << "bIsCloseDlg" << "Y" << "Y" << 1 << "Y" << true;
        QTest::newRow("empty attribute reads default, stays empty")
            << QByteArray("<ROOTITEM><CLOSE_ITEM bIsCloseDlg=\"\"/></ROOTITEM>")
            << "CLOSE_ITEM" << "bIsCloseDlg" << "Y" << "Y" << 1 << "" << true;
        QTest::newRow("missing key is not added")
            << QByteArray("<ROOTITEM><FormatSet Format_ID=\"1203\"/></ROOTITEM>")
            << "FormatSet" << "Format_cate" << "Devices" << "Devices" << 1 << "" << false;
        QTest::newRow("stored value wins")
            << QByteArray("<ROOTITEM><FormatSet Format_ID=\"1203\"/></ROOTITEM>")
            << "FormatSet" << "Format_ID" << "1101" << "1203" << 1 << "1203" << true;
        QTest::newRow("duplicate item: first is read")
            << QByteArray("<ROOTITEM><OutPut_path path_value=\"/a\"/><OutPut_path path_value=\"/b\"/></ROOTITEM>")
            << "OutPut_path" << "path_value" << "/x" << "/a" << 2 << "/a" << true;
        QTest::newRow("missing item appended with default")
            << QByteArray("<ROOTITEM><CLOSE_ITEM bIsCloseDlg=\"N\"/></ROOTITEM>")
            << "SHOWDOWN_ITEM" << "bIsShowDownComputer" << "N" << "N" << 1 << "N" << true;
        QTest::newRow("0-byte file is recreated")
            << QByteArray("") << "UPDATES_ITEM" << "bIsAutoUpdate" << "N" << "N" << 1 << "N" << true;
        QTest::newRow("invalid item name refused")
            << QByteArray("-") << "bad item" << "k" << "d" << "d" << 0 << "" << false;
    }

    void readSetting()
    {
        QFETCH(QByteArray, initial);
        QFETCH(QString, item);
        QFETCH(QString, key);
        QFETCH(QString, defaultValue);
        QFETCH(QString, expected);
        QFETCH(int, itemCount);

        const QString path = ParserXML::settingFilePath();
        if (initial != "-")
            writeBytes(path, initial);
        QCOMPARE(ParserXML::readSetting(item, key, defaultValue), expected);
        // Reading again gives the same answer from the file written the first time.
        QCOMPARE(ParserXML().readSetting(item, key, defaultValue), expected);

        const QList<QDomElement> items = elementsTagged(path, item);
        QCOMPARE(items.size(), itemCount);
        if (itemCount > 0) {
            QTEST(items.first().hasAttribute(key), "keyPresent");
            QTEST(items.first().attribute(key), "storedFirst");
        }
        // The atomic write leaves no temporary file behind.
        QCOMPARE(QDir(ParserXML::settingsFolder()).entryList(QDir::Files),
                 itemCount ? QStringList{"VideoDefaultSetting.xml"} : QStringList());
    }

    void writeSetting_data()
    {
        QTest::addColumn<QByteArray>("initial"); // "-" = no file
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("expectedValues"); // key "k" of every element tagged item; empty = file unchanged

        QTest::newRow("duplicate item: only the first is written")
            << QByteArray("<ROOTITEM><X k=\"a\"/><X k=\"b\"/></ROOTITEM>") << "X" << QStringList{"new", "b"};
        QTest::newRow("item never read is not added")
            << QByteArray("<ROOTITEM><CLOSE_ITEM bIsCloseDlg=\"Y\"/></ROOTITEM>") << "REMIND_ITEM" << QStringList();
        QTest::newRow("missing file stays missing") << QByteArray("-") << "X" << QStringList();
    }

    void writeSetting()
    {
        QFETCH(QByteArray, initial);
        QFETCH(QString, item);
        QFETCH(QStringList, expectedValues);

        const QString path = ParserXML::settingFilePath();
        if (initial != "-")
            writeBytes(path, initial);
        ParserXML::writeSetting(item, "k", "new");

        if (initial == "-") {
            QVERIFY(!QFile::exists(path));
            return;
        }
        if (expectedValues.isEmpty()) {
            QCOMPARE(readFile(path), initial);
            return;
        }
        QStringList values;
        for (const QDomElement &e : elementsTagged(path, item))
            values << e.attribute("k");
        QCOMPARE(values, expectedValues);
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");

        QTest::newRow("markup characters") << "a<b>&\"c'" << "a<b>&\"c'";
        QTest::newRow("non-ASCII") << QString::fromUtf8("/home/ü/Vidéos/日本語") << QString::fromUtf8("/home/ü/Vidéos/日本語");
        QTest::newRow("emoji (surrogate pair)") << QString::fromUtf8("clip 🎬") << QString::fromUtf8("clip 🎬");
        QTest::newRow("control characters dropped") << QString("a\x01" "b\x1f" "c") << "abc";
        QTest::newRow("lone surrogate dropped") << (QString("x") + QChar(0xD800) + "y") << "xy";
    }

    void valuesRoundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QString, readBack);

        QCOMPARE(ParserXML::readSetting("OutPut_path", "path_value", "/default"), QString("/default"));
        ParserXML::writeSetting("OutPut_path", "path_value", value);
        QCOMPARE(ParserXML::readSetting("OutPut_path", "path_value", "/default"), readBack);
        // The file stays readable after any value: a later item still gets created.
        QCOMPARE(ParserXML::readSetting("Open_path", "Open_path_value", "."), QString("."));
        QCOMPARE(elementsTagged(ParserXML::settingFilePath(), "Open_path").size(), 1);
    }

    void snapshotReadsFillEmptyAttribute()
    {
        const QString path = ParserXML::settingFilePath();
        writeBytes(path, "<ROOTITEM><Screenshots IMG_SUFFIX=\"\" IMG_Folder=\"\"/></ROOTITEM>");

        QCOMPARE(ParserXML::readSnapshotFormat(), QString("JPEG"));
        const QString folder = ParserXML::readSnapshotFolder();
        QVERIFY2(folder.endsWith("/Screenshots/"), qPrintable(folder));
        QVERIFY(QDir(folder).exists());
        QDomElement shots = elementsTagged(path, "Screenshots").value(0);
        QCOMPARE(shots.attribute("IMG_SUFFIX"), QString("JPEG"));
        QCOMPARE(shots.attribute("IMG_Folder"), folder);

        ParserXML::writeSnapshotFormat("PNG");
        ParserXML::writeSnapshotFolder("/srv/shots/");
        QCOMPARE(ParserXML::readSnapshotFormat(), QString("PNG"));
        QCOMPARE(ParserXML::readSnapshotFolder(), QString("/srv/shots/"));
        QCOMPARE(elementsTagged(path, "Screenshots").size(), 1);
    }

    void formatCustom_data()
    {
        QTest::addColumn<QByteArray>("file"); // "-" = no file
        QTest::addColumn<QString>("formatId");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("values"); // the eight texts in field order, when found
        QTest::addColumn<bool>("onlyAudio");

        const QByteArray two =
            "<ROOTITEM>"
            "<FORMAT_ Format_ID=\"1101\"><Format_Custom OnlyAudio=\"N\" V_Encoder=\" h264 \" V_Resolution=\"640*480\""
            " V_FrameRate=\"25\" V_BitRate=\"1000\" A_Encoder=\"aac\" A_Channel=\"2\" A_SampleRate=\"44100\" A_BitRate=\"128\"/></FORMAT_>"
            "<FORMAT_ Format_ID=\"2001\"><Format_Custom OnlyAudio=\"Y\" V_Encoder=\"h264\" V_Resolution=\"1*1\""
            " V_FrameRate=\"30\" V_BitRate=\"9\" A_Encoder=\"mp3\" A_Channel=\"1\" A_SampleRate=\"22050\" A_BitRate=\"64\"/></FORMAT_>"
            "<FORMAT_ Format_ID=\"3001\"/>"
            "<FORMAT_ Format_ID=\"4001\"><Format_Custom OnlyAudio=\"y\" A_Encoder=\"ac3\"/></FORMAT_>"
            "</ROOTITEM>";
        QTest::newRow("video values trimmed") << two << "1101" << true
            << QStringList{"h264", "640*480", "25", "1000", "aac", "2", "44100", "128"} << false;
        QTest::newRow("only audio leaves video empty") << two << "2001" << true
            << QStringList{"", "", "", "", "mp3", "1", "22050", "64"} << true;
        QTest::newRow("OnlyAudio is true only for Y; missing attributes empty") << two << "4001" << true
            << QStringList{"", "", "", "", "ac3", "", "", ""} << false;
        QTest::newRow("element without child") << two << "3001" << false << QStringList() << false;
        QTest::newRow("unknown id") << two << "9999" << false << QStringList() << false;
        QTest::newRow("no file") << QByteArray("-") << "1101" << false << QStringList() << false;
    }

    void formatCustom()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, formatId);
        QFETCH(bool, found);

        if (file != "-")
            writeBytes(ParserXML::formatFilePath(), file);
        const FormatCustomSettings *s = ParserXML::readFormatCustom(formatId);
        QCOMPARE(s != nullptr, found);
        QCOMPARE(ParserXML::formatCustom(formatId).has_value(), found);
        if (!found) {
            QCOMPARE(QFile::exists(ParserXML::formatFilePath()), file != "-");
            return;
        }
        QTEST(s->onlyAudio, "onlyAudio");
        const QStringList got{s->videoEncoder, s->videoResolution, s->videoFrameRate, s->videoBitRate,
                              s->audioEncoder, s->audioChannel, s->audioSampleRate, s->audioBitRate};
        QTEST(got, "values");
    }

    void formatCustomWriteReplacesInPlace()
    {
        const FormatCustomSettings first{false, "h264", "1280*720", "30", "2000", "aac", "2", "48000", "192"};
        FormatCustomSettings second = first;
        second.videoBitRate = "4000";
        second.audioChannel = "6";
        const FormatCustomSettings audio{true, "", "", "", "", "mp3", "2", "44100", "320"};

        ParserXML::writeFormatCustom("1101", first);
        ParserXML::writeFormatCustom("5001", audio);
        ParserXML::writeFormatCustom("1101", second);

        QCOMPARE(ParserXML::formatCustom("1101").value(), second);
        QCOMPARE(ParserXML::formatCustom("5001").value(), audio);
        const QList<QDomElement> formats = elementsTagged(ParserXML::formatFilePath(), "FORMAT_");
        QCOMPARE(formats.size(), 2);
        QCOMPARE(formats.at(0).attribute("Format_ID"), QString("1101")); // replaced where it was
    }

    // Adding a path again replaces its entry in place; the list drops entries
    // whose file is gone, from the file too. Paths and thumbnails may be non-ASCII.
    void historyAddReplaceAndPrune()
    {
        const QString dir = TestEnv::root() + QString::fromUtf8("/Vidéos 日本");
        QVERIFY(QDir().mkpath(dir));
        QStringList paths;
        for (const char *n : {"a.mp4", "b 🎬.mp4", "Ünïcode c.mp4"}) {
            paths << dir + "/" + QString::fromUtf8(n);
            writeBytes(paths.last(), "x");
        }
        ParserXML::addConvertedFile(static_cast<const ConvertedFileInfo *>(nullptr));
        QVERIFY(!QFile::exists(ParserXML::convertedFilePath()));

        for (int i = 0; i < paths.size(); ++i) {
            const ConvertedFileInfo info = entry(paths[i], QString::number(i));
            ParserXML::addConvertedFile(&info);
        }
        ConvertedFileInfo replaced = entry(paths[0], "9");
        replaced.imgPath = dir + QString::fromUtf8("/缩略图.png");
        ParserXML::addConvertedFile(replaced);

        QCOMPARE(ParserXML::listConvertedFiles(), paths); // position kept
        QCOMPARE(elementsTagged(ParserXML::convertedFilePath(), "Path_item").size(), 3);
        const ConvertedFileInfo *found = ParserXML::findConvertedFile(paths[0]);
        QVERIFY(found);
        QCOMPARE(*found, replaced);
        QCOMPARE(ParserXML::convertedFile(paths[2]).value(), entry(paths[2], "2"));
        QVERIFY(readFile(ParserXML::convertedFilePath()).contains(paths[2].toUtf8()));

        QVERIFY(QFile::remove(paths[1]));
        QCOMPARE(ParserXML::listConvertedFiles(), (QStringList{paths[0], paths[2]}));
        QVERIFY(!readFile(ParserXML::convertedFilePath()).contains(paths[1].toUtf8()));
        QCOMPARE(elementsTagged(ParserXML::convertedFilePath(), "Path_item").size(), 2);
        QVERIFY(!ParserXML::findConvertedFile(paths[1]));
    }

    void historyRemoveAndFind()
    {
        ParserXML::removeConvertedFiles({"/x/a.mp4"});
        QVERIFY(!ParserXML::findConvertedFile("/x/a.mp4"));
        QVERIFY(!QFile::exists(ParserXML::convertedFilePath())); // neither creates a missing file

        for (const char *p : {"/x/a.mp4", "/x/b.mp4", "/x/c.mp4", "/x/A.mp4"})
            ParserXML::addConvertedFile(entry(p, "2"));
        ParserXML::removeConvertedFiles({"/x/a.mp4", "/x/c.mp4", "/x/none.mp4"});

        QStringList left;
        for (const QDomElement &e : elementsTagged(ParserXML::convertedFilePath(), "Path_item"))
            left << e.attribute("Converted_path_");
        QCOMPARE(left, (QStringList{"/x/b.mp4", "/x/A.mp4"}));
        QVERIFY(!ParserXML::findConvertedFile("/x/a.mp4"));       // case-sensitive
        QVERIFY(!ParserXML::findConvertedFile("\\x\\A.mp4"));     // separators compared as given
        QCOMPARE(ParserXML::findConvertedFile("/x/A.mp4")->convertedPath, QString("/x/A.mp4"));
    }

    void unparsableFileIsNeverOverwritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("unclosed element") << QByteArray("<ROOTITEM><CLOSE_ITEM bIsCloseDlg=\"N\">");
        QTest::newRow("truncated write") << QByteArray("<ROOTITEM>\n    <Path_item Converted_path_=\"/x/a.mp");
        QTest::newRow("white space only") << QByteArray("   \n");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe garbage", 12);
        // Well formed, but beyond what a settings file or the history ever is: the
        // history row makes the list prune and rewrite the file.
        QTest::newRow("5000 levels deep") << "<ROOTITEM><Path_item Converted_path_=\"/x/gone.mp4\"/>"
                                                  + QByteArray("<a>").repeated(5000) + QByteArray("</a>").repeated(5000)
                                                  + "</ROOTITEM>";
        QTest::newRow("over 4 MB") << "<ROOTITEM><Path_item Converted_path_=\"/x/gone.mp4\"/><!--"
                                           + QByteArray(4 << 20, ' ') + "--><CLOSE_ITEM bIsCloseDlg=\"N\"/></ROOTITEM>";
    }

    void unparsableFileIsNeverOverwritten()
    {
        QFETCH(QByteArray, content);
        const QStringList files{ParserXML::settingFilePath(), ParserXML::formatFilePath(), ParserXML::convertedFilePath()};
        for (const QString &f : files)
            writeBytes(f, content);
        useEveryOperation(files.first());
        for (const QString &f : files)
            QCOMPARE(readFile(f), content);
    }

    void specialFilesAreNeverRead()
    {
        // A FIFO would block the first read for good, a link to /dev/zero would
        // never end; both are left as they are.
        const QStringList files{ParserXML::settingFilePath(), ParserXML::formatFilePath(), ParserXML::convertedFilePath()};
        for (const QString &f : files)
            QVERIFY(QFile::link("/dev/zero", f));
        useEveryOperation(files.first());
        for (const QString &f : files) {
            QCOMPARE(QFileInfo(f).symLinkTarget(), QString("/dev/zero"));
            QVERIFY(QFile::remove(f));
            QCOMPARE(::mkfifo(QFile::encodeName(f).constData(), 0600), 0);
        }
        useEveryOperation(files.first());
        for (const QString &f : files)
            QVERIFY(!QFileInfo(f).isFile() && QFileInfo(f).exists());
    }

    void unwritableFolderGivesDefaults()
    {
        // Tests run as root, so permissions cannot make a folder unwritable; a path
        // below a regular file can never be created or written.
        const QString blocker = TestEnv::root() + "/blocker";
        writeBytes(blocker, "not a folder");
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (blocker + "/data").toUtf8());
        auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", saved); });
        QVERIFY(ParserXML::settingFilePath().startsWith(blocker));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(kWarning));
        useEveryEntryPoint();
        QCOMPARE(ParserXML::readSetting("SHOWDOWN_ITEM", "bIsShowDownComputer", "N"), QString("N"));
        QVERIFY(!QFile::exists(ParserXML::settingFilePath()));
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));
    }

    void languageFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-" = no file
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");

        const QByteArray table =
            "<Languages>"
            "<Lang Language_Name=\"English\" Language_File=\"en.qm\"/>"
            "<Other Language_Name=\"Deutsch\" Language_File=\"de.qm\"/>"
            "<Lang Language_Name=\"English\" Language_File=\"en_us.qm\"/>"
            "</Languages>";
        QTest::newRow("later duplicate wins") << table << "English" << "en_us.qm";
        QTest::newRow("tag not looked at") << table << "Deutsch" << "de.qm";
        QTest::newRow("no match") << table << "Français" << "";
        QTest::newRow("missing file") << QByteArray("-") << "English" << "";
        QTest::newRow("unparsable") << QByteArray("<Languages><Lang") << "English" << "";
    }

    void languageFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);

        const QString path = TestEnv::root() + "/Language.xml";
        QFile::remove(path);
        if (content != "-")
            writeBytes(path, content);
        QTEST(ParserXML::languageFile(path, name), "expected");
        if (content != "-")
            QCOMPARE(readFile(path), content); // only ever read
    }
};

VELMORA_TEST_MAIN(TestParserXML)
#include "tst_parserxml.moc"
