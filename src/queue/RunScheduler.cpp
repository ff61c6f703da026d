#include "queue/RunScheduler.h"

#include "base/AppPaths.h"

#include <QDebug>
#include <QProcess>

void RunScheduler::begin(const QList<RunRow *> &rows, bool merged, int parallel)
{
    m_runList = rows;
    m_mergedRows.clear();
    m_mergedTotalUs = 0;
    m_mergedRecord.reset();
    m_running = true;
    m_merged = merged;
    const QList<RunRow *> run = m_runList;
    for (RunRow *row : run)
        row->setWaiting();
    if (merged) {
        startNextMerged();
        return;
    }
    for (int i = 0; i < parallel && i < run.size(); ++i)
        run.at(i)->startConvert(false);
}

void RunScheduler::startNextWaiting()
{
    for (RunRow *row : m_runList) {
        if (row->isWaitingToRun()) {
            row->startConvert(false);
            return;
        }
    }
}

bool RunScheduler::startNextMerged()
{
    if (m_runList.isEmpty())
        return false;
    m_runList.first()->startConvert(true);
    return true;
}

bool RunScheduler::takeFromRun(RunRow *row) { return m_runList.removeAll(row) > 0; }

void RunScheduler::forget(RunRow *row)
{
    m_runList.removeAll(row);
    m_mergedRows.removeAll(row);
}

void RunScheduler::stop()
{
    const QList<RunRow *> run = m_runList;
    m_runList.clear();
    for (RunRow *row : run)
        row->OnCancelConvert();
    // Sources already in the abandoned merged output go back to the queue.
    const QList<RunRow *> merged = m_mergedRows;
    m_mergedRows.clear();
    for (RunRow *row : merged)
        row->OnCancelConvert();
    m_mergedRecord.reset();
    m_mergedTotalUs = 0;
}

bool RunScheduler::end(bool finished)
{
    const bool wasRunning = m_running;
    m_running = false;
    m_merged = false;
    return finished && wasRunning;
}

void RunScheduler::addMerged(RunRow *row, qint64 lengthUs, const ConvertedFileInfo &firstRecord)
{
    if (!m_mergedRecord)
        m_mergedRecord = firstRecord;
    m_mergedTotalUs += lengthUs;
    m_mergedRows.append(row);
}

std::optional<ConvertedFileInfo> RunScheduler::takeMergedRecord()
{
    std::optional<ConvertedFileInfo> record;
    if (m_merged && m_mergedRecord) {
        record = *m_mergedRecord;
        record->time = AppPaths::durationText(m_mergedTotalUs);
    }
    m_mergedRecord.reset();
    return record;
}

QList<RunRow *> RunScheduler::takeMergedRows()
{
    const QList<RunRow *> done = m_mergedRows;
    m_mergedRows.clear();
    return done;
}

void RunScheduler::setShutdownCommand(const QString &program, const QStringList &arguments)
{
    m_shutdownProgram = program;
    m_shutdownArguments = arguments;
}

void RunScheduler::shutDown() const
{
    qDebug() << "\n\n\nshutdown---------\n\n\n";
    if (!QProcess::startDetached(m_shutdownProgram, m_shutdownArguments))
        qDebug() << "RunScheduler: cannot run" << m_shutdownProgram << m_shutdownArguments;
}
