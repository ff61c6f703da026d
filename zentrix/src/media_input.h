// Opening a source for reading. A reader decides where the bytes come from
// (a file now; a DVD title through custom I/O later); InputMedia holds the
// demuxer and the facts every caller needs.
#pragma once

#include "ffutil.h"
#include "geometry.h"

#include <memory>
#include <string>
#include <vector>

namespace zx {

class MediaReader {
public:
    virtual ~MediaReader() = default;
    // Opens a demuxer whose blocking calls honour the interrupt callback.
    virtual int open(InputPtr &out, const AVIOInterruptCB &interrupt) = 0;
    // Name reported as the source's brand when the demuxer has none better.
    virtual std::string brand(const AVFormatContext *ic) const;
};

class FileReader : public MediaReader {
public:
    explicit FileReader(std::string path) : m_path(std::move(path)) {}
    int open(InputPtr &out, const AVIOInterruptCB &interrupt) override;

private:
    std::string m_path;
};

class InputMedia {
public:
    // Opens and analyses the source. Returns false with a message.
    bool open(std::unique_ptr<MediaReader> reader, Interrupter &interrupter, std::string &error);
    void close();
    bool isOpen() const { return m_ic != nullptr; }

    AVFormatContext *context() const { return m_ic.get(); }
    std::string brand() const;
    int videoStream() const { return m_video; }                 // -1 = none
    const std::vector<int> &audioStreams() const { return m_audio; }
    const std::vector<int> &subtitleStreams() const { return m_subtitles; }
    int bestAudioStream() const { return m_bestAudio; }
    int64_t durationUs() const;
    int64_t startTimeUs() const;
    SourcePicture picture() const;
    int displayWidth() const;
    int displayHeight() const;
    bool canSeek() const;

private:
    std::unique_ptr<MediaReader> m_reader;
    InputPtr m_ic;
    int m_video = -1;
    int m_bestAudio = -1;
    std::vector<int> m_audio;
    std::vector<int> m_subtitles;
};

// Opens a decoder for a stream: all cores, frame and slice threads.
CodecCtxPtr openDecoder(const AVStream *st, std::string &error);

} // namespace zx
