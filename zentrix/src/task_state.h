// Status, progress and error of a running job or merger, shared between the
// worker thread and the callers' threads.
#pragma once

#include "transcoder.h"
#include "zentrix.h"

#include <atomic>
#include <deque>
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

    // The returned text belongs to this state and stays put until it is
    // destroyed: a worker writing a new error, or another handle's error
    // asked for in between, never changes what a caller holds. Only a text
    // that differs from the last one returned is kept anew, so repeated
    // polling does not grow the list.
    const char *error(int *code) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (code)
            *code = m_code;
        if (m_returned.empty() || m_returned.back() != m_message)
            m_returned.push_back(m_message);
        return m_returned.back().c_str();
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
    mutable std::mutex m_mutex;   // guards m_code, m_message and m_returned
    int m_code = 0;
    std::string m_message;
    mutable std::deque<std::string> m_returned;   // never erased; a deque keeps its elements in place
    std::atomic<int64_t> m_position{0};
};

} // namespace zx
