// Conversions checked with ffprobe: codecs, size, rate, sample format and
// length of what the engine writes.
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <future>
#include <random>

using namespace zxtest;

namespace {

constexpr int64_t kSecond = 1000000;

struct Pair {
    const char *name;
    const char *container;
    const char *ext;
    int vcodec, acodec;
    int width, height, fpsNum, fpsDen, rate, channels;
    // What ffprobe must see; "" = no such stream.
    const char *vname, *aname;
    int outW, outH;
    const char *outFps;
    int outRate, outChannels;
};

// Converts 2 s of the 5 s clip and returns ffprobe's view.
Probe convertPair(const Pair &c, std::string &error)
{
    const std::string out = outPath(std::string(c.name) + "." + c.ext);
    ParamsPtr p = makeParams(c.vcodec, c.acodec, c.width, c.height, c.rate, c.channels);
    if (c.fpsNum)
        SetFrameRate(p.get(), c.fpsNum, c.fpsDen);
    if (c.vcodec == 28) {
        SetVideoCodecOption(p.get(), 2);
        SetVideoProfile(p.get(), 66);
    }
    error = convertFile(media("clip_h264_aac.mp4"), out, c.container, p.get(), 0, 2 * kSecond);
    return error.empty() ? ffprobe(out) : Probe();
}

class PairTest : public ::testing::TestWithParam<Pair> {};

TEST_P(PairTest, OutputHasTheAskedStreams)
{
    const Pair &c = GetParam();
    std::string error;
    const Probe p = convertPair(c, error);
    ASSERT_TRUE(p.ok) << c.name << ": " << error;   // an error leaves no probe
    const auto *v = p.first("video");
    const auto *a = p.first("audio");
    if (*c.vname) {
        ASSERT_NE(v, nullptr) << c.name;
        EXPECT_EQ(strOf(v, "codec_name"), c.vname);
        EXPECT_EQ(intOf(v, "width"), c.outW);
        EXPECT_EQ(intOf(v, "height"), c.outH);
        EXPECT_EQ(strOf(v, "r_frame_rate"), c.outFps);
    } else {
        EXPECT_EQ(v, nullptr) << c.name;
    }
    ASSERT_NE(a, nullptr) << c.name;
    EXPECT_EQ(strOf(a, "codec_name"), c.aname);
    EXPECT_EQ(intOf(a, "sample_rate"), c.outRate);
    EXPECT_EQ(intOf(a, "channels"), c.outChannels);
    // Two seconds, give or take a frame of either kind.
    EXPECT_NEAR(p.duration(), 2.0, 0.13) << c.name;
}

// The container and codec pairs the format catalogue offers.
INSTANTIATE_TEST_SUITE_P(
    Catalogue, PairTest,
    ::testing::Values(
        Pair{"mp4_h264_aac", "mp4", "mp4", 28, 86018, 640, 360, 0, 1, 44100, 2, "h264", "aac", 640, 360, "25/1", 44100, 2},
        Pair{"mp4_mpeg4_aac", "mp4", "mp4", 13, 86018, 320, 240, 30, 1, 48000, 2, "mpeg4", "aac", 320, 240, "30/1", 48000, 2},
        Pair{"mp4_hevc_aac", "mp4", "mp4", 1211250229, 86018, 320, 240, 0, 1, 44100, 2, "hevc", "aac", 320, 240, "25/1", 44100, 2},
        Pair{"mov_mjpeg_pcm", "mov", "mov", 8, 65537, 320, 240, 0, 1, 44100, 2, "mjpeg", "pcm_s16be", 320, 240, "25/1", 44100, 2},
        Pair{"mkv_h264_mp3", "matroska", "mkv", 28, 86017, 0, 0, 0, 1, 44100, 2, "h264", "mp3", 320, 240, "25/1", 44100, 2},
        Pair{"avi_xvid_mp3", "avi", "avi", 1145656920, 86017, 320, 240, 0, 1, 44100, 2, "mpeg4", "mp3", 320, 240, "25/1", 44100, 2},
        Pair{"avi_divx_mp3", "avi", "avi", 808802372, 86017, 320, 240, 0, 1, 22050, 1, "mpeg4", "mp3", 320, 240, "25/1", 22050, 1},
        Pair{"avi_msmpeg4_mp3", "avi", "avi", 17, 86017, 320, 240, 0, 1, 44100, 2, "msmpeg4v3", "mp3", 320, 240, "25/1", 44100, 2},
        Pair{"asf_wmv2_wma2", "asf", "wmv", 19, 86024, 320, 240, 0, 1, 44100, 2, "wmv2", "wmav2", 320, 240, "25/1", 44100, 2},
        Pair{"asf_wmv1_wma1", "asf", "wmv", 18, 86023, 320, 240, 0, 1, 44100, 2, "wmv1", "wmav1", 320, 240, "25/1", 44100, 2},
        Pair{"asf_vc1_wmapro_fallback", "asf", "wmv", 71, 86054, 320, 240, 0, 1, 48000, 6, "wmv2", "wmav2", 320, 240, "25/1", 48000, 2},
        Pair{"mpeg_mpeg1_mp2", "mpeg", "mpg", 1, 86016, 352, 240, 30000, 1001, 44100, 2, "mpeg1video", "mp2", 352, 240, "30000/1001", 44100, 2},
        Pair{"mpeg_mpeg2_ac3_odd_rate", "mpeg", "mpg", 2, 86019, 720, 576, 24, 1, 48000, 2, "mpeg2video", "ac3", 720, 576, "24/1", 48000, 2},
        Pair{"ts_h264_aac", "mpegts", "ts", 28, 86018, 640, 480, 0, 1, 48000, 2, "h264", "aac", 640, 480, "25/1", 48000, 2},
        Pair{"webm_vp8_vorbis", "webm", "webm", 141, 86021, 320, 240, 0, 1, 44100, 2, "vp8", "vorbis", 320, 240, "25/1", 44100, 2},
        Pair{"webm_vp9_vorbis", "webm", "webm", 169, 86021, 320, 240, 0, 1, 48000, 2, "vp9", "vorbis", 320, 240, "25/1", 48000, 2},
        Pair{"flv_flv1_mp3", "flv", "flv", 22, 86017, 320, 240, 0, 1, 44100, 2, "flv1", "mp3", 320, 240, "25/1", 44100, 2},
        Pair{"3gp_h263_amr_fallback", "3gp", "3gp", 5, 73728, 320, 240, 0, 1, 8000, 1, "h263", "aac", 352, 288, "25/1", 8000, 1},
        Pair{"dv_pal", "dv", "dv", 25, 65536, 320, 240, 0, 1, 44100, 2, "dvvideo", "pcm_s16le", 720, 576, "25/1", 48000, 2},
        Pair{"mp4_audio_only_aac", "mp4", "m4a", -1, 86018, 0, 0, 0, 1, 44100, 2, "", "aac", 0, 0, "", 44100, 2},
        Pair{"mp3", "mp3", "mp3", -1, 86017, 0, 0, 0, 1, 44100, 2, "", "mp3", 0, 0, "", 44100, 2},
        Pair{"adts_aac", "adts", "aac", -1, 86018, 0, 0, 0, 1, 32000, 1, "", "aac", 0, 0, "", 32000, 1},
        Pair{"ac3_51", "ac3", "ac3", -1, 86019, 0, 0, 0, 1, 48000, 6, "", "ac3", 0, 0, "", 48000, 6},
        Pair{"flac", "flac", "flac", -1, 86028, 0, 0, 0, 1, 44100, 2, "", "flac", 0, 0, "", 44100, 2},
        Pair{"wav_pcm", "wav", "wav", -1, 65536, 0, 0, 0, 1, 22050, 1, "", "pcm_s16le", 0, 0, "", 22050, 1},
        Pair{"wma2", "asf", "wma", -1, 86024, 0, 0, 0, 1, 44100, 2, "", "wmav2", 0, 0, "", 44100, 2},
        Pair{"ogg_vorbis", "ogg", "ogg", -1, 86021, 0, 0, 0, 1, 44100, 2, "", "vorbis", 0, 0, "", 44100, 2},
        Pair{"mka_aac", "matroska", "mka", -1, 86018, 0, 0, 0, 1, 44100, 2, "", "aac", 0, 0, "", 44100, 2},
        Pair{"mov_alac", "mov", "m4a", -1, 86032, 0, 0, 0, 1, 44100, 2, "", "alac", 0, 0, "", 44100, 2},
        Pair{"aiff_s24", "aiff", "aiff", -1, 65549, 0, 0, 0, 1, 44100, 2, "", "pcm_s24be", 0, 0, "", 44100, 2},
        Pair{"mp2_audio", "mp2", "mp2", -1, 86016, 0, 0, 0, 1, 48000, 2, "", "mp2", 0, 0, "", 48000, 2},
        Pair{"swf_adpcm_in_flv", "flv", "flv", -1, 69645, 0, 0, 0, 1, 48000, 2, "", "adpcm_swf", 0, 0, "", 44100, 2}),
    [](const ::testing::TestParamInfo<Pair> &info) { return std::string(info.param.name); });

// --- ranges -------------------------------------------------------------------

TEST(Range, TrimIsCutToTheFrame)
{
    struct Row { int64_t start, length; double want; } rows[] = {
        {2 * kSecond, 3 * kSecond, 3.0}, {0, kSecond, 1.0}, {7 * kSecond, 0, 3.0}, {9 * kSecond, 5 * kSecond, 1.0}};
    int n = 0;
    for (const Row &r : rows) {
        const std::string out = outPath("trim_" + std::to_string(n++) + ".mp4");
        ParamsPtr p = makeParams(28, 86018);
        JobPtr job(JobCreate(-1));
        ASSERT_EQ(JobOpenFile(job.get(), media("clip_10s.mp4").c_str(), out.c_str(), "mp4", p.get()), 1);
        ASSERT_EQ(JobSetRange(job.get(), r.start, r.length), 1);
        EXPECT_NEAR(JobDuration(job.get()) / 1e6, r.want, 0.001);
        ASSERT_EQ(JobStart(job.get()), 1);
        ASSERT_EQ(waitJob(job.get()), ZX_STATUS_FINISHED) << JobLastError(job.get(), nullptr);
        EXPECT_EQ(JobPosition(job.get()), JobDuration(job.get()));
        JobClose(job.get());
        const Probe probe = ffprobe(out);
        EXPECT_NEAR(std::atof(strOf(probe.first("video"), "duration").c_str()), r.want, 0.04) << r.start;   // a frame
        EXPECT_NEAR(std::atof(strOf(probe.first("audio"), "duration").c_str()), r.want, 0.05) << r.start;
    }
}

TEST(Range, TrimStartsAtTheAskedPicture)
{
    // testsrc draws a counter; the first picture of a cut at 2 s must match
    // ffmpeg's own picture at 2 s, not the key frame before it.
    const std::string out = outPath("trim_first.mp4");
    ParamsPtr p = makeParams(28, 86018);
    SetVideoQuality(p.get(), 90);
    ASSERT_EQ(convertFile(media("clip_10s.mp4"), out, "mp4", p.get(), 2 * kSecond, kSecond), "");
    auto grey = [](const std::string &file, const std::string &select) {
        return decodedFrame(file, select + "scale=32:24");
    };
    const auto ours = grey(out, "");
    const auto at2 = grey(media("clip_10s.mp4"), "select=gte(t\\,2),");
    const auto at0 = grey(media("clip_10s.mp4"), "");
    ASSERT_EQ(ours.size(), 32u * 24u);
    ASSERT_EQ(at2.size(), ours.size());
    auto diff = [](const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
        double d = 0;
        for (size_t i = 0; i < a.size(); ++i)
            d += std::abs(int(a[i]) - int(b[i]));
        return d / a.size();
    };
    EXPECT_LT(diff(ours, at2), diff(ours, at0));
    EXPECT_LT(diff(ours, at2), 6.0);
}

// --- sources of every shape -----------------------------------------------------

TEST(Sources, OddRotatedAndPartialSourcesConvert)
{
    struct Row { const char *file; int vcodec; int w, h; bool video, audio; double seconds; } rows[] = {
        {"odd_641x361.mp4", 28, 640, 360, true, true, 2.0},      // x264 needs even sizes
        {"odd_641x361.mp4", 13, 640, 360, true, true, 2.0},
        {"rotated_90.mp4", 28, 240, 320, true, true, 5.0},       // upright, no rotation left
        {"video_only.mp4", 28, 320, 240, true, false, 3.0},
        {"audio_only.mp3", 28, 0, 0, false, true, 3.0},
        {"clip_720x576_25.mpg", 28, 720, 576, true, true, 3.0},
        {"clip_mkv_two_audio_sub.mkv", 28, 320, 240, true, true, 4.0},
        {"name with spaces [1] \xC3\xBC.mp4", 28, 320, 240, true, true, 5.0},
    };
    int n = 0;
    for (const Row &r : rows) {
        const std::string out = outPath("shape_" + std::to_string(n++) + " [x] \xC3\xA9.mp4");
        ParamsPtr p = makeParams(r.vcodec, 86018);
        SetStreamCopy(p.get(), 0); // the decoding path is what is checked; copies keep the rotation tag
        ASSERT_EQ(convertFile(media(r.file), out, "mp4", p.get()), "") << r.file;
        const Probe probe = ffprobe(out);
        const auto *v = probe.first("video");
        EXPECT_EQ(v != nullptr, r.video) << r.file;
        EXPECT_EQ(probe.first("audio") != nullptr, r.audio) << r.file;
        if (v) {
            EXPECT_EQ(intOf(v, "width"), r.w) << r.file;
            EXPECT_EQ(intOf(v, "height"), r.h) << r.file;
            EXPECT_EQ(strOf(v, "rotation"), "") << r.file << " keeps its rotation metadata";
        }
        EXPECT_NEAR(probe.duration(), r.seconds, 0.1) << r.file;
    }
}

// --- files that are not media ------------------------------------------------------

std::string corruptCopy()
{
    // The 10 s clip with its middle third overwritten by noise.
    const std::string path = outPath("corrupt_middle.mp4");
    std::ifstream in(media("clip_10s.mp4"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::mt19937 gen(7);
    for (size_t i = bytes.size() / 3; i < 2 * bytes.size() / 3; ++i)
        bytes[i] = char(gen());
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

TEST(Hostile, BrokenFilesFailOrConvertButNeverHang)
{
    const std::vector<std::string> files = {media("zero.mp4"), media("random.mp4"), media("truncated.mp4"), corruptCopy()};
    for (const std::string &f : files) {
        auto result = std::async(std::launch::async, [&f] {
            const std::string out = outPath("hostile.mp4");
            ParamsPtr p = makeParams(28, 86018);
            JobPtr job(JobCreate(-1));
            if (!JobOpenFile(job.get(), f.c_str(), out.c_str(), "mp4", p.get())) {
                int code = 0;
                const std::string msg = JobLastError(job.get(), &code);
                return std::make_pair(code, msg);
            }
            JobStart(job.get());
            const int status = waitJob(job.get(), std::chrono::seconds(40));
            int code = 0;
            std::string msg = JobLastError(job.get(), &code);
            JobClose(job.get());
            if (status == ZX_STATUS_FINISHED && !ffprobe(out).ok)
                return std::make_pair(-1, std::string("finished but wrote an unreadable file"));
            return std::make_pair(status == ZX_STATUS_FINISHED ? 0 : code, msg);
        });
        ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready) << f;
        const auto [code, msg] = result.get();
        EXPECT_GE(code, 0) << f << ": " << msg;
        if (code != 0)
            EXPECT_FALSE(msg.empty()) << f;
    }
}

// --- refusals --------------------------------------------------------------------

TEST(Refusals, OpenFailsWithAReason)
{
    struct Row { const char *what, *src, *out, *container; int vcodec, acodec, code; const char *word; } rows[] = {
        {"unknown codec", "clip_h264_aac.mp4", "r1.mp4", "mp4", 4242, 86018, ZX_ERR_CODEC, "4242"},
        {"audio codec as video", "clip_h264_aac.mp4", "r2.mp4", "mp4", 86018, 86018, ZX_ERR_CODEC, "video"},
        {"no AMR encoder", "clip_h264_aac.mp4", "r3.amr", "amr", -1, 73728, ZX_ERR_CODEC, "amr"},
        {"unknown container", "clip_h264_aac.mp4", "r4.xyz", "nosuchmuxer", 28, 86018, ZX_ERR_ARGUMENT, "nosuchmuxer"},
        {"unreadable source", "zero.mp4", "r5.mp4", "mp4", 28, 86018, ZX_ERR_INPUT, "source"},
        {"nothing to write", "audio_only.wav", "r6.mp4", "mp4", 28, -1, ZX_ERR_ARGUMENT, "nothing"},
        {"unwritable output", "clip_h264_aac.mp4", "no/such/dir/r7.mp4", "mp4", 28, 86018, ZX_ERR_OUTPUT, "output"},
    };
    for (const Row &r : rows) {
        const std::string out = outDir() + "/" + r.out;
        ParamsPtr p = makeParams(r.vcodec, r.acodec);
        JobPtr job(JobCreate(-1));
        EXPECT_EQ(JobOpenFile(job.get(), media(r.src).c_str(), out.c_str(), r.container, p.get()), 0) << r.what;
        int code = 0;
        const std::string msg = JobLastError(job.get(), &code);
        EXPECT_EQ(code, r.code) << r.what << ": " << msg;
        EXPECT_NE(msg.find(r.word), std::string::npos) << r.what << ": " << msg;
        EXPECT_EQ(JobStart(job.get()), 0) << r.what;
        EXPECT_FALSE(fs::exists(out)) << r.what << " left a file behind";
    }
}

struct Picture {
    const char *name;
    int rotation, flip, keepShape;
    int frameW, frameH;                 // what ffprobe must report
    int picX, picY, picW, picH;         // where the picture must be
    const char *reference;              // ffmpeg's filter for the same picture
};

class PictureTest : public ::testing::TestWithParam<Picture> {};

TEST_P(PictureTest, PictureSitsWhereTheSettingsPutIt)
{
    const Picture &c = GetParam();
    const std::string out = outPath(std::string("picture_") + c.name + ".mkv");
    ParamsPtr p = makeParams(28, -1, 640, 360);
    SetVideoQuality(p.get(), 90);
    SetRotation(p.get(), c.rotation);
    SetFlip(p.get(), c.flip);
    SetFill(p.get(), c.keepShape, 0);
    ASSERT_EQ(convertFile(media("clip_h264_aac.mp4"), out, "matroska", p.get(), 0, 400000), "");
    const Probe probe = ffprobe(out);
    ASSERT_EQ(intOf(probe.first("video"), "width"), c.frameW);
    ASSERT_EQ(intOf(probe.first("video"), "height"), c.frameH);

    const std::vector<uint8_t> ours = decodedFrame(out);
    ASSERT_EQ(ours.size(), size_t(c.frameW) * c.frameH);
    // Borders are black (limited-range 16), the picture is not.
    if (c.picX > 0) {
        EXPECT_LT(meanOver(ours, c.frameW, 0, 0, c.picX - 2, c.frameH), 20) << "left border";
        EXPECT_LT(meanOver(ours, c.frameW, c.picX + c.picW + 2, 0, c.frameW, c.frameH), 20) << "right border";
    }
    if (c.picY > 0) {
        EXPECT_LT(meanOver(ours, c.frameW, 0, 0, c.frameW, c.picY - 2), 20) << "top border";
        EXPECT_LT(meanOver(ours, c.frameW, 0, c.picY + c.picH + 2, c.frameW, c.frameH), 20) << "bottom border";
    }
    // Inside, the picture is the source turned and mirrored as ffmpeg does it.
    const std::vector<uint8_t> theirs = decodedFrame(media("clip_h264_aac.mp4"), c.reference);
    ASSERT_EQ(theirs.size(), size_t(c.picW) * c.picH);
    double diff = 0;
    for (int y = 4; y < c.picH - 4; ++y)
        for (int x = 4; x < c.picW - 4; ++x)
            diff += std::abs(int(ours[size_t(y + c.picY) * c.frameW + x + c.picX]) - int(theirs[size_t(y) * c.picW + x]));
    diff /= double((c.picW - 8) * (c.picH - 8));
    EXPECT_LT(diff, 8.0) << c.name << ": the picture is not the one asked for";
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, PictureTest,
    ::testing::Values(
        Picture{"keep_shape", 0, 0, 1, 640, 360, 80, 0, 480, 360, "scale=480:360"},
        Picture{"stretch", 0, 0, 0, 640, 360, 0, 0, 640, 360, "scale=640:360"},
        Picture{"turn_90", 90, 0, 1, 360, 640, 0, 80, 360, 480, "transpose=clock,scale=360:480"},
        Picture{"turn_270_mirrored", 270, 1, 1, 360, 640, 0, 80, 360, 480, "transpose=cclock,hflip,scale=360:480"},
        Picture{"turn_180_stretch", 180, 0, 0, 640, 360, 0, 0, 640, 360, "hflip,vflip,scale=640:360"}),
    [](const ::testing::TestParamInfo<Picture> &info) { return std::string(info.param.name); });

} // namespace
