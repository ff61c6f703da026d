#pragma once
// A converter runs one conversion job of the engine for a queue row, or the
// engine's merger that appends several sources into one output file, and
// reports progress from a worker thread through a plain callback.

#include "ConvertParams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a progress report means; sent with a percentage from the converter's
// thread to the row.
enum convertState : int32_t {
    ConvertStopped = 1,   // ended because a stop was requested
    ConvertFinished = 2,  // ran to its end
    ConvertProgress = 3,  // running; the percentage rose
    ConvertFailed = 4     // ended on an engine error; the output is not usable
};

// Progress of a job or merged source. Runs on the converter's worker thread:
// copy what is needed and post to the GUI thread, nothing more. States:
// ConvertProgress with the new whole percentage; ConvertFinished,
// ConvertStopped and ConvertFailed with 0, once, as the last call.
using ConvertCallback = void (*)(int percent, void *owner, convertState state);

// Elementary-stream output: written time in microseconds, on the worker
// thread, each time it grew.
using StreamPositionCallback = void (*)(int64_t written_us, void *owner);
// Elementary-stream output: called once when the output ends, with the
// total time written and how it ended (finished, stopped or failed).
using StreamTimeCallback = void (*)(int64_t total_us, void *owner, convertState state);

// One elementary stream fed by the caller (kind 1 video, 2 audio, 8 subtitle).
// Sample times count in the track's time base: frameRate ticks per second
// for video (a frame lasting frameRateScale ticks), sampleRate for audio,
// 1000 for subtitles.
struct StreamTrackInfo {
    int32_t codecId = 0;          // legacy codec number
    int32_t width = 0;
    int32_t height = 0;
    int32_t frameRate = 0;
    int32_t frameRateScale = 1;
    int32_t aspectX = 1;          // sample aspect ratio
    int32_t aspectY = 1;
    int32_t sampleRate = 0;
    int32_t channels = 0;
    int32_t bitRate = 0;          // bit/s
    std::vector<uint8_t> codecData;
    std::string language;         // ISO 639
};

struct StreamSample {
    std::vector<uint8_t> data;    // empty = the end of the track
    int64_t pts = 0;              // in the track's time base
    int64_t dts = INT64_MIN;      // INT64_MIN = same as pts
    int64_t duration = 0;
    bool keyFrame = false;
};

class IAVConverter {
public:
    // Stops whatever still runs and waits for the worker before freeing the
    // engine's handles.
    virtual ~IAVConverter() = default;

    // Paths are UTF-8. The converter reads params only during the call.
    virtual bool StartConvert(const std::string &source, const std::string &output,
                              const ConvertParams &params, void *owner, ConvertCallback callback) = 0;
    // Returns after the worker has reported ConvertStopped (or the job's
    // other end); nothing when no job runs. Deletes no file.
    virtual void StopConvert() = 0;
    virtual bool StartMerge(const std::string &output, const ConvertParams &params) = 0;
    // Appends one source once the previous one has ended and runs it.
    virtual bool AddMergeFile(const std::string &source, const ConvertParams &params, void *owner,
                              ConvertCallback callback) = 0;
    // wait true: the user cancels; false: the last source has finished. A
    // source still running is stopped either way, and the merger is closed
    // only after the worker has returned.
    virtual void StopMerge(bool wait) = 0;

    virtual bool StartStreams(const std::string &output, const ConvertParams &params, void *owner,
                              StreamPositionCallback positionCallback, StreamTimeCallback timeCallback) = 0;
    virtual void AddTrack(int kind, int trackNumber, const StreamTrackInfo &info) = 0;
    // The track number given, or -1 when the track could not be created.
    virtual int AddTrackAt(int kind, int trackNumber, const StreamTrackInfo &info) = 0;
    virtual bool WriteSample(const StreamSample &sample, int trackNumber) = 0;
    virtual void FlushTracks() = 0;

    // Why the last start failed or the last job or source failed ("" when
    // nothing failed). Reading it does not clear it.
    virtual std::string LastError() const = 0;
};

// A converter with the engine initialised.
std::unique_ptr<IAVConverter> createAVConverter();
