// Program folders, the size and time texts, the optical-drive scan and the
// update checker's feed handling.

#include "TestEnv.h"
#include "TestTools.h"

#include "base/AppPaths.h"
#include "shell/OpticalDrives.h"
#include "shell/UpdateChecker.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestAppShell : public QObject
{
    Q_OBJECT
private slots:
    void sizeAndDurationTexts();
    void foldersLiveUnderTheUsersLocations();
    void documentsFallbackWhenSubfolderCannotBeMade();
    void driveScanListsOnlyOpticalDevicesWithLabels();
    void versionsCompareNumerically();
    void appcastEvaluation();
    void checkReadsFeedFromLocalUrl();
    void oversizedAndEndlessFeedsAreCutOff();
};

void TestAppShell::sizeAndDurationTexts()
{
    const QList<QPair<qint64, QString>> sizes{
        {0, "0 B"},
        {1024, "1024 B"},               // exactly 1024 stays bytes
        {1025, "1.00 KB"},
        {1048576, "1024.00 KB"},        // exactly 1 MiB stays KB
        {86287500, "82.29 MB"},
        {1073741824, "1024.00 MB"},     // exactly 1 GiB stays MB
        {1073741824LL * 3 / 2, "1.50 GB"}};
    const QList<QPair<qint64, QString>> durations{
        {0, "00:00"}, {59900000, "00:59"}, {3599LL * 1000000, "59:59"},
        {3600LL * 1000000, "01:00:00"}, // one hour switches format
        {-5, "00:00"}};                 // negative clamps
    QStringList expected, got;
    for (const auto &[bytes, text] : sizes) {
        expected << QString("%1 bytes: %2").arg(bytes).arg(text);
        got << QString("%1 bytes: %2").arg(bytes).arg(AppPaths::sizeText(bytes));
    }
    for (const auto &[us, text] : durations) {
        expected << QString("%1 us: %2").arg(us).arg(text);
        got << QString("%1 us: %2").arg(us).arg(AppPaths::durationText(us));
    }
    QCOMPARE(got, expected);
}

void TestAppShell::foldersLiveUnderTheUsersLocations()
{
    const QString root = TestEnv::root();
    const QString docs = AppPaths::documentsFolder();
    const QString data = AppPaths::dataFolder();
    const QString thumbnails = AppPaths::thumbnailFolder();
    for (const QString &f : {docs, data, thumbnails}) {
        QVERIFY2(f.startsWith(root), qPrintable(f));
        QVERIFY2(f.endsWith("/Velmora Video Converter"), qPrintable(f));
        QVERIFY2(QDir(f).exists(), qPrintable(f));
    }
    QCOMPARE(AppPaths::defaultOutputFolder(), docs + "/Converted/");
    QVERIFY(QDir(docs + "/Converted").exists());
}

void TestAppShell::documentsFallbackWhenSubfolderCannotBeMade()
{
    // A regular file where the program folder should go blocks mkpath, even as root.
    const QString docsLoc = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString blocker = docsLoc + "/Velmora Video Converter";
    QDir(blocker).removeRecursively();
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(AppPaths::documentsFolder(), docsLoc);
    QFile::remove(blocker);
    QCOMPARE(AppPaths::documentsFolder(), blocker);
}

void TestAppShell::driveScanListsOnlyOpticalDevicesWithLabels()
{
    QTemporaryDir tree;
    QVERIFY(tree.isValid());
    const QString dev = tree.path() + "/dev";
    QDir().mkpath(dev);
    // sr0: a real ISO 9660 image with a volume label; sr1: unreadable header;
    // sda and sr0x: not optical drives.
    QDir().mkpath(tree.path() + "/content");
    QVERIFY(TestTools::writeFile(tree.path() + "/content/readme.txt", "x"));
    QVERIFY(TestTools::makeIsoImage("MY DISC", tree.path() + "/content", dev + "/sr0"));
    for (const QString &name : {QString("sr1"), QString("sda"), QString("sr0x")})
        QVERIFY(TestTools::writeFile(dev + "/" + name, QByteArray(4096, '\0')));
    const QString mounts = tree.path() + "/mounts";
    QVERIFY(TestTools::writeFile(mounts, QString("/dev/sda1 / ext4 rw 0 0\n%1 /media/user/My\\040Disc iso9660 ro 0 0\n")
                                             .arg(dev + "/sr1").toUtf8()));

    const QList<OpticalDrive> drives = OpticalDrives::scan(dev, mounts);
    QCOMPARE(drives.size(), 2);
    QCOMPARE(drives[0].device, dev + "/sr0");
    QCOMPARE(drives[0].label, QString("MY DISC"));
    QCOMPARE(drives[0].root(), dev + "/sr0");
    QCOMPARE(drives[0].menuText(), dev + "/sr0  MY DISC");
    QCOMPARE(drives[1].device, dev + "/sr1");
    QCOMPARE(drives[1].mountPoint, QString("/media/user/My Disc"));
    QVERIFY(drives[1].label.isEmpty());
    QCOMPARE(drives[1].root(), QString("/media/user/My Disc"));
    QCOMPARE(drives[1].menuText(), QString("/media/user/My Disc"));

    QVERIFY(OpticalDrives::scan(tree.path() + "/missing", mounts).isEmpty());
}

void TestAppShell::versionsCompareNumerically()
{
    const struct { const char *a, *b; int sign; } pairs[] = {
        {"1.0.0", "1.0.0", 0}, {"1.0", "1.0.0", 0}, // missing parts are zero
        {"1.10.0", "1.9.3", 1},                     // numeric, not textual
        {"0.9", "1.0.0", -1}, {"1.0.1", "1.0.0", 1}};
    for (const auto &p : pairs) {
        const int c = UpdateChecker::compareVersions(p.a, p.b);
        QVERIFY2((c > 0) - (c < 0) == p.sign, qPrintable(QString("%1 against %2: %3").arg(QString(p.a), QString(p.b)).arg(c)));
    }
}

static QByteArray feed(const QStringList &versions)
{
    QByteArray xml = "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                     "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>";
    for (const QString &v : versions)
        xml += QString("<item><title>Version %1</title><enclosure url=\"https://example.invalid/v%1.deb\" "
                       "sparkle:version=\"%1\" length=\"1\" type=\"application/octet-stream\"/></item>")
                   .arg(v).toUtf8();
    return xml + "</channel></rss>";
}

void TestAppShell::appcastEvaluation()
{
    using O = UpdateChecker::Outcome;
    // Feeds read by version 1.0.0: the outcome and the newest version named.
    const struct { const char *what; QByteArray xml; O outcome; QString newest; } feeds[] = {
        {"newer release", feed({"1.0.0", "1.2.0"}), O::NewVersion, "1.2.0"},
        {"newest is not first", feed({"1.3.0", "1.10.0", "1.2.0"}), O::NewVersion, "1.10.0"},
        {"same version", feed({"1.0.0"}), O::UpToDate, ""},
        {"only older", feed({"0.9.0"}), O::UpToDate, ""},
        {"no items", feed({}), O::Error, ""},
        {"not xml", "<rss><channel><item>", O::Error, ""},
        {"html page", "<html><body>404</body></html>", O::Error, ""},
    };
    for (const auto &f : feeds) {
        const auto r = UpdateChecker::evaluateAppcast(f.xml, "1.0.0");
        QVERIFY2(r.outcome == f.outcome, f.what);
        if (r.outcome == O::NewVersion) {
            QCOMPARE(r.newest.version, f.newest);
            QVERIFY(r.newest.downloadUrl.isValid());
            QVERIFY(UpdateChecker::messageFor(r, false).contains(f.newest));
        }
        if (r.outcome == O::Error)
            QVERIFY2(!r.error.isEmpty(), f.what);
        // A silent check never bothers the user unless there is news.
        QCOMPARE(UpdateChecker::messageFor(r, false).isEmpty(), r.outcome != O::NewVersion);
    }
}

void TestAppShell::checkReadsFeedFromLocalUrl()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/appcast.xml";
    QVERIFY(TestTools::writeFile(path, feed({"2.0.0"})));

    UpdateChecker &checker = UpdateChecker::instance();
    checker.setShowResults(false);
    checker.setAppDetails("Velmora", "Velmora Video Converter", "1.0.0");
    QSignalSpy spy(&checker, &UpdateChecker::checkFinished);

    // The automatic-check choice is the checker's own, kept across runs.
    checker.setAutomaticCheckForUpdates(false);
    QVERIFY(!checker.automaticCheckForUpdates());
    checker.setAppcastUrl(QUrl::fromLocalFile(path));
    checker.init();
    QTest::qWait(200);
    QCOMPARE(spy.count(), 0); // automatic checks are off: no check at start

    checker.setAutomaticCheckForUpdates(true);
    QVERIFY(checker.automaticCheckForUpdates());
    checker.init();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    auto r = spy.takeFirst().at(0).value<UpdateChecker::Result>();
    QCOMPARE(int(r.outcome), int(UpdateChecker::Outcome::NewVersion));
    QCOMPARE(r.newest.version, QString("2.0.0"));

    // A feed that cannot be read is an error, not "up to date".
    checker.setAppcastUrl(QUrl::fromLocalFile(dir.path() + "/missing.xml"));
    checker.checkUpdateWithUi();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    r = spy.takeFirst().at(0).value<UpdateChecker::Result>();
    QCOMPARE(int(r.outcome), int(UpdateChecker::Outcome::Error));
    checker.setAutomaticCheckForUpdates(false);
    checker.cleanup();
}

void TestAppShell::oversizedAndEndlessFeedsAreCutOff()
{
    UpdateChecker &checker = UpdateChecker::instance();
    checker.setShowResults(false);
    checker.setAppDetails("Velmora", "Velmora Video Converter", "1.0.0");
    QSignalSpy spy(&checker, &UpdateChecker::checkFinished);
    QStringList errors;
    auto check = [&](const QUrl &url) {
        checker.setAppcastUrl(url);
        checker.checkUpdateWithUi();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 20000);
        const auto r = spy.takeFirst().at(0).value<UpdateChecker::Result>();
        errors << (r.outcome == UpdateChecker::Outcome::Error ? r.error : QString("no error"));
    };

    // A valid feed with a newer release, padded past the limit.
    QTemporaryDir dir;
    const QString padded = dir.path() + "/padded.xml";
    QVERIFY(TestTools::writeFile(padded, feed({"2.0.0"}) + "<!--" + QByteArray(3 << 19, ' ') + "-->"));
    check(QUrl::fromLocalFile(padded));
    // A FIFO nobody writes to: opening it on the GUI thread would never return.
    const QString fifo = dir.path() + "/appcast.fifo";
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    check(QUrl::fromLocalFile(fifo));
    // A server that sends without end.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    qint64 sent = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        s->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n<rss>");
        auto more = [s, &sent] {
            // 64 MB bound this test's own memory should the reply never stop.
            if (sent < (64 << 20) && s->bytesToWrite() < (1 << 20)) {
                s->write(QByteArray(1 << 16, ' '));
                sent += 1 << 16;
            }
        };
        connect(s, &QTcpSocket::bytesWritten, s, more);
        more();
    });
    check(QUrl(QString("http://127.0.0.1:%1/appcast.xml").arg(server.serverPort())));

    QCOMPARE(errors.size(), 3);
    QVERIFY2(errors[0].contains("1 MB"), qPrintable(errors[0]));
    QVERIFY2(errors[1].contains("regular file"), qPrintable(errors[1]));
    QVERIFY2(errors[2].contains("1 MB"), qPrintable(errors[2]));
    checker.cleanup();
}

VELMORA_TEST_MAIN(TestAppShell)
#include "test_appshell.moc"
