#include "QUtilThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <system_error>

namespace {

bool canDispatchEvents()
{
    return QCoreApplication::instance() && QThread::currentThread()->eventDispatcher();
}

} // namespace

struct QUtilThread::WaitLoop {
    QEventLoop loop;
    bool released = false; // the body has ended and asked the loop to quit
};

QUtilThread::QUtilThread() = default;

QUtilThread::~QUtilThread()
{
    m_stopEvent.set();
    wait();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    else if (m_thread.joinable())
        m_thread.detach(); // destroyed by its own body: nothing left to wait for
}

bool QUtilThread::start()
{
    m_stopEvent.set();
    // An event dispatched during the wait may itself have started a body of
    // this object; wait until none runs before starting ours.
    while (isRunning()) {
        if (!wait())
            return false;
    }
    if (m_thread.joinable())
        m_thread.join(); // its body has returned: this only reaps the thread
    m_stopEvent.reset();

    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_running = true;
    }
    try {
        m_thread = std::thread(&QUtilThread::threadEntry, this);
    } catch (const std::system_error &) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_running = false;
        return false;
    }
    return true;
}

bool QUtilThread::wait()
{
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (!m_running)
            return true;
        if (m_bodyThreadId == std::this_thread::get_id())
            return false;
    }
    if (canDispatchEvents()) {
        // A loop ended from outside means the application is quitting:
        // waiting on would spin (every new loop returns at once) or never
        // end, so the caller gives up.
        if (!waitDispatching())
            return false;
    } else {
        std::unique_lock<std::mutex> lock(m_stateMutex);
        m_ended.wait(lock, [this] { return !m_running; });
    }
    return true;
}

bool QUtilThread::waitDispatching()
{
    if (QCoreApplication::closingDown())
        return !isRunning();
    WaitLoop wait;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (!m_running)
            return true;
        m_waitLoops.push_back(&wait);
    }
    // The ending body posts quit() to every registered loop under the same
    // lock, so the wake-up cannot be missed; a loop quit by an inner event
    // loop still sees its exit flag when control comes back to it.
    wait.loop.exec();
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_waitLoops.erase(std::remove(m_waitLoops.begin(), m_waitLoops.end(), &wait), m_waitLoops.end());
    // Not woken by the body: the loop was ended from outside, which only
    // the application quitting does.
    return wait.released;
}

bool QUtilThread::isRunning() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_running;
}

void QUtilThread::joinWorker()
{
    m_stopEvent.set();
    std::unique_lock<std::mutex> lock(m_stateMutex);
    if (m_bodyThreadId == std::this_thread::get_id())
        return;
    m_ended.wait(lock, [this] { return !m_running; });
}

void QUtilThread::threadEntry(QUtilThread *self)
{
    {
        std::lock_guard<std::mutex> lock(self->m_stateMutex);
        self->m_bodyThreadId = std::this_thread::get_id();
    }
    self->OnExecute();
    std::lock_guard<std::mutex> lock(self->m_stateMutex);
    self->m_running = false;
    self->m_bodyThreadId = std::thread::id();
    for (WaitLoop *wait : self->m_waitLoops) {
        wait->released = true;
        QMetaObject::invokeMethod(&wait->loop, "quit", Qt::QueuedConnection);
    }
    self->m_ended.notify_all();
}
