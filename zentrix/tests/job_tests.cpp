// Job lifecycle: progress, stop, failure part-way, and jobs side by side.
#include "test_support.h"
#include "transcoder.h"

#include <atomic>
#include <cerrno>
#include <fstream>
#include <future>
#include <iterator>

using namespace zxtest;
using Clock = std::chrono::steady_clock;

namespace {

// A job slow enough to be caught running: the 10 s clip scaled up, at the
// slower preset.
JobPtr slowJob(const std::string &out, const char *container = "mp4")
{
    ParamsPtr p = makeParams(28, 86018, 1280, 720);
    SetVideoQuality(p.get(), 90);
    JobPtr job(JobCreate(-1));
    EXPECT_EQ(JobOpenFile(job.get(), media("clip_10s.mp4").c_str(), out.c_str(), container, p.get()), 1)
        << JobLastError(job.get(), nullptr);
    return job;
}

TEST(Job, ProgressRisesToTheDurationAndNeverFalls)
{
    const std::string out = outPath("progress.mp4");
    ParamsPtr p = makeParams(28, 86018, 640, 480);
    JobPtr job(JobCreate(-1));
    ASSERT_EQ(JobOpenFile(job.get(), media("clip_10s.mp4").c_str(), out.c_str(), "mp4", p.get()), 1);
    EXPECT_EQ(JobDuration(job.get()), 10000000u);
    EXPECT_EQ(JobStatus(job.get()), ZX_STATUS_IDLE);
    EXPECT_EQ(JobRequestStop(job.get()), 0) << "a job that has not started cannot be stopped";
    ASSERT_EQ(JobStart(job.get()), 1);
    uint64_t last = 0;
    int samples = 0, rises = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    while (!JobIsFinished(job.get()) && Clock::now() < deadline) {
        const uint64_t pos = JobPosition(job.get());
        EXPECT_GE(pos, last);
        EXPECT_LE(pos, JobDuration(job.get()));
        rises += pos > last;
        last = pos;
        ++samples;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(JobStatus(job.get()), ZX_STATUS_FINISHED);
    EXPECT_EQ(JobIsStopped(job.get()), 0);
    EXPECT_GT(rises, 2) << "progress should be seen rising (" << samples << " samples)";
    EXPECT_EQ(JobPosition(job.get()), JobDuration(job.get()));
    int code = -1;
    EXPECT_STREQ(JobLastError(job.get(), &code), "");
    EXPECT_EQ(code, ZX_OK);
    EXPECT_EQ(JobRequestStop(job.get()), 0) << "a finished job cannot be stopped";
    EXPECT_EQ(JobStart(job.get()), 0) << "a job runs once";
    EXPECT_STRNE(JobLastError(job.get(), &code), "") << "the refusal says why";
    EXPECT_EQ(JobStatus(job.get()), ZX_STATUS_FINISHED) << "a refused call leaves the outcome alone";
    EXPECT_EQ(JobClose(job.get()), 1);
}

TEST(Job, StopEndsPromptlyAndLeavesAReadableFile)
{
    for (const char *container : {"mp4", "matroska", "mpegts"}) {
        const std::string out = outPath(std::string("stopped.") + container);
        JobPtr job = slowJob(out, container);
        ASSERT_EQ(JobStart(job.get()), 1);
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (JobPosition(job.get()) < 1000000 && !JobIsFinished(job.get()) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(JobIsFinished(job.get())) << "too fast to stop; make the job slower";
        const auto asked = Clock::now();
        ASSERT_EQ(JobRequestStop(job.get()), 1);
        while (!JobIsStopped(job.get()) && Clock::now() - asked < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(JobStatus(job.get()), ZX_STATUS_STOPPED);
        EXPECT_EQ(JobIsFinished(job.get()), 0) << "a stopped job is not finished";
        JobClose(job.get());
        const Probe probe = ffprobe(out);
        ASSERT_TRUE(probe.ok) << container;
        EXPECT_EQ(intOf(probe.first("video"), "width"), 1280);
        EXPECT_GT(probe.duration(), 0.5) << container;
        EXPECT_LT(probe.duration(), 9.5) << container;
        EXPECT_TRUE(decodesCleanly(out)) << container << ": the stopped file does not decode cleanly";
    }
}

TEST(Job, WriteFailurePartWayIsReportedAsFailure)
{
    // /dev/full opens but refuses every write with "No space left on device".
    ParamsPtr p = makeParams(28, 86018);
    JobPtr job(JobCreate(-1));
    ASSERT_EQ(JobOpenFile(job.get(), media("clip_10s.mp4").c_str(), "/dev/full", "mpegts", p.get()), 1);
    ASSERT_EQ(JobStart(job.get()), 1);
    EXPECT_EQ(waitJob(job.get()), ZX_STATUS_FAILED);
    EXPECT_EQ(JobIsFinished(job.get()), 1) << "a failed job has ended too";
    int code = 0;
    const std::string msg = JobLastError(job.get(), &code);
    EXPECT_EQ(code, ZX_ERR_OUTPUT) << msg;
    EXPECT_NE(msg.find("space"), std::string::npos) << msg;
}

TEST(Job, CloseAndReleaseInEveryState)
{
    // Released without opening; opened but never started; released while
    // running (the release waits for the stop); closed twice.
    JobRelease(JobCreate(-1));
    {
        const std::string out = outPath("never_started.mp4");
        ParamsPtr p = makeParams(28, 86018);
        JobPtr job(JobCreate(-1));
        ASSERT_EQ(JobOpenFile(job.get(), media("clip_h264_aac.mp4").c_str(), out.c_str(), "mp4", p.get()), 1);
        EXPECT_EQ(JobOpenFile(job.get(), media("clip_h264_aac.mp4").c_str(), out.c_str(), "mp4", p.get()), 0);
        EXPECT_EQ(JobClose(job.get()), 1);
        EXPECT_EQ(JobClose(job.get()), 1);
        EXPECT_EQ(JobStart(job.get()), 0) << "a closed job does not start";
    }
    {
        const std::string out = outPath("released_running.mp4");
        JobPtr job = slowJob(out);
        ASSERT_EQ(JobStart(job.get()), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        JobRequestStop(job.get());
        job.reset(); // release right after the request, while the thread ends
        EXPECT_TRUE(ffprobe(out).ok);
    }
}

TEST(Job, ErrorTextsStayWithTheirHandle)
{
    // A text once returned keeps reading the same, whatever another handle
    // or a later source of the same merger reports in between.
    JobPtr first(JobCreate(-1)), second(JobCreate(-1));
    ASSERT_EQ(JobOpenFile(first.get(), nullptr, nullptr, "mp4", nullptr), 0);
    const char *firstText = JobLastError(first.get(), nullptr);
    const std::string firstCopy = firstText;
    ASSERT_EQ(JobStart(second.get()), 0);
    const std::string secondCopy = JobLastError(second.get(), nullptr);
    ASSERT_NE(firstCopy, secondCopy);
    EXPECT_EQ(std::string(firstText), firstCopy);
    EXPECT_EQ(JobLastError(first.get(), nullptr), firstText) << "an unchanged text is the same string";

    ParamsPtr p = makeParams(28, 86018);
    MergerPtr m = beginMerger(outPath("errors_merge.mp4"), "mp4", p.get());
    ASSERT_EQ(MergerAddFile(m.get(), outPath("missing one.mp4").c_str(), 0, 0, p.get()), 0);
    const char *mergeText = MergerLastError(m.get(), nullptr);
    const std::string mergeCopy = mergeText;
    const std::string notMedia = outPath("not media.mp4");
    std::ofstream(notMedia) << "plain text, no media in here\n";
    ASSERT_EQ(MergerAddFile(m.get(), notMedia.c_str(), 0, 0, p.get()), 0);
    ASSERT_NE(std::string(MergerLastError(m.get(), nullptr)), mergeCopy);
    EXPECT_EQ(std::string(mergeText), mergeCopy);
    EXPECT_EQ(std::string(firstText), firstCopy);
}

TEST(Job, SeparateJobsRunSideBySideOnSeparateThreads)
{
    constexpr int kJobs = 3;
    std::vector<std::future<std::pair<int, double>>> runs;
    for (int i = 0; i < kJobs; ++i) {
        runs.push_back(std::async(std::launch::async, [i] {
            const std::string out = outPath("parallel_" + std::to_string(i) + ".mkv");
            ParamsPtr p = makeParams(i == 1 ? 13 : 28, i == 2 ? 86017 : 86018, 320 + 64 * i, 240);
            JobPtr job(JobCreate(-1));
            if (!JobOpenFile(job.get(), media("clip_h264_aac.mp4").c_str(), out.c_str(), "matroska", p.get()))
                return std::make_pair(-1, 0.0);
            JobStart(job.get());
            const int status = waitJob(job.get());
            JobClose(job.get());
            return std::make_pair(status, ffprobe(out).duration());
        }));
    }
    for (auto &r : runs) {
        const auto [status, seconds] = r.get();
        EXPECT_EQ(status, ZX_STATUS_FINISHED);
        EXPECT_NEAR(seconds, 5.0, 0.1);
    }
}

TEST(Job, ProbesWhileAJobRuns)
{
    const std::string out = outPath("probe_meanwhile.mp4");
    JobPtr job = slowJob(out);
    ASSERT_EQ(JobStart(job.get()), 1);
    for (int i = 0; i < 5; ++i) {
        SourcePtr src(SourceCreate(-1));
        ASSERT_EQ(SourceOpenFile(src.get(), media("clip_10s.mp4").c_str()), 1);
        EXPECT_NE(SourceThumbnail(src.get(), 3000000, 1, 80, 60, 0), nullptr);
    }
    JobRequestStop(job.get());
    JobClose(job.get());
    EXPECT_TRUE(JobIsStopped(job.get()) || JobIsFinished(job.get()));
}

TEST(Job, AnOutputThatIsTheSourceIsRefusedAndTheSourceKept)
{
    const std::string dir = outDir() + "/same file";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string src = dir + "/my clip [1].mp4";
    fs::copy_file(media("clip_h264_aac.mp4"), src);
    const std::string original = fileBytes(src);
    fs::create_symlink(src, dir + "/link.mp4");
    fs::create_hard_link(src, dir + "/hard.mp4");
    ParamsPtr p = makeParams(28, 86018);
    for (const std::string &out : {src, dir + "/link.mp4", dir + "/hard.mp4", "file:" + src}) {
        const OpenResult o = openJob(src, out, "mp4", p.get());
        EXPECT_EQ(o.opened, 0) << out;
        EXPECT_EQ(o.code, ZX_ERR_OUTPUT) << out << ": " << o.message;
        EXPECT_NE(o.message.find("source"), std::string::npos) << o.message;
    }
    {
        MergerPtr m = beginMerger(dir + "/link.mp4", "mp4", p.get());
        EXPECT_EQ(MergerAddFile(m.get(), src.c_str(), 0, 0, p.get()), 0);
        int code = 0;
        const std::string msg = MergerLastError(m.get(), &code);
        EXPECT_EQ(code, ZX_ERR_OUTPUT) << msg;
    }
    int rc = 0;
    zxtool("convert " + shellQuote(src) + " " + shellQuote(src) + " --quiet", &rc);
    EXPECT_NE(rc, 0);
    EXPECT_TRUE(fileBytes(src) == original) << "the source was changed";
    EXPECT_TRUE(fs::is_symlink(dir + "/link.mp4"));
}

// A source whose reads fail in its middle third, as a failing disk does.
class FailingMiddle : public zx::MediaReader {
public:
    explicit FailingMiddle(const std::string &path) : m_bytes(fileBytes(path)) {}
    ~FailingMiddle() override
    {
        if (m_avio)
            av_freep(&m_avio->buffer);
        avio_context_free(&m_avio);
    }
    int open(zx::InputPtr &out, const AVIOInterruptCB &) override
    {
        m_avio = avio_alloc_context(static_cast<unsigned char *>(av_malloc(4096)), 4096, 0, this, &read, nullptr, &seek);
        AVFormatContext *ic = avformat_alloc_context();
        ic->pb = m_avio;
        ic->flags |= AVFMT_FLAG_CUSTOM_IO;
        const int ret = avformat_open_input(&ic, "", nullptr, nullptr);
        if (ret >= 0)
            out.reset(ic);
        return ret;
    }

private:
    static int read(void *self, uint8_t *buf, int size)
    {
        auto *r = static_cast<FailingMiddle *>(self);
        const size_t n = r->m_bytes.size(), end = r->m_pos < n / 3 ? n / 3 : n;
        if (r->m_pos >= n / 3 && r->m_pos < 2 * n / 3)
            return AVERROR(EIO);
        const size_t count = std::min(size_t(size), end - std::min(end, r->m_pos));
        std::memcpy(buf, r->m_bytes.data() + r->m_pos, count);
        r->m_pos += count;
        return count ? int(count) : AVERROR_EOF;
    }
    static int64_t seek(void *self, int64_t offset, int whence)
    {
        auto *r = static_cast<FailingMiddle *>(self);
        if (whence & AVSEEK_SIZE)
            return int64_t(r->m_bytes.size());
        r->m_pos = size_t((whence & 3) == SEEK_SET ? offset : (whence & 3) == SEEK_CUR ? int64_t(r->m_pos) + offset
                                                                                     : int64_t(r->m_bytes.size()) + offset);
        return int64_t(r->m_pos);
    }

    std::string m_bytes;
    size_t m_pos = 0;
    AVIOContext *m_avio = nullptr;
};

TEST(Job, AReadErrorOfTheSourceFailsTheJob)
{
    std::atomic<bool> stop{false};
    zx::Segment segment(stop);
    ParamsPtr p = makeParams(28, 86018);
    zx::Failure fail;
    ASSERT_TRUE(segment.open(std::make_unique<FailingMiddle>(media("clip_10s.mp4")), *p, fail)) << fail.message;
    zx::Output out;
    ASSERT_TRUE(out.open(outPath("read_error.mp4"), "mp4", *p, segment.media(), false, fail)) << fail.message;
    EXPECT_EQ(segment.run(out, 0, 0, 0, fail), zx::Segment::Result::Failed) << "a failing read ended the source";
    EXPECT_EQ(fail.code, ZX_ERR_INPUT) << fail.message;
    zx::Failure ignored;
    out.finish(true, ignored);
}

} // namespace
