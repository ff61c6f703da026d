// The preview player's master clock and its sound output.
#pragma once

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace zx {

inline int64_t wallUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Media time that runs with the wall clock from the last set() while running.
// The sound output sets it as it plays; without sound it is the system clock.
// Every member is thread-safe.
class MediaClock {
public:
    int64_t now() const;
    void set(int64_t mediaUs);          // running from mediaUs
    void hold(int64_t mediaUs);         // stopped at mediaUs until the next set() or run()
    void run();                         // continues from where it holds
    bool held() const;

private:
    mutable std::mutex m_lock;          // guards the three fields below
    int64_t m_mediaUs = 0;
    int64_t m_wallUs = 0;
    bool m_held = true;
};

// Decoded 16-bit sound waiting for the device, in time order, plus the
// device itself. The device's callback drains it and moves the clock; with
// no device (none can be opened) pushed sound is dropped and the clock keeps
// to the system time.
class SoundOutput {
public:
    explicit SoundOutput(MediaClock &clock) : m_clock(clock) {}
    ~SoundOutput();
    SoundOutput(const SoundOutput &) = delete;
    SoundOutput &operator=(const SoundOutput &) = delete;

    // Opens the default device for bufferUs of sound queued, about half of it per callback;
    // false when there is none (the caller then plays against the system clock).
    bool open(int wantedRate, int wantedChannels, int bufferUs);
    void close();
    bool isOpen() const { return m_device != 0; }
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    int64_t deviceBufferUs() const { return m_rate ? int64_t(m_deviceSamples) * 1000000 / m_rate : 0; }

    void setPaused(bool paused);
    // Drops everything queued and accepts only sound of this serial from now on.
    void flush(int serial);
    // Queues interleaved samples whose first one is at ptsUs. Returns false
    // when serial is stale (nothing queued).
    bool push(const int16_t *samples, int count, int64_t ptsUs, int serial);
    // Sound queued and not yet handed to the device, in microseconds.
    int64_t queuedUs() const;
    void setVolume(int percent);
    // Copies the latest block the device took (after the volume) into out;
    // false when the device has taken nothing since the last flush.
    bool latestBlock(std::vector<int16_t> &out) const;

private:
    static void callback(void *self, Uint8 *stream, int len);
    void fill(int16_t *out, int samples);

    struct Chunk {
        std::vector<int16_t> samples;
        size_t used = 0;                 // samples already played
        int64_t ptsUs = 0;
    };
    MediaClock &m_clock;
    SDL_AudioDeviceID m_device = 0;
    bool m_subsystem = false;
    int m_rate = 0, m_channels = 0, m_deviceSamples = 0;
    mutable std::mutex m_lock;           // guards the queue, serial, volume and last block
    std::deque<Chunk> m_queue;
    size_t m_queuedSamples = 0;          // interleaved samples in m_queue not yet played
    int m_serial = 0;
    int m_volume = 100;
    std::vector<int16_t> m_lastBlock;
};

} // namespace zx
