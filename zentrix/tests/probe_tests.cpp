// Source probe and thumbnails, checked against what ffprobe and ffmpeg read.
#include "test_support.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <future>

using namespace zxtest;

namespace {

class ProbeTest : public ::testing::TestWithParam<const char *> {};

TEST_P(ProbeTest, FactsMatchFfprobe)
{
    const std::string path = media(GetParam());
    const Probe truth = ffprobe(path);
    ASSERT_TRUE(truth.ok) << path;
    SourcePtr src(SourceCreate(-1));
    ASSERT_EQ(SourceOpenFile(src.get(), path.c_str()), 1);

    const auto *video = truth.first("video");
    EXPECT_EQ(SourceHasVideo(src.get()) == 1, video != nullptr);
    EXPECT_EQ(SourceHasAudio(src.get()) == 1, truth.count("audio") > 0);
    EXPECT_NEAR(SourceDuration(src.get()) / 1e6, truth.duration(), 0.05);
    EXPECT_EQ(SourceCanSeek(src.get()), 1);

    // The size as shown: quarter-turned sources swap ffprobe's coded size.
    int w = intOf(video, "width"), h = intOf(video, "height");
    const int rot = std::abs(intOf(video, "rotation"));
    if (rot == 90 || rot == 270)
        std::swap(w, h);
    EXPECT_EQ(SourceWidth(src.get()), video ? w : 0);
    EXPECT_EQ(SourceHeight(src.get()), video ? h : 0);

    // major_brand first, then the demuxer's own first short name.
    std::string brand = SourceMetadata(src.get(), "major_brand", -1);
    const std::string truthBrand = strOf(&truth.format, "tag:major_brand");
    EXPECT_EQ(brand, truthBrand);
    if (brand.empty()) {
        const std::string names = strOf(&truth.format, "format_name");
        EXPECT_EQ(std::string(SourceBrand(src.get())), names.substr(0, names.find(',')));
    }

    // Streams in file order, with codec, language and title.
    std::vector<const std::map<std::string, std::string> *> audio, subs;
    for (const auto &s : truth.streams) {
        if (strOf(&s, "codec_type") == "audio")
            audio.push_back(&s);
        if (strOf(&s, "codec_type") == "subtitle")
            subs.push_back(&s);
    }
    ASSERT_EQ(SourceAudioCount(src.get()), int(audio.size()));
    for (size_t i = 0; i < audio.size(); ++i) {
        ASSERT_EQ(SourceSelectAudio(src.get(), int(i)), 1);
        EXPECT_EQ(std::string(AudioCodecName(src.get())), strOf(audio[i], "codec_name"));
        std::string lang = strOf(audio[i], "tag:language");
        EXPECT_EQ(std::string(AudioLanguage(src.get())), lang == "und" ? "" : lang);
        EXPECT_EQ(std::string(AudioTitle(src.get())), strOf(audio[i], "tag:title"));
    }
    ASSERT_EQ(SourceSubtitleCount(src.get()), int(subs.size()));
    for (size_t i = 0; i < subs.size(); ++i) {
        ASSERT_EQ(SourceSelectSubtitle(src.get(), int(i)), 1);
        EXPECT_EQ(std::string(SubtitleCodecName(src.get())), strOf(subs[i], "codec_name"));
        EXPECT_EQ(std::string(SubtitleLanguage(src.get())), strOf(subs[i], "tag:language"));
        EXPECT_EQ(std::string(SubtitleTitle(src.get())), strOf(subs[i], "tag:title"));
    }
    EXPECT_EQ(SourceSelectAudio(src.get(), int(audio.size())), 0);
    EXPECT_EQ(SourceSelectSubtitle(src.get(), -1), 0);
}

INSTANTIATE_TEST_SUITE_P(Media, ProbeTest,
                         ::testing::Values("clip_h264_aac.mp4", "clip_10s.mp4", "clip_mpeg4_mp3.avi",
                                           "clip_vp8_vorbis.webm", "clip_mkv_two_audio_sub.mkv", "video_only.mp4",
                                           "audio_only.mp3", "audio_only.wav", "odd_641x361.mp4", "rotated_90.mp4",
                                           "clip_720x576_25.mpg", "name with spaces [1] \xC3\xBC.mp4"));

// Unreadable files answer like empty ones, quickly, and never crash.
class HostileProbeTest : public ::testing::TestWithParam<const char *> {};

TEST_P(HostileProbeTest, NoStreamsNoLengthNoHang)
{
    const std::string path = media(GetParam());
    auto result = std::async(std::launch::async, [path] {
        SourcePtr src(SourceCreate(-1));
        const int opened = SourceOpenFile(src.get(), path.c_str());
        const bool thumbnail = SourceThumbnail(src.get(), 1000000, 1, 64, 48, 0) != nullptr;
        return std::make_tuple(opened, SourceHasVideo(src.get()) + SourceHasAudio(src.get()),
                               SourceDuration(src.get()), SourceAudioCount(src.get()), thumbnail);
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "probe hangs on " << path;
    const auto [opened, streams, duration, audioCount, thumbnail] = result.get();
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(streams, 0);
    EXPECT_EQ(duration, 0);
    EXPECT_EQ(audioCount, 0);
    EXPECT_FALSE(thumbnail);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileProbeTest,
                         ::testing::Values("zero.mp4", "random.mp4", "truncated.mp4", "no such file.mp4"));

TEST(Probe, ClosedSourceForgetsEverythingAndReopens)
{
    SourcePtr src(SourceCreate(-1));
    ASSERT_EQ(SourceOpenFile(src.get(), media("clip_mkv_two_audio_sub.mkv").c_str()), 1);
    ASSERT_EQ(SourceAudioCount(src.get()), 2);
    SourceClose(src.get());
    EXPECT_EQ(SourceAudioCount(src.get()), 0);
    EXPECT_EQ(SourceDuration(src.get()), 0);
    EXPECT_STREQ(AudioLanguage(src.get()), "");
    ASSERT_EQ(SourceOpenFile(src.get(), media("audio_only.wav").c_str()), 1);
    EXPECT_EQ(SourceHasVideo(src.get()), 0);
    EXPECT_EQ(SourceAudioCount(src.get()), 1);
    EXPECT_EQ(SourceThumbnail(src.get(), 0, 1, 64, 64, 0), nullptr) << "a thumbnail without a picture";
}

// --- thumbnails ----------------------------------------------------------------

struct Bmp {
    int width = 0, height = 0;
    std::vector<uint8_t> rows; // top-down BGR, no padding
};

Bmp parseBmp(const unsigned char *data)
{
    Bmp b;
    auto u32 = [&](int at) { return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24; };
    const uint32_t offset = u32(10);
    b.width = int(u32(18));
    b.height = int(u32(22));
    const int stride = (b.width * 3 + 3) & ~3;
    for (int y = b.height - 1; y >= 0; --y)
        b.rows.insert(b.rows.end(), data + offset + size_t(y) * stride, data + offset + size_t(y) * stride + size_t(b.width) * 3);
    return b;
}

TEST(Thumbnail, BmpFileOfTheAskedSize)
{
    struct Row { const char *file; int64_t t; int w, h; } rows[] = {
        {"clip_h264_aac.mp4", 1666666, 320, 240}, {"clip_h264_aac.mp4", 0, 120, 90},
        {"odd_641x361.mp4", 500000, 0, 0},       {"clip_720x576_25.mpg", 99000000, 100, 80},
        {"clip_vp8_vorbis.webm", 2000000, 33, 17},
    };
    for (const Row &r : rows) {
        SourcePtr src(SourceCreate(-1));
        ASSERT_EQ(SourceOpenFile(src.get(), media(r.file).c_str()), 1);
        const unsigned char *bmp = SourceThumbnail(src.get(), r.t, 1, r.w, r.h, 0);
        ASSERT_NE(bmp, nullptr) << r.file << " at " << r.t;
        ASSERT_EQ(std::memcmp(bmp, "BM", 2), 0);
        const Bmp b = parseBmp(bmp);
        const int wantW = r.w > 0 ? r.w : SourceWidth(src.get()), wantH = r.h > 0 ? r.h : SourceHeight(src.get());
        EXPECT_EQ(b.width, wantW) << r.file;
        EXPECT_EQ(b.height, wantH) << r.file;
        // A test picture is not one flat colour.
        int lo = 255, hi = 0;
        for (uint8_t v : b.rows)
            lo = std::min<int>(lo, v), hi = std::max<int>(hi, v);
        EXPECT_GT(hi - lo, 64) << r.file;
    }
}

TEST(Thumbnail, RotatedSourceComesOutAsFfmpegShowsIt)
{
    for (const char *f : {"rotated_90.mp4", "clip_h264_aac.mp4"}) {
        SourcePtr src(SourceCreate(-1));
        ASSERT_EQ(SourceOpenFile(src.get(), media(f).c_str()), 1);
        const int w = SourceWidth(src.get()), h = SourceHeight(src.get());
        const unsigned char *bmp = SourceThumbnail(src.get(), 0, 1, w, h, 0);
        ASSERT_NE(bmp, nullptr);
        const Bmp ours = parseBmp(bmp);
        const std::string ref = outPath(std::string("ref_") + f + ".bmp");
        int rc = 0;
        run("ffmpeg -v error -y -i " + shellQuote(media(f)) + " -frames:v 1 -pix_fmt bgr24 " + shellQuote(ref), &rc);
        ASSERT_EQ(rc, 0);
        const std::string file = fileBytes(ref);
        ASSERT_GT(file.size(), 54u);
        const Bmp theirs = parseBmp(reinterpret_cast<const unsigned char *>(file.data()));
        ASSERT_EQ(theirs.width, ours.width) << f;
        ASSERT_EQ(theirs.height, ours.height) << f;
        double diff = 0;
        for (size_t i = 0; i < ours.rows.size(); ++i)
            diff += std::abs(int(ours.rows[i]) - int(theirs.rows[i]));
        EXPECT_LT(diff / double(ours.rows.size()), 4.0) << f << " differs from ffmpeg's upright picture";
    }
}

} // namespace
