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

// ffmpeg decodes every stream without a single complaint.
bool decodesCleanly(const std::string &file)
{
    int rc = 0;
    const std::string errors = run("ffmpeg -v error -i " + shellQuote(file) + " -f null - 2>&1", &rc);
    return rc == 0 && errors.empty();
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

    const std::string out = outPath("copied [x] \xC3\xA9.mp4");
    ParamsPtr p = sameAsSource();
    const Copied both = convertCopying(src, out, "mp4", p.get());
    ASSERT_EQ(both.error, "");
    EXPECT_EQ(both.video, 1);
    EXPECT_EQ(both.audio, 1);
    EXPECT_EQ(packets(out, "v"), srcVideo);
    EXPECT_EQ(packets(out, "a"), srcAudio);
    EXPECT_NEAR(ffprobe(out).duration(), ffprobe(src).duration(), 0.05);
    EXPECT_EQ(strOf(ffprobe(out).first("audio"), "tag:language"), "fre");
    EXPECT_TRUE(decodesCleanly(out));

    const std::string smaller = outPath("video_converted.mp4");
    p = sameAsSource();
    SetVideoSize(p.get(), 320, 180);
    const Copied audioOnly = convertCopying(src, smaller, "mp4", p.get());
    ASSERT_EQ(audioOnly.error, "");
    EXPECT_EQ(audioOnly.video, 0);
    EXPECT_EQ(audioOnly.audio, 1);
    EXPECT_EQ(intOf(ffprobe(smaller).first("video"), "width"), 320);
    EXPECT_EQ(packets(smaller, "a"), srcAudio);
    EXPECT_TRUE(decodesCleanly(smaller));

    const std::string quieter = outPath("audio_converted.mkv");
    p = sameAsSource();
    SetVolume(p.get(), 50);
    const Copied videoOnly = convertCopying(src, quieter, "matroska", p.get());
    ASSERT_EQ(videoOnly.error, "");
    EXPECT_EQ(videoOnly.video, 1);
    EXPECT_EQ(videoOnly.audio, 0);
    EXPECT_EQ(packets(quieter, "v"), srcVideo);
    EXPECT_NE(packets(quieter, "a"), srcAudio);
    EXPECT_NEAR(ffprobe(quieter).duration(), ffprobe(src).duration(), 0.05);
    EXPECT_TRUE(decodesCleanly(quieter));
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
        void (*change)(ZxParams *);   // the reason; null = a set that copies
    } rows[] = {
        {"plain", src, 28, "mp4", nullptr},
        {"watermark", src, 28, "mp4", [](ZxParams *p) { SetWatermarkText(p, "Velmora"); }},
        {"size", src, 28, "mp4", [](ZxParams *p) { SetVideoSize(p, 320, 180); }},
        {"lower bit rate", src, 28, "mp4", [](ZxParams *p) { SetVideoBitrate(p, 200000); }},
        {"higher bit rate", src, 28, "mp4", [](ZxParams *p) { SetVideoBitrate(p, 20000000); }},
        {"High above Baseline", src, 28, "mp4", [](ZxParams *p) { SetVideoProfile(p, 66); }},
        {"High within High", src, 28, "mp4", [](ZxParams *p) { SetVideoProfile(p, 100); }},
        {"vp9 in avi", vp9, 169, "avi", nullptr},
        {"vp9 in matroska", vp9, 169, "matroska", nullptr},
    };
    const bool copies[] = {true, false, false, false, true, false, true, false, true};
    int n = 0;
    for (const Row &r : rows) {
        const bool copied = copies[n];
        const std::string out = outPath("reason_" + std::to_string(n++) + "." + (r.container[0] == 'a' ? "avi" : "mkv"));
        ParamsPtr p = makeParams(r.vcodec, 0);
        if (r.change)
            r.change(p.get());
        const Copied c = convertCopying(r.source, out, r.container, p.get());
        ASSERT_EQ(c.error, "") << r.what;
        EXPECT_EQ(c.video, copied ? 1 : 0) << r.what;
        EXPECT_EQ(packets(out, "v") == packets(r.source, "v"), copied) << r.what;
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
    const std::string louder = outPath("same_quality.mp4");
    ParamsPtr p = makeParams(28, 86018, 320, 240, 44100, 2);
    SetStreamCopy(p.get(), 2);
    SetVolume(p.get(), 150);
    const Copied c = convertCopying(src, louder, "mp4", p.get());
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(c.video, 1);
    EXPECT_EQ(c.audio, 0);
    EXPECT_EQ(packets(louder, "v"), packets(src, "v"));
    Probe probe = ffprobe(louder);
    EXPECT_EQ(strOf(probe.first("video"), "codec_name"), "hevc");
    EXPECT_EQ(strOf(probe.first("audio"), "codec_name"), "aac");
    EXPECT_EQ(intOf(probe.first("audio"), "sample_rate"), 48000);
    EXPECT_EQ(intOf(probe.first("audio"), "channels"), 1);
    EXPECT_TRUE(decodesCleanly(louder));

    const std::string larger = outPath("same_quality_larger.mp4");
    p = makeParams(28, 86018, 640, 480, 44100, 2);
    SetStreamCopy(p.get(), 2);
    const Copied l = convertCopying(src, larger, "mp4", p.get());
    ASSERT_EQ(l.error, "");
    EXPECT_EQ(l.video, 0);
    EXPECT_EQ(l.audio, 1);
    probe = ffprobe(larger);
    EXPECT_EQ(strOf(probe.first("video"), "codec_name"), "h264");
    EXPECT_EQ(intOf(probe.first("video"), "width"), 640);
    EXPECT_TRUE(decodesCleanly(larger));

    const std::string marked = outPath("same_quality_marked.mkv");
    p = makeParams(28, 86018, 320, 240, 44100, 2);
    SetStreamCopy(p.get(), 2);
    SetVolume(p.get(), 150);
    SetWatermarkText(p.get(), "Velmora");
    const Copied m = convertCopying(src, marked, "matroska", p.get());
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.video, 0);
    EXPECT_EQ(m.audio, 0);
    EXPECT_NE(packets(marked, "v"), packets(src, "v"));
    probe = ffprobe(marked);
    EXPECT_EQ(strOf(probe.first("video"), "codec_name"), "hevc");
    EXPECT_EQ(strOf(probe.first("audio"), "codec_name"), "opus");
    EXPECT_TRUE(decodesCleanly(marked));

    const std::string sound = outPath("extracted.mka");
    ParamsPtr a = makeParams(0, 86018);
    SetStreamCopy(a.get(), 2);
    const Copied e = convertCopying(src, sound, "matroska", a.get());
    ASSERT_EQ(e.error, "");
    EXPECT_EQ(e.audio, 1);
    EXPECT_EQ(packets(sound, "a"), packets(src, "a"));
    EXPECT_EQ(ffprobe(sound).count("video"), 0);
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
