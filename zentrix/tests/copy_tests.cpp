// Streams that already fit the output are copied packet for packet, and
// every reason to change them turns the copy into a conversion. Outputs are
// judged with ffprobe and ffmpeg's decoder.
#include "test_support.h"

#include <cmath>
#include <sstream>

using namespace zxtest;

namespace {

// H.264 (key frame every second, B-frames) + AAC in Matroska, French sound.
std::string makeSource(const std::string &name, const std::vector<std::string> &videoArgs = {})
{
    const std::string path = outPath(name);
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:d=4",
                                     "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:d=4", "-pix_fmt",
                                     "yuv420p", "-c:v", "libx264", "-preset", "veryfast", "-x264opts",
                                     "keyint=25:min-keyint=25:scenecut=-1", "-c:a", "aac", "-ac", "2",
                                     "-metadata:s:a:0", "language=fre"};
    args.insert(args.end(), videoArgs.begin(), videoArgs.end());
    args.push_back(path);
    EXPECT_EQ(spawn(args), 0) << name;
    return path;
}

struct Copied {
    std::string error;
    int video = -1, audio = -1;
};

Copied convertCopying(const std::string &src, const std::string &out, const char *container, ZxParams *p,
                      int64_t start = 0, int64_t length = 0)
{
    Copied r;
    JobPtr job(JobCreate(-1));
    if (!JobOpenFile(job.get(), src.c_str(), out.c_str(), container, p)
        || ((start || length) && !JobSetRange(job.get(), start, length)) || !JobStart(job.get())) {
        r.error = std::string("refused: ") + JobLastError(job.get(), nullptr);
        return r;
    }
    if (waitJob(job.get()) != ZX_STATUS_FINISHED)
        r.error = JobLastError(job.get(), nullptr);
    JobStreamsCopied(job.get(), &r.video, &r.audio);
    JobClose(job.get());
    return r;
}

// Sizes and hashes of the first packets of a stream, as ffprobe lists them.
std::string packets(const std::string &file, const char *stream, int count = 100)
{
    return run(std::string("ffprobe -v error -select_streams ") + stream
               + " -show_entries packet=size,data_hash -show_data_hash md5 -of csv=p=0 " + shellQuote(file)
               + " 2>/dev/null | head -n " + std::to_string(count));
}

ParamsPtr sameAsSource() { return makeParams(28, 86018, 0, 0, 44100, 2); }

} // namespace

// A fitting source is remuxed: the same packets, its length, its language;
// one stream that needs changing is converted while the other is copied.
TEST(Copy, FittingStreamsAreRemuxedOthersConverted)
{
    const std::string src = makeSource("source.mkv");
    const std::string srcVideo = packets(src, "v"), srcAudio = packets(src, "a");
    ASSERT_NE(srcVideo.find('\n', 0), std::string::npos);

    struct Row { const char *out, *container; void (*change)(ZxParams *); int video, audio; } rows[] = {
        {"copied [x] \xC3\xA9.mp4", "mp4", nullptr, 1, 1},
        {"video_converted.mp4", "mp4", [](ZxParams *p) { SetVideoSize(p, 320, 180); }, 0, 1},
        {"audio_converted.mkv", "matroska", [](ZxParams *p) { SetVolume(p, 50); }, 1, 0},
    };
    for (const Row &r : rows) {
        const std::string out = outPath(r.out);
        ParamsPtr p = sameAsSource();
        if (r.change)
            r.change(p.get());
        const Copied c = convertCopying(src, out, r.container, p.get());
        ASSERT_EQ(c.error, "") << r.out;
        EXPECT_EQ(c.video, r.video) << r.out;
        EXPECT_EQ(c.audio, r.audio) << r.out;
        EXPECT_EQ(packets(out, "v") == srcVideo, r.video == 1) << r.out;
        EXPECT_EQ(packets(out, "a") == srcAudio, r.audio == 1) << r.out;
        const Probe probe = ffprobe(out);
        EXPECT_NEAR(probe.duration(), ffprobe(src).duration(), 0.05) << r.out;
        EXPECT_EQ(strOf(probe.first("audio"), "tag:language"), "fre") << r.out;
        EXPECT_EQ(intOf(probe.first("video"), "width"), r.video ? 640 : 320) << r.out;
        EXPECT_TRUE(decodesCleanly(out)) << r.out;
    }
}

// Each single reason converts the picture; without it the same set copies.
TEST(Copy, EachReasonForcesAConversion)
{
    const std::string src = makeSource("high.mkv", {"-profile:v", "high", "-b:v", "1M"});
    const std::string vp9 = outPath("vp9.webm");
    ASSERT_EQ(spawn({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:d=1", "-c:v",
                     "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", vp9}),
              0);
    struct Row {
        const char *what;
        std::string source;
        int vcodec;
        const char *container;
        void (*change)(ZxParams *);   // the reason; null = none
        bool copied;
    } rows[] = {
        {"plain", src, 28, "mp4", nullptr, true},
        {"watermark", src, 28, "mp4", [](ZxParams *p) { SetWatermarkText(p, "Velmora"); }, false},
        {"size", src, 28, "mp4", [](ZxParams *p) { SetVideoSize(p, 320, 180); }, false},
        {"lower bit rate", src, 28, "mp4", [](ZxParams *p) { SetVideoBitrate(p, 200000); }, false},
        {"higher bit rate", src, 28, "mp4", [](ZxParams *p) { SetVideoBitrate(p, 20000000); }, true},
        {"High above Baseline", src, 28, "mp4", [](ZxParams *p) { SetVideoProfile(p, 66); }, false},
        {"High within High", src, 28, "mp4", [](ZxParams *p) { SetVideoProfile(p, 100); }, true},
        {"vp9 in avi", vp9, 169, "avi", nullptr, false},
        {"vp9 in matroska", vp9, 169, "matroska", nullptr, true},
    };
    int n = 0;
    for (const Row &r : rows) {
        const std::string out = outPath("reason_" + std::to_string(n++) + "." + (r.container[0] == 'a' ? "avi" : "mkv"));
        ParamsPtr p = makeParams(r.vcodec, 0);
        if (r.change)
            r.change(p.get());
        const Copied c = convertCopying(r.source, out, r.container, p.get());
        ASSERT_EQ(c.error, "") << r.what;
        EXPECT_EQ(c.video, r.copied ? 1 : 0) << r.what;
        EXPECT_EQ(packets(out, "v") == packets(r.source, "v"), r.copied) << r.what;
        EXPECT_TRUE(decodesCleanly(out)) << r.what;
    }
}

// A phone clip's rotation travels with its copied picture.
TEST(Copy, RotatedClipStaysRotated)
{
    const std::string src = media("rotated_90.mp4");
    const std::string out = outPath("rotated_copy.mp4");
    ParamsPtr p = sameAsSource();
    const Copied c = convertCopying(src, out, "mp4", p.get());
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(c.video, 1);
    const Probe in = ffprobe(src), copy = ffprobe(out);
    ASSERT_NE(strOf(in.first("video"), "rotation"), "");
    EXPECT_EQ(strOf(copy.first("video"), "rotation"), strOf(in.first("video"), "rotation"));
    EXPECT_EQ(intOf(copy.first("video"), "width"), intOf(in.first("video"), "width"));
    EXPECT_TRUE(decodesCleanly(out));
}

// A range starting on a key frame is copied from there; one starting between
// key frames, or ending early, is converted; each has its exact length.
TEST(Copy, TrimsStayExact)
{
    const std::string src = makeSource("trim_source.mkv");
    // The second key frame, as ffprobe sees it (the video may start late).
    std::istringstream listing(run("ffprobe -v error -select_streams v -show_entries packet=pts_time,flags "
                                   "-of csv=p=0 " + shellQuote(src) + " 2>/dev/null"));
    std::vector<double> keys;
    for (std::string line; std::getline(listing, line);)
        if (line.find(",K") != std::string::npos)
            keys.push_back(std::atof(line.c_str()));
    ASSERT_GE(keys.size(), 2u);
    const double key = keys[1];
    ASSERT_GT(key, 0.5);
    const double total = ffprobe(src).duration();
    const int64_t keyUs = int64_t(std::llround(key * 1e6));

    struct Row { int64_t start, length; bool copied; double seconds; } rows[] = {
        {keyUs, 0, true, total - key},
        {keyUs + 400000, 0, false, total - key - 0.4},
        {keyUs, 1500000, false, 1.5},
    };
    int n = 0;
    for (const Row &r : rows) {
        const std::string out = outPath("trim_" + std::to_string(n++) + ".mp4");
        ParamsPtr p = sameAsSource();
        const Copied c = convertCopying(src, out, "mp4", p.get(), r.start, r.length);
        ASSERT_EQ(c.error, "") << n;
        EXPECT_EQ(c.video, r.copied ? 1 : 0) << n;
        const Probe probe = ffprobe(out);
        EXPECT_NEAR(probe.duration(), r.seconds, 0.05) << n;
        EXPECT_NEAR(std::atof(strOf(probe.first("video"), "duration").c_str()), r.seconds, 0.05) << n;
        EXPECT_TRUE(decodesCleanly(out)) << n;
    }
}

// "Same quality": any codec the container takes is copied whatever the set
// names; a size the panel asks for is honoured; what must change is
// converted in the source's format, and in Matroska in its own codecs.
TEST(Copy, SameQualityKeepsWhatFits)
{
    const std::string src = outPath("hevc_opus.mkv");
    ASSERT_EQ(spawn({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30:d=2", "-f", "lavfi",
                     "-i", "sine=sample_rate=48000:d=2", "-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                     "log-level=error", "-c:a", "libopus", "-ac", "1", src}),
              0);
    const std::string srcVideo = packets(src, "v"), srcAudio = packets(src, "a");
    struct Row {
        const char *out, *container;
        int vcodec, w, h, volume;
        bool mark;
        int video, audio;   // copied
        const char *vname, *aname;
    } rows[] = {
        {"same_quality.mp4", "mp4", 28, 320, 240, 150, false, 1, 0, "hevc", "aac"},
        {"same_quality_larger.mp4", "mp4", 28, 640, 480, 100, false, 0, 1, "h264", "opus"},
        {"same_quality_marked.mkv", "matroska", 28, 320, 240, 150, true, 0, 0, "hevc", "opus"},
        {"extracted.mka", "matroska", 0, 0, 0, 100, false, 0, 1, "", "opus"},
    };
    for (const Row &r : rows) {
        const std::string out = outPath(r.out);
        ParamsPtr p = makeParams(r.vcodec, 86018, r.w, r.h, 44100, 2);
        SetStreamCopy(p.get(), 2);
        SetVolume(p.get(), r.volume);
        if (r.mark)
            SetWatermarkText(p.get(), "Velmora");
        const Copied c = convertCopying(src, out, r.container, p.get());
        ASSERT_EQ(c.error, "") << r.out;
        EXPECT_EQ(c.audio, r.audio) << r.out;
        EXPECT_EQ(packets(out, "a") == srcAudio, r.audio == 1) << r.out;
        const Probe probe = ffprobe(out);
        EXPECT_EQ(strOf(probe.first("video"), "codec_name"), r.vname) << r.out;
        EXPECT_EQ(strOf(probe.first("audio"), "codec_name"), r.aname) << r.out;
        // Sound converted or not keeps the source's rate and channels.
        EXPECT_EQ(intOf(probe.first("audio"), "sample_rate"), 48000) << r.out;
        EXPECT_EQ(intOf(probe.first("audio"), "channels"), 1) << r.out;
        if (*r.vname) {
            EXPECT_EQ(c.video, r.video) << r.out;
            EXPECT_EQ(packets(out, "v") == srcVideo, r.video == 1) << r.out;
            EXPECT_EQ(intOf(probe.first("video"), "width"), r.w) << r.out;
        }
        EXPECT_TRUE(decodesCleanly(out)) << r.out;
    }
}

namespace {

// Merges the parts into out and returns the first error ("" when none).
std::string merge(const std::vector<std::string> &parts, const std::string &out, ZxParams *p)
{
    MergerPtr m(MergerCreate());
    if (!MergerOpen(m.get(), out.c_str(), "mp4", p) || !MergerBegin(m.get()))
        return MergerLastError(m.get(), nullptr);
    for (const std::string &part : parts) {
        if (!MergerAddFile(m.get(), part.c_str(), 0, 0, p) || waitMerger(m.get()) != ZX_STATUS_FINISHED)
            return part + ": " + MergerLastError(m.get(), nullptr);
    }
    return MergerClose(m.get()) ? "" : MergerLastError(m.get(), nullptr);
}

} // namespace

// Parts sharing their codec parameters are joined packet for packet and
// play on across the join; one part of another size makes the merge
// convert every part, the copied ones before it too.
TEST(Copy, MergesCopyOnlyWhenEveryPartFits)
{
    const std::string first = makeSource("part one.mkv");
    const std::string second = makeSource("part_two.mkv", {"-t", "2.5"});
    const std::string smaller = makeSource("part_small.mkv", {"-s", "320x180"});
    const double a = ffprobe(first).duration(), b = ffprobe(second).duration(), c = ffprobe(smaller).duration();

    const std::string joined = outPath("merged_copy.mp4");
    ParamsPtr p = sameAsSource();
    ASSERT_EQ(merge({first, second}, joined, p.get()), "");
    EXPECT_EQ(packets(joined, "v", 1000), packets(first, "v", 1000) + packets(second, "v", 1000));
    EXPECT_EQ(packets(joined, "a"), packets(first, "a"));
    EXPECT_NEAR(ffprobe(joined).duration(), a + b, 0.1);
    EXPECT_TRUE(decodesCleanly(joined));
    // Every picture of both parts is there, none twice (the decoder counts them).
    const auto frames = [](const std::string &file) {
        return std::atoi(run("ffprobe -v error -count_frames -select_streams v -show_entries "
                             "stream=nb_read_frames -of csv=p=0 " + shellQuote(file)).c_str());
    };
    EXPECT_EQ(frames(joined), frames(first) + frames(second));

    const std::string mixed = outPath("merged_mixed.mp4");
    p = sameAsSource();
    ASSERT_EQ(merge({first, smaller}, mixed, p.get()), "");
    EXPECT_NE(packets(mixed, "v"), packets(first, "v"));
    EXPECT_EQ(intOf(ffprobe(mixed).first("video"), "width"), 640);
    EXPECT_TRUE(decodesCleanly(mixed));
    // The same as a merge told never to copy.
    const std::string converted = outPath("merged_converted.mp4");
    p = sameAsSource();
    SetStreamCopy(p.get(), 0);
    ASSERT_EQ(merge({first, smaller}, converted, p.get()), "");
    EXPECT_NEAR(ffprobe(mixed).duration(), ffprobe(converted).duration(), 0.05);
    EXPECT_NEAR(ffprobe(mixed).duration(), a + c, 0.2);
}
