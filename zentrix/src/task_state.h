// Status, progress and error of a running job or merger, shared between the
// worker thread and the callers' threads.
#pragma once

#include "transcoder.h"
#include "zentrix.h"

#include <atomic>
#include <mutex>
#include <string>

namespace zx {

class TaskState {
public:
    std::atomic<int> status{ZX_STATUS_IDLE};   // enum ZxStatus
    std::atomic<bool> stop{false};              // a stop was requested
    std::atomic<int64_t> durationUs{0};

    void fail(const Failure &f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_code = f.code ? f.code : ZX_ERR_INTERNAL;
        m_message = f.message;
    }
    void failNow(int code, const std::string &message) { fail(Failure{code, message}); }

    // Copies the error into a buffer of the calling thread, so the returned
    // text survives a worker writing a new error.
    const char *error(int *code) const
    {
        thread_local std::string copy;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (code)
            *code = m_code;
        copy = m_message;
        return copy.c_str();
    }
    void clearError()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_code = 0;
        m_message.clear();
    }

    // Position never falls: callers see the highest value reported.
    uint64_t position(int64_t currentUs)
    {
        const int64_t duration = durationUs.load();
        if (status.load() == ZX_STATUS_FINISHED && duration > 0)
            currentUs = duration;
        if (duration > 0 && currentUs > duration)
            currentUs = duration;
        int64_t seen = m_position.load();
        while (currentUs > seen && !m_position.compare_exchange_weak(seen, currentUs)) {
        }
        return uint64_t(std::max<int64_t>(0, std::max(seen, currentUs)));
    }
    void resetPosition() { m_position.store(0); }

private:
    mutable std::mutex m_mutex;   // guards m_code and m_message
    int m_code = 0;
    std::string m_message;
    std::atomic<int64_t> m_position{0};
};

} // namespace zx
