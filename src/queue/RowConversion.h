#pragma once
// The conversion of one queue row, without widgets: its own converter for a
// job of its own, or the one converter that a merged run shares, which
// appends every source of the run to the output of the run's first source.
//
// GUI thread only; the converters call back on their worker threads through
// the callback given to start().

#include "engine/IAVConverter.h"

#include <QString>

#include <memory>

class RowConversion
{
public:
    // Stops a job of its own that still runs: the converter's worker must
    // not call back into a deleted owner.
    ~RowConversion();
    // The owner goes: when the merger converts its source, the merged output
    // is closed if that source still converts.
    void leaveMerge(bool stillConverting);

    // Starts the job of source into output, alone or appended to the shared
    // merged output; owner and callback receive the progress. A merged source
    // writes into the merged file: output is set to it. False when the
    // conversion could not start; failure() tells why.
    bool start(const QString &source, QString &output, const ConvertParams &params, bool merge, void *owner,
               ConvertCallback callback);
    // Stops what runs: the own job, or the whole merged output when this
    // conversion is part of a merged run (a waiting source of a merged run
    // stops it too, as the run is over for all of its sources).
    void cancel();
    // The merged output is complete: closes it.
    void finishMerged();

    bool isMerging() const { return m_merging; }
    // The source failed: whatever it was, it is no part of a merged output.
    void clearMerging() { m_merging = false; }
    QString failure() const { return m_failure; }
    // Why the running or last conversion failed, from its converter.
    QString converterError() const;

    // Outputs are written under a hidden name beside the final one and take
    // their final name only once closed, so a crash or a kill never leaves
    // an unfinished file under a name that looks converted.
    static QString partPath(const QString &finalPath);
    // Gives the closed part file of finalPath its final name (another name
    // of the same pattern when a file took that one meanwhile). The path it
    // has now; empty when there was no part file or it could not be named.
    static QString publish(const QString &finalPath);
    // Removes the part files that runs killed before their end left in
    // folder: hidden files named as partPath() names them, regular, the
    // user's own; links, folders, pipes and other users' files stay, and
    // nothing is followed or opened. Only while none of this user's
    // conversions write into folder (one instance per user, no run going).
    // The number of files removed.
    static int removeStaleParts(const QString &folder);
    // Where the last closed merged output went (after publish()).
    static QString closedMergedOutput();

    // The row class's merge flag: the run in progress writes one merged
    // file. The queue list sets it when a run starts and clears it at its end.
    static bool mergeFlag();
    static void setMergeFlag(bool merge);
    // The output of the merged run in progress; empty when none is open.
    static QString mergedOutputPath();
    static bool hasMergeConverter();
    // Closes the merged output without touching a row.
    static void closeMergedOutput();

private:
    std::unique_ptr<IAVConverter> m_converter;
    bool m_merging = false; // the running conversion is a source of the merged output
    QString m_failure;
};
