// The preview player through its public API, headless with SDL's dummy
// sound driver: playback to the end, seeks and steps, edits against the
// converter, sound, bad input and use from several threads.
#include "media_input.h"
#include "player.h"
#include "test_support.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>

using namespace zxtest;

namespace {

using zxh::PlayerPtr;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int64_t kFrameUs = 40000; // every clip here runs at 25 pictures a second

// Headless sound also when the program is run by hand (SDL starts with the
// first player that plays).
[[maybe_unused]] const int kDummySound = ::setenv("SDL_AUDIODRIVER", "dummy", 1);

struct Media {
    std::string clip;      // 3 s testsrc2 + 440 Hz sine, key frame every second
    std::string counter;   // 4 s, flat grey whose level tells the frame number
    std::string counterB;  // the same with B-frames
    std::string blue;      // 2 s flat blue, no sound
    std::string image;     // a red watermark picture
    std::string broken;    // MPEG-TS cut in the middle of a packet
};

const Media &made()
{
    static const Media m = [] {
        Media m;
        m.clip = outPath("clip 'a' [1].mp4");
        m.counter = outPath("counter.mkv");
        m.counterB = outPath("counter b-frames.mp4");
        m.blue = outPath("blue.mp4");
        m.image = outPath("red mark.png");
        m.broken = outPath("broken.ts");
        ffmpegMakes({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=3", "-f", "lavfi", "-i",
                     "sine=frequency=440:sample_rate=44100:duration=3", "-c:v", "libx264", "-preset", "ultrafast", "-g", "25",
                     "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2", "-shortest", m.clip});
        // Luma 16 + 2 x frame number: readable after lossless coding.
        ffmpegMakes({"-f", "lavfi", "-i", "color=c=gray:s=64x48:r=25:d=4,format=yuv420p,geq=lum='16+2*N':cb=128:cr=128",
                     "-c:v", "libx264", "-qp", "0", "-preset", "ultrafast", "-g", "25", "-pix_fmt", "yuv420p", m.counter});
        ffmpegMakes({"-i", m.counter, "-c:v", "libx264", "-qp", "0", "-preset", "ultrafast", "-bf", "3", "-g", "25", m.counterB});
        ffmpegMakes({"-f", "lavfi", "-i", "color=c=blue:s=320x240:r=25:d=2", "-c:v", "libx264", "-preset", "ultrafast",
                     "-pix_fmt", "yuv420p", m.blue});
        ffmpegMakes({"-f", "lavfi", "-i", "color=c=red:s=64x48,format=rgba", "-frames:v", "1", "-update", "1", "-f", "image2",
                     m.image});
        const std::string ts = outPath("whole.ts");
        ffmpegMakes({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=4", "-c:v", "libx264", "-preset", "ultrafast",
                     "-pix_fmt", "yuv420p", ts});
        const std::string bytes = fileBytes(ts);
        std::ofstream(m.broken, std::ios::binary) << bytes.substr(0, bytes.size() / 2 + 77);
        return m;
    }();
    return m;
}

// What the callbacks saw, copied on the player's thread.
struct Seen {
    std::mutex lock;
    std::condition_variable changed;
    int sourceFrames = 0, outputFrames = 0, ends = 0;
    int sourceLuma = -1;                       // centre of the last untouched YUV picture
    uint32_t sourceCentre = 0, outputCentre = 0; // centre pixels of RGB32 pictures
    int sourceW = 0, sourceH = 0, outputW = 0, outputH = 0;
    int outputAlpha = -1;                      // QImage::Format_RGB32 wants it opaque

    template <class Pred> bool waitFor(Pred pred, seconds limit = seconds(20))
    {
        std::unique_lock<std::mutex> g(lock);
        return changed.wait_for(g, limit, pred);
    }
};

uint32_t centreRgb(const ZxFrame *f)
{
    uint32_t px;
    std::memcpy(&px, f->data[0] + size_t(f->height / 2) * f->stride[0] + size_t(f->width / 2) * 4, 4);
    return px & 0xFFFFFF;
}

void onSource(void *ctx, const ZxFrame *f)
{
    auto *s = static_cast<Seen *>(ctx);
    std::lock_guard<std::mutex> g(s->lock);
    ++s->sourceFrames;
    s->sourceW = f->width;
    s->sourceH = f->height;
    if (f->format == ZX_PIXEL_YUV420P)
        s->sourceLuma = f->data[0][size_t(f->height / 2) * f->stride[0] + size_t(f->width / 2)];
    else
        s->sourceCentre = centreRgb(f);
    s->changed.notify_all();
}

void onOutput(void *ctx, const ZxFrame *f)
{
    auto *s = static_cast<Seen *>(ctx);
    std::lock_guard<std::mutex> g(s->lock);
    ++s->outputFrames;
    s->outputCentre = centreRgb(f);
    s->outputAlpha = f->data[0][size_t(f->height / 2) * f->stride[0] + size_t(f->width / 2) * 4 + 3];
    s->outputW = f->width;
    s->outputH = f->height;
    s->changed.notify_all();
}

void onEnd(void *ctx)
{
    auto *s = static_cast<Seen *>(ctx);
    std::lock_guard<std::mutex> g(s->lock);
    ++s->ends;
    s->changed.notify_all();
}

PlayerPtr openPlayer(const std::string &path, Seen *seen, int sourceFormat = ZX_PIXEL_YUV420P, int w = 0, int h = 0)
{
    PlayerPtr p(PlayerCreate(-1));
    EXPECT_EQ(PlayerOpenFile(p.get(), path.c_str(), w, h, 50000), 1) << path << ": " << PlayerLastError(p.get());
    if (seen) {
        PlayerSetFrameCallback(p.get(), ZX_FRAME_SOURCE, sourceFormat, &onSource, seen);
        PlayerSetFrameCallback(p.get(), ZX_FRAME_OUTPUT, ZX_PIXEL_RGB32, &onOutput, seen);
        PlayerSetEndCallback(p.get(), &onEnd, seen);
    }
    return p;
}

// Waits until the player (the handle, or the engine's own player) is idle.
template <class Busy> bool settle(Busy busy)
{
    const auto deadline = std::chrono::steady_clock::now() + seconds(20);
    while (busy())
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        else
            std::this_thread::sleep_for(milliseconds(2));
    return true;
}

bool settle(ZxPlayer *p) { return settle([p] { return PlayerIsBusy(p) != 0; }); }

int frameOfLuma(int luma) { return (luma - 16 + 1) / 2; }

// A grabbed BMP, given back when it goes.
using Grab = std::unique_ptr<const unsigned char, std::function<void(const unsigned char *)>>;

Grab grab(ZxPlayer *p, int *bytes)
{
    return Grab(PlayerGrabFrame(p, bytes), [p](const unsigned char *b) {
        if (b)
            PlayerReleaseFrame(p, b);
    });
}

bool channelClose(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

} // namespace

TEST(PlayerTest, PlaysEveryFrameToTheEnd)
{
    Seen seen;
    PlayerPtr p = openPlayer(made().clip, &seen);
    EXPECT_EQ(PlayerIsReady(p.get()), 0);
    EXPECT_EQ(PlayerHasAudio(p.get()), 1);
    EXPECT_EQ(PlayerSourceWidth(p.get()), 320);
    EXPECT_NEAR(double(PlayerDuration(p.get())), 3e6, 1e5);
    ASSERT_EQ(PlayerPlay(p.get()), 1);
    EXPECT_EQ(PlayerIsReady(p.get()), 1);
    ASSERT_TRUE(seen.waitFor([&] { return seen.ends > 0; })) << "no end callback";
    EXPECT_EQ(PlayerIsEnd(p.get()), 1);
    int64_t shown = 0, dropped = 0, offset = 0;
    PlayerStats(p.get(), &shown, &dropped, &offset);
    const int frames = intOf(ffprobe(made().clip).first("video"), "nb_read_frames");
    const int expected = frames > 0 ? frames : 75;
    // The first picture is shown once on start, then again as playback begins.
    EXPECT_GE(shown + dropped, expected);
    EXPECT_LE(shown + dropped, expected + 1);
    std::lock_guard<std::mutex> g(seen.lock);
    EXPECT_EQ(seen.sourceFrames, shown);
    EXPECT_EQ(seen.outputFrames, shown);
    EXPECT_EQ(seen.ends, 1);
    EXPECT_GE(PlayerPosition(p.get()), 3000000 - 2 * kFrameUs);
}

TEST(PlayerTest, SeeksAndStepsLandOnTheirFrames)
{
    Seen seen;
    PlayerPtr p = openPlayer(made().counter, &seen);
    ZxPlayer *pl = p.get();
    ASSERT_EQ(PlayerStart(pl), 1);
    ASSERT_TRUE(settle(pl));
    auto frameShown = [&] {
        std::lock_guard<std::mutex> g(seen.lock);
        return frameOfLuma(seen.sourceLuma);
    };
    EXPECT_EQ(frameShown(), 0);
    // Targets inside a frame's time, on its first microsecond, and in the GOP
    // before a key frame (frame 49, decoded from the key frame at 25).
    for (const auto &[target, frame] : std::vector<std::pair<int64_t, int>>{{2010000, 50}, {1999999, 49}, {1480000, 37}, {0, 0}, {3990000, 99}}) {
        ASSERT_EQ(PlayerSeek(pl, target), 1);
        ASSERT_TRUE(settle(pl));
        EXPECT_EQ(frameShown(), frame) << "seek to " << target;
        EXPECT_EQ(PlayerPosition(pl), frame * kFrameUs);
    }
    PlayerSeek(pl, 2000000);
    ASSERT_TRUE(settle(pl));
    const int64_t at = PlayerPosition(pl);
    ASSERT_EQ(PlayerStepForward(pl), 1);
    ASSERT_TRUE(settle(pl));
    EXPECT_EQ(PlayerPosition(pl), at + kFrameUs);
    EXPECT_EQ(frameShown(), 51);
    for (int back : {50, 49, 48}) {
        ASSERT_EQ(PlayerStepBackward(pl), 1);
        ASSERT_TRUE(settle(pl));
        EXPECT_EQ(frameShown(), back);
        EXPECT_EQ(PlayerPosition(pl), back * kFrameUs);
    }
    // Playing on after steps carries on from the frame shown.
    ASSERT_EQ(PlayerPlay(pl), 1);
    ASSERT_TRUE(seen.waitFor([&] { return frameOfLuma(seen.sourceLuma) >= 55; }));
    PlayerPause(pl);
    EXPECT_GE(PlayerPosition(pl), 55 * kFrameUs);
}

TEST(PlayerTest, DragForwardDecodesOnWithinTheGroupOfPictures)
{
    // The engine's player itself, for its count of decoded pictures.
    for (const std::string &clip : {made().counter, made().counterB}) {
    SCOPED_TRACE(clip);
    Seen seen;
    zx::Player pl;
    ASSERT_TRUE(pl.open(std::make_unique<zx::FileReader>(clip), 0, 0, 50000)) << pl.lastError();
    pl.setFrameCallback(ZX_FRAME_SOURCE, ZX_PIXEL_YUV420P, &onSource, &seen);
    ASSERT_TRUE(pl.start());
    auto seekTo = [&](int frame) {
        pl.seek(frame * kFrameUs + kFrameUs / 2);
        settle([&] { return pl.isBusy(); });
        std::lock_guard<std::mutex> g(seen.lock);
        return frameOfLuma(seen.sourceLuma);
    };
    ASSERT_EQ(seekTo(26), 26);
    // Small steps forward inside the group of pictures from frame 25 to 49:
    // each decodes only the pictures between, not the group from its start.
    const int64_t before = pl.decodedPictures();
    for (int frame = 28; frame <= 48; frame += 2)
        EXPECT_EQ(seekTo(frame), frame);
    EXPECT_LT(pl.decodedPictures() - before, 40) << "the drag decoded the group from its key frame every time";
    // Past the next key frame, and back: still the picture of the target.
    for (int frame : {53, 51, 40, 47})
        EXPECT_EQ(seekTo(frame), frame);
    ASSERT_TRUE(pl.step(true));
    settle([&] { return pl.isBusy(); });
    EXPECT_EQ(pl.position(), 48 * kFrameUs);
    }
}

TEST(PlayerTest, EditedPictureMatchesTheConverter)
{
    Seen seen;
    // A red image watermark over the middle of a blue picture, output 480 x 360.
    ParamsPtr edits(ParamsCreate());
    SetWatermarkImage(edits.get(), made().image.c_str());
    SetWatermarkImagePos(edits.get(), 0.45, 0.45);
    {
        PlayerPtr p = openPlayer(made().blue, &seen, ZX_PIXEL_RGB32, 480, 360);
        ASSERT_EQ(PlayerSetParams(p.get(), edits.get()), 1);
        // The box the view hit-tests covers the centre, where the mark is drawn.
        double x = 0, y = 0, w = 0, h = 0;
        ASSERT_EQ(PlayerWatermarkImageBox(p.get(), &x, &y, &w, &h), 1);
        EXPECT_GT(0.5, x);
        EXPECT_LT(0.5, x + w);
        ASSERT_EQ(PlayerStart(p.get()), 1);
        ASSERT_TRUE(settle(p.get()));
        ASSERT_TRUE(seen.waitFor([&] { return seen.outputFrames > 0; }));
        std::lock_guard<std::mutex> g(seen.lock);
        EXPECT_TRUE(channelClose(seen.sourceCentre, 0x0000FF, 40)) << std::hex << seen.sourceCentre;
        EXPECT_TRUE(channelClose(seen.outputCentre, 0xFF0000, 40)) << std::hex << seen.outputCentre;
        EXPECT_EQ(seen.outputAlpha, 0xFF);
        EXPECT_EQ(seen.outputW, 480);
        EXPECT_EQ(seen.outputH, 360);
    }

    // Blue 4:3 fitted into a 16:9 frame: the effects brighten the picture,
    // never the black borders beside it.
    {
        ParamsPtr brighter(ParamsCreate());
        SetBrightness(brighter.get(), 50);
        PlayerPtr p = openPlayer(made().blue, nullptr, ZX_PIXEL_RGB32, 432, 240);
        ASSERT_EQ(PlayerSetParams(p.get(), brighter.get()), 1);
        int bytes = 0;
        const Grab bmp = grab(p.get(), &bytes);
        ASSERT_NE(bmp, nullptr);
        ASSERT_EQ(bytes, 54 + 432 * 3 * 240);
        const unsigned char *row = bmp.get() + 54 + size_t(120) * 432 * 3;
        for (int x : {8, 423})
            for (int c = 0; c < 3; ++c)
                EXPECT_LT(row[x * 3 + c], 12) << "border pixel " << x << " channel " << c;
        EXPECT_GT(row[216 * 3] + row[216 * 3 + 1], 90) << "the picture's blue got no lighter";
    }

    // A moving picture with a text watermark and two effects: the grab at
    // 1 s against the converter's frame at 1 s, decoded by ffmpeg.
    ParamsPtr set = makeParams(28, 86018, 320, 240);
    SetWatermarkText(set.get(), "PREVIEW 42");
    SetWatermarkTextPos(set.get(), 0.1, 0.6);
    SetBrightness(set.get(), 40);
    SetHue(set.get(), 90);
    SetVideoQuality(set.get(), 95);
    PlayerPtr p = openPlayer(made().clip, nullptr, ZX_PIXEL_RGB32, 320, 240);
    ASSERT_EQ(PlayerSetParams(p.get(), set.get()), 1);
    PlayerSeek(p.get(), 1000000);
    int bytes = 0;
    const Grab grabbed = grab(p.get(), &bytes);
    const unsigned char *bmp = grabbed.get();
    ASSERT_NE(bmp, nullptr);
    ASSERT_EQ(bytes, 54 + 320 * 3 * 240);   // the header itself is checked in the unit tests

    const std::string out = outPath("converted.mp4");
    JobPtr job(JobCreate(-1));
    ASSERT_EQ(JobOpenFile(job.get(), made().clip.c_str(), out.c_str(), "mp4", set.get()), 1) << JobLastError(job.get(), nullptr);
    ASSERT_EQ(JobStart(job.get()), 1);
    ASSERT_EQ(waitJob(job.get()), ZX_STATUS_FINISHED) << JobLastError(job.get(), nullptr);
    auto decoded = [&](const char *at) {
        return run("ffmpeg -v error -ss " + std::string(at) + " -i " + shellQuote(out)
                   + " -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
    };
    auto meanDiff = [&](const std::string &bgr) {
        if (bgr.size() != size_t(320 * 240 * 3))
            return 255.0;
        double sum = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320 * 3; ++x)
                sum += std::abs(int(uint8_t(bgr[size_t(y) * 960 + x])) - int(bmp[54 + size_t(239 - y) * 960 + x]));
        return sum / (320 * 240 * 3);
    };
    const double same = meanDiff(decoded("1.0")), later = meanDiff(decoded("1.4"));
    EXPECT_LT(same, 6.0);
    EXPECT_LT(same * 2, later) << "the grab is not clearly the frame at 1 s";
}

TEST(PlayerTest, VolumeScalesTheSoundAndItsWaveform)
{
    Seen seen;
    PlayerPtr p = openPlayer(media("audio_only.wav"), &seen);
    ZxPlayer *pl = p.get();
    EXPECT_EQ(PlayerHasVideo(pl), 0);
    EXPECT_EQ(PlayerGrabFrame(pl, nullptr), nullptr);
    // The peak of the blocks played from now on.
    auto measure = [&] {
        // Let the sound queued before a change play out.
        std::this_thread::sleep_for(milliseconds(400));
        int peak = 0;
        for (int polls = 0; polls < 20; ++polls) {
            const int16_t *block = nullptr;
            int bytes = 0;
            if (PlayerAudioBlock(pl, &block, &bytes)) {
                for (int i = 0; i < bytes / 2; ++i)
                    peak = std::max(peak, std::abs(int(block[i])));
                PlayerReleaseAudioBlock(pl);
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        return peak;
    };
    // The tone's own peak, as ffmpeg decodes it.
    const std::string raw = run("ffmpeg -v error -i " + shellQuote(media("audio_only.wav")) + " -f s16le -");
    int filePeak = 0;
    for (size_t i = 0; i + 1 < raw.size(); i += 2)
        filePeak = std::max(filePeak, std::abs(int(int16_t(uint8_t(raw[i]) | uint8_t(raw[i + 1]) << 8))));
    ASSERT_GT(filePeak, 1000);
    ASSERT_EQ(PlayerPlay(pl), 1);
    const int full = measure();
    EXPECT_NEAR(full, filePeak, filePeak / 20);
    EXPECT_EQ(PlayerSetVolume(pl, 50), 1);
    const int half = measure();
    EXPECT_NEAR(half, filePeak / 2, filePeak / 20);
    ParamsPtr set(ParamsCreate());
    SetVolume(set.get(), 200);
    PlayerSetParams(pl, set.get());
    EXPECT_NEAR(measure(), filePeak, filePeak / 20) << "the effect volume multiplies the player volume";
    EXPECT_EQ(PlayerSetVolume(pl, 0), 1);
    EXPECT_EQ(measure(), 0);
    EXPECT_EQ(PlayerSetVolume(pl, 101), 0);
    ASSERT_TRUE(seen.waitFor([&] { return seen.ends > 0; }));
    EXPECT_GE(PlayerPosition(pl), 2900000);
}

TEST(PlayerTest, BadInputFailsOrEnds)
{
    PlayerPtr p(PlayerCreate(-1));
    for (const std::string &name : {std::string("zero.mp4"), std::string("random.mp4"), std::string("truncated.mp4"),
                                    std::string("no such file.mp4")}) {
        const std::string path = media(name);
        if (!PlayerOpenFile(p.get(), path.c_str(), 0, 0, 50000)) {
            EXPECT_STRNE(PlayerLastError(p.get()), "") << name;
            EXPECT_EQ(PlayerPlay(p.get()), 0);
            continue;
        }
        Seen seen;
        PlayerSetEndCallback(p.get(), &onEnd, &seen);
        PlayerPlay(p.get());
        EXPECT_TRUE(seen.waitFor([&] { return seen.ends > 0; }, seconds(30))) << name << " neither failed nor ended";
        PlayerClose(p.get());
    }
    EXPECT_EQ(PlayerOpenDvd(p.get(), media("empty_dir").c_str(), 0, 0, 0, 0, 50000), 0);

    // A stream that breaks off in the middle plays up to the break and ends.
    Seen seen;
    PlayerPtr broken = openPlayer(made().broken, &seen);
    ASSERT_EQ(PlayerPlay(broken.get()), 1);
    ASSERT_TRUE(seen.waitFor([&] { return seen.ends > 0; }, seconds(30)));
    EXPECT_GT(PlayerPosition(broken.get()), 1000000);

    // Odd names and DVD titles open; open and close many times, with
    // playback under way (the ASan stage checks that nothing leaks).
    const std::string odd = media("name with spaces [1] \xC3\xBC.mp4");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(PlayerOpenFile(p.get(), odd.c_str(), 0, 0, 50000), 1) << PlayerLastError(p.get());
        if (i % 2)
            PlayerPlay(p.get());
        if (i % 10 == 0)
            std::this_thread::sleep_for(milliseconds(30));
        PlayerClose(p.get());
    }
    // A phone video stored sideways shows upright in both pictures.
    {
        Seen seen;
        PlayerPtr turned = openPlayer(media("rotated_90.mp4"), &seen);
        ASSERT_EQ(PlayerStart(turned.get()), 1);
        ASSERT_TRUE(seen.waitFor([&] { return seen.sourceFrames > 0 && seen.outputFrames > 0; }));
        std::lock_guard<std::mutex> g(seen.lock);
        EXPECT_EQ(seen.sourceW, 240);
        EXPECT_EQ(seen.sourceH, 320);
        EXPECT_EQ(seen.outputW, 240);
        EXPECT_EQ(seen.outputH, 320);
    }
    ASSERT_EQ(PlayerOpenDvd(p.get(), media("dvd").c_str(), 1, 0, 0, 0, 50000), 1) << PlayerLastError(p.get());
    EXPECT_NEAR(double(PlayerDuration(p.get())), 2e6, 3e5);
    int num = 0, den = 0;
    EXPECT_EQ(PlayerDisplayAspect(p.get(), &num, &den), 1);
    EXPECT_EQ(num * 3, den * 4);
    ASSERT_EQ(PlayerSeek(p.get(), 1000000), 1);
    int bytes = 0;
    EXPECT_NE(grab(p.get(), &bytes), nullptr);
}

TEST(PlayerTest, ControlFromTwoThreads)
{
    Seen seen;
    PlayerPtr p = openPlayer(made().clip, &seen, ZX_PIXEL_RGB32);
    ZxPlayer *pl = p.get();
    ASSERT_EQ(PlayerPlay(pl), 1);
    std::atomic<bool> stop{false};
    std::thread controller([&] {
        for (int i = 0; !stop; ++i) {
            PlayerSeek(pl, (i * 370000) % 3000000);
            if (i % 3 == 0)
                PlayerPause(pl);
            else if (i % 3 == 1)
                PlayerStepBackward(pl);
            else
                PlayerPlay(pl);
            std::this_thread::sleep_for(milliseconds(15));
        }
    });
    std::thread editor([&] {
        ParamsPtr set(ParamsCreate());
        for (int i = 0; !stop; ++i) {
            SetBrightness(set.get(), (i % 5) * 20);
            SetWatermarkText(set.get(), i % 2 ? "A" : "BB");
            PlayerSetParams(pl, set.get());
            PlayerRedraw(pl);
            PlayerSetVolume(pl, i % 100);
            (void)PlayerPosition(pl);
            const int16_t *block = nullptr;
            int bytes = 0;
            if (PlayerAudioBlock(pl, &block, &bytes))
                PlayerReleaseAudioBlock(pl);
            std::this_thread::sleep_for(milliseconds(10));
        }
    });
    std::this_thread::sleep_for(milliseconds(1500));
    stop = true;
    controller.join();
    editor.join();
    // Still answering, then closed from another thread while playing.
    PlayerSeek(pl, 500000);
    ASSERT_TRUE(settle(pl));
    PlayerPlay(pl);
    std::thread closer([&] { PlayerClose(pl); });
    closer.join();
    const int frames = [&] {
        std::lock_guard<std::mutex> g(seen.lock);
        return seen.outputFrames;
    }();
    std::this_thread::sleep_for(milliseconds(100));
    std::lock_guard<std::mutex> g(seen.lock);
    EXPECT_EQ(seen.outputFrames, frames) << "a callback ran after the close";
    EXPECT_GT(frames, 0);
}

TEST(PlayerTest, ZxtoolPreviewAndPlay)
{
    const std::string bmp = outPath("preview -1 [x].bmp");
    ASSERT_EQ(spawn({ZXTOOL_PATH, "preview", made().clip, "1000000", bmp, "--size", "480x360", "--text", "Hi",
                     "--hue", "90"}), 0);
    const Probe shot = ffprobe(bmp);
    EXPECT_EQ(strOf(shot.first("video"), "codec_name"), "bmp");
    EXPECT_EQ(intOf(shot.first("video"), "width"), 480);
    EXPECT_EQ(intOf(shot.first("video"), "height"), 360);
    EXPECT_EQ(spawn({ZXTOOL_PATH, "preview", media("random.mp4"), "0", bmp}), 1);
    EXPECT_EQ(spawn({ZXTOOL_PATH, "preview", made().clip, "soon", bmp}), 2);

    const std::string json = outPath("play.json");
    ASSERT_EQ(spawn({ZXTOOL_PATH, "play", made().clip, "--seconds", "1", "--brightness", "20"}, "", json), 0);
    const std::string text = fileBytes(json);
    auto number = [&](const std::string &key) {
        const size_t at = text.find("\"" + key + "\": ");
        return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size() + 4);
    };
    EXPECT_GT(number("frames_delivered"), 10) << text;
    EXPECT_DOUBLE_EQ(number("frame_rate"), 25.0) << text;
    for (const char *key : {"frames_dropped", "seek_ms", "step_back_ms"})
        EXPECT_GE(number(key), 0) << key << " missing in " << text;
}

// A seek asked (and carried out by the read thread) while the picture of the
// previous one is still being delivered, paused: the new target must still be
// shown. Holding the callback stands in for a picture thread that a busy
// machine keeps from running.
TEST(PlayerTest, SeekAskedWhileAPictureIsDeliveredIsCarriedOut)
{
    struct Held : Seen {
        bool hold = false, inside = false, release = false;
    } held;
    PlayerPtr p(PlayerCreate(-1));
    ZxPlayer *pl = p.get();
    ASSERT_EQ(PlayerOpenFile(pl, made().counter.c_str(), 0, 0, 50000), 1) << PlayerLastError(pl);
    PlayerSetFrameCallback(pl, ZX_FRAME_SOURCE, ZX_PIXEL_YUV420P, [](void *ctx, const ZxFrame *f) {
        onSource(ctx, f);
        auto *h = static_cast<Held *>(ctx);
        std::unique_lock<std::mutex> g(h->lock);
        if (!h->hold)
            return;
        h->hold = false;
        h->inside = true;
        h->changed.notify_all();
        h->changed.wait_for(g, seconds(10), [h] { return h->release; });
    }, &held);
    ASSERT_EQ(PlayerStart(pl), 1);
    ASSERT_TRUE(settle(pl));
    // The held picture is let go at once, soon, and well after the read
    // thread has carried out the second seek.
    int round = 0;
    for (const auto [first, second] : std::vector<std::pair<int, int>>{{30, 70}, {70, 12}, {12, 55}}) {
        {
            std::lock_guard<std::mutex> g(held.lock);
            held.hold = true;
            held.inside = held.release = false;
        }
        ASSERT_EQ(PlayerSeek(pl, first * kFrameUs), 1);
        ASSERT_TRUE(held.waitFor([&] { return held.inside; }, seconds(10))) << "no picture for frame " << first;
        ASSERT_EQ(PlayerSeek(pl, second * kFrameUs), 1);
        std::this_thread::sleep_for(milliseconds(std::vector<int>{0, 2, 150}[size_t(round++)]));
        {
            std::lock_guard<std::mutex> g(held.lock);
            held.release = true;
            held.changed.notify_all();
        }
        ASSERT_TRUE(held.waitFor([&] { return frameOfLuma(held.sourceLuma) == second; }, seconds(10)))
            << "the seek to frame " << second << " asked during frame " << first << " was not carried out; busy "
            << PlayerIsBusy(pl);
        EXPECT_TRUE(settle(pl));
        EXPECT_EQ(PlayerPosition(pl), second * kFrameUs);
    }
}
