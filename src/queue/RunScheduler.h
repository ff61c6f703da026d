#pragma once
// The order of a conversion run over the queue, without widgets: which rows
// still have to convert, two at a time (one at a time for formats that take
// the whole machine) or one after another into one merged output, what the
// merged output has collected so far, and the shut-down after a run.
//
// GUI thread only.

#include "settings/SettingsRecords.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the scheduler asks of a queue row.
class RunRow
{
public:
    virtual bool isWaitingToRun() const = 0;
    virtual void setWaiting() = 0;
    // False when the start failed; the row reports its end all the same.
    virtual bool startConvert(bool merge) = 0;
    virtual void OnCancelConvert() = 0;

protected:
    ~RunRow() = default;
};

class RunScheduler
{
public:
    bool isRunning() const { return m_running; }
    bool isMerged() const { return m_merged; }
    const QList<RunRow *> &runList() const { return m_runList; }

    // Starts a run over rows: every row waits first, so a row that fails at
    // once finds the others in line and the next one takes its place.
    void begin(const QList<RunRow *> &rows, bool merged, int parallel);
    void startNextWaiting();
    // The first row still to run appends its source to the merged output;
    // false when none is left.
    bool startNextMerged();

    // Takes the row out of the run; true when it was still to convert.
    bool takeFromRun(RunRow *row);
    // Forgets the row everywhere (it is being deleted).
    void forget(RunRow *row);

    // Cancels every row of the run and every source already merged; the
    // merged bookkeeping starts over.
    void stop();
    // The run is over; true when it ran to its end by itself (the moment to
    // shut the computer down when the user asked for it).
    bool end(bool finished);

    // A source made it into the merged output.
    void addMerged(RunRow *row, qint64 lengthUs, const ConvertedFileInfo &firstRecord);
    bool hasMergedRecord() const { return m_mergedRecord.has_value(); }
    // The merged output's history entry with the summed length, once.
    std::optional<ConvertedFileInfo> takeMergedRecord();
    QList<RunRow *> takeMergedRows();

    // What shuts the computer down; run directly with its argument list (no
    // shell). "systemctl poweroff" unless replaced (tests replace it).
    void setShutdownCommand(const QString &program, const QStringList &arguments);
    void shutDown() const;

private:
    QList<RunRow *> m_runList;    // rows still to convert in this run
    QList<RunRow *> m_mergedRows; // sources already appended to the merged output
    bool m_running = false;
    bool m_merged = false;
    qint64 m_mergedTotalUs = 0;
    std::optional<ConvertedFileInfo> m_mergedRecord;
    QString m_shutdownProgram = QStringLiteral("systemctl");
    QStringList m_shutdownArguments = {QStringLiteral("poweroff")};
};
