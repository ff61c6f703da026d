// The preview player behind the Player* calls of zentrix.h.
//
// Threads: readLoop() demuxes into two bounded packet queues; soundLoop()
// decodes and filters the sound into the SoundOutput, whose SDL callback
// moves the clock; pictureLoop() decodes the pictures, waits for the clock,
// drops late ones, renders the untouched and edited pictures and calls the
// frame callbacks. A seek is carried out by the read thread, which bumps the
// serial; each decoder notices the new serial on its next packet.
#pragma once

#include "player_clock.h"
#include "player_queue.h"
#include "player_render.h"
#include "zentrix.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zx {

class Player {
public:
    Player();
    ~Player();

    bool open(std::unique_ptr<MediaReader> reader, int width, int height, int openParam);
    void close();
    bool isOpen() const { return m_open; }
    std::string lastError() const;

    bool setFrameCallback(int kind, int format, ZxFrameCallback cb, void *ctx);
    void setEndCallback(ZxEndCallback cb, void *ctx);

    bool start();
    bool isReady() const { return m_started; }
    bool play();
    bool pause();
    bool stop();
    bool isPlaying() const;
    bool seek(int64_t us);
    bool step(bool forward);
    bool isBusy() const;
    int64_t position() const;
    int64_t duration() const { return m_durationUs; }
    bool isEnd() const;
    bool redraw();
    void setVolume(int percent) { m_sound.setVolume(percent); }
    bool audioBlock(std::vector<int16_t> &out) const { return m_sound.latestBlock(out); }
    bool setParams(const ZxParams &set);
    ZxParams params() const;
    // grabs the shown picture with the current edits; empty when none
    std::vector<unsigned char> grab();
    void stats(int64_t &shown, int64_t &dropped, int64_t &maxOffsetUs) const;
    // pictures the decoder gave out since the open, shown or not
    int64_t decodedPictures() const { return m_decoded; }

    // facts of the open source, fixed at open
    bool hasVideo() const { return m_hasVideo; }
    bool hasAudio() const { return m_hasAudio; }
    int sourceWidth() const { return m_sourceW; }
    int sourceHeight() const { return m_sourceH; }
    bool displayAspect(int &num, int &den) const;
    bool frameRate(int &num, int &den) const
    {
        num = m_rateNum;
        den = m_rateDen;
        return num > 0 && den > 0;
    }
    void outputSize(int &w, int &h) const;

    std::atomic<int> selectedWatermark{-1};

private:
    void readLoop();
    void soundLoop();
    void pictureLoop();
    void requestSeekLocked(int64_t us);
    bool seekPendingLocked() const { return m_seekRequestUs >= 0 || m_seekTaken; }
    void finishIfEnded();
    void fail(const std::string &why);
    int64_t framePtsUs(const AVFrame *f, const AVStream *st) const;

    // fixed while open (written by open/close only, with no thread running)
    InputMedia m_media;
    std::atomic<bool> m_abort{false};
    Interrupter m_interrupter{&m_abort};
    bool m_open = false;
    std::atomic<bool> m_started{false};
    bool m_hasVideo = false, m_hasAudio = false, m_soundActive = false;
    int m_sourceW = 0, m_sourceH = 0, m_aspectNum = 0, m_aspectDen = 0;
    int m_rateNum = 0, m_rateDen = 0;
    SourcePicture m_picture;      // read once: the demuxer is the read thread's while playing
    int m_wantW = 0, m_wantH = 0;
    int64_t m_durationUs = 0, m_startUs = 0, m_frameUs = 40000;
    int64_t m_soundAheadUs = 50000;
    std::thread m_reader, m_pictureThread, m_soundThread;

    std::mutex m_icLock;          // the demuxer: held by the read thread while it reads or seeks
    MediaClock m_clock;
    SoundOutput m_sound{m_clock};
    PacketQueue m_videoQueue, m_audioQueue;

    mutable std::mutex m_lock;    // guards the playback state below
    std::condition_variable m_wake;
    bool m_playing = false;
    bool m_ended = false;
    bool m_stepped = false;       // steps were taken since the last seek: play resyncs the sound
    int64_t m_seekRequestUs = -1; // a seek the read thread has not taken yet
    // The read thread took a request and has not given out its serial yet.
    // Until it has, pictures and ends of the old serial look current: they
    // must not end the seek (a paused player would then never show its target).
    bool m_seekTaken = false;
    int m_serial = 0;             // of the latest seek carried out
    int64_t m_seekTargetUs = -1;  // the target of that seek (-1: none)
    int m_showNext = 0;           // pictures to show while paused (start, steps)
    bool m_busy = false;          // a seek or step whose picture is not shown yet
    bool m_videoEof = false, m_audioEof = false;
    int m_audioIndex = -1;        // stream the sound comes from
    ZxParams m_params;
    int m_paramsGen = 0;
    int m_redrawAsked = 0, m_redrawDone = 0;
    bool m_grabAsked = false;
    std::vector<unsigned char> m_grab;
    std::string m_error;
    int64_t m_positionUs = 0;

    std::mutex m_subtitleLock;    // guards m_subtitlePackets
    std::deque<PacketPtr> m_subtitlePackets;
    std::atomic<int> m_subtitleIndex{-1};

    std::mutex m_callbackLock;    // held while a callback runs; guards the callbacks
    struct FrameSink {
        ZxFrameCallback cb = nullptr;
        void *ctx = nullptr;
        int format = ZX_PIXEL_RGB32;
    } m_sinks[2];
    ZxEndCallback m_endCb = nullptr;
    void *m_endCtx = nullptr;
    bool m_endCalled = false;

    std::atomic<int64_t> m_shown{0}, m_dropped{0}, m_maxOffsetUs{0}, m_decoded{0};
};

} // namespace zx
