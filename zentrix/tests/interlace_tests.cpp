// Interlaced and telecined sources, judged by ffmpeg's own idet, psnr and
// framemd5 rather than by the engine under test.
#include "interlace.h"
#include "media_input.h"
#include "test_support.h"

#include <regex>

using namespace zxtest;

namespace {

std::string ffmpeg(const std::string &args) { return run("timeout 120 ffmpeg -nostdin -hide_banner " + args + " 2>&1"); }

std::string zxtool(const std::string &command, const std::string &args, int *rc)
{
    return zxtest::zxtool(command + " " + args + " --quiet", rc);
}

// testsrc2 is softened a little, as a camera's picture is: idet reads its
// one-pixel lines as combing even when progressive.
std::string makeMedia(const std::string &name, const std::string &args)
{
    const std::string path = outDir() + "/" + name;
    if (!fs::exists(path))
        ffmpeg(args + " " + shellQuote(path));
    return path;
}

// Moving, top field first: each frame holds two moments.
std::string camera(const char *size)
{
    return shellQuote(std::string("testsrc2=size=") + size + ":rate=50:d=2,gblur=sigma=1,interlace=scan=tff");
}

// PAL DVD video, 4:3 so that it keeps its 576 lines (scaled to fewer, the
// fields would blend into ghosts without the deinterlacer, not comb).
std::string dvdMedia()
{
    return makeMedia("dvd_576i.mpg", "-f lavfi -i " + camera("720x576") + " -f lavfi -i sine=d=2 -target pal-dvd "
                                     "-aspect 4:3 -flags +ilme+ildct -top 1");
}

std::string progressiveMedia()
{
    return makeMedia("progressive.mp4", "-f lavfi -i testsrc2=size=720x576:rate=25:d=2,gblur=sigma=1 -c:v libx264");
}

// Share of the frames idet calls interlaced (multi-frame detection).
double interlacedShare(const std::string &file)
{
    std::smatch m;
    const std::string log = ffmpeg("-i " + shellQuote(file) + " -an -vf idet -f null -");
    if (!std::regex_search(log, m, std::regex(R"(Multi frame detection: TFF:\s*(\d+) BFF:\s*(\d+) Progressive:\s*(\d+))")))
        return -1;
    const double combed = std::stod(m[1]) + std::stod(m[2]);
    return combed / std::max(1.0, combed + std::stod(m[3]));
}

std::string videoEntry(const std::string &file, const char *entry)
{
    const std::string v = run(std::string("ffprobe -v error -select_streams v:0 -show_entries stream=") + entry
                              + " -of csv=p=0 " + shellQuote(file) + " 2>&1");
    return v.substr(0, v.find_first_of(",\n"));
}

TEST(Interlace, InterlacedSourcesComeOutProgressive)
{
    const std::string dvd = outDir() + "/dvd";
    run("export VIDEO_FORMAT=PAL; rm -rf " + shellQuote(dvd) + "; timeout 60 dvdauthor -o " + shellQuote(dvd) + " -t "
        + shellQuote(dvdMedia()) + " && timeout 60 dvdauthor -o " + shellQuote(dvd) + " -T");
    struct Row { std::string src, args; } rows[] = {
        {makeMedia("tv_1080i.ts", "-f lavfi -i " + camera("1920x1080") + " -c:v libx264 -preset ultrafast "
                                  "-flags +ildct+ilme -x264opts tff=1"), ""},
        {dvdMedia(), " --dvd-title 0"},  // a DVD title: the same program stream, authored
    };
    for (const Row &r : rows) {
        ASSERT_GT(interlacedShare(r.src), 0.9) << r.src << ": the source is not combed";
        const std::string in = shellQuote(r.args.empty() ? r.src : dvd) + r.args;
        const std::string out = outPath("out.mp4"), kept = outPath("kept.mp4");
        int rc = -1, keptRc = -1;
        zxtool("convert", in + " " + shellQuote(out) + " --deinterlace auto", &rc);
        zxtool("convert", in + " " + shellQuote(kept) + " --deinterlace off", &keptRc);
        EXPECT_EQ(rc + keptRc, 0) << in;
        EXPECT_LT(interlacedShare(out), 0.05) << in;
        EXPECT_EQ(videoEntry(out, "field_order"), "progressive") << in;
        EXPECT_GT(interlacedShare(kept), 0.9) << in << ": off must keep the fields";
    }
    // A merge decides per source: the interlaced one is mended.
    int rc = -1;
    const std::string merged = outPath("merged.mp4");
    zxtool("merge", shellQuote(merged) + " " + shellQuote(dvdMedia()) + " " + shellQuote(progressiveMedia()), &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_LT(interlacedShare(merged), 0.05);
}

TEST(Interlace, PreviewShowsNoCombing)
{
    double comb[2] = {0, 0};  // line-pair differences over those of lines two apart
    for (int i = 0; i < 2; ++i) {
        const std::string bmp = outPath("preview.bmp");
        int rc = -1;
        zxtool("preview", shellQuote(dvdMedia()) + " 1000000 " + shellQuote(bmp) + (i ? " --deinterlace off" : ""), &rc);
        ASSERT_EQ(rc, 0);
        const std::vector<uint8_t> pic = decodedFrame(bmp, "scale=720:576");
        double adjacent = 0, apart = 0;
        for (size_t p = 0; p + 1440 < pic.size(); ++p) {
            adjacent += std::abs(pic[p] - pic[p + 720]);
            apart += std::abs(pic[p] - pic[p + 1440]);
        }
        comb[i] = adjacent / std::max(1.0, apart);
    }
    EXPECT_LT(comb[0], 0.9);  // about 0.5 when progressive
    EXPECT_GT(comb[1], 1.1);
}

TEST(Interlace, TelecinedFilmComesBackAtItsOwnFrames)
{
    const std::string film = "testsrc2=size=720x480:rate=24000/1001:d=6,gblur=sigma=1";
    const std::string src = makeMedia("film_2997.mpg", "-f lavfi -i " + shellQuote(film + ",telecine=pattern=23")
                                                           + " -c:v mpeg2video -q:v 3 -flags +ilme+ildct -top 1");
    int rc = -1;
    const std::string out = outPath("film.mp4"), stats = outPath("film_psnr.txt");
    zxtool("convert", shellQuote(src) + " " + shellQuote(out), &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(videoEntry(out, "avg_frame_rate"), "24000/1001");
    // Each frame is the film frame of its place, whole: none blended from
    // two, none repeated (that would put every later one out of place).
    ffmpeg("-i " + shellQuote(out) + " -f lavfi -i " + shellQuote(film) + " -lavfi "
           + shellQuote("[0:v]setpts=N*1001/24000/TB[a];[1:v]setpts=N*1001/24000/TB[b];[a][b]psnr=stats_file=" + stats)
           + " -f null -");
    std::ifstream in(stats);
    int matched = 0, total = 0;
    std::smatch m;
    for (std::string line; std::getline(in, line); ++total)
        matched += std::regex_search(line, m, std::regex(R"(psnr_avg:(\S+))")) && (m[1] == "inf" || std::stod(m[1]) > 35);
    EXPECT_NEAR(total, 144, 2);
    EXPECT_GE(matched, total * 95 / 100) << matched << " of " << total << " frames match the film";
}

TEST(Interlace, ProgressiveSourcesPassUntouched)
{
    // Flagged progressive; with no field order (examined, then read again
    // from the start); at 29.97 in a transport stream (examined for pulldown).
    const std::string sources[] = {
        progressiveMedia(),
        makeMedia("progressive.avi", "-f lavfi -i testsrc2=size=720x576:rate=25:d=2,gblur=sigma=1 -c:v mpeg4"),
        makeMedia("progressive.ts", "-f lavfi -i testsrc2=size=720x480:rate=30000/1001:d=2,gblur=sigma=1 -c:v libx264"),
    };
    for (const std::string &src : sources) {
        std::string md5[2];
        for (int i = 0; i < 2; ++i) {
            int rc = -1;
            const std::string out = outPath(i ? "off.mp4" : "auto.mp4");
            zxtool("convert", shellQuote(src) + " " + shellQuote(out) + (i ? " --deinterlace off" : ""), &rc);
            EXPECT_EQ(rc, 0) << src;
            md5[i] = run("ffmpeg -nostdin -v error -i " + shellQuote(out) + " -an -f framemd5 - 2>/dev/null");
        }
        EXPECT_GT(md5[0].size(), 1000u) << src;
        EXPECT_EQ(md5[0], md5[1]) << src;
    }
}

TEST(Interlace, OnlyNtscRatesAreSearchedForPulldownWhenFlaggedProgressive)
{
    // Bytes the look at the first pictures reads after the open: a whole 30
    // fps stream flagged progressive is taken at its word, 29.97 is examined.
    auto bytesExamined = [](const std::string &path) -> int64_t {
        zx::InputMedia media;
        zx::Interrupter interrupter;
        std::string err;
        if (!media.open(std::make_unique<zx::FileReader>(path), interrupter, err)) {
            ADD_FAILURE() << path << ": " << err;
            return -1;
        }
        const int64_t before = media.context()->pb->bytes_read;
        EXPECT_EQ(zx::examineScan(media).kind, zx::ScanInfo::Progressive) << path;
        return media.context()->pb->bytes_read - before;
    };
    const std::string clip = " -c:v libx264 -preset ultrafast -pix_fmt yuv420p";
    EXPECT_EQ(bytesExamined(makeMedia("phone_30.mp4", "-f lavfi -i testsrc2=size=640x360:rate=30:d=4" + clip)), 0);
    EXPECT_GT(bytesExamined(makeMedia("video_2997.mp4", "-f lavfi -i testsrc2=size=640x360:rate=30000/1001:d=4" + clip)), 0);
}

} // namespace
