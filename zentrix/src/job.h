// The job handle, shared by the conversion and the elementary-stream calls.
#pragma once

#include "task_state.h"
#include "transcoder.h"

#include <memory>
#include <thread>

namespace zx {
struct StreamMux;
}

struct ZxJob {
    std::shared_ptr<zx::TaskState> state = std::make_shared<zx::TaskState>();
    std::thread worker;
    // Conversion mode: set by JobOpenFile, used by the worker only while it runs.
    std::unique_ptr<zx::Segment> segment;
    std::unique_ptr<zx::Output> output;
    std::string outputPath;
    std::string container;
    ZxParams set;   // kept to open the output again when a range rules out copying
    int64_t startUs = 0, lengthUs = 0;
    bool closed = false;
    // Elementary-stream mode: set by JobOpenStreams.
    std::shared_ptr<zx::StreamMux> streams;
};
