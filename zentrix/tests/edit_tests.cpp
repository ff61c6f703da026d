// Edits in the conversion: effects, watermarks, burnt-in subtitles and the
// audio track, measured on the decoded output.
#include "test_support.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

using namespace zxtest;

namespace {

constexpr int64_t kSecond = 1000000;
constexpr int kW = 320, kH = 240;

// Media made once per run in the test's output folder, with awkward names.
struct Media {
    std::string patches, black, image, notImage, srt;
};

const Media &made()
{
    static const Media m = [] {
        Media m;
        m.patches = outPath("patches.mkv");
        m.black = outPath("black.mkv");
        m.image = outPath("wm [1]'s: \xC3\xBC.png");
        m.notImage = outPath("not a picture.png");
        m.srt = outPath("it's [a] clip, no: 1 \xC3\xBC.srt");
        // Left half red, right half grey; a loud 440 Hz tone (peak 0.75).
        ffmpegMakes({"-f", "lavfi", "-i",
                     "color=c=0xC02020:s=160x240:r=25:d=2[l];color=c=0x808080:s=160x240:r=25:d=2[r];[l][r]hstack[out0]",
                     "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2,volume=6", "-c:v", "libx264",
                     "-qp", "0", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le", "-ac", "2", m.patches});
        ffmpegMakes({"-f", "lavfi", "-i", "color=c=black:s=320x240:r=25:d=3", "-c:v", "libx264", "-preset", "ultrafast",
                     "-pix_fmt", "yuv420p", m.black});
        ffmpegMakes({"-f", "lavfi", "-i", "color=c=white:s=64x48,format=rgba", "-frames:v", "1", "-update", "1", "-f", "image2", m.image});
        std::ofstream(m.notImage) << "this is text, not a picture\n";
        std::ofstream(m.srt) << "1\n00:00:00,500 --> 00:00:01,000\nSUBTITLE ONE\n\n"
                                "2\n00:00:02,000 --> 00:00:02,500\nSUBTITLE TWO\n";
        return m;
    }();
    return m;
}

using Edit = std::function<void(ZxParams *)>;

// Converts src to H.264 (and PCM sound) in Matroska; "" when it failed.
std::string convert(const std::string &name, const std::string &src, const Edit &edit, int64_t start = 0,
                    int64_t length = 0, int width = kW, int height = kH, bool dvd = false)
{
    const std::string out = outPath(name + ".mkv");
    ParamsPtr p = makeParams(28, 65536, width, height, 44100, 1);
    SetVideoQuality(p.get(), 90);
    if (edit)
        edit(p.get());
    const std::string error = convertFile(src, out, "matroska", p.get(), start, length, dvd);
    if (!error.empty())
        ADD_FAILURE() << name << ": " << error;
    return error.empty() ? out : std::string();
}

// The output picture at time t as raw pixels of a format.
std::vector<uint8_t> frameAt(const std::string &file, double t, const char *pixfmt)
{
    char select[64];
    std::snprintf(select, sizeof select, "select=gte(t\\,%.3f)", t);
    return decodedFrame(file, select, pixfmt);
}

struct Rect { int x0, y0, x1, y1; };

double mean(const std::vector<uint8_t> &pic, int w, Rect r, size_t offset = 0, int step = 1)
{
    return meanOver(pic, w, r.x0, r.y0, r.x1, r.y1, offset, step);
}

// Grey pixels brighter than a level inside r.
int lit(const std::vector<uint8_t> &grey, Rect r, int level = 128)
{
    int n = 0;
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x)
            n += grey[size_t(y) * kW + x] > level;
    return n;
}

double rms(const std::vector<int16_t> &s)
{
    double sum = 0;
    for (int16_t v : s)
        sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}

// Frequency of a tone from its zero crossings.
double frequency(const std::vector<int16_t> &s)
{
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return s.empty() ? 0 : crossings / 2.0 / (s.size() / 44100.0);
}

// What the effect rows look at: the two patches and the tone.
struct Look {
    double redY = 0, redU = 0, redV = 0, greyY = 0, redR = 0, redG = 0, redB = 0;
    double rms = 0, hz = 0, nearFull = 0;   // nearFull: share of samples at full scale
};

Look look(const std::string &file)
{
    Look l;
    const Rect red{20, 20, 140, 220}, grey{180, 20, 300, 220};
    const auto yuv = frameAt(file, 0.5, "yuv444p");
    const auto rgb = frameAt(file, 0.5, "rgb24");
    if (yuv.size() != size_t(kW) * kH * 3 || rgb.size() != yuv.size()) {
        ADD_FAILURE() << file << ": no picture";
        return l;
    }
    const size_t plane = size_t(kW) * kH;
    l.redY = mean(yuv, kW, red);
    l.redU = mean(yuv, kW, red, plane);
    l.redV = mean(yuv, kW, red, 2 * plane);
    l.greyY = mean(yuv, kW, grey);
    l.redR = mean(rgb, kW, red, 0, 3);
    l.redG = mean(rgb, kW, red, 1, 3);
    l.redB = mean(rgb, kW, red, 2, 3);
    const auto s = decodedSound(file);
    l.rms = rms(s);
    l.hz = frequency(s);
    size_t full = 0;
    for (int16_t v : s)
        full += std::abs(int(v)) >= 32440;
    l.nearFull = s.empty() ? 1 : double(full) / s.size();
    return l;
}

// --- effects -------------------------------------------------------------------

TEST(Effects, ChangeThePictureAndTheSound)
{
    const std::string base = convert("fx_none", made().patches, nullptr);
    ASSERT_FALSE(base.empty());
    const Look b = look(base);
    ASSERT_GT(b.redV, 160);
    ASSERT_GT(b.redR, b.redG + 80);
    ASSERT_GT(b.greyY - b.redY, 25);
    struct Row {
        const char *name;
        Edit edit;
        std::function<void(const Look &)> check;
    } rows[] = {
        {"brightness_up", [](ZxParams *p) { SetBrightness(p, 100); },
         [&](const Look &o) { EXPECT_GT(o.greyY, b.greyY + 60); }},
        {"brightness_down", [](ZxParams *p) { SetBrightness(p, -235); }, [](const Look &o) { EXPECT_LT(o.greyY, 30); }},
        {"saturation_0", [](ZxParams *p) { SetSaturation(p, 0); },
         [](const Look &o) {
             EXPECT_NEAR(o.redU, 128, 4);
             EXPECT_NEAR(o.redV, 128, 4);
         }},
        {"saturation_200", [](ZxParams *p) { SetSaturation(p, 200); }, [&](const Look &o) { EXPECT_GT(o.redV, b.redV + 20); }},
        {"contrast_0", [](ZxParams *p) { SetContrast(p, 0); }, [](const Look &o) { EXPECT_NEAR(o.redY, o.greyY, 4); }},
        {"hue_180", [](ZxParams *p) { SetHue(p, 180); },
         [](const Look &o) {
             EXPECT_LT(o.redR + 40, o.redG) << "red turns cyan";
             EXPECT_LT(o.redR + 40, o.redB);
         }},
        {"volume_50", [](ZxParams *p) { SetVolume(p, 50); },
         [&](const Look &o) { EXPECT_NEAR(o.rms / b.rms, 0.5, 0.05); }},
        {"volume_200", [](ZxParams *p) { SetVolume(p, 200); },
         [&](const Look &o) {
             EXPECT_GT(o.rms, b.rms * 1.2) << "louder";
             EXPECT_NEAR(o.hz, b.hz, b.hz * 0.02) << "wrapped samples add zero crossings";
             EXPECT_LT(o.nearFull, 0.001) << "clipped";
         }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const std::string out = convert(std::string("fx_") + r.name, made().patches, r.edit);
        if (!out.empty())
            r.check(look(out));
    }
}

TEST(Effects, ChangeThePictureButNotTheBarsAroundIt)
{
    // The 4:3 patches fitted into a 16:9 frame: borders of 56 columns each side.
    constexpr int w = 432;
    auto lumaAt = [&](const std::string &file) {
        const auto yuv = frameAt(file, 0.5, "yuv444p");
        EXPECT_EQ(yuv.size(), size_t(w) * kH * 3) << file;
        struct { double bars, grey; } l{-1, -1};
        if (yuv.size() == size_t(w) * kH * 3) {
            l.bars = (meanOver(yuv, w, 4, 10, 50, 230) + meanOver(yuv, w, w - 50, 10, w - 4, 230)) / 2;
            l.grey = meanOver(yuv, w, 56 + 180, 20, 56 + 300, 220);
        }
        return l;
    };
    const std::string plain = convert("bars_plain", made().patches, nullptr, 0, 0, w, kH);
    const std::string bright = convert("bars_bright", made().patches, [](ZxParams *p) {
        SetBrightness(p, 50);
        SetContrast(p, 120);
    }, 0, 0, w, kH);
    ASSERT_FALSE(plain.empty());
    ASSERT_FALSE(bright.empty());
    const auto a = lumaAt(plain), b = lumaAt(bright);
    EXPECT_NEAR(a.bars, 16, 3);
    EXPECT_NEAR(b.bars, 16, 3) << "the effects reached the borders";
    EXPECT_GT(b.grey, a.grey + 40) << "the picture did not get brighter";
}

TEST(Effects, NeutralValuesLeaveEveryFrameAndSampleAlone)
{
    const Edit neutral = [](ZxParams *p) {
        SetVolume(p, 100);
        SetEffectReserved(p, 7);
        SetBrightness(p, 0);
        SetSaturation(p, 100);
        SetContrast(p, 100);
        SetHue(p, 0);
        SetWatermarkText(p, "");
        SetWatermarkImage(p, "");
        SetSubtitleStream(p, -1);
    };
    const std::string a = convert("neutral_default", made().patches, nullptr);
    const std::string b = convert("neutral_explicit", made().patches, neutral);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    auto decoded = [](const std::string &f, const char *what) {
        return run("ffmpeg -v error -i " + shellQuote(f) + " " + what + " -f md5 - 2>/dev/null");
    };
    EXPECT_EQ(decoded(a, "-map 0:v"), decoded(b, "-map 0:v"));
    EXPECT_EQ(decoded(a, "-map 0:a"), decoded(b, "-map 0:a"));
    EXPECT_FALSE(decoded(a, "-map 0:v").empty());
}

// --- watermarks ------------------------------------------------------------------

TEST(Watermarks, ImageBlendsAtItsPlaceAndSize)
{
    const std::string out = convert("wm_image", made().black, [](ZxParams *p) {
        SetWatermarkImage(p, made().image.c_str());
        SetWatermarkImageOpacity(p, 128);
        SetWatermarkImagePos(p, 0.25, 0.25);
    }, 0, kSecond);
    ASSERT_FALSE(out.empty());
    // 64 x 48 pixels at scale 100 cover 32 x 24 of a 240-line frame, from (80, 60).
    const auto grey = frameAt(out, 0.5, "gray");
    ASSERT_EQ(grey.size(), size_t(kW) * kH);
    EXPECT_NEAR(mean(grey, kW, {83, 63, 109, 81}), (16 + 235) / 2.0, 14) << "half white over black";
    EXPECT_LT(mean(grey, kW, {0, 0, 76, kH}), 20);
    EXPECT_LT(mean(grey, kW, {116, 0, kW, kH}), 20);
    EXPECT_LT(mean(grey, kW, {80, 88, 112, kH}), 20);

    // The box the views hit-test, the same share of any frame.
    ParamsPtr p(ParamsCreate());
    double w = -1, h = -1;
    SetWatermarkImage(p.get(), made().image.c_str());
    SetWatermarkImageScale(p.get(), 200, 100);
    for (int frameH : {240, 720}) {
        ASSERT_EQ(ParamsWatermarkImageBox(p.get(), frameH * 4 / 3, frameH, &w, &h), 1);
        EXPECT_NEAR(w, 0.2, 0.002) << frameH;
        EXPECT_NEAR(h, 0.1, 0.002) << frameH;
    }
    SetWatermarkImage(p.get(), made().notImage.c_str());
    EXPECT_EQ(ParamsWatermarkImageBox(p.get(), kW, kH, &w, &h), 0);
}

TEST(Watermarks, TextLightsOnlyItsCorner)
{
    const std::string out = convert("wm_text", made().black, [](ZxParams *p) {
        SetWatermarkText(p, "VELMORA");
        SetWatermarkColor(p, 0xFFFFFFFFu);
        SetWatermarkTextPos(p, 0.8, 0.9);
    }, 0, kSecond);
    ASSERT_FALSE(out.empty());
    const auto grey = frameAt(out, 0.5, "gray");
    ASSERT_EQ(grey.size(), size_t(kW) * kH);
    EXPECT_GT(lit(grey, {254, 214, kW, kH}), 20) << "no text in the lower right";
    EXPECT_EQ(lit(grey, {0, 0, kW, 210}), 0);
    EXPECT_EQ(lit(grey, {0, 0, 250, kH}), 0);
}

// --- subtitles --------------------------------------------------------------------

// Per time, whether the lower half shows text: '1' (over 20 lit pixels),
// '0' (none) or '?' (a few, or no picture).
std::string subtitleShown(const std::string &file, const std::vector<double> &times)
{
    std::string shown;
    for (double t : times) {
        const auto grey = frameAt(file, t, "gray");
        const int n = grey.size() == size_t(kW) * kH ? lit(grey, {0, kH / 2, kW, kH}) : -1;
        shown += n > 20 ? '1' : n == 0 ? '0' : '?';
    }
    return shown;
}

TEST(Subtitles, FileIsBurntInWithinItsTimesAlsoAfterATrim)
{
    const Edit srt = [](ZxParams *p) { SetSubtitleFile(p, made().srt.c_str()); };
    const std::string whole = convert("sub_file", made().black, srt);
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(subtitleShown(whole, {0.2, 0.7, 1.5, 2.2, 2.8}), "01010");
    // From 2 s on, the second cue (2.0 - 2.5 s) opens the output.
    const std::string cut = convert("sub_file_trim", made().black, srt, 2 * kSecond, kSecond);
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(subtitleShown(cut, {0.2, 0.8}), "10");
}

TEST(Subtitles, InnerStreamIsBurntIn)
{
    // sample.srt inside the file: its first cue runs from 0.5 s to 1.8 s.
    const std::string plain = convert("sub_inner_none", media("clip_mkv_two_audio_sub.mkv"), nullptr, 0, 2 * kSecond);
    const std::string burnt = convert("sub_inner", media("clip_mkv_two_audio_sub.mkv"),
                                      [](ZxParams *p) { SetSubtitleStream(p, 0); }, 0, 2 * kSecond);
    ASSERT_FALSE(plain.empty());
    ASSERT_FALSE(burnt.empty());
    auto changed = [&](double t) {
        const auto a = frameAt(plain, t, "gray"), b = frameAt(burnt, t, "gray");
        int n = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            n += std::abs(int(a[i]) - int(b[i])) > 60;
        return n;
    };
    EXPECT_LT(changed(0.2), 5);
    EXPECT_GT(changed(1.0), 30);
}

// A PAL DVD of 2 s whose subpicture is a red box (160..560 x 400..480) from
// 0.5 s to 1.5 s; "" when the DVD tools are missing.
std::string redBoxDvd()
{
    const std::string dir = outDir() + "/red box dvd";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string mpg = dir + "/t.mpg", png = dir + "/box.png", xml = dir + "/spu.xml", withSub = dir + "/ts.mpg";
    std::ofstream(xml) << "<subpictures><stream><spu start=\"00:00:00.50\" end=\"00:00:01.50\" image=\"" << png
                       << "\" transparent=\"000000\"/></stream></subpictures>\n";
    setenv("VIDEO_FORMAT", "PAL", 1);
    const bool ok =
        spawn({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:duration=2", "-f", "lavfi",
               "-i", "sine=sample_rate=48000:duration=2", "-target", "pal-dvd", "-aspect", "4:3", mpg}) == 0
        && spawn({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                  "color=c=black:s=720x576,drawbox=x=160:y=400:w=400:h=80:color=red:t=fill", "-frames:v", "1",
                  "-pix_fmt", "rgb24", "-update", "1", png}) == 0
        && spawn({"spumux", "-s", "0", xml}, mpg, withSub) == 0
        && spawn({"dvdauthor", "-o", dir + "/disc", "-t", withSub}) == 0
        && spawn({"dvdauthor", "-o", dir + "/disc", "-T"}) == 0;
    return ok ? dir + "/disc" : std::string();
}

TEST(Subtitles, DvdSubpictureKeepsItsTimesAndColours)
{
    const std::string disc = redBoxDvd();
    if (disc.empty())
        GTEST_SKIP() << "ffmpeg, spumux or dvdauthor did not make the test DVD";
    const std::string out = convert("sub_dvd", disc, [](ZxParams *p) {
        SetSubtitleStream(p, 0);
        SetFill(p, 0, 0);
    }, 0, 0, 360, 288, true);
    ASSERT_FALSE(out.empty());
    // The box lands at 80..280 x 200..240; red only with the disc's palette
    // (the decoder's own guess is grey).
    auto redShare = [&](double t) {
        const auto rgb = frameAt(out, t, "rgb24");
        if (rgb.size() != 360u * 288u * 3)
            return -1.0;
        int red = 0, all = 0;
        for (int y = 205; y < 235; ++y)
            for (int x = 85; x < 275; ++x, ++all) {
                const uint8_t *px = &rgb[(size_t(y) * 360 + x) * 3];
                red += px[0] > 180 && px[1] < 80 && px[2] < 80;
            }
        return double(red) / all;
    };
    EXPECT_LT(redShare(0.2), 0.5);
    EXPECT_GT(redShare(0.6), 0.9) << "shown from its start, though read after the pictures it covers";
    EXPECT_GT(redShare(1.3), 0.9);
    EXPECT_LT(redShare(1.8), 0.5);
}

// --- refusals and the audio track -------------------------------------------------

TEST(Refusals, UnreadableEditsFailTheOpenCall)
{
    struct Row { const char *what; Edit edit; const char *word; } rows[] = {
        {"missing image", [](ZxParams *p) { SetWatermarkImage(p, (made().image + ".gone").c_str()); },
         "cannot read the watermark image"},
        {"not an image", [](ZxParams *p) { SetWatermarkImage(p, made().notImage.c_str()); },
         "cannot read the watermark image"},
        {"missing subtitle file", [](ZxParams *p) { SetSubtitleFile(p, (made().srt + ".gone").c_str()); }, ""},
        {"no such subtitle stream", [](ZxParams *p) { SetSubtitleStream(p, 3); }, ""},
    };
    for (const Row &r : rows) {
        const std::string out = outPath("refused.mkv");
        ParamsPtr p = makeParams(28, 65536);
        r.edit(p.get());
        const OpenResult o = openJob(media("clip_mkv_two_audio_sub.mkv"), out, "matroska", p.get());
        EXPECT_EQ(o.opened, 0) << r.what;
        EXPECT_NE(o.code, 0) << r.what;
        EXPECT_FALSE(o.message.empty()) << r.what;
        EXPECT_NE(o.message.find(r.word), std::string::npos) << r.what << ": " << o.message;
        EXPECT_FALSE(fs::exists(out)) << r.what;
    }
    // A merger refuses the source the same way.
    ParamsPtr p = makeParams(28, 65536);
    MergerPtr m = beginMerger(outPath("refused_merge.mkv"), "matroska", p.get());
    SetWatermarkImage(p.get(), made().notImage.c_str());
    EXPECT_EQ(MergerAddFile(m.get(), made().black.c_str(), 0, 0, p.get()), 0);
    EXPECT_NE(std::string(MergerLastError(m.get(), nullptr)).find("watermark image"), std::string::npos);
    MergerClose(m.get());
}

TEST(AudioTrack, ChosenStreamIsTheOneConverted)
{
    // The two tracks of the fixture are 440 Hz (English) and 880 Hz (French) tones.
    const double want[] = {440, 880};
    for (int track : {0, 1}) {
        const std::string out = convert("track_" + std::to_string(track), media("clip_mkv_two_audio_sub.mkv"),
                                        [track](ZxParams *p) { SetAudioTrack(p, track); }, 0, kSecond);
        ASSERT_FALSE(out.empty());
        EXPECT_NEAR(frequency(decodedSound(out)), want[track], want[track] * 0.03) << track;
        EXPECT_EQ(strOf(ffprobe(out).first("audio"), "tag:language"), track == 0 ? "eng" : "fre");
    }
}

// --- zxtool --------------------------------------------------------------------------

TEST(Zxtool, EditOptionsReachTheOutputAndBadValuesAreRefused)
{
    const std::string out = outPath("cli_edits.mkv");
    int rc = -1;
    zxtool("convert " + shellQuote(made().patches) + " " + shellQuote(out)
               + " --container matroska --acodec 65536 --length 1000000 --saturation 0 --volume 50 --hue 30"
                 " --subtitle-file " + shellQuote(made().srt) + " --image " + shellQuote(made().image)
               + " --image-pos 0,0 --image-scale 10,10 --text 'T' --text-pos 900,900 --text-color FFFFFFFF"
                 " --audio-track 0 --quiet",
           &rc);
    ASSERT_EQ(rc, 0);
    const Look o = look(out);
    EXPECT_NEAR(o.redU, 128, 4) << "--saturation 0";
    const Look b = look(convert("cli_reference", made().patches, nullptr, 0, kSecond));
    EXPECT_NEAR(o.rms / b.rms, 0.5, 0.05) << "--volume 50";

    const char *bad[] = {"--volume 201",       "--brightness x",         "--hue 181",
                         "--text-pos 5",       "--image-scale 0,10",     "--text-color GG000000",
                         "--image-opacity 256", "--audio-track -1",      "--subtitle-stream 0 --closed-captions",
                         "--volume"};
    for (const char *args : bad) {
        const std::string msg = zxtool("convert " + shellQuote(made().patches) + " " + shellQuote(outPath("cli_bad.mkv"))
                                           + " " + args + " --quiet",
                                       &rc);
        EXPECT_EQ(rc, 2) << args;
        const std::string option = std::string(args).substr(0, std::string(args).find(' '));
        EXPECT_NE(msg.find("zxtool: "), std::string::npos) << args << ": " << msg;
        EXPECT_NE(msg.find(option), std::string::npos) << args << ": " << msg;
        EXPECT_FALSE(fs::exists(outPath("cli_bad.mkv"))) << args;
    }
}

} // namespace
