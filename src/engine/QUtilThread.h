#pragma once
// Gives an object one worker thread at a time. start() runs OnExecute() on a
// new thread after the previous body of the same object has returned, so two
// bodies of one object never overlap. Waiting happens on the GUI thread and
// keeps its event loop running (windows repaint, queued signals the ending
// body emits are delivered), without polling.
//
// The worker thread has no event loop; results reach the GUI thread only
// through what the derived class emits or posts. Bodies stop by polling
// flags of their own: signalling the stop event interrupts nothing.

#include "ManualResetEvent.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class QEventLoop;

class QUtilThread {
public:
    QUtilThread();
    // Waits for a running body. A derived class must end its body in its own
    // destructor (joinWorker()): by the time this one runs, the derived part
    // the body uses is gone.
    virtual ~QUtilThread();

    QUtilThread(const QUtilThread &) = delete;
    QUtilThread &operator=(const QUtilThread &) = delete;

    // Waits for the previous body (dispatching events), then starts a new
    // one. False only when no thread could be created.
    bool start();

    // Returns once the current body has returned; at once when none runs.
    // On a thread with a Qt event loop, events are dispatched meanwhile.
    // False when called from the body itself, which cannot wait for itself,
    // and when the application quits while the body still runs.
    bool wait();

    // A body has been started and has not returned yet.
    bool isRunning() const;

protected:
    virtual void OnExecute() = 0;

    // Set while start() or the destructor waits to end the previous body.
    bool stopSignalled() const { return m_stopEvent.isSet(); }

    // Signals the stop event and waits for the body without dispatching
    // events: for derived destructors, and for bodies known to be ending.
    // The body must not wait for this thread meanwhile.
    void joinWorker();

private:
    static void threadEntry(QUtilThread *self);
    // False when the wait was ended by the application quitting.
    bool waitDispatching();

    ManualResetEvent m_stopEvent;
    std::thread m_thread;                 // started, joined and replaced by start() and the destructor only

    mutable std::mutex m_stateMutex;      // guards m_running, m_bodyThreadId and m_waitLoops
    std::condition_variable m_ended;      // notified when a body returns
    bool m_running = false;
    std::thread::id m_bodyThreadId;       // the thread running a body, so it cannot wait for itself
    struct WaitLoop; // a nested wait's event loop
    std::vector<WaitLoop *> m_waitLoops; // nested waits to wake when the body returns
};
