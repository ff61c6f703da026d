#pragma once
// One converter per desktop: a system semaphore serialises the check, and a
// one-byte shared-memory segment marks the running instance.

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

class SingleInstance
{
public:
    SingleInstance(const QString &semaphoreKey = QStringLiteral("Velmora Video Converter"),
                   const QString &segmentKey = QStringLiteral("SystemObject1"));
    ~SingleInstance();

    // True when this process is the first instance and now holds the segment.
    // Takes the semaphore around the check and releases it before returning.
    bool acquire();

private:
    QSystemSemaphore m_semaphore;
    QSharedMemory m_segment;
};
