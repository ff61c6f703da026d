#include "player_clock.h"

#include <algorithm>
#include <cstring>

namespace zx {
namespace {
// SDL's subsystem counting is not safe across threads; players may be
// opened from several.
std::mutex g_sdlLock;
} // namespace

int64_t MediaClock::now() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_held ? m_mediaUs : m_mediaUs + (wallUs() - m_wallUs);
}

void MediaClock::set(int64_t mediaUs)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_mediaUs = mediaUs;
    m_wallUs = wallUs();
    m_held = false;
}

void MediaClock::hold(int64_t mediaUs)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_mediaUs = mediaUs;
    m_held = true;
}

void MediaClock::run()
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_held) {
        m_wallUs = wallUs();
        m_held = false;
    }
}

bool MediaClock::held() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_held;
}

SoundOutput::~SoundOutput() { close(); }

bool SoundOutput::open(int wantedRate, int wantedChannels, int bufferUs)
{
    close();
    std::lock_guard<std::mutex> sdl(g_sdlLock);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    m_subsystem = true;
    SDL_AudioSpec want{}, have{};
    want.freq = wantedRate > 0 ? wantedRate : 48000;
    want.format = AUDIO_S16SYS;
    want.channels = Uint8(std::clamp(wantedChannels, 1, 2));
    // Half the wanted buffer, as a power of two: the device always has a
    // second part queued, the clock moves in short steps, and closing (which
    // waits out a few device buffers) stays quick.
    const int wantedSamples = std::max(256, int(int64_t(want.freq) * bufferUs / 2000000));
    int samples = 256;
    while (samples * 2 <= wantedSamples && samples < 16384)
        samples *= 2;
    want.samples = Uint16(samples);
    want.callback = &SoundOutput::callback;
    want.userdata = this;
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (m_device == 0 || have.format != AUDIO_S16SYS || have.channels < 1 || have.channels > 2) {
        if (m_device)
            SDL_CloseAudioDevice(m_device);
        m_device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_subsystem = false;
        return false;
    }
    m_rate = have.freq;
    m_channels = have.channels;
    m_deviceSamples = have.samples;
    return true;
}

void SoundOutput::close()
{
    std::lock_guard<std::mutex> sdl(g_sdlLock);
    if (m_device)
        SDL_CloseAudioDevice(m_device); // waits for a running callback
    m_device = 0;
    if (m_subsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_subsystem = false;
    std::lock_guard<std::mutex> g(m_lock);
    m_queue.clear();
    m_queuedSamples = 0;
    m_lastBlock.clear();
}

void SoundOutput::setPaused(bool paused)
{
    if (m_device)
        SDL_PauseAudioDevice(m_device, paused ? 1 : 0);
}

void SoundOutput::flush(int serial)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_queue.clear();
    m_queuedSamples = 0;
    m_serial = serial;
    m_lastBlock.clear();
}

bool SoundOutput::push(const int16_t *samples, int count, int64_t ptsUs, int serial)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (serial != m_serial || !m_device)
        return false;
    Chunk c;
    c.samples.assign(samples, samples + count);
    c.ptsUs = ptsUs;
    m_queuedSamples += size_t(count);
    m_queue.push_back(std::move(c));
    return true;
}

int64_t SoundOutput::queuedUs() const
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_rate || !m_channels)
        return 0;
    return int64_t(m_queuedSamples / size_t(m_channels)) * 1000000 / m_rate;
}

void SoundOutput::setVolume(int percent)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_volume = std::clamp(percent, 0, 100);
}

bool SoundOutput::latestBlock(std::vector<int16_t> &out) const
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_lastBlock.empty())
        return false;
    out = m_lastBlock;
    return true;
}

void SoundOutput::callback(void *self, Uint8 *stream, int len)
{
    static_cast<SoundOutput *>(self)->fill(reinterpret_cast<int16_t *>(stream), len / int(sizeof(int16_t)));
}

// Runs on SDL's audio thread.
void SoundOutput::fill(int16_t *out, int samples)
{
    std::lock_guard<std::mutex> g(m_lock);
    int64_t firstPts = INT64_MIN;
    int done = 0;
    while (done < samples && !m_queue.empty()) {
        Chunk &c = m_queue.front();
        if (firstPts == INT64_MIN)
            firstPts = c.ptsUs + int64_t(c.used / size_t(m_channels)) * 1000000 / m_rate;
        const size_t n = std::min(size_t(samples - done), c.samples.size() - c.used);
        std::memcpy(out + done, c.samples.data() + c.used, n * sizeof(int16_t));
        c.used += n;
        done += int(n);
        m_queuedSamples -= n;
        if (c.used == c.samples.size())
            m_queue.pop_front();
    }
    std::memset(out + done, 0, size_t(samples - done) * sizeof(int16_t));
    if (m_volume != 100)
        for (int i = 0; i < done; ++i)
            out[i] = int16_t(int(out[i]) * m_volume / 100);
    if (done > 0) {
        m_lastBlock.assign(out, out + done);
        // What is handed over now is heard about one device buffer later.
        m_clock.set(firstPts - int64_t(m_deviceSamples) * 1000000 / m_rate);
    }
}

} // namespace zx
