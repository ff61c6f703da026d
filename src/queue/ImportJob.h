#pragma once
// The body of an import, without widgets: what to probe (files, a search
// through dropped folders, or the titles of a DVD) and the loop that probes
// it on the import worker's thread and reports each step through a sink.
//
// The GUI thread sets the job up before the worker starts and reads it after
// the worker has returned; only the flags both read while the worker runs
// are atomic.

#include "queue/ItemRecords.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class ImportJob
{
public:
    // What the worker reports, in order; every call comes from the worker's
    // thread.
    struct Sink {
        std::function<void(const QString &)> path;    // the source being probed, "Searching...", "Title%1"
        std::function<void(const QString &)> count;   // "i/n"
        std::function<void(float)> progress;          // percent
        std::function<void(ConverItemInfo *)> record; // a probed source; the receiver owns it
        std::function<void()> searchDone;             // the folder search has ended
        std::function<void(bool)> complete;           // the end; true: the DVD could not be read
    };

    // The extension test of the search: the text from the last "." on,
    // lower-cased, is one of the supported extensions.
    static bool isSupportedFile(const QString &path);

    // Set-ups, GUI thread, worker idle.
    void setFiles(const QStringList &paths); // probe these files
    // Search these files and folders first; the list stays in DVD mode
    // until startSearch(), so the caller can still clear DVD titles.
    void setSearch(const QStringList &inputs);
    void startSearch();
    void setDvd(const QString &path, bool isoImage);

    bool isSearch() const { return m_searching; }
    bool hasSearchInput() const { return !m_inputList.isEmpty(); }
    bool isDvd() const { return m_dvdMode; }
    bool isIsoImage() const { return m_isoImport; }
    void clearSearch() { m_searching = false; }

    // Any thread: Cancel. Raised before the worker starts, it stops nothing:
    // starting clears it.
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }
    void clearStop() { m_stop = false; }

    // Search progress the GUI's timer fakes while the search runs: 0..20.
    int progressBase() const { return m_progressBase; }
    int stepSearchProgress(); // one step; returns the new base, or -1 once it reached 20

    // The worker's body.
    void run(const Sink &sink);

    // Paths of the last import that exist but are no media files (pipes,
    // sockets, devices): left out unopened. Read once the worker has ended.
    QStringList leftOut() const { return m_leftOut; }
    void clearLeftOut() { m_leftOut.clear(); }
    // Paths (files, searched folders, DVDs) of the last import that did not
    // answer in time, as on a stalled network mount, or lie in a folder where
    // an earlier one still hangs: left out. Read once the worker has ended.
    QStringList notResponding() const { return m_notResponding; }
    void clearNotResponding() { m_notResponding.clear(); }

    // Every look at a source (its type, the engine's probe, a folder search)
    // runs on a helper thread of its own. The worker waits for it while it
    // makes progress and up to `limit` without; a helper that does not
    // answer in time (a call hanging in the kernel) or whose import is
    // cancelled is left behind and frees what it made once it returns, so
    // neither Cancel nor later imports wait for it.
    static void setStallLimit(std::chrono::milliseconds limit);
    // Waits up to `limit` for helpers left behind; false when some still run.
    static bool waitForHelpers(std::chrono::milliseconds limit);
    // What probes a file; tests replace it. Null: probeSource().
    using Prober = std::function<std::unique_ptr<ConverItemInfo>(const QString &path)>;
    static void setProber(Prober prober);

private:
    void runFiles(const Sink &sink);
    void runDvd(const Sink &sink);
    // Adds the supported files of a dropped file or folder to the probe list.
    void searchInput(const QString &input);

    QStringList m_probeList;               // paths to probe, in order (the search appends)
    QStringList m_inputList;               // dropped files and folders still to search
    QStringList m_leftOut;                 // written by the worker, read after it
    QStringList m_notResponding;           // written by the worker, read after it
    QString m_dvdPath;
    bool m_isoImport = false;              // the DVD source is an image: chooses the failure text
    std::atomic<bool> m_searching{false};  // the input list must be searched first
    std::atomic<bool> m_dvdMode{false};    // the list holds DVD titles
    std::atomic<bool> m_stop{false};       // Cancel: raised by the GUI, polled by the worker
    std::atomic<int> m_progressBase{0};    // 0..20: the part of the bar the search takes
};
