#pragma once

#include "IAVConverter.h"
#include "ManualResetEvent.h"
#include "QUtilThread.h"
#include <zentrix.hpp>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class CAVConverter : public IAVConverter, public QUtilThread {
public:
    CAVConverter();
    ~CAVConverter() override;

    bool StartConvert(const std::string &source, const std::string &output, const ConvertParams &params,
                      void *owner, ConvertCallback callback) override;
    void StopConvert() override;
    bool StartMerge(const std::string &output, const ConvertParams &params) override;
    bool AddMergeFile(const std::string &source, const ConvertParams &params, void *owner,
                      ConvertCallback callback) override;
    void StopMerge(bool wait) override;

    bool StartStreams(const std::string &output, const ConvertParams &params, void *owner,
                      StreamPositionCallback positionCallback, StreamTimeCallback timeCallback) override;
    void AddTrack(int kind, int trackNumber, const StreamTrackInfo &info) override;
    int AddTrackAt(int kind, int trackNumber, const StreamTrackInfo &info) override;
    bool WriteSample(const StreamSample &sample, int trackNumber) override;
    void FlushTracks() override;

    std::string LastError() const override;

protected:
    void OnExecute() override;

private:
    enum class WorkerMode { Convert, Merge, Streams };

    struct StreamTrack {
        int number = 0;
        int kind = 0;
        int timeBase = 1;   // ticks per second of the caller's sample times
        zxh::TrackPtr track;
    };

    void watchJob();
    void watchMerger();
    void watchStreams();
    void report(int percent, convertState state);
    void setLastError(const std::string &message);
    void waitForWorker();
    std::vector<StreamTrack> takeTracks();

    // m_mutex guards the handles' ownership, the callbacks, the owner, the
    // tracks and the last error: the worker and the GUI thread each take a
    // handle out under it, so closing and releasing happen once, on
    // whichever side ends the job. Engine calls on a running job or merger
    // are safe from any thread; only release needs the other side gone.
    mutable std::mutex m_mutex;
    zxh::JobPtr m_job;
    zxh::MergerPtr m_merger;
    std::atomic<bool> m_stopRequested{false}; // a stop operation asked the engine to stop
    void *m_owner = nullptr;
    WorkerMode m_mode = WorkerMode::Convert;  // written before a worker starts, on the GUI thread
    ManualResetEvent m_doneEvent;             // set by the worker as its last act
    std::vector<StreamTrack> m_streamTracks;
    ConvertCallback m_mergeCallback = nullptr;
    ConvertCallback m_convertCallback = nullptr;
    StreamPositionCallback m_positionCallback = nullptr;
    StreamTimeCallback m_timeCallback = nullptr;
    std::string m_lastError;
};
