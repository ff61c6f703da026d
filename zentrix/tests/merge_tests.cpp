// Merging: sources of different shapes appended into one continuous file.
#include "test_support.h"

#include <cmath>

using namespace zxtest;

namespace {

struct Part { const char *file; int64_t start, length; double seconds; };

// Merges the parts and returns ffprobe's view of the result.
Probe merge(const std::string &out, const std::vector<Part> &parts, const char *container, int vcodec, int acodec,
            int w, int h)
{
    ParamsPtr p = makeParams(vcodec, acodec, w, h, 48000, 2);
    MergerPtr m = beginMerger(out, container, p.get());
    uint64_t total = 0;
    for (const Part &part : parts) {
        EXPECT_EQ(MergerAddFile(m.get(), media(part.file).c_str(), part.start, part.length, p.get()), 1)
            << part.file << ": " << MergerLastError(m.get(), nullptr);
        EXPECT_NEAR(MergerDuration(m.get()) / 1e6, part.seconds, 0.05) << part.file;
        EXPECT_EQ(waitMerger(m.get()), ZX_STATUS_FINISHED) << part.file << ": " << MergerLastError(m.get(), nullptr);
        EXPECT_EQ(MergerPosition(m.get()), MergerDuration(m.get())) << part.file;
        EXPECT_GT(MergerTotalPosition(m.get()), total);
        total = MergerTotalPosition(m.get());
    }
    EXPECT_EQ(MergerClose(m.get()), 1) << MergerLastError(m.get(), nullptr);
    return ffprobe(out);
}

TEST(Merge, ThreeSizesMakeOneFileOfTheSummedLength)
{
    const std::vector<Part> parts = {{"clip_h264_aac.mp4", 0, 0, 5.0},
                                     {"odd_641x361.mp4", 0, 0, 2.0},
                                     {"clip_720x576_25.mpg", 0, 0, 3.0}};
    const Probe p = merge(outPath("three.mp4"), parts, "mp4", 28, 86018, 640, 360);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.count("video"), 1);
    EXPECT_EQ(p.count("audio"), 1);
    EXPECT_EQ(intOf(p.first("video"), "width"), 640);
    EXPECT_EQ(intOf(p.first("video"), "height"), 360);
    EXPECT_EQ(intOf(p.first("audio"), "sample_rate"), 48000);
    // Each join may round up to one frame.
    EXPECT_NEAR(p.duration(), 10.0, 0.15);
    const double v = std::atof(strOf(p.first("video"), "duration").c_str());
    const double a = std::atof(strOf(p.first("audio"), "duration").c_str());
    EXPECT_NEAR(v, a, 0.1) << "sound and picture drift apart";
}

TEST(Merge, SoundOfFixedFrameSizeJoinsMidFrame)
{
    // MP2 takes 1152 samples a frame; the first source's sound does not end
    // on a frame, and the encoder refuses a short frame before its last.
    const std::vector<Part> parts = {{"clip_mpeg4_mp3.avi", 0, 0, 4.0}, {"clip_h264_aac.mp4", 0, 2000000, 2.0}};
    const Probe p = merge(outPath("fixed_frames.mpg"), parts, "mpeg", 2, 86016, 352, 288);
    ASSERT_TRUE(p.ok);
    EXPECT_NEAR(p.duration(), 6.0, 0.2);
    EXPECT_EQ(strOf(p.first("audio"), "codec_name"), "mp2");
}

TEST(Merge, MissingSoundOrPictureIsFilledSoTheJoinsStayInStep)
{
    const std::vector<Part> parts = {{"clip_vp8_vorbis.webm", 0, 0, 4.0},
                                     {"video_only.mp4", 0, 0, 3.0},
                                     {"audio_only.wav", 0, 0, 3.0},
                                     {"clip_10s.mp4", 2000000, 3000000, 3.0}};
    const std::string out = outPath("gaps.mkv");
    const Probe p = merge(out, parts, "matroska", 28, 86021, 320, 240);
    ASSERT_TRUE(p.ok);
    EXPECT_NEAR(p.duration(), 13.0, 0.2);
    int rc = 0;
    const std::string last = run("ffprobe -v error -select_streams a -show_entries packet=pts_time -of csv=p=0 "
                                 + shellQuote(out) + " | sort -g | tail -1", &rc);
    EXPECT_NEAR(std::atof(last.c_str()), 13.0, 0.2) << "the sound must run to the end";
}

TEST(Merge, StopDuringASourceClosesAValidFile)
{
    const std::string out = outPath("stopped_merge.mp4");
    ParamsPtr p = makeParams(28, 86018, 1280, 720);
    SetVideoQuality(p.get(), 90);
    MergerPtr m = beginMerger(out, "mp4", p.get());
    ASSERT_EQ(MergerAddFile(m.get(), media("clip_h264_aac.mp4").c_str(), 0, 2000000, p.get()), 1);
    ASSERT_EQ(waitMerger(m.get()), ZX_STATUS_FINISHED);
    ASSERT_EQ(MergerAddFile(m.get(), media("clip_10s.mp4").c_str(), 0, 0, p.get()), 1);
    EXPECT_EQ(MergerAddFile(m.get(), media("clip_10s.mp4").c_str(), 0, 0, p.get()), 0) << "one source at a time";
    while (MergerPosition(m.get()) < 500000 && !MergerIsFinished(m.get()))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(MergerRequestStop(m.get()), 1);
    EXPECT_EQ(waitMerger(m.get()), ZX_STATUS_STOPPED);
    EXPECT_EQ(MergerAddFile(m.get(), media("clip_h264_aac.mp4").c_str(), 0, 0, p.get()), 0) << "stopped merger takes no more";
    EXPECT_EQ(MergerClose(m.get()), 1);
    const Probe probe = ffprobe(out);
    ASSERT_TRUE(probe.ok);
    EXPECT_GT(probe.duration(), 2.3);
    EXPECT_LT(probe.duration(), 11.5);
}

TEST(Merge, RefusalsAndEmptyMerges)
{
    // Not open yet, then an unwritable place or a codec the container cannot take.
    struct Row { std::string out; const char *container; int vcodec, code; } rows[] = {
        {outDir() + "/no/dir/x.mp4", "mp4", 28, ZX_ERR_OUTPUT}, {outPath("vp9.wav"), "wav", 169, ZX_ERR_CODEC}};
    for (const Row &r : rows) {
        MergerPtr m(MergerCreate());
        ParamsPtr bad = makeParams(r.vcodec, 86018, 320, 240);
        EXPECT_EQ(MergerAddFile(m.get(), media("clip_h264_aac.mp4").c_str(), 0, 0, bad.get()), 0) << "not open";
        EXPECT_EQ(MergerOpen(m.get(), r.out.c_str(), r.container, bad.get()), 0) << r.out;
        int code = 0;
        MergerLastError(m.get(), &code);
        EXPECT_EQ(code, r.code) << r.out;
    }
    ParamsPtr p = makeParams(28, 86018, 320, 240);
    {
        // Opened, begun, given an unreadable source, closed: no file is left.
        const std::string out = outPath("empty_merge.mp4");
        MergerPtr m = beginMerger(out, "mp4", p.get());
        EXPECT_EQ(MergerAddFile(m.get(), media("random.mp4").c_str(), 0, 0, p.get()), 0);
        int code = 0;
        EXPECT_NE(std::string(MergerLastError(m.get(), &code)), "");
        EXPECT_EQ(code, ZX_ERR_INPUT);
        EXPECT_EQ(MergerClose(m.get()), 1);
        EXPECT_FALSE(fs::exists(out));
    }
}

} // namespace
