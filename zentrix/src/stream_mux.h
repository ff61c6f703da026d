// Muxing caller-encoded packets (elementary streams) without re-encoding.
#pragma once

#include "ffutil.h"
#include "task_state.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct ZxTrack {
    int kind = 0;
    int codec = 0;                 // legacy codec number
    int width = 0, height = 0;
    AVRational fps{0, 1};
    AVRational sar{0, 1};
    int sampleRate = 0, channels = 0;
    int64_t bitrate = 0;
    std::vector<uint8_t> codecData;
    std::string language;
    // Set by JobOpenStreams.
    std::shared_ptr<zx::StreamMux> mux;
    int streamIndex = -1;
};

struct ZxPacket {
    std::vector<uint8_t> data;
    int64_t ptsUs = 0, dtsUs = INT64_MIN, durationUs = 0;
    bool key = false;
};

namespace zx {

// Owned jointly by the job and its tracks, so that a track outliving its job
// writes nothing instead of touching freed memory.
struct StreamMux {
    std::shared_ptr<TaskState> state;
    std::atomic<int64_t> writtenUs{0};

    bool open(const std::string &path, const std::string &container, ZxTrack *tracks[3], Failure &fail);
    int write(int streamIndex, const ZxPacket &p);
    void stop();     // ends the file now, keeping what was written
    void close();    // same, when the job is closed before its tracks ended

private:
    bool finishLocked();
    std::mutex m_mutex;              // guards everything below
    AVFormatContext *m_oc = nullptr;
    std::vector<bool> m_ended;
    bool m_done = false;
public:
    ~StreamMux();
};

} // namespace zx
