// The conversion pipeline: one Output (encoders and muxer) fed by one or
// more Segments (a source decoded, filtered and conformed to the output).
// A job is one segment; a merger appends segments at a running offset.
#pragma once

#include "codec_map.h"
#include "colour.h"
#include "ffutil.h"
#include "media_input.h"
#include "params.h"

struct AVAudioFifo;

#include <atomic>
#include <memory>
#include <string>

namespace zx {

class EditStage;

struct Failure {
    int code = 0;       // enum ZxError
    std::string message;
    bool set(int c, std::string m)
    {
        code = c;
        message = std::move(m);
        return false;
    }
};

// True when both paths name one existing file (links and hard links
// resolved; a leading "file:" read as the protocol, as the openers do).
// Writing an output onto its own source would truncate the source first.
bool sameFile(const std::string &a, const std::string &b);

class Output {
public:
    Output();
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // Chooses and opens the encoders for the set (sizes and rates the set
    // leaves open come from the first source), creates the file and writes
    // the header. wantAudioAlways: an audio stream even when the first source
    // has none (merging fills silence). allowCopy: a source stream that
    // already is what the set asks for is remuxed as it is. partSet: the
    // first source's own set (a merge's), which must let it be copied too.
    bool open(const std::string &path, const std::string &container, const ZxParams &set,
              const InputMedia &firstSource, bool wantAudioAlways, Failure &fail, bool allowCopy = false,
              const ZxParams *partSet = nullptr);
    bool isOpen() const { return m_oc != nullptr; }
    bool createdFile() const { return m_fileCreated; }   // open() got as far as creating the file

    bool hasVideo() const { return m_vst != nullptr; }
    bool hasAudio() const { return m_ast != nullptr; }
    // The stream takes the source's packets as they are (see writeCopied).
    bool videoCopied() const { return m_vst && !m_venc; }
    bool audioCopied() const { return m_ast && !m_aenc; }
    int frameWidth() const { return m_frameW; }
    int frameHeight() const { return m_frameH; }
    AVPixelFormat pixelFormat() const { return m_pixFmt; }
    // The colours the video stream is tagged with (complete).
    const ColourTags &colours() const { return m_colours; }
    AVRational frameRate() const { return m_fps; }
    int sampleRate() const { return m_sampleRate; }
    AVSampleFormat sampleFormat() const { return m_sampleFmt; }
    const AVChannelLayout &channelLayout() const { return m_layout; }
    int audioFrameSize() const;   // 0 = the encoder takes any size

    // Encode one filtered frame; pts in the sink's time base tb.
    bool sendVideo(AVFrame *frame, AVRational tb, Failure &fail);
    bool sendAudio(AVFrame *frame, AVRational tb, Failure &fail);
    // Remuxes a packet of a copied stream; its timestamps are in the source
    // stream's time base tb and move by shiftUs onto the output's timeline.
    bool writeCopied(AVPacket *pkt, AVRational tb, int64_t shiftUs, bool video, Failure &fail);
    // Pads a stream that ended early up to endUs (black or silence).
    bool fillTo(int64_t endUs, Failure &fail);

    int64_t videoEndUs() const;
    int64_t audioEndUs() const;
    int64_t endUs() const;                       // both streams written up to here
    // Output time present in the file for every stream (the least of their
    // ends), so a stop at this point keeps all streams up to it. Any thread.
    int64_t writtenUs() const;
    // The same over some streams only: a merged source without sound makes
    // progress through its picture alone.
    int64_t writtenUs(bool video, bool audio) const;

    // Drains the encoders (unless abandon) and writes the trailer.
    bool finish(bool abandon, Failure &fail);

private:
    bool openVideo(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, Failure &fail);
    bool openAudio(const ZxParams &set, const InputMedia &src, const AVOutputFormat *muxer, Failure &fail);
    bool openCopy(const AVStream *source, bool video, Failure &fail);
    bool encode(AVCodecContext *enc, AVStream *st, AVFrame *frame, Failure &fail);
    // Encodes the held samples in whole encoder frames; all of them when last.
    bool drainAudio(bool last, Failure &fail);

    AVFormatContext *m_oc = nullptr;
    CodecCtxPtr m_venc, m_aenc;
    AVStream *m_vst = nullptr, *m_ast = nullptr;
    uint32_t m_vtag = 0;
    int m_frameW = 0, m_frameH = 0;
    AVPixelFormat m_pixFmt = AV_PIX_FMT_NONE;
    ColourTags m_colours;
    AVRational m_fps{25, 1};
    int m_sampleRate = 0;
    AVSampleFormat m_sampleFmt = AV_SAMPLE_FMT_NONE;
    AVChannelLayout m_layout{};
    int64_t m_lastVideoPts = AV_NOPTS_VALUE;   // encoder time base (1/fps)
    int64_t m_nextAudioPts = 0;                // samples: just after the last sample received
    // Samples held for an encoder of fixed frame size, which takes a short
    // frame only as its very last: a merged source's short tail waits here
    // for the next source's samples. m_heldPts is the pts of the first one.
    AVAudioFifo *m_heldAudio = nullptr;
    int64_t m_heldPts = 0;
    bool m_headerWritten = false;
    bool m_fileCreated = false;
    PacketPtr m_pkt;
    std::atomic<int64_t> m_videoWrittenUs{0}, m_audioWrittenUs{0};
    int64_t m_videoCopyEndUs = 0, m_audioCopyEndUs = 0;   // ends of the copied packets
    int64_t m_videoCopyDts = AV_NOPTS_VALUE, m_audioCopyDts = AV_NOPTS_VALUE;   // last copied dts, stream time base
};

class Segment {
public:
    enum class Result { Done, Stopped, Failed };

    explicit Segment(const std::atomic<bool> &stop);
    ~Segment();

    // Opens the source and readies the set's edits: a watermark image or a
    // subtitle choice that cannot be read fails here, before any output.
    bool open(std::unique_ptr<MediaReader> reader, const ZxParams &set, Failure &fail);
    const InputMedia &media() const { return m_media; }
    // Length of output this segment will produce for a range.
    int64_t expectedUs(int64_t startUs, int64_t lengthUs) const;
    // Decodes the range and sends it, shifted to offsetUs, into out.
    Result run(Output &out, int64_t startUs, int64_t lengthUs, int64_t offsetUs, Failure &fail);

private:
    Interrupter m_interrupter;
    const std::atomic<bool> &m_stop;
    InputMedia m_media;
    ZxParams m_set;
    std::unique_ptr<EditStage> m_edits;
    int m_editsW = 0, m_editsH = 0;   // frame size m_edits is open for
};

} // namespace zx
