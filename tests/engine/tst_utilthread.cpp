// The worker thread base: one body at a time, waits that keep the event loop
// running without spinning, and safe destruction.
#include "engine/ManualResetEvent.h"
#include "engine/QUtilThread.h"
#include "TestEnv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <atomic>
#include <deque>
#include <functional>
#include <thread>

namespace {

// Runs queued bodies, one per start(), and measures how many overlap.
class BodyThread : public QUtilThread {
public:
    ~BodyThread() override { joinWorker(); }

    void queueBody(std::function<void()> body)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bodies.push_back(std::move(body));
    }
    int maxActive() const { return m_maxActive; }
    int finished() const { return m_finished; }

protected:
    void OnExecute() override
    {
        std::function<void()> body;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            body = std::move(m_bodies.front());
            m_bodies.pop_front();
        }
        const int now = ++m_active;
        int seen = m_maxActive;
        while (now > seen && !m_maxActive.compare_exchange_weak(seen, now)) {
        }
        body();
        --m_active;
        ++m_finished;
    }

private:
    std::mutex m_mutex; // guards m_bodies
    std::deque<std::function<void()>> m_bodies;
    std::atomic<int> m_active{0};
    std::atomic<int> m_maxActive{0};
    std::atomic<int> m_finished{0};
};

// Stops only when the base signals its stop event (start() or destruction).
class StopPollingThread : public QUtilThread {
public:
    explicit StopPollingThread(std::atomic<bool> &returned) : m_returned(returned) {}
    ~StopPollingThread() override { joinWorker(); }

protected:
    void OnExecute() override
    {
        while (!stopSignalled())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        m_returned = true;
    }

private:
    std::atomic<bool> &m_returned;
};

// CPU time of the calling thread only: the waiting one.
double threadCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestUtilThread : public QObject {
    Q_OBJECT

private slots:
    void startWaitsForRunningBody_data()
    {
        QTest::addColumn<bool>("reentrantStart");
        QTest::newRow("second start waits") << false;
        QTest::newRow("a timer starts a third body during the wait") << true;
    }

    void startWaitsForRunningBody()
    {
        QFETCH(bool, reentrantStart);
        BodyThread t;
        ManualResetEvent gate;
        t.queueBody([&gate] { gate.wait(); });
        QVERIFY(t.start());
        QVERIFY(t.isRunning());

        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start();
        QTimer::singleShot(300, this, [&gate] { gate.set(); });
        bool reentered = false;
        if (reentrantStart) {
            QTimer::singleShot(100, this, [&] {
                t.queueBody([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
                reentered = t.start();
            });
        }

        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = threadCpuSeconds();
        t.queueBody([] {});
        QVERIFY(t.start()); // blocks until the gated body has returned
        const qint64 waitedMs = clock.elapsed();
        const double cpuUsed = threadCpuSeconds() - cpuBefore;

        QVERIFY2(ticks >= 5, qPrintable(QString("only %1 timer ticks while waiting").arg(ticks)));
        // Waiting sleeps in the event loop instead of spinning.
        QVERIFY2(cpuUsed < 0.5 * waitedMs / 1000.0, qPrintable(QString("cpu %1 s in %2 ms").arg(cpuUsed).arg(waitedMs)));
        QVERIFY(t.wait());
        QCOMPARE(reentered, reentrantStart);
        QCOMPARE(t.finished(), reentrantStart ? 3 : 2);
        QCOMPARE(t.maxActive(), 1);
        QVERIFY(!t.isRunning());
    }

    void waitCases()
    {
        // Never started: nothing to wait for.
        BodyThread idle;
        QVERIFY(idle.wait());
        QVERIFY(!idle.isRunning());

        // A body waiting for itself is refused instead of dead-locking.
        BodyThread self;
        std::atomic<int> selfWait{-1};
        self.queueBody([&] { selfWait = self.wait() ? 1 : 0; });
        QVERIFY(self.start());
        QVERIFY(self.wait());
        QCOMPARE(selfWait.load(), 0);

        // From a thread without an event loop, wait() blocks until the body ends.
        BodyThread plain;
        ManualResetEvent gate;
        plain.queueBody([&gate] { gate.wait(); });
        QVERIFY(plain.start());
        std::atomic<bool> waited{false};
        std::thread waiter([&] {
            plain.wait();
            waited = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QVERIFY(!waited);
        gate.set();
        waiter.join();
        QVERIFY(waited);
        QCOMPARE(plain.finished(), 1);
        QVERIFY(plain.wait()); // and again once it has returned

        // What a body posts while it ends is delivered before wait() returns.
        BodyThread poster;
        QObject receiver;
        std::atomic<int> delivered{0};
        poster.queueBody([&] {
            for (int i = 0; i < 20; ++i) {
                QMetaObject::invokeMethod(&receiver, [&delivered] { ++delivered; }, Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        QVERIFY(poster.start());
        QVERIFY(poster.wait());
        QCOMPARE(delivered.load(), 20);
    }

    void destruction()
    {
        // The body has returned already: a hang here meets the test's timeout.
        auto done = std::make_unique<BodyThread>();
        done->queueBody([] {});
        QVERIFY(done->start());
        QVERIFY(done->wait());
        done.reset();

        // The body runs until the stop event: the destructor stops it and waits for it.
        std::atomic<bool> returned{false};
        auto t = std::make_unique<StopPollingThread>(returned);
        QVERIFY(t->start());
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        QVERIFY(!returned);
        t.reset();
        QVERIFY(returned);
    }

    // Exit while a body is stuck (a source whose open blocks): a start() waiting
    // for it inside the main loop gives up instead of spinning on loops that
    // return at once while the application quits.
    void waitGivesUpWhenTheApplicationQuits()
    {
        BodyThread t;
        ManualResetEvent gate;
        t.queueBody([&gate] { gate.wait(); });
        t.queueBody([] {});
        QVERIFY(t.start());
        int started = -1;
        bool stuckAtReturn = false;
        QTimer::singleShot(0, qApp, [&] {
            started = t.start() ? 1 : 0;
            stuckAtReturn = t.isRunning() && t.finished() == 0;
        });
        QTimer::singleShot(100, qApp, &QCoreApplication::quit);
        // Without the give-up the start() above spins until this frees the body.
        std::atomic<bool> over{false};
        std::thread backstop([&] {
            for (int i = 0; i < 300 && !over; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            gate.set();
        });
        QCoreApplication::exec();
        over = true;
        backstop.join();
        QCOMPARE(started, 0);
        QVERIFY(stuckAtReturn);
        QVERIFY(t.wait()); // the body ends; the quit is over
    }
};

VELMORA_TEST_MAIN(TestUtilThread)
#include "tst_utilthread.moc"
