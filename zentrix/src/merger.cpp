// Merger: sources appended one after another into one output, each
// re-encoded with the output's parameter set, or copied when every source
// fits the output the same way.
#include "codec_map.h"
#include "dvd_reader.h"
#include "stream_copy.h"
#include "task_state.h"
#include "transcoder.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>
#include <thread>
#include <vector>

namespace {
struct CodecParDeleter {
    void operator()(AVCodecParameters *p) const { avcodec_parameters_free(&p); }
};
using CodecParPtr = std::unique_ptr<AVCodecParameters, CodecParDeleter>;
} // namespace

struct ZxMerger {
    // State of the source added last; a new source gets a fresh one so
    // that a caller still polling the previous one never sees it reset.
    std::shared_ptr<zx::TaskState> state = std::make_shared<zx::TaskState>();
    std::atomic<bool> stop{false};   // stops the merger as a whole
    std::thread worker;
    std::string path, container;
    ZxParams set;
    bool opened = false, begun = false, closed = false;
    std::atomic<bool> broken{false};         // a source failed or was stopped: no more appends
    std::unique_ptr<zx::Output> output;      // created with the first source
    std::atomic<zx::Output *> outputView{nullptr}; // the same, for the polling threads
    std::unique_ptr<zx::Segment> segment;    // the source being appended
    std::atomic<int64_t> offsetUs{0};        // where the current source starts
    std::atomic<bool> feedsVideo{true}, feedsAudio{true}; // streams the current source has
    int64_t lengthUs = 0, startUs = 0;
    bool createdOutput = false;              // MergerOpen made the file (so it may remove it)

    // The states of earlier sources, kept until release: an error text
    // returned from one of them must outlive the next source.
    std::vector<std::shared_ptr<zx::TaskState>> earlier;

    // Every source appended so far, so that a merge that copied its first
    // sources can convert them again when a later one does not fit the copy.
    struct Part {
        std::string source;
        int64_t start, length;
        ZxParams set;
        bool dvd;
    };
    std::vector<Part> parts;
    // The first source's copied streams: later sources must match them.
    CodecParPtr copiedVideo, copiedAudio;
    bool convertAgain = false;   // the worker converts the earlier parts before the current one
    // Outputs given up for a converting one; polling threads may still hold them.
    std::vector<std::unique_ptr<zx::Output>> retired;

    std::shared_ptr<zx::TaskState> current() const { return std::atomic_load(&state); }
    void setCurrent(std::shared_ptr<zx::TaskState> s)
    {
        earlier.push_back(std::atomic_exchange(&state, std::move(s)));
    }

    void joinWorker()
    {
        if (worker.joinable())
            worker.join();
    }
};

namespace {

std::unique_ptr<zx::MediaReader> readerFor(const std::string &source, const ZxParams &set, bool dvd)
{
    if (dvd)
        return std::make_unique<zx::DvdReader>(source.c_str(), set.dvdTitle);
    return std::make_unique<zx::FileReader>(source.c_str());
}

// A copy starts on a key frame and runs to the source's end (as for a job's
// range); what the output copies must be there in this source, fit the set,
// and match the first source's stream packet for packet.
bool partCopies(const ZxMerger *m, const zx::Segment &segment, const ZxParams &partSet, int64_t start,
                int64_t length, bool dvd)
{
    const zx::Output &out = *m->output;
    if (!out.videoCopied() && !out.audioCopied())
        return true;
    const zx::InputMedia &media = segment.media();
    if (dvd || (length > 0 && start + length < segment.expectedUs(0, 0))
        || (start > 0 && !(out.videoCopied() && zx::keyFrameAt(media, start))))
        return false;
    const AVOutputFormat *muxer = zx::findMuxer(m->container.c_str());
    std::string ignored;
    for (const ZxParams *set : {&m->set, &partSet}) {
        const ZxParams keep = zx::keepSourceFormat(*set, media, muxer);
        zx::EncoderChoice choice;
        if (out.videoCopied()
            && (media.videoStream() < 0
                || !zx::chooseEncoder(keep.videoCodec, muxer, choice, ignored, AVMEDIA_TYPE_VIDEO)
                || !zx::videoFitsAsIs(keep, media, muxer, choice.encoder)
                || !zx::sameCodecParameters(m->copiedVideo.get(), media.context()->streams[media.videoStream()]->codecpar)))
            return false;
        const int audio = zx::chosenAudioStream(keep, media);
        if (out.audioCopied()
            && (audio < 0 || !zx::chooseEncoder(keep.audioCodec, muxer, choice, ignored, AVMEDIA_TYPE_AUDIO)
                || !zx::audioFitsAsIs(keep, media, muxer, choice.encoder, choice.maxChannels)
                || !zx::sameCodecParameters(m->copiedAudio.get(), media.context()->streams[audio]->codecpar)))
            return false;
    }
    return true;
}

// A source that does not fit the copy arrived after copied ones: the file
// is started over, converting the earlier sources into a new output.
zx::Segment::Result convertEarlierParts(ZxMerger *m, zx::Failure &fail)
{
    zx::Failure ignored;
    m->output->finish(true, ignored);
    std::unique_ptr<zx::Output> out;
    for (size_t i = 0; i + 1 < m->parts.size(); ++i) {
        const ZxMerger::Part &part = m->parts[i];
        zx::Segment segment(m->stop);
        if (!segment.open(readerFor(part.source, part.set, part.dvd), part.set, fail))
            return zx::Segment::Result::Failed;
        if (!out) {
            out = std::make_unique<zx::Output>();
            if (!out->open(m->path, m->container, m->set, segment.media(), true, fail))
                return zx::Segment::Result::Failed;
            m->outputView.store(out.get());
            m->retired.push_back(std::move(m->output));
            m->output = std::move(out);
        }
        const zx::Segment::Result r = segment.run(*m->output, part.start, part.length, m->output->endUs(), fail);
        if (r != zx::Segment::Result::Done)
            return r;
        if (!m->output->fillTo(m->output->endUs(), fail))
            return zx::Segment::Result::Failed;
    }
    m->offsetUs = m->output->endUs();
    return zx::Segment::Result::Done;
}

void runSegment(ZxMerger *m, std::shared_ptr<zx::TaskState> state)
{
    zx::Failure fail;
    zx::Segment::Result r = zx::Segment::Result::Done;
    if (m->convertAgain) {
        m->convertAgain = false;
        r = convertEarlierParts(m, fail);
    }
    if (r == zx::Segment::Result::Done)
        r = m->segment->run(*m->output, m->startUs, m->lengthUs, m->offsetUs.load(), fail);
    // Both streams continue from the same point with the next source.
    if (r == zx::Segment::Result::Done && !m->output->fillTo(m->output->endUs(), fail))
        r = zx::Segment::Result::Failed;
    m->segment.reset();
    if (r == zx::Segment::Result::Failed) {
        m->broken = true;
        state->fail(fail);
        state->status.store(ZX_STATUS_FAILED);
    } else if (r == zx::Segment::Result::Stopped) {
        m->broken = true;
        state->status.store(ZX_STATUS_STOPPED);
    } else {
        state->status.store(ZX_STATUS_FINISHED);
    }
}

bool checkEncoder(int id, const AVOutputFormat *muxer, AVMediaType type, zx::Failure &fail)
{
    if (id <= 0)
        return true;
    zx::EncoderChoice choice;
    std::string err;
    return zx::chooseEncoder(id, muxer, choice, err, type) || fail.set(ZX_ERR_CODEC, err);
}

} // namespace

extern "C" {

ZxMerger *MergerCreate(void) { return new ZxMerger(); }

int MergerOpen(ZxMerger *m, const char *output, const char *container, const ZxParams *set)
{
    if (!m)
        return 0;
    zx::Failure fail;
    const AVOutputFormat *muxer = container ? zx::findMuxer(container) : nullptr;
    if (!output || !container || !set)
        fail.set(ZX_ERR_ARGUMENT, "a path, the container or the parameter set is missing");
    else if (m->opened)
        fail.set(ZX_ERR_ARGUMENT, "the merger is already open");
    else if (!muxer)
        fail.set(ZX_ERR_ARGUMENT, std::string("unknown container \"") + container + "\"");
    else if (set->videoCodec <= 0 && set->audioCodec <= 0)
        fail.set(ZX_ERR_ARGUMENT, "the parameter set names no codec");
    else if (checkEncoder(set->videoCodec, muxer, AVMEDIA_TYPE_VIDEO, fail)
             && checkEncoder(set->audioCodec, muxer, AVMEDIA_TYPE_AUDIO, fail)) {
        // Find out now, not after the first source, whether the file can be
        // written; an existing file keeps its content until the first source
        // is known not to be this very file.
        struct stat before;
        m->createdOutput = ::stat(output, &before) != 0;
        const int fd = ::open(output, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            fail.set(ZX_ERR_OUTPUT, "cannot create the output file: " + zx::avErr(AVERROR(errno)));
        } else {
            ::close(fd);
            m->path = output;
            m->container = container;
            m->set = *set;
            m->opened = true;
            return 1;
        }
    }
    m->current()->fail(fail);
    return 0;
}

int MergerBegin(ZxMerger *m)
{
    if (!m || !m->opened || m->closed)
        return 0;
    m->begun = true;
    return 1;
}

} // extern "C"

namespace {

int addSource(ZxMerger *m, const char *source, int64_t start, int64_t length, const ZxParams *set, bool dvd)
{
    if (!m)
        return 0;
    const int previous = m->current()->status.load();
    if (!source || !set || !m->begun || m->closed || start < 0 || length < 0) {
        m->current()->failNow(ZX_ERR_ARGUMENT, "the merger is not open, or an argument is missing");
        return 0;
    }
    if (previous == ZX_STATUS_RUNNING) {
        m->current()->failNow(ZX_ERR_ARGUMENT, "the previous source is still being appended");
        return 0;
    }
    if (m->broken) {
        m->current()->failNow(ZX_ERR_ARGUMENT, "the merger was stopped or failed");
        return 0;
    }
    m->joinWorker();
    auto state = std::make_shared<zx::TaskState>();
    zx::Failure fail;
    if (zx::sameFile(source, m->path)) {
        state->failNow(ZX_ERR_OUTPUT, "the source is the merge's output file itself");
        m->setCurrent(state);
        return 0;
    }
    auto segment = std::make_unique<zx::Segment>(m->stop);
    if (!segment->open(readerFor(source, *set, dvd), *set, fail)) {
        state->fail(fail);
        m->setCurrent(state);
        return 0;
    }
    if (!m->output) {
        auto out = std::make_unique<zx::Output>();
        // Every source of a merge gets an audio stream, silent if need be.
        // The first source's streams are copied when they fit, range and all;
        // each later source is checked against them.
        const zx::InputMedia &media = segment->media();
        const bool toEnd = length == 0 || start + length >= segment->expectedUs(0, 0);
        const bool mayCopy = !dvd && toEnd && (start == 0 || zx::keyFrameAt(media, start));
        if (!out->open(m->path, m->container, m->set, media, true, fail, mayCopy, set)) {
            state->fail(fail);
            m->setCurrent(state);
            return 0;
        }
        // A range may begin on a key frame only when the picture is copied.
        if (start > 0 && out->audioCopied() && !out->videoCopied()) {
            out->finish(true, fail);
            out = std::make_unique<zx::Output>();
            if (!out->open(m->path, m->container, m->set, media, true, fail)) {
                state->fail(fail);
                m->setCurrent(state);
                return 0;
            }
        }
        const auto keep = [](const AVStream *st) {
            CodecParPtr par(avcodec_parameters_alloc());
            if (par)
                avcodec_parameters_copy(par.get(), st->codecpar);
            return par;
        };
        if (out->videoCopied())
            m->copiedVideo = keep(media.context()->streams[media.videoStream()]);
        if (out->audioCopied())
            m->copiedAudio = keep(media.context()->streams[zx::chosenAudioStream(*set, media)]);
        m->output = std::move(out);
        m->outputView.store(m->output.get());
    } else if (!partCopies(m, *segment, *set, start, length, dvd)) {
        m->convertAgain = true;
    }
    m->parts.push_back({source, start, length, *set, dvd});
    m->segment = std::move(segment);
    m->startUs = start;
    m->lengthUs = length;
    m->offsetUs = m->output->endUs();
    m->feedsVideo = m->segment->media().videoStream() >= 0;
    m->feedsAudio = !m->segment->media().audioStreams().empty();
    state->durationUs.store(m->segment->expectedUs(start, length));
    state->status.store(ZX_STATUS_RUNNING);
    m->setCurrent(state);
    try {
        m->worker = std::thread(runSegment, m, state);
    } catch (const std::system_error &) {
        m->segment.reset();
        state->failNow(ZX_ERR_INTERNAL, "cannot start a thread");
        state->status.store(ZX_STATUS_FAILED);
        return 0;
    }
    return 1;
}

} // namespace

extern "C" {

int MergerAddFile(ZxMerger *m, const char *source, int64_t start, int64_t length, const ZxParams *set)
{
    return addSource(m, source, start, length, set, false);
}

int MergerAddDvd(ZxMerger *m, const char *dvdPath, int64_t start, int64_t length, const ZxParams *set)
{
    return addSource(m, dvdPath, start, length, set, true);
}

int MergerIsFinished(ZxMerger *m)
{
    if (!m)
        return 0;
    const int s = m->current()->status.load();
    return s == ZX_STATUS_FINISHED || s == ZX_STATUS_FAILED ? 1 : 0;
}

int MergerIsStopped(ZxMerger *m) { return m && m->current()->status.load() == ZX_STATUS_STOPPED ? 1 : 0; }
int MergerStatus(ZxMerger *m) { return m ? m->current()->status.load() : ZX_STATUS_IDLE; }

uint64_t MergerPosition(ZxMerger *m)
{
    zx::Output *out = m ? m->outputView.load() : nullptr;
    if (!out)
        return 0;
    return m->current()->position(out->writtenUs(m->feedsVideo.load(), m->feedsAudio.load()) - m->offsetUs.load());
}

uint64_t MergerDuration(ZxMerger *m) { return m ? uint64_t(std::max<int64_t>(0, m->current()->durationUs.load())) : 0; }

uint64_t MergerTotalPosition(ZxMerger *m)
{
    zx::Output *out = m ? m->outputView.load() : nullptr;
    return out ? uint64_t(std::max<int64_t>(0, out->writtenUs())) : 0;
}

int MergerRequestStop(ZxMerger *m)
{
    if (!m || !m->opened || m->closed)
        return 0;
    m->stop.store(true);
    return 1;
}

const char *MergerLastError(ZxMerger *m, int *code)
{
    if (!m) {
        if (code)
            *code = ZX_ERR_ARGUMENT;
        return "";
    }
    return m->current()->error(code);
}

int MergerClose(ZxMerger *m)
{
    if (!m)
        return 0;
    m->joinWorker();
    if (m->closed)
        return 1;
    m->closed = true;
    if (m->output) {
        zx::Failure fail;
        if (!m->output->finish(m->broken, fail)) {
            m->current()->fail(fail);
            return 0;
        }
    } else if (m->opened && m->createdOutput) {
        std::remove(m->path.c_str()); // created by MergerOpen, never written
    }
    return 1;
}

void MergerRelease(ZxMerger *m)
{
    if (!m)
        return;
    MergerClose(m);
    delete m;
}

} // extern "C"
