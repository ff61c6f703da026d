// Opening a source for reading. A reader decides where the bytes come from
// (a file, or a DVD title through custom I/O) and may know facts the
// demuxer cannot find out; InputMedia holds the demuxer and the facts every
// caller needs.
#pragma once

#include "ffutil.h"
#include "geometry.h"
#include "interlace.h"

#include <functional>
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
    // Playing time known outside the streams (0 = ask the demuxer).
    virtual int64_t durationUs() const { return 0; }
    // Display aspect known outside the streams ({0, 1} = from the stream).
    virtual AVRational displayAspect() const { return AVRational{0, 1}; }
    // Puts the audio and subtitle streams (stream indices) in the order the
    // source lists them and labels them; the file order stands by default.
    // True when the first audio stream is then the main one.
    virtual bool arrange(AVFormatContext *, std::vector<int> &, std::vector<int> &) { return false; }
    // Why reading failed, when the reader knows better than an error code.
    virtual std::string failure() const { return {}; }
};

class FileReader : public MediaReader {
public:
    explicit FileReader(std::string path) : m_path(std::move(path)) {}
    int open(InputPtr &out, const AVIOInterruptCB &interrupt) override;
    std::string failure() const override { return m_failure; }

private:
    std::string m_path;
    std::string m_failure; // why open() refused the path
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
    // The reader's own explanation of a read failure ("" = none).
    std::string readerFailure() const { return m_reader ? m_reader->failure() : std::string(); }
    // How the pictures are to be made progressive, once decided by the owner
    // (progressive until then).
    const ScanInfo &scan() const { return m_scan; }
    void setScan(const ScanInfo &scan) { m_scan = scan; }

private:
    std::unique_ptr<MediaReader> m_reader;
    InputPtr m_ic;
    int m_video = -1;
    int m_bestAudio = -1;
    std::vector<int> m_audio;
    std::vector<int> m_subtitles;
    ScanInfo m_scan;
};

// Opens a decoder for a stream: all cores, frame and slice threads.
CodecCtxPtr openDecoder(const AVStream *st, std::string &error);

// Decodes the pictures of stream videoIndex from where the input stands,
// the other streams skipped, and hands each to `take` until it returns
// false, the stream ends or maxPackets packets were read. The streams'
// skip settings are put back; the input stays where reading stopped.
void decodeFromHere(AVFormatContext *ic, int videoIndex, AVCodecContext *dec, int maxPackets,
                    const std::function<bool(AVFrame *)> &take);

// Back to the first packet. Program and transport streams (a DVD title
// among them) go by bytes, which always finds their start; the others by
// time.
void rewindInput(AVFormatContext *ic);

} // namespace zx
