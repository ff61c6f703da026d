// zxtool: the command line over the public API.
#include "test_support.h"

#include <regex>

#include <sys/stat.h>

using namespace zxtest;

namespace {

TEST(Zxtool, ProbePrintsOneJsonObjectForEveryFile)
{
    struct Row { const char *file; const char *expect; } rows[] = {
        {"clip_h264_aac.mp4", R"("brand": "isom", "hasVideo": true, "hasAudio": true, "duration_us": 5000000, "width": 320, "height": 240, "canSeek": true, "audio": [{"title": "", "codec": "aac", "language": "eng"}], "subtitles": []})"},
        {"clip_mkv_two_audio_sub.mkv", R"("subtitles": [{"title": "English", "codec": "subrip", "language": "eng"}]})"},
        {"rotated_90.mp4", R"("width": 240, "height": 320)"},
        {"audio_only.mp3", R"("brand": "mp3", "hasVideo": false, "hasAudio": true)"},
    };
    for (const Row &r : rows) {
        int rc = -1;
        const std::string out = zxtool("probe " + shellQuote(media(r.file)), &rc, false);
        EXPECT_EQ(rc, 0) << r.file;
        EXPECT_NE(out.find(r.expect), std::string::npos) << r.file << " printed " << out;
        EXPECT_TRUE(std::regex_search(out, std::regex(R"(^\{.*\}\n$)"))) << out;
        // Every probe must be valid JSON: let Python judge.
        int jrc = -1;
        run("printf '%s' " + shellQuote(out) + " | python3 -c 'import json,sys; json.load(sys.stdin)'", &jrc);
        EXPECT_EQ(jrc, 0) << out;
    }
}

// Results never claim more than happened: unreadable files are refused with
// a reason, and a source whose index promises 10 s but holds about 2 s
// fails, both in the engine and in zxtool, which then leaves no file behind.
TEST(Zxtool, ResultsAreHonest)
{
    for (const char *file : {"zero.mp4", "random.mp4", "truncated.mp4"}) {
        int rc = 0;
        const std::string out = zxtool("probe " + shellQuote(media(file)), &rc);
        EXPECT_NE(rc, 0) << file;
        EXPECT_NE(out.find("cannot read"), std::string::npos) << file << " printed " << out;
        EXPECT_EQ(out.find('{'), std::string::npos) << out;
    }

    // The index (moved to the front) lists all 10 s; the data is cut after a fifth.
    const std::string whole = outPath("index_first.mp4");
    const std::string cut = outPath("index_promises_more.mp4");
    ASSERT_EQ(spawn({"ffmpeg", "-v", "error", "-y", "-i", media("clip_10s.mp4"), "-c", "copy", "-movflags", "+faststart",
                     whole}),
              0);
    fs::copy_file(whole, cut);
    fs::resize_file(cut, fs::file_size(whole) / 5);
    ASSERT_NEAR(ffprobe(cut).duration(), 10.0, 0.2); // the index still says 10 s

    ParamsPtr p = makeParams(28, 86018, 160, 120);
    const std::string engineOut = outPath("engine_short.mp4");
    JobPtr job(JobCreate(-1));
    ASSERT_EQ(JobOpenFile(job.get(), cut.c_str(), engineOut.c_str(), "mp4", p.get()), 1);
    ASSERT_EQ(JobStart(job.get()), 1);
    EXPECT_EQ(waitJob(job.get()), ZX_STATUS_FAILED);
    EXPECT_NE(std::string(JobLastError(job.get(), nullptr)).find("ended after"), std::string::npos)
        << JobLastError(job.get(), nullptr);
    JobClose(job.get());

    int rc = 0;
    const std::string toolOut = outPath("tool_short.mp4");
    const std::string msg = zxtool("convert " + shellQuote(cut) + " " + shellQuote(toolOut)
                                       + " --container mp4 --vcodec 28 --acodec 86018 --size 160x120 --quiet",
                                   &rc);
    EXPECT_NE(rc, 0) << msg;
    EXPECT_NE(msg.find("ended after"), std::string::npos) << msg;
    EXPECT_FALSE(fs::exists(toolOut));

    // The whole file still converts.
    zxtool("convert " + shellQuote(whole) + " " + shellQuote(toolOut)
               + " --container mp4 --vcodec 28 --acodec 86018 --size 160x120 --quiet",
           &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_NEAR(ffprobe(toolOut).duration(), 10.0, 0.2);
}

// Opening a FIFO blocks until a writer comes: zxtool refuses it at once.
TEST(Zxtool, PipeIsRefusedAtOnce)
{
    const std::string fifo = outPath("pipe.mp4");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &args : {"probe " + shellQuote(fifo),
                                    "convert " + shellQuote(fifo) + " " + shellQuote(outPath("from_pipe.mp4"))
                                        + " --container mp4 --quiet"}) {
        int rc = 0;
        const std::string msg = zxtool(args, &rc, true, 10);
        EXPECT_NE(rc, 0) << args;
        EXPECT_NE(rc, 124) << args << ": still blocked after 10 s";
        EXPECT_NE(msg.find("not a regular file"), std::string::npos) << msg;
    }
    EXPECT_FALSE(fs::exists(outDir() + "/from_pipe.mp4"));
    fs::remove(fifo);
}

TEST(Zxtool, ThumbWritesABitmap)
{
    const std::string bmp = outPath("thumb.bmp");
    int rc = -1;
    zxtool("thumb " + shellQuote(media("clip_h264_aac.mp4")) + " 2000000 160 120 " + shellQuote(bmp), &rc);
    ASSERT_EQ(rc, 0);
    const Probe p = ffprobe(bmp);
    EXPECT_EQ(intOf(p.first("video"), "width"), 160);
    EXPECT_EQ(intOf(p.first("video"), "height"), 120);
    zxtool("thumb " + shellQuote(media("audio_only.wav")) + " 0 16 16 " + shellQuote(outPath("none.bmp")), &rc);
    EXPECT_NE(rc, 0);
}

TEST(Zxtool, ConvertAndMergeReportOutcomes)
{
    int rc = -1;
    const std::string out = outPath("cli.webm");
    zxtool("convert " + shellQuote(media("clip_h264_aac.mp4")) + " " + shellQuote(out)
               + " --container webm --vcodec 141 --acodec 86021 --size 160x120 --fps 15/1 --rate 22050 --channels 1"
                 " --start 1000000 --length 2000000 --rotate 90 --flip --crop 0,0,0.5,1 --quiet",
           &rc);
    ASSERT_EQ(rc, 0);
    const Probe p = ffprobe(out);
    EXPECT_EQ(intOf(p.first("video"), "width"), 120);
    EXPECT_EQ(intOf(p.first("video"), "height"), 160);
    EXPECT_EQ(strOf(p.first("video"), "r_frame_rate"), "15/1");
    EXPECT_EQ(intOf(p.first("audio"), "channels"), 1);
    EXPECT_NEAR(p.duration(), 2.0, 0.1);

    const std::string msg = zxtool("convert " + shellQuote(media("clip_h264_aac.mp4")) + " " + shellQuote(outPath("x.amr"))
                                       + " --container amr --vcodec -1 --acodec 73728 --quiet",
                                   &rc);
    EXPECT_NE(rc, 0);
    EXPECT_NE(msg.find("amr"), std::string::npos) << msg;

    const std::string merged = outPath("cli_merge.mp4");
    zxtool("merge " + shellQuote(merged) + " " + shellQuote(media("video_only.mp4")) + " "
               + shellQuote(media("odd_641x361.mp4")) + " --container mp4 --vcodec 28 --acodec 86018 --size 320x240 --quiet",
           &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_NEAR(ffprobe(merged).duration(), 5.0, 0.1);
    zxtool("merge " + shellQuote(outPath("bad_merge.mp4")) + " " + shellQuote(media("zero.mp4")) + " --quiet", &rc);
    EXPECT_NE(rc, 0);
}

} // namespace
