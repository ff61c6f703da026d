// Conversion job: one source into one output, on a thread of its own.
#include "dvd_reader.h"
#include "job.h"
#include "stream_copy.h"
#include "stream_mux.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

void runJob(ZxJob *job)
{
    zx::TaskState &state = *job->state;
    zx::Failure fail;
    const zx::Segment::Result r = job->segment->run(*job->output, job->startUs, job->lengthUs, 0, fail);
    zx::Failure closeFail;
    // A stopped or failed job keeps what was written: no draining, but the
    // trailer makes the file valid.
    const bool closed = job->output->finish(r != zx::Segment::Result::Done, closeFail);
    if (r == zx::Segment::Result::Failed) {
        state.fail(fail);
        state.status.store(ZX_STATUS_FAILED);
    } else if (!closed) {
        state.fail(closeFail);
        state.status.store(ZX_STATUS_FAILED);
    } else {
        state.status.store(r == zx::Segment::Result::Stopped ? ZX_STATUS_STOPPED : ZX_STATUS_FINISHED);
    }
}

} // namespace

namespace {

int openJob(ZxJob *job, const char *source, const char *output, const char *container, const ZxParams *set, bool dvd)
{
    if (!job)
        return 0;
    zx::TaskState &state = *job->state;
    if (!source || !output || !container || !set) {
        state.failNow(ZX_ERR_ARGUMENT, "a path, the container or the parameter set is missing");
        return 0;
    }
    if (job->segment || job->streams || state.status.load() != ZX_STATUS_IDLE) {
        state.failNow(ZX_ERR_ARGUMENT, "the job is already open");
        return 0;
    }
    if (zx::sameFile(source, output)) {
        state.failNow(ZX_ERR_OUTPUT, "the output is the source file itself; writing it would destroy the source");
        return 0;
    }
    state.clearError();
    zx::Failure fail;
    auto segment = std::make_unique<zx::Segment>(state.stop);
    std::unique_ptr<zx::MediaReader> reader;
    if (dvd)
        reader = std::make_unique<zx::DvdReader>(source, set->dvdTitle);
    else
        reader = std::make_unique<zx::FileReader>(source);
    if (!segment->open(std::move(reader), *set, fail)) {
        state.fail(fail);
        return 0;
    }
    struct stat before;
    const bool existed = ::stat(output, &before) == 0;
    auto out = std::make_unique<zx::Output>();
    // A DVD title's cells restart their clocks: it is always converted.
    if (!out->open(output, container, *set, segment->media(), false, fail, !dvd)) {
        const bool created = out->createdFile() && !existed;
        out.reset();
        if (created)
            std::remove(output); // only a header, or nothing: not a file of ours to keep
        state.fail(fail);
        return 0;
    }
    job->segment = std::move(segment);
    job->output = std::move(out);
    job->outputPath = output;
    job->container = container;
    job->set = *set;
    state.durationUs.store(job->segment->expectedUs(0, 0));
    return 1;
}

} // namespace

extern "C" {

ZxJob *JobCreate(int) { return new ZxJob(); }

int JobOpenFile(ZxJob *job, const char *source, const char *output, const char *container, const ZxParams *set)
{
    return openJob(job, source, output, container, set, false);
}

int JobOpenDvd(ZxJob *job, const char *dvdPath, const char *output, const char *container, const ZxParams *set)
{
    return openJob(job, dvdPath, output, container, set, true);
}

int JobSetRange(ZxJob *job, int64_t start, int64_t length)
{
    if (!job || start < 0 || length < 0 || job->state->status.load() != ZX_STATUS_IDLE)
        return 0;
    // Copied packets begin on a key frame of the source and a copy runs to
    // the source's end: a range that cuts elsewhere is converted, so that it
    // stays exact. The header written so far is replaced.
    bool copyFits = true;
    if (job->output && job->segment && (job->output->videoCopied() || job->output->audioCopied())) {
        const bool toEnd = length == 0 || start + length >= job->segment->expectedUs(0, 0);
        copyFits = toEnd
                   && (start == 0 || (job->output->videoCopied() && zx::keyFrameAt(job->segment->media(), start)));
    }
    if (!copyFits) {
        zx::Failure ignored, fail;
        job->output->finish(true, ignored);
        auto out = std::make_unique<zx::Output>();
        if (!out->open(job->outputPath, job->container, job->set, job->segment->media(), false, fail, false)) {
            job->output.reset();
            job->segment.reset();
            job->state->fail(fail);
            return 0;
        }
        job->output = std::move(out);
    }
    job->startUs = start;
    job->lengthUs = length;
    if (job->segment)
        job->state->durationUs.store(job->segment->expectedUs(start, length));
    return 1;
}

int JobStart(ZxJob *job)
{
    if (!job)
        return 0;
    zx::TaskState &state = *job->state;
    int idle = ZX_STATUS_IDLE;
    if (job->streams) {
        return state.status.compare_exchange_strong(idle, ZX_STATUS_RUNNING) ? 1 : 0;
    }
    if (!job->segment || job->closed || !state.status.compare_exchange_strong(idle, ZX_STATUS_RUNNING)) {
        state.failNow(ZX_ERR_ARGUMENT, "the job is not open, or it has run already");
        return 0;
    }
    try {
        job->worker = std::thread(runJob, job);
    } catch (const std::system_error &) {
        state.failNow(ZX_ERR_INTERNAL, "cannot start a thread");
        state.status.store(ZX_STATUS_FAILED);
        return 0;
    }
    return 1;
}

int JobIsFinished(ZxJob *job)
{
    if (!job)
        return 0;
    const int s = job->state->status.load();
    return s == ZX_STATUS_FINISHED || s == ZX_STATUS_FAILED ? 1 : 0;
}

int JobIsStopped(ZxJob *job) { return job && job->state->status.load() == ZX_STATUS_STOPPED ? 1 : 0; }
int JobStatus(ZxJob *job) { return job ? job->state->status.load() : ZX_STATUS_IDLE; }

uint64_t JobPosition(ZxJob *job)
{
    if (!job)
        return 0;
    int64_t written = 0;
    if (job->output)
        written = job->output->writtenUs();
    else if (job->streams)
        written = job->streams->writtenUs.load();
    return job->state->position(written);
}

int JobStreamsCopied(ZxJob *job, int *video, int *audio)
{
    const zx::Output *out = job ? job->output.get() : nullptr;
    if (video)
        *video = out && out->videoCopied() ? 1 : 0;
    if (audio)
        *audio = out && out->audioCopied() ? 1 : 0;
    return out ? 1 : 0;
}

uint64_t JobDuration(ZxJob *job) { return job ? uint64_t(std::max<int64_t>(0, job->state->durationUs.load())) : 0; }

int JobRequestStop(ZxJob *job)
{
    if (!job || job->state->status.load() != ZX_STATUS_RUNNING)
        return 0;
    job->state->stop.store(true);
    if (job->streams)
        job->streams->stop();
    return 1;
}

const char *JobLastError(ZxJob *job, int *code)
{
    if (!job) {
        if (code)
            *code = ZX_ERR_ARGUMENT;
        return "";
    }
    return job->state->error(code);
}

int JobClose(ZxJob *job)
{
    if (!job)
        return 0;
    if (job->worker.joinable())
        job->worker.join();
    if (job->output && job->state->status.load() == ZX_STATUS_IDLE && !job->closed) {
        // Opened but never started: close the file properly all the same.
        zx::Failure ignored;
        job->output->finish(true, ignored);
    }
    if (job->streams)
        job->streams->close();
    job->segment.reset(); // the source is read no more
    job->closed = true;
    return 1;
}

void JobRelease(ZxJob *job)
{
    if (!job)
        return;
    JobClose(job);
    delete job;
}

} // extern "C"
