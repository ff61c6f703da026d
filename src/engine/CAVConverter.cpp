#include "CAVConverter.h"

#include "ZxParamSet.h"

#include <QDebug>

#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kPollInterval(100);

// The frame rate is printed as 0: the engine takes it as a fraction.
void printStartLine(const ConvertParams &p, bool streams)
{
    const unsigned v[] = {unsigned(p.videoCodecId), unsigned(p.width), unsigned(p.height), 0u,
                          unsigned(p.videoBitRate), unsigned(p.videoQuality), unsigned(p.audioCodecId),
                          unsigned(p.sampleRate), unsigned(p.audioBitRate), unsigned(p.channels)};
    if (streams)
        std::printf("[Start]: video(0x%0x, %u*%u, %u fps, %u kbps %u) Audio(0x%0x, %u Hz, %u bps, %u)\n",
                    v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
    else
        std::printf("video: 0x%0x, %u*%u, %u fps, %u kbps %u\nAudio: 0x%0x, %u Hz, %u bps, %u\n",
                    v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
    std::fflush(stdout);
}

zxh::ParamsPtr makeParamSet(const ConvertParams &params)
{
    std::string refused;
    zxh::ParamsPtr set = createParamSet(buildParamPlan(params), &refused);
    if (!refused.empty())
        qDebug() << "parameters refused by the engine:" << refused.c_str();
    return set;
}

// A DVD title: the source path is the disc, the set's title picks the title.
int openDvdTitleJob(ZxJob *job, const char *dvd, const char *output, const char *container, const ZxParams *set)
{
    return JobOpenDvd(job, dvd, output, container, set);
}

int addDvdTitleToMerger(ZxMerger *merger, const char *dvd, int64_t start, int64_t length, const ZxParams *set)
{
    return MergerAddDvd(merger, dvd, start, length, set);
}

std::string jobError(ZxJob *job)
{
    const char *msg = JobLastError(job, nullptr);
    return msg ? msg : "";
}

std::string mergerError(ZxMerger *m)
{
    const char *msg = MergerLastError(m, nullptr);
    return msg ? msg : "";
}

// Progress as a percentage of the expected length; nothing while the length
// is unknown. The comparison uses the unrounded value, so at most one report
// per poll and none while nothing moved.
bool progressRose(uint64_t position, uint64_t duration, float &last, int &percent)
{
    if (duration == 0)
        return false;
    const float p = float(double(position) * 100.0 / double(duration));
    if (!(last < p))
        return false;
    last = p;
    percent = int(p);
    return true;
}

} // namespace

std::unique_ptr<IAVConverter> createAVConverter() { return std::make_unique<CAVConverter>(); }

CAVConverter::CAVConverter() { LibraryInit(1); }

CAVConverter::~CAVConverter()
{
    {
        // Whoever still waits for news from us is going away with us.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_convertCallback = nullptr;
        m_mergeCallback = nullptr;
        m_positionCallback = nullptr;
        m_timeCallback = nullptr;
        m_owner = nullptr;
        m_stopRequested = true;
        if (m_job)
            JobRequestStop(m_job.get());
        if (m_merger)
            MergerRequestStop(m_merger.get());
    }
    // The worker only posts, so waiting here without dispatching is safe;
    // the handles are released below, after it has returned.
    joinWorker();
    m_job.reset();
    m_streamTracks.clear();
    m_merger.reset();
}

std::string CAVConverter::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastError;
}

void CAVConverter::setLastError(const std::string &message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastError = message;
}

void CAVConverter::report(int percent, convertState state)
{
    ConvertCallback callback;
    void *owner;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        callback = m_mode == WorkerMode::Merge ? m_mergeCallback : m_convertCallback;
        owner = m_owner;
    }
    if (callback)
        callback(percent, owner, state);
}

void CAVConverter::waitForWorker()
{
    if (isRunning())
        m_doneEvent.wait();
}

// ---- One job ---------------------------------------------------------------

bool CAVConverter::StartConvert(const std::string &source, const std::string &output,
                                const ConvertParams &params, void *owner, ConvertCallback callback)
{
    if (source.empty() || output.empty())
        return false;
    wait(); // a previous body of ours ends first
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_job || m_merger) {
            m_lastError = "the converter is busy";
            return false;
        }
    }
    zxh::JobPtr job(JobCreate(-1));
    if (!job)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_owner = owner;
        m_convertCallback = callback;
        m_lastError.clear();
    }

    zxh::ParamsPtr set = makeParamSet(params);
    printStartLine(params, false);

    qDebug() << "StartConvert------1";
    int result = 0;
    std::string error;
    if (params.fromDvd) {
        result = openDvdTitleJob(job.get(), source.c_str(), output.c_str(), params.container.c_str(), set.get());
    } else {
        result = JobOpenFile(job.get(), source.c_str(), output.c_str(), params.container.c_str(), set.get());
    }
    qDebug() << "StartConvert------+" << result;
    if (result == 1) {
        JobSetRange(job.get(), params.trimStart, params.trimLength);
        result = JobStart(job.get());
        qDebug() << "StartConvert------+++" << result;
    }
    if (result == 1) {
        m_mode = WorkerMode::Convert;
        m_stopRequested = false;
        m_doneEvent.reset();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_job = std::move(job);
        }
        qDebug() << "start------+++";
        if (!start()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            JobRequestStop(m_job.get());
            job = std::move(m_job);
            result = 0;
            error = "cannot start the converter's thread";
        }
        qDebug() << "start------+++1";
    } else {
        error = jobError(job.get());
    }

    if (result != 1) {
        // The failed job is freed now: nothing will ever poll or stop it.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastError = error;
        m_owner = nullptr;
        m_convertCallback = nullptr;
    }
    return result == 1;
}

void CAVConverter::StopConvert()
{
    const bool ours = m_mode != WorkerMode::Merge;
    bool haveJob;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        haveJob = m_job != nullptr;
        if (haveJob) {
            m_stopRequested = true; // before the request, so the worker never sees an unexplained stop
            if (JobRequestStop(m_job.get()) == 0) {
                std::printf("stop convert failed! \r\n");
                std::fflush(stdout);
            }
        }
    }
    if (!haveJob && !(ours && isRunning()))
        return;
    if (ours)
        waitForWorker();

    zxh::JobPtr job;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        job = std::move(m_job);
        m_owner = nullptr;
        m_convertCallback = nullptr;
        m_positionCallback = nullptr;
        m_timeCallback = nullptr;
    }
    job.reset(); // closes the output before its tracks go
    if (m_mode == WorkerMode::Streams)
        takeTracks();
}

void CAVConverter::watchJob()
{
    ZxJob *job;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        job = m_job.get();
    }
    float last = 0.0f;
    while (JobIsFinished(job) != 1) {
        if (JobIsStopped(job) == 1) {
            // The job stays for StopConvert, which is waiting for us.
            report(0, m_stopRequested ? ConvertStopped : ConvertFailed);
            return;
        }
        int percent;
        if (progressRose(JobPosition(job), JobDuration(job), last, percent))
            report(percent, ConvertProgress);
        std::this_thread::sleep_for(kPollInterval);
    }

    // Ended by itself, finished or failed: this side closes the job.
    const bool failed = JobStatus(job) == ZX_STATUS_FAILED;
    zxh::JobPtr done;
    ConvertCallback callback;
    void *owner;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (failed) {
            m_lastError = jobError(job);
            qDebug() << "conversion failed:" << m_lastError.c_str();
        }
        done = std::move(m_job);
        callback = m_convertCallback;
        owner = m_owner;
        m_convertCallback = nullptr;
        m_owner = nullptr;
    }
    done.reset(); // the file is complete before the row hears of it
    if (callback)
        callback(0, owner, failed ? ConvertFailed : ConvertFinished);
}

// ---- Merged output ---------------------------------------------------------

bool CAVConverter::StartMerge(const std::string &output, const ConvertParams &params)
{
    if (output.empty())
        return false;
    wait();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_job || m_merger) {
            m_lastError = "the converter is busy";
            return false;
        }
    }
    zxh::MergerPtr merger(MergerCreate());
    if (!merger)
        return false;
    zxh::ParamsPtr set = makeParamSet(params);
    int result = MergerOpen(merger.get(), output.c_str(), params.container.c_str(), set.get());
    if (result == 1)
        result = MergerBegin(merger.get());
    m_doneEvent.reset();

    std::lock_guard<std::mutex> lock(m_mutex);
    if (result == 1) {
        m_lastError.clear();
        m_merger = std::move(merger);
    } else {
        m_lastError = mergerError(merger.get());
    }
    return result == 1;
}

bool CAVConverter::AddMergeFile(const std::string &source, const ConvertParams &params, void *owner,
                                ConvertCallback callback)
{
    if (source.empty())
        return false;
    // The previous source's worker has reported its end and is returning;
    // let it go before its state is reused.
    wait();
    ZxMerger *merger;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        merger = m_merger.get();
        if (!merger)
            return false;
        m_owner = owner;
        m_mergeCallback = callback;
    }
    zxh::ParamsPtr set = makeParamSet(params);
    int result;
    if (params.fromDvd) {
        result = addDvdTitleToMerger(merger, source.c_str(), params.trimStart, params.trimLength, set.get());
        if (result != 1)
            setLastError(mergerError(merger));
    } else {
        result = MergerAddFile(merger, source.c_str(), params.trimStart, params.trimLength, set.get());
        if (result != 1)
            setLastError(mergerError(merger));
    }
    if (result == 1) {
        m_mode = WorkerMode::Merge;
        m_stopRequested = false;
        m_doneEvent.reset();
        if (!start()) {
            MergerRequestStop(merger);
            setLastError("cannot start the converter's thread");
            result = 0;
        }
    }
    return result == 1;
}

void CAVConverter::StopMerge(bool waitForStop)
{
    ZxMerger *merger;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        merger = m_merger.get();
        if (!merger)
            return;
        // After the last source has finished there is nothing to stop, so
        // only a running source is asked to (and can refuse).
        if (MergerStatus(merger) == ZX_STATUS_RUNNING) {
            m_stopRequested = true;
            if (MergerRequestStop(merger) == 0) {
                std::printf("stop Merger failed! \r\n");
                std::fflush(stdout);
            }
        }
    }
    // Even when the caller does not wait for the stop, the merger is never
    // released under a worker that still polls it.
    (void)waitForStop;
    if (m_mode == WorkerMode::Merge)
        waitForWorker();

    zxh::MergerPtr done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        done = std::move(m_merger);
        m_mergeCallback = nullptr;
        m_owner = nullptr;
    }
    if (MergerClose(done.get()) != 1)
        setLastError(mergerError(done.get()));
}

void CAVConverter::watchMerger()
{
    ZxMerger *merger;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        merger = m_merger.get();
    }
    float last = 0.0f;
    while (MergerIsFinished(merger) != 1) {
        if (MergerIsStopped(merger) == 1) {
            report(0, m_stopRequested ? ConvertStopped : ConvertFailed);
            return;
        }
        int percent;
        if (progressRose(MergerPosition(merger), MergerDuration(merger), last, percent))
            report(percent, ConvertProgress);
        std::this_thread::sleep_for(kPollInterval);
    }
    // The merger stays open for the next source.
    const bool failed = MergerStatus(merger) == ZX_STATUS_FAILED;
    if (failed) {
        const std::string error = mergerError(merger);
        qDebug() << "merged source failed:" << error.c_str();
        setLastError(error);
    }
    report(0, failed ? ConvertFailed : ConvertFinished);
}

// ---- Worker ----------------------------------------------------------------

void CAVConverter::OnExecute()
{
    qDebug() << "OnExecute------in";
    switch (m_mode) {
    case WorkerMode::Convert:
        watchJob();
        break;
    case WorkerMode::Merge:
        watchMerger();
        break;
    case WorkerMode::Streams:
        watchStreams();
        break;
    }
    qDebug() << "OnExecute------out";
    // Last touch of this object by the worker: a stop waiting on it may now
    // release the handles.
    m_doneEvent.set();
}

// ---- Elementary streams ----------------------------------------------------

int CAVConverter::AddTrackAt(int kind, int trackNumber, const StreamTrackInfo &info)
{
    zxh::TrackPtr track(TrackCreate(kind));
    if (!track)
        return -1;
    ZxTrack *t = track.get();
    TrackSetCodec(t, info.codecId);
    int timeBase = 1000;
    const int dataLength = int(info.codecData.size());
    if (kind == ZX_TRACK_VIDEO) {
        TrackSetVideoSize(t, info.width, info.height);
        TrackSetFrameRate(t, info.frameRate, info.frameRateScale);
        TrackSetAspect(t, info.aspectX, info.aspectY);
        if (dataLength > 0)
            TrackSetCodecData(t, info.codecData.data(), dataLength);
        timeBase = info.frameRate > 0 ? info.frameRate : 1000;
        std::printf("[AddTrack]: video format = 0x%0x, width = %u, height = %u, frameRate = %u, "
                    "frameRateScale = %u,esDataLength = %u\n",
                    unsigned(info.codecId), unsigned(info.width), unsigned(info.height),
                    unsigned(info.frameRate), unsigned(info.frameRateScale), unsigned(dataLength));
    } else if (kind == ZX_TRACK_AUDIO) {
        TrackSetSampleRate(t, info.sampleRate);
        TrackSetChannels(t, info.channels);
        if (dataLength > 0)
            TrackSetCodecData(t, info.codecData.data(), dataLength);
        timeBase = info.sampleRate > 0 ? info.sampleRate : 1000;
        std::printf("[AddTrack]: audio format = 0x%0x\n", unsigned(info.codecId));
    } else {
        std::printf("[AddTrack]: subtitle format = 0x%0x\n", unsigned(info.codecId));
    }
    std::fflush(stdout);
    if (info.bitRate > 0)
        TrackSetBitrate(t, info.bitRate);
    if (!info.language.empty())
        TrackSetLanguage(t, info.language.c_str());

    std::lock_guard<std::mutex> lock(m_mutex);
    m_streamTracks.push_back(StreamTrack{trackNumber, kind, timeBase, std::move(track)});
    return trackNumber;
}

void CAVConverter::AddTrack(int kind, int trackNumber, const StreamTrackInfo &info)
{
    AddTrackAt(kind, trackNumber, info);
}

bool CAVConverter::StartStreams(const std::string &output, const ConvertParams &params, void *owner,
                                StreamPositionCallback positionCallback, StreamTimeCallback timeCallback)
{
    if (output.empty())
        return false;
    wait();
    printStartLine(params, true);
    zxh::JobPtr job(JobCreate(-1));
    if (!job)
        return false;

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_job || m_merger) {
        m_lastError = "the converter is busy";
        return false;
    }
    ZxTrack *firstOf[3] = {nullptr, nullptr, nullptr};
    for (const StreamTrack &t : m_streamTracks) {
        const int slot = t.kind == ZX_TRACK_VIDEO ? 0 : t.kind == ZX_TRACK_AUDIO ? 1 : 2;
        if (!firstOf[slot])
            firstOf[slot] = t.track.get();
    }
    int result = JobOpenStreams(job.get(), output.c_str(), params.container.c_str(), firstOf[0],
                                firstOf[1], firstOf[2]);
    if (result == 1)
        result = JobStart(job.get());
    if (result != 1) {
        m_lastError = jobError(job.get());
        return false;
    }
    m_lastError.clear();
    m_owner = owner;
    m_positionCallback = positionCallback;
    m_timeCallback = timeCallback;
    m_job = std::move(job);
    m_mode = WorkerMode::Streams;
    m_stopRequested = false;
    m_doneEvent.reset();
    if (!start()) {
        JobRequestStop(m_job.get());
        m_lastError = "cannot start the converter's thread";
        return false;
    }
    return true;
}

bool CAVConverter::WriteSample(const StreamSample &sample, int trackNumber)
{
    // Held while writing, so the worker cannot release the track meanwhile.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const StreamTrack &t : m_streamTracks) {
        if (t.number != trackNumber)
            continue;
        zxh::PacketPtr packet(PacketCreate());
        if (!packet)
            return false;
        const auto toUs = [&t](int64_t v) { return v == INT64_MIN ? v : v * 1000000 / t.timeBase; };
        PacketSetData(packet.get(), sample.data.data(), int(sample.data.size()));
        PacketSetTimes(packet.get(), toUs(sample.pts), toUs(sample.dts), toUs(sample.duration));
        PacketSetKeyFrame(packet.get(), sample.keyFrame ? 1 : 0);
        return TrackWrite(t.track.get(), packet.get()) == 1;
    }
    return false;
}

void CAVConverter::FlushTracks()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const StreamTrack &t : m_streamTracks) {
        zxh::PacketPtr end(PacketCreate());
        PacketSetData(end.get(), nullptr, 0);
        TrackWrite(t.track.get(), end.get());
    }
}

std::vector<CAVConverter::StreamTrack> CAVConverter::takeTracks()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::move(m_streamTracks);
}

void CAVConverter::watchStreams()
{
    ZxJob *job;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        job = m_job.get();
    }
    uint64_t lastWritten = 0;
    while (JobIsFinished(job) != 1 && JobIsStopped(job) != 1) {
        const uint64_t written = JobPosition(job);
        if (written > lastWritten) {
            lastWritten = written;
            StreamPositionCallback callback;
            void *owner;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                callback = m_positionCallback;
                owner = m_owner;
            }
            if (callback)
                callback(int64_t(written), owner);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    const bool stopped = JobIsStopped(job) == 1;
    const bool failed = JobStatus(job) == ZX_STATUS_FAILED;
    const int64_t total = int64_t(JobPosition(job));
    StreamTimeCallback callback;
    void *owner;
    zxh::JobPtr done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (failed)
            m_lastError = jobError(job);
        callback = m_timeCallback;
        owner = m_owner;
        if (!stopped) {
            // Ended by itself: this side closes it; a stopped one is left to StopConvert.
            done = std::move(m_job);
            m_positionCallback = nullptr;
            m_timeCallback = nullptr;
            m_owner = nullptr;
        }
    }
    if (done) {
        done.reset();
        takeTracks();
    }
    if (callback)
        callback(total, owner, stopped ? ConvertStopped : failed ? ConvertFailed : ConvertFinished);
}
