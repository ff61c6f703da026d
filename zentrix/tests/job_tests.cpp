// Job lifecycle: progress, stop, failure part-way, and jobs side by side.
#include "test_support.h"

#include <atomic>
#include <fstream>
#include <future>

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
        int rc = 0;
        run("ffmpeg -v error -xerror -i " + shellQuote(out) + " -f null - 2>&1", &rc);
        EXPECT_EQ(rc, 0) << container << ": the stopped file does not decode cleanly";
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
    MergerPtr m(MergerCreate());
    ASSERT_EQ(MergerOpen(m.get(), outPath("errors_merge.mp4").c_str(), "mp4", p.get()), 1);
    ASSERT_EQ(MergerBegin(m.get()), 1);
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

} // namespace
