#include "shell/SingleInstance.h"

SingleInstance::SingleInstance(const QString &semaphoreKey, const QString &segmentKey)
    : m_semaphore(semaphoreKey, 1, QSystemSemaphore::Open)
    , m_segment(segmentKey)
{
}

SingleInstance::~SingleInstance()
{
    if (m_segment.isAttached())
        m_segment.detach();
}

bool SingleInstance::acquire()
{
    m_semaphore.acquire();

    // A System V segment outlives a process that crashed while holding it.
    // Attaching and detaching again removes such a stale segment (the last
    // process to detach destroys it); a live instance stays attached, so its
    // segment survives this probe.
    {
        QSharedMemory probe(m_segment.key());
        if (probe.attach())
            probe.detach();
    }

    const bool first = m_segment.create(1, QSharedMemory::ReadWrite);
    m_semaphore.release();
    return first;
}
