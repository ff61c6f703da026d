// Bounded packet queue between the preview player's read thread and its
// decoding threads. Each packet carries the serial of the seek it belongs
// to, so a decoder can tell stale packets from new ones.
#pragma once

#include "ffutil.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace zx {

struct QueuedPacket {
    PacketPtr packet;    // null: end of the stream
    int serial = 0;
};

class PacketQueue {
public:
    void put(PacketPtr packet, int serial)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_bytes += packet ? size_t(packet->size) : 0;
        m_items.push_back(QueuedPacket{std::move(packet), serial});
        m_ready.notify_one();
    }
    // Waits up to timeout for a packet; false when none came.
    bool get(QueuedPacket &out, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> g(m_lock);
        if (!m_ready.wait_for(g, timeout, [&] { return !m_items.empty() || m_aborted; }) || m_aborted)
            return false;
        out = std::move(m_items.front());
        m_items.pop_front();
        m_bytes -= out.packet ? size_t(out.packet->size) : 0;
        return true;
    }
    void clear()
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_items.clear();
        m_bytes = 0;
    }
    // Empties the queue and takes packets again after an abort.
    void reset()
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_items.clear();
        m_bytes = 0;
        m_aborted = false;
    }
    void abort()
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_aborted = true;
        m_ready.notify_all();
    }
    size_t count() const
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_items.size();
    }
    size_t bytes() const
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_bytes;
    }

private:
    mutable std::mutex m_lock;   // guards every field below
    std::condition_variable m_ready;
    std::deque<QueuedPacket> m_items;
    size_t m_bytes = 0;
    bool m_aborted = false;
};

} // namespace zx
