// One converter per desktop, checked with real processes of the program.

#include "TestEnv.h"
#include "TestTools.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestTools::waitForStderr;

const char kRefusal[] = "An instance has already been running.";
const char kShown[] = "velmora: main window shown";

// env: changes to this process's environment; asUid: another user to run as.
std::unique_ptr<QProcess> startVelmora(int quitAfterMs = 0, const QProcessEnvironment &extra = {},
                                       int asUid = -1)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMORA_DISMISS_DIALOGS_MS", "300");
    if (quitAfterMs > 0)
        env.insert("VELMORA_QUIT_AFTER_MS", QString::number(quitAfterMs));
    for (const QString &k : extra.keys())
        env.insert(k, extra.value(k));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::SeparateChannels);
    const QString velmora = qEnvironmentVariable("VELMORA_BIN_DIR") + "/velmora";
    if (asUid >= 0)
        p->start("setpriv", {QString("--reuid=%1").arg(asUid), QString("--regid=%1").arg(asUid), "--clear-groups", velmora});
    else
        p->start(velmora, {});
    return p;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondStartIsRefusedAndFirstKeepsRunning();
    void startAfterCrashAndAfterNormalExit();
    void twoStartsAtTheSameInstant();
    void anotherUsersInstanceNeverCounts();
};

void TestSingleInstance::secondStartIsRefusedAndFirstKeepsRunning()
{
    auto first = startVelmora();
    QByteArray firstErr;
    QVERIFY2(waitForStderr(*first, kShown, firstErr), firstErr.constData());

    auto second = startVelmora();
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    const QByteArray secondErr = second->readAllStandardError();
    QVERIFY2(secondErr.contains(kRefusal), secondErr.constData());
    QVERIFY(!secondErr.contains(kShown));
    // Before refusing, the second start had the first show its window.
    QVERIFY2(waitForStderr(*first, "velmora: shown for a second start", firstErr, 10000), firstErr.constData());

    QCOMPARE(first->state(), QProcess::Running);
    first->kill();
    first->waitForFinished(10000);
}

void TestSingleInstance::startAfterCrashAndAfterNormalExit()
{
    // A crashed instance leaves its System V segment behind; the next start must
    // still come up.
    auto crashed = startVelmora();
    QByteArray err;
    QVERIFY2(waitForStderr(*crashed, kShown, err), err.constData());
    ::kill(pid_t(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(10000));

    auto afterCrash = startVelmora(1500);
    err.clear();
    QVERIFY2(waitForStderr(*afterCrash, kShown, err), err.constData());
    QVERIFY(afterCrash->waitForFinished(30000));
    QCOMPARE(afterCrash->exitCode(), 0);
    err += afterCrash->readAllStandardError();
    QVERIFY2(!err.contains(kRefusal), err.constData());

    // And after that one exited normally.
    auto afterExit = startVelmora(1000);
    err.clear();
    QVERIFY2(waitForStderr(*afterExit, kShown, err), err.constData());
    QVERIFY(afterExit->waitForFinished(30000));
}

void TestSingleInstance::twoStartsAtTheSameInstant()
{
    auto a = startVelmora(4000);
    auto b = startVelmora(4000);
    QVERIFY(a->waitForFinished(40000));
    QVERIFY(b->waitForFinished(40000));
    const QByteArray ea = a->readAllStandardError(), eb = b->readAllStandardError();
    const int shown = int(ea.contains(kShown)) + int(eb.contains(kShown));
    const int refused = int(ea.contains(kRefusal)) + int(eb.contains(kRefusal));
    QVERIFY2(shown == 1 && refused == 1, (ea + "\n----\n" + eb).constData());
    QCOMPARE(a->exitCode(), 0);
    QCOMPARE(b->exitCode(), 0);
}

void TestSingleInstance::anotherUsersInstanceNeverCounts()
{
    if (::geteuid() != 0)
        QSKIP("starting the program as another user needs root");
    // Two users sharing one temporary folder, as they share /tmp; the other
    // user (nobody) has a home and a runtime folder of its own.
    const uid_t other = 65534;
    QTemporaryDir base("/tmp/velmora-users-XXXXXX");
    QVERIFY(base.isValid());
    QFile::setPermissions(base.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                           | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    const QString shared = base.path() + "/tmp", home = base.path() + "/home", runtime = base.path() + "/runtime";
    for (const QString &d : {shared, home, runtime})
        QVERIFY(QDir().mkpath(d));
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    for (const QString &d : {home, runtime})
        QVERIFY(::chown(QFile::encodeName(d).constData(), other, other) == 0
                && ::chmod(QFile::encodeName(d).constData(), 0700) == 0);

    // The other user's lock file where ours goes, held: it is not ours, so it
    // never counts as this user's instance.
    const QByteArray planted = QFile::encodeName(TestEnv::root() + "/runtime/Velmora Video Converter.lock");
    const int fd = ::open(planted.constData(), O_RDWR | O_CREAT, 0600);
    QVERIFY(fd >= 0 && ::fchown(fd, other, other) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
    auto closeFd = qScopeGuard([fd] { ::close(fd); });

    QProcessEnvironment mine;
    mine.insert("TMPDIR", shared);
    auto first = startVelmora(0, mine);
    QByteArray err;
    QVERIFY2(waitForStderr(*first, kShown, err), err.constData());

    QProcessEnvironment theirs = mine;
    for (const char *k : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"})
        theirs.insert(k, home + "/" + k);
    theirs.insert("HOME", home);
    theirs.insert("XDG_RUNTIME_DIR", runtime);
    auto second = startVelmora(1500, theirs, int(other));
    err.clear();
    QVERIFY2(waitForStderr(*second, kShown, err), err.constData());
    QVERIFY(second->waitForFinished(30000));
    err += second->readAllStandardError();
    QVERIFY2(!err.contains(kRefusal), err.constData());
    QCOMPARE(first->state(), QProcess::Running);
    first->kill();
    first->waitForFinished(10000);
}

VELMORA_TEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
