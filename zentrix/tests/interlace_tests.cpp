// Interlaced and telecined sources: judged by ffmpeg's own idet, psnr and
// framemd5, not by the engine under test.
#include "test_support.h"

#include <regex>

using namespace zxtest;

namespace {

std::string ffmpeg(const std::string &args, int *rc = nullptr)
{
    return run("timeout 120 ffmpeg -nostdin -hide_banner " + args + " 2>&1", rc);
}

// A moving picture as a camera gives it: testsrc2 is softened a little, since
// its one-pixel lines read as combing to idet even when progressive.
std::string makeMedia(const std::string &name, const std::string &args)
{
    const std::string path = outDir() + "/" + name;
    if (!fs::exists(path)) {
        int rc = -1;
        const std::string log = ffmpeg(args + " -y " + shellQuote(path + ".part.") + name.substr(name.rfind('.') + 1), &rc);
        EXPECT_EQ(rc, 0) << log;
        fs::rename(path + ".part." + name.substr(name.rfind('.') + 1), path);
    }
    return path;
}

// Top field first, moving: each frame holds two moments.
std::string camera(const char *size)
{
    return std::string("testsrc2=size=") + size + ":rate=50:d=2,gblur=sigma=1,interlace=scan=tff";
}

// A PAL DVD's MPEG-2 program stream, 4:3 so that its title keeps its 576
// lines (a 16:9 one is scaled to 432, which blends the fields into ghosts
// when not deinterlaced, and the "off" control could not tell).
std::string dvdMedia()
{
    return makeMedia("dvd_576i.mpg", "-f lavfi -i " + shellQuote(camera("720x576"))
                                         + " -f lavfi -i sine=sample_rate=48000:d=2 -target pal-dvd -aspect 4:3 -flags +ilme+ildct -top 1");
}

std::string progressiveMedia()
{
    return makeMedia("progressive.mp4", "-f lavfi -i testsrc2=size=720x576:rate=25:d=2,gblur=sigma=1 "
                                        "-c:v libx264 -preset ultrafast");
}

// The program stream authored as title 0 of a DVD folder ("" without dvdauthor).
std::string dvdFolder()
{
    const std::string dir = outDir() + "/dvd_576i";
    if (!fs::exists(dir + "/VIDEO_TS/VIDEO_TS.IFO")) {
        const std::string src = dvdMedia();
        fs::remove_all(dir);
        run("VIDEO_FORMAT=PAL timeout 60 dvdauthor -o " + shellQuote(dir) + " -t " + shellQuote(src)
            + " >/dev/null 2>&1 && VIDEO_FORMAT=PAL timeout 60 dvdauthor -o " + shellQuote(dir) + " -T >/dev/null 2>&1");
    }
    return fs::exists(dir + "/VIDEO_TS/VIDEO_TS.IFO") ? dir : std::string();
}

std::string convert(const std::string &src, const std::string &out, const char *mode, int *rc,
                    const std::string &more = "")
{
    return run("timeout 120 " + shellQuote(ZXTOOL_PATH) + " convert " + shellQuote(src) + " " + shellQuote(out)
                   + " --quiet --deinterlace " + mode + more + " 2>&1",
               rc);
}

// Share of frames idet's multi-frame detection calls interlaced.
double interlacedShare(const std::string &file)
{
    const std::string log = ffmpeg("-i " + shellQuote(file) + " -an -vf idet -f null -");
    std::smatch m;
    if (!std::regex_search(log, m, std::regex(R"(Multi frame detection: TFF:\s*(\d+) BFF:\s*(\d+) Progressive:\s*(\d+))"))) {
        ADD_FAILURE() << log;
        return -1;
    }
    const double combed = std::stod(m[1]) + std::stod(m[2]), total = combed + std::stod(m[3]);
    return total > 0 ? combed / total : -1;
}

std::string videoEntry(const std::string &file, const char *entry)
{
    std::string v = run(std::string("timeout 60 ffprobe -v error -select_streams v:0 -show_entries stream=") + entry
                        + " -of csv=p=0 " + shellQuote(file) + " 2>&1");
    return v.substr(0, v.find_first_of(",\n"));
}

int frameCount(const std::string &file, const std::string &filter = "")
{
    const std::string log = run("timeout 120 ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=nb_read_frames -of csv=p=0 -f lavfi "
                                + shellQuote("movie=" + file + (filter.empty() ? "" : "," + filter)) + " 2>&1");
    return std::atoi(log.c_str());
}

TEST(Interlace, InterlacedSourcesComeOutProgressive)
{
    struct Row { std::string name, src, more; } rows[] = {
        {"tv_1080i.ts", makeMedia("tv_1080i.ts", "-f lavfi -i " + shellQuote(camera("1920x1080"))
                                                     + " -c:v libx264 -preset ultrafast -flags +ildct+ilme -x264opts tff=1"
                                                       " -f mpegts")},
        {"dvd_576i.mpg", dvdMedia()},
        {"dvd title", dvdFolder(), " --dvd-title 0"},
    };
    for (const Row &r : rows) {
        if (r.src.empty()) {
            std::printf("note: no dvdauthor, %s not tried\n", r.name.c_str());
            continue;
        }
        const std::string src = r.more.empty() ? r.src : dvdMedia();
        ASSERT_GT(interlacedShare(src), 0.9) << r.name << ": the source is not combed";
        int rc = -1;
        const std::string out = outPath(r.name + ".mp4");
        convert(r.src, out, "auto", &rc, r.more);
        EXPECT_EQ(rc, 0) << r.name;
        EXPECT_LT(interlacedShare(out), 0.05) << r.name;
        EXPECT_EQ(videoEntry(out, "field_order"), "progressive") << r.name;
        // Off leaves the fields as they were: the check above can fail.
        const std::string kept = outPath(r.name + ".off.mp4");
        convert(r.src, kept, "off", &rc, r.more);
        EXPECT_GT(interlacedShare(kept), 0.9) << r.name;
    }
    // A merge decides for each source: the interlaced one is mended, the
    // progressive one after it left alone.
    int rc = -1;
    const std::string merged = outPath("merged.mp4");
    run("timeout 120 " + shellQuote(ZXTOOL_PATH) + " merge " + shellQuote(merged) + " " + shellQuote(dvdMedia()) + " "
            + shellQuote(progressiveMedia()) + " --quiet 2>&1",
        &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_LT(interlacedShare(merged), 0.05);
}

// Line-pair differences against those of lines two apart over a picture w
// wide: near 0.5 for a progressive picture, above 1 where moving edges comb.
double combing(const std::vector<uint8_t> &pic, int w)
{
    double adjacent = 0, apart = 0;
    for (size_t i = 0; i + 2 * size_t(w) < pic.size(); ++i) {
        adjacent += std::abs(pic[i] - pic[i + w]);
        apart += std::abs(pic[i] - pic[i + 2 * w]);
    }
    return apart > 0 ? adjacent / apart : -1;
}

TEST(Interlace, PreviewShowsNoCombing)
{
    const std::string src = dvdMedia();
    double comb[2] = {0, 0};
    const char *modes[] = {"auto", "off"};
    for (int i = 0; i < 2; ++i) {
        const std::string bmp = outPath(std::string("preview_") + modes[i] + ".bmp");
        int rc = -1;
        run("timeout 60 " + shellQuote(ZXTOOL_PATH) + " preview " + shellQuote(src) + " 1000000 " + shellQuote(bmp)
                + " --deinterlace " + modes[i] + " 2>&1",
            &rc);
        ASSERT_EQ(rc, 0) << modes[i];
        comb[i] = combing(decodedFrame(bmp, "scale=720:576"), 720);
    }
    EXPECT_LT(comb[0], 0.9);
    EXPECT_GT(comb[1], 1.1);
}

TEST(Interlace, TelecinedFilmComesBackAtItsOwnFrames)
{
    const std::string film = "testsrc2=size=720x480:rate=24000/1001:d=6,gblur=sigma=1";
    const std::string src = makeMedia("film_2997.mpg", "-f lavfi -i " + shellQuote(film + ",telecine=pattern=23")
                                                           + " -c:v mpeg2video -q:v 3 -flags +ilme+ildct -top 1");
    int rc = -1;
    const std::string out = outPath("film.mp4");
    convert(src, out, "auto", &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(videoEntry(out, "avg_frame_rate"), "24000/1001");
    const int frames = frameCount(out);
    EXPECT_NEAR(frames, 144, 2);
    // No frame is there twice ...
    EXPECT_EQ(frameCount(out, "mpdecimate"), frames);
    // ... and each is the film frame of its place, whole, not blended from two.
    const std::string stats = outPath("film_psnr.txt");
    ffmpeg("-i " + shellQuote(out) + " -f lavfi -i " + shellQuote(film)
           + " -lavfi " + shellQuote("[0:v]setpts=N*1001/24000/TB[a];[1:v]setpts=N*1001/24000/TB[b];[a][b]psnr=stats_file="
                                     + stats) + " -f null -");
    std::ifstream in(stats);
    int matched = 0, total = 0;
    for (std::string line; std::getline(in, line); ++total) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex(R"(psnr_avg:([0-9.]+|inf))")) && (m[1] == "inf" || std::stod(m[1]) > 35))
            ++matched;
    }
    EXPECT_GE(total, 142);
    EXPECT_GE(matched, total * 95 / 100) << matched << " of " << total << " frames match the film";
}

TEST(Interlace, ProgressiveSourcesPassUntouched)
{
    const std::string src = progressiveMedia();
    std::string md5[2];
    const char *modes[] = {"auto", "off"};
    for (int i = 0; i < 2; ++i) {
        int rc = -1;
        const std::string out = outPath(std::string("progressive_") + modes[i] + ".mp4");
        convert(src, out, modes[i], &rc);
        EXPECT_EQ(rc, 0);
        md5[i] = run("timeout 60 ffmpeg -nostdin -v error -i " + shellQuote(out) + " -an -f framemd5 - 2>/dev/null");
    }
    EXPECT_GT(md5[0].size(), 1000u);
    EXPECT_EQ(md5[0], md5[1]);
}

} // namespace
