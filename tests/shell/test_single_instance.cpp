// One converter per desktop, checked with real processes of the program.

#include "TestEnv.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

#include <memory>
#include <signal.h>

namespace {

const char kRefusal[] = "An instance has already been running.";
const char kShown[] = "velmora: main window shown";

std::unique_ptr<QProcess> startVelmora(int quitAfterMs = 0)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMORA_DISMISS_DIALOGS_MS", "300");
    if (quitAfterMs > 0)
        env.insert("VELMORA_QUIT_AFTER_MS", QString::number(quitAfterMs));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->start(qEnvironmentVariable("VELMORA_BIN_DIR") + "/velmora", {});
    return p;
}

// Waits until the process printed `text` on stderr or ended.
bool waitForText(QProcess &p, const char *text, QByteArray &seen, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        p.waitForReadyRead(100);
        seen += p.readAllStandardError();
        if (seen.contains(text))
            return true;
        if (p.state() == QProcess::NotRunning) {
            seen += p.readAllStandardError();
            return seen.contains(text);
        }
    }
    return false;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondStartIsRefusedAndFirstKeepsRunning();
    void startAfterCrashAndAfterNormalExit();
    void twoStartsAtTheSameInstant();
};

void TestSingleInstance::secondStartIsRefusedAndFirstKeepsRunning()
{
    auto first = startVelmora();
    QByteArray firstErr;
    QVERIFY2(waitForText(*first, kShown, firstErr), firstErr.constData());

    auto second = startVelmora();
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    const QByteArray secondErr = second->readAllStandardError();
    QVERIFY2(secondErr.contains(kRefusal), secondErr.constData());
    QVERIFY(!secondErr.contains(kShown));

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
    QVERIFY2(waitForText(*crashed, kShown, err), err.constData());
    ::kill(pid_t(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(10000));

    auto afterCrash = startVelmora(1500);
    err.clear();
    QVERIFY2(waitForText(*afterCrash, kShown, err), err.constData());
    QVERIFY(afterCrash->waitForFinished(30000));
    QCOMPARE(afterCrash->exitCode(), 0);
    err += afterCrash->readAllStandardError();
    QVERIFY2(!err.contains(kRefusal), err.constData());

    // And after that one exited normally.
    auto afterExit = startVelmora(1000);
    err.clear();
    QVERIFY2(waitForText(*afterExit, kShown, err), err.constData());
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

VELMORA_TEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
