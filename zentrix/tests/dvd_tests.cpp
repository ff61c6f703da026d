// DVD-Video input: folders, images and what is neither; probing titles,
// converting and merging them, scrambled discs.
#include "dvd_reader.h"
#include "test_support.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

using namespace zxtest;

namespace {

// The three titles tools/make_test_media.sh puts on dvd_multi.
struct TitleFacts {
    double seconds;
    int aspectNum, aspectDen;
    std::vector<std::string> audio, subtitles;   // languages in title order
};
const TitleFacts kTitles[] = {
    {5, 16, 9, {"en"}, {}},
    {6, 4, 3, {"en", "fr"}, {}},
    {7, 16, 9, {"de"}, {"es"}},
};

// Zero crossings per second of the first audio stream: 2 x its pitch.
double pitch(const std::string &file)
{
    const std::vector<int16_t> pcm = decodedSound(file, 0, 8000);
    const size_t n = pcm.size();
    if (n < 8000)
        return 0;
    int crossings = 0;
    int16_t prev = 0;
    for (int16_t v : pcm) {
        if ((prev < 0) != (v < 0))
            ++crossings;
        prev = v;
    }
    return crossings / 2.0 / (double(n) / 8000);
}

// A copy of dvd_multi whose video packs in one title set are marked
// scrambled, as a CSS disc reads without its key.
std::string scrambledCopy(const std::string &name, int titleSet)
{
    const fs::path dir = fs::path(outDir()) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(media("dvd_multi/VIDEO_TS"), dir / "VIDEO_TS");
    const fs::path vob = dir / "VIDEO_TS" / ("VTS_0" + std::to_string(titleSet) + "_1.VOB");
    std::string bytes = fileBytes(vob.string());
    int marked = 0;
    for (size_t at = 0; at + 2048 <= bytes.size(); at += 2048) {
        auto *s = reinterpret_cast<uint8_t *>(bytes.data() + at);
        if (s[3] != 0xba)
            continue;
        const size_t pes = 14 + (s[13] & 7);
        if (s[pes + 3] == 0xe0 && (s[pes + 6] & 0xc0) == 0x80) {
            s[pes + 6] |= 0x10;
            ++marked;
        }
    }
    EXPECT_GT(marked, 10);
    std::ofstream(vob, std::ios::binary | std::ios::trunc) << bytes;
    return dir.string();
}

// A 2048-byte pack: its header, then one PES packet whose header is given.
std::vector<uint8_t> packWith(const std::vector<uint8_t> &pes)
{
    std::vector<uint8_t> s(2048, 0xff);
    const uint8_t header[14] = {0, 0, 1, 0xba, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xc3, 0xf8};
    std::memcpy(s.data(), header, 14);
    std::copy(pes.begin(), pes.end(), s.begin() + 14);
    return s;
}

ParamsPtr titleParams(int title, int audio = -1)
{
    ParamsPtr p = makeParams(28, 86018);
    SetTitle(p.get(), title);
    if (audio >= 0)
        SetAudioTrack(p.get(), audio);
    return p;
}

// --- probing ----------------------------------------------------------------

class DvdProbeTest : public ::testing::TestWithParam<const char *> {};

TEST_P(DvdProbeTest, TitlesInTableOrderWithTheirLengthsAspectsAndLanguages)
{
    SourcePtr src(SourceCreate(-1));
    ASSERT_EQ(SourceOpenDvd(src.get(), media(GetParam()).c_str()), 1) << SourceLastError(src.get());
    EXPECT_STREQ(SourceBrand(src.get()), "DVD");
    ASSERT_EQ(DvdTitleCount(src.get()), 3u + 6u);
    for (int t = 0; t < 3; ++t) {
        SCOPED_TRACE("title " + std::to_string(t));
        const TitleFacts &f = kTitles[t];
        ASSERT_EQ(SourceSelectTitle(src.get(), t), 1) << SourceLastError(src.get());
        EXPECT_STREQ(SourceBrand(src.get()), "DVD");
        EXPECT_NEAR(SourceDuration(src.get()) / 1e6, f.seconds, 0.5);
        EXPECT_EQ(SourceWidth(src.get()), 720);
        EXPECT_EQ(SourceHeight(src.get()), 576);
        int num = 0, den = 0;
        EXPECT_EQ(SourceDisplayAspect(src.get(), &num, &den), 1);
        EXPECT_EQ(num * f.aspectDen, den * f.aspectNum) << num << ":" << den;
        ASSERT_EQ(SourceAudioCount(src.get()), int(f.audio.size()));
        for (int i = 0; i < int(f.audio.size()); ++i) {
            ASSERT_EQ(SourceSelectAudio(src.get(), i), 1);
            EXPECT_EQ(AudioLanguage(src.get()), f.audio[size_t(i)]);
            EXPECT_STREQ(AudioCodecName(src.get()), "ac3");
        }
        ASSERT_EQ(SourceSubtitleCount(src.get()), int(f.subtitles.size()));
        for (int i = 0; i < int(f.subtitles.size()); ++i) {
            ASSERT_EQ(SourceSelectSubtitle(src.get(), i), 1);
            EXPECT_EQ(SubtitleLanguage(src.get()), f.subtitles[size_t(i)]);
            EXPECT_STREQ(SubtitleCodecName(src.get()), "dvd_subtitle");
        }
        const unsigned char *bmp = SourceThumbnail(src.get(), 2000000, 1, 160, 90, 0);
        ASSERT_NE(bmp, nullptr);
        EXPECT_EQ(bmp[0], 'B');
        uint32_t size = 0;
        std::memcpy(&size, bmp + 2, 4);
        EXPECT_GE(size, 160u * 90 * 3);
    }
    EXPECT_EQ(SourceSelectTitle(src.get(), 3), 0);
    EXPECT_EQ(SourceSelectTitle(src.get(), -1), 0);
    EXPECT_NE(std::string(SourceLastError(src.get())), "");
}

INSTANTIATE_TEST_SUITE_P(Forms, DvdProbeTest,
                         ::testing::Values("dvd_multi", "dvd_multi/", "dvd_multi/VIDEO_TS", "dvd_multi.iso"));

TEST(DvdProbe, OlderFixtureReadsAndAFileAfterADvdIsAFileAgain)
{
    // Folder and image forms of dvd_multi are each checked title by title above.
    SourcePtr folder(SourceCreate(-1));
    // The older two-title fixture reads as well, and a file after a DVD is a file again.
    ASSERT_EQ(SourceOpenDvd(folder.get(), media("dvd.iso").c_str()), 1);
    EXPECT_EQ(DvdTitleCount(folder.get()), 2u + 6u);
    ASSERT_EQ(SourceOpenFile(folder.get(), media("clip_h264_aac.mp4").c_str()), 1);
    EXPECT_STRNE(SourceBrand(folder.get()), "DVD");
    EXPECT_EQ(DvdTitleCount(folder.get()), 0u);
    EXPECT_EQ(SourceSelectTitle(folder.get(), 0), 0);
}

TEST(DvdProbe, WhatIsNotADvdIsRefusedEverywhere)
{
    const std::string missing = media("no_such_dvd");
    const std::string rows[] = {media("empty_dir"), media("plain_files.iso"), missing, media("clip_h264_aac.mp4"),
                                media("zero.mp4"), media("dvd_multi/VIDEO_TS/VTS_01_1.VOB"), ""};
    for (const std::string &path : rows) {
        SCOPED_TRACE(path);
        SourcePtr src(SourceCreate(-1));
        EXPECT_EQ(SourceOpenDvd(src.get(), path.c_str()), 0);
        EXPECT_NE(std::string(SourceLastError(src.get())), "");
        EXPECT_STREQ(SourceBrand(src.get()), "");
        EXPECT_EQ(DvdTitleCount(src.get()), 0u);
        EXPECT_EQ(SourceSelectTitle(src.get(), 0), 0);
        EXPECT_EQ(SourceDuration(src.get()), 0);

        const std::string out = outPath("refused.mp4");
        ParamsPtr p = titleParams(0);
        const OpenResult o = openJob(path, out, "mp4", p.get(), true);
        EXPECT_EQ(o.opened, 0);
        EXPECT_NE(o.message, "");
        EXPECT_EQ(o.code, ZX_ERR_INPUT);
        EXPECT_FALSE(fs::exists(out));

        MergerPtr m = beginMerger(out, "mp4", p.get());
        EXPECT_EQ(MergerAddDvd(m.get(), path.c_str(), 0, 0, p.get()), 0);
        EXPECT_NE(std::string(MergerLastError(m.get(), nullptr)), "");
    }
    EXPECT_EQ(SourceOpenDvd(nullptr, media("dvd_multi").c_str()), 0);
    EXPECT_EQ(SourceSelectTitle(nullptr, 0), 0);
    EXPECT_EQ(DvdTitleCount(nullptr), 0u);
    ParamsPtr p = titleParams(3); // one past the last title
    EXPECT_EQ(openJob(media("dvd_multi"), outPath("t3.mp4"), "mp4", p.get(), true).opened, 0);
}

// --- converting and merging ---------------------------------------------------

TEST(DvdConvert, EveryAudioChoiceOfATitleConvertsWholeOrInPart)
{
    struct Row { const char *dvd; int audio; int64_t start, length; double seconds, hz; } rows[] = {
        {"dvd_multi", 0, 0, 0, 6.0, 440},
        {"dvd_multi", 1, 0, 0, 6.0, 880},
        {"dvd_multi.iso", 1, 1000000, 3000000, 3.0, 880},
        {"dvd_multi.iso", 0, 4000000, 0, 2.0, 440},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.dvd) + " audio " + std::to_string(r.audio) + " from " + std::to_string(r.start));
        const std::string out = outPath("title1.mp4");
        ParamsPtr p = titleParams(1, r.audio);
        JobPtr job(JobCreate(-1));
        ASSERT_EQ(JobOpenDvd(job.get(), media(r.dvd).c_str(), out.c_str(), "mp4", p.get()), 1)
            << JobLastError(job.get(), nullptr);
        ASSERT_EQ(JobSetRange(job.get(), r.start, r.length), 1);
        EXPECT_NEAR(JobDuration(job.get()) / 1e6, r.seconds, 0.5);
        ASSERT_EQ(JobStart(job.get()), 1);
        ASSERT_EQ(waitJob(job.get()), ZX_STATUS_FINISHED) << JobLastError(job.get(), nullptr);
        JobClose(job.get());
        const Probe probe = ffprobe(out);
        ASSERT_TRUE(probe.ok);
        EXPECT_NEAR(probe.duration(), r.seconds, 0.5);
        EXPECT_EQ(probe.count("video"), 1);
        EXPECT_EQ(probe.count("audio"), 1);
        // The disc's two-letter code becomes one an MP4 can store.
        EXPECT_EQ(strOf(probe.first("audio"), "tag:language"), r.audio == 0 ? "eng" : "fre");
        EXPECT_NEAR(pitch(out), r.hz, r.hz * 0.05);
    }
}

TEST(DvdConvert, WideTitleKeepsItsShapeAndMergesWithOthers)
{
    const std::string wide = outPath("title0.mp4");
    ASSERT_EQ(convertFile(media("dvd_multi"), wide, "mp4", titleParams(0).get(), 0, 0, true), "");
    const Probe probe = ffprobe(wide);
    // Title 0 is two cells whose clocks both start at 0: both play, in turn.
    EXPECT_NEAR(probe.duration(), 5.0, 0.3);
    const double shape = double(intOf(probe.first("video"), "width")) / intOf(probe.first("video"), "height");
    EXPECT_NEAR(shape, 16.0 / 9.0, 0.02);

    // Title 2 (7 s), a file (5 s), then title 0 (5 s) of the image.
    const std::string merged = outPath("merged.mp4");
    ParamsPtr p = makeParams(28, 86018, 640, 360);
    MergerPtr m = beginMerger(merged, "mp4", p.get());
    struct Part { const char *source; int title; } parts[] = {
        {"dvd_multi", 2}, {"clip_h264_aac.mp4", -1}, {"dvd_multi.iso", 0}};
    for (const Part &part : parts) {
        ParamsPtr ps = titleParams(std::max(part.title, 0));
        const std::string path = media(part.source);
        ASSERT_EQ(part.title >= 0 ? MergerAddDvd(m.get(), path.c_str(), 0, 0, ps.get())
                                  : MergerAddFile(m.get(), path.c_str(), 0, 0, ps.get()), 1)
            << MergerLastError(m.get(), nullptr);
        ASSERT_EQ(waitMerger(m.get(), std::chrono::seconds(60)), ZX_STATUS_FINISHED)
            << MergerLastError(m.get(), nullptr);
    }
    ASSERT_EQ(MergerClose(m.get()), 1);
    EXPECT_NEAR(ffprobe(merged).duration(), 17.0, 0.6);
}

TEST(DvdConvert, RangesAcrossTheJoinOfTwoCellsKeepTheirLength)
{
    // Cell 1 is 0-3 s, cell 2 3-5 s; the second restarts its clock.
    struct Row { int64_t start, length; double seconds; } rows[] = {
        {2000000, 2000000, 2.0}, {3500000, 0, 1.5}, {1000000, 0, 4.0}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.start);
        const std::string out = outPath("join.mp4");
        ParamsPtr p = titleParams(0);
        ASSERT_EQ(convertFile(media("dvd_multi"), out, "mp4", p.get(), r.start, r.length, true), "");
        const Probe probe = ffprobe(out);
        EXPECT_NEAR(probe.duration(), r.seconds, 0.3);
        // The picture runs the whole range, not only the audio.
        EXPECT_NEAR(std::atof(strOf(probe.first("video"), "duration").c_str()), r.seconds, 0.3);
    }
}

TEST(DvdConvert, TimeStampShiftKeepsMarkersAndWrapsAt33Bits)
{
    // A pack with one video PES carrying PTS and DTS.
    auto pack = [](int64_t pts, int64_t dts) {
        std::vector<uint8_t> s = packWith({0, 0, 1, 0xe0, 0x07, 0xec, 0x81, 0xc0, 0x0a});
        auto put = [&s](size_t at, int64_t ts, uint8_t marker) {
            s[at] = uint8_t(marker << 4 | ((ts >> 29) & 0x0e) | 1);
            s[at + 1] = uint8_t(ts >> 22);
            s[at + 2] = uint8_t(((ts >> 14) & 0xfe) | 1);
            s[at + 3] = uint8_t(ts >> 7);
            s[at + 4] = uint8_t(((ts << 1) & 0xfe) | 1);
        };
        put(23, pts, 3);
        put(28, dts, 1);
        return s;
    };
    const int64_t wrap = int64_t(1) << 33;
    struct Row { int64_t pts, dts, shift; } rows[] = {
        {45000, 41400, 450000}, {900000, 896400, -450000}, {wrap - 3600, wrap - 7200, 10800}, {3600, 0, -7200}};
    for (const Row &r : rows) {
        std::vector<uint8_t> s = pack(r.pts, r.dts);
        zx::dvdShiftSectorTimes(s.data(), r.shift);
        const std::vector<uint8_t> expect = pack(((r.pts + r.shift) % wrap + wrap) % wrap,
                                                 ((r.dts + r.shift) % wrap + wrap) % wrap);
        EXPECT_EQ(s, expect) << r.pts << " + " << r.shift;
    }
}

// --- scrambled discs ------------------------------------------------------------

TEST(DvdScrambled, RefusedWithAClearReasonAndNoOutput)
{
    // Title set 1 scrambled: the disc's first title cannot be read.
    const std::string first = scrambledCopy("css_first", 1);
    SourcePtr src(SourceCreate(-1));
    EXPECT_EQ(SourceOpenDvd(src.get(), first.c_str()), 0);
    EXPECT_EQ(std::string(SourceLastError(src.get())).rfind("This disc is encrypted", 0), 0u)
        << SourceLastError(src.get());

    // Title set 2 scrambled: the disc opens, that title does not, nor converts.
    const std::string second = scrambledCopy("css_second", 2);
    ASSERT_EQ(SourceOpenDvd(src.get(), second.c_str()), 1);
    EXPECT_EQ(SourceSelectTitle(src.get(), 1), 0);
    EXPECT_EQ(std::string(SourceLastError(src.get())).rfind("This disc is encrypted", 0), 0u);
    EXPECT_EQ(SourceSelectTitle(src.get(), 2), 1);

    const std::string out = outPath("css.mp4");
    ParamsPtr p = titleParams(1);
    const OpenResult o = openJob(second, out, "mp4", p.get(), true);
    EXPECT_EQ(o.opened, 0);
    EXPECT_EQ(o.message.rfind("This disc is encrypted", 0), 0u);
    EXPECT_FALSE(fs::exists(out));
}

TEST(DvdScrambled, SectorTestReadsThePesScramblingBits)
{
    struct Row { uint8_t id, flags; bool scrambled; } rows[] = {
        {0xe0, 0x81, false}, {0xe0, 0x91, true}, {0xe0, 0xb1, true}, {0xbd, 0xa1, true},
        {0xc0, 0x85, false}, {0xbf, 0xb0, false}, // navigation data is never scrambled
        {0xe0, 0x0f, false},                      // MPEG-1 style header: no such bits
    };
    for (const Row &r : rows) {
        const std::vector<uint8_t> s = packWith({0, 0, 1, r.id, 0x07, 0xec, r.flags, 0x80, 0x05});
        EXPECT_EQ(zx::dvdSectorScrambled(s.data()), r.scrambled) << std::hex << int(r.id) << " " << int(r.flags);
    }
    std::vector<uint8_t> junk(2048, 0);
    EXPECT_FALSE(zx::dvdSectorScrambled(junk.data()));
}

// --- zxtool -------------------------------------------------------------------------

TEST(DvdZxtool, ProbeListsTitlesWithTheKeysOfAFileProbe)
{
    int rc = -1;
    const std::string dvd = zxtool("probe --dvd " + shellQuote(media("dvd_multi.iso")), &rc, false);
    ASSERT_EQ(rc, 0);
    const std::string file = zxtool("probe " + shellQuote(media("clip_h264_aac.mp4")), &rc, false);
    ASSERT_EQ(rc, 0);
    // Python checks the shape: one object, brand, one entry per title with
    // exactly the keys of a file probe, and the titles' lengths.
    const std::string script =
        "import json,sys\n"
        "d=json.loads(open(sys.argv[1]).read()); f=json.loads(open(sys.argv[2]).read())\n"
        "assert set(d)=={'brand','titles'} and d['brand']=='DVD', d\n"
        "assert len(d['titles'])==3, d\n"
        "assert all(set(t)==set(f) for t in d['titles']), d\n"
        "assert [round(t['duration_us']/1e6) for t in d['titles']]==[5,6,7], d\n"
        "assert [a['language'] for a in d['titles'][1]['audio']]==['en','fr'], d\n";
    const std::string a = outPath("dvd.json"), b = outPath("file.json"), py = outPath("check.py");
    std::ofstream(a) << dvd;
    std::ofstream(b) << file;
    std::ofstream(py) << script;
    const std::string err = run("python3 " + shellQuote(py) + " " + shellQuote(a) + " " + shellQuote(b) + " 2>&1", &rc);
    EXPECT_EQ(rc, 0) << err;
    EXPECT_EQ(std::count(dvd.begin(), dvd.end(), '\n'), 1) << dvd;

    for (const char *bad : {"empty_dir", "plain_files.iso", "no_such_dvd"}) {
        const std::string out = zxtool("probe --dvd " + shellQuote(media(bad)), &rc, false);
        EXPECT_NE(rc, 0) << bad;
        EXPECT_EQ(out, "") << bad;
    }
}

TEST(DvdZxtool, ConvertReadsTheNumberedTitle)
{
    int rc = -1;
    const std::string out = outPath("cli_title2.mp4");
    zxtool("convert --dvd-title 2 " + shellQuote(media("dvd_multi")) + " " + shellQuote(out) + " --quiet", &rc, false);
    ASSERT_EQ(rc, 0);
    EXPECT_NEAR(ffprobe(out).duration(), 7.0, 0.5);
    for (const char *bad : {"--dvd-title 3", "--dvd-title -1", "--dvd-title x"}) {
        zxtool(std::string("convert ") + bad + " " + shellQuote(media("dvd_multi")) + " "
                   + shellQuote(outPath("cli_bad.mp4")) + " --quiet",
               &rc, false);
        EXPECT_NE(rc, 0) << bad;
    }
}

} // namespace
