// Colours of converted pictures, judged with ffprobe's tags and ffmpeg's own
// decoding and filters: HDR sources tone-mapped as ffmpeg's zscale + tonemap
// do it, tags carried, SD pictures keeping their hues at HD sizes.
#include "ffutil.h"
#include "test_support.h"
#include "tonemap.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

using namespace zxtest;

namespace {

// The tone mapping ffmpeg itself applies with the engine's operator: the
// reference the converted pictures are held against.
const char *kToneMapReference = "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
                                "tonemap=tonemap=mobius:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p";

// A 10-bit HEVC clip as phones record HDR: smooth colours of every hue,
// coded by zscale from BT.709 with diffuse white at 203 cd/m2, so that the
// brightest parts lie above SDR white.
std::string makeHdrClip(const std::string &name, const char *transfer)
{
    const std::string path = outPath(name);
    // (Drawn by expression: ffmpeg's gradients source differs from run to
    // run whatever its seed.)
    spawn({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=s=640x360:d=0.2", "-vf",
           std::string("format=gbrp,geq=r='128+127*sin(X/37+Y/91)':g='128+127*sin(X/53-Y/61+2.1)':"
                       "b='128+127*sin(Y/29+X/113+4.2)',zscale=tin=709:min=gbr:pin=709:rin=pc:npl=203:p=2020:m=2020_ncl:r=tv:t=")
               + transfer + ",format=yuv420p10le",
           "-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error", "-color_primaries",
           "bt2020", "-color_trc", transfer, "-colorspace", "bt2020nc", path});
    return path;
}

std::string makeClip(const std::string &name, const std::string &source, const std::vector<std::string> &tags = {})
{
    const std::string path = outPath(name);
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-f", "lavfi", "-i", source, "-pix_fmt", "yuv420p",
                                     "-c:v", "libx264", "-preset", "ultrafast", "-qp", "10"};
    args.insert(args.end(), tags.begin(), tags.end());
    args.push_back(path);
    spawn(args);
    return path;
}

// pix_fmt, range, matrix, transfer, primaries of the first video stream.
std::string tagsOf(const std::string &file)
{
    std::string s = run("ffprobe -v error -select_streams v:0 -show_entries "
                        "stream=pix_fmt,color_range,color_space,color_transfer,color_primaries -of csv=p=0 "
                        + shellQuote(file) + " 2>/dev/null");
    s.erase(std::remove(s.begin(), s.end(), '\n'), s.end());
    return s;
}

// The first picture as ffmpeg shows it (its tags read), filtered, then
// averaged down to a 16 x 9 grid of RGB cells.
std::vector<uint8_t> cells(const std::string &file, const std::string &filter = "")
{
    return decodedFrame(file, (filter.empty() ? "" : filter + ",") + "format=rgb24,scale=16:9:flags=area", "rgb24");
}

// The largest difference of any channel of any cell.
int worstDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    if (a.size() != b.size() || a.empty())
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

// The mean difference over every channel of every cell.
double meanDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    if (a.size() != b.size() || a.empty())
        return 256;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

std::string convert(const std::string &src, const std::string &name, int vcodec = 28, int width = 0, int height = 0,
                    int profile = 0)
{
    const std::string out = outPath(name);
    ParamsPtr p = makeParams(vcodec, 0, width, height);
    if (profile)
        SetVideoProfile(p.get(), profile);
    SetFill(p.get(), 0, 0);
    // The colour handling of conversions is what is checked: a fitting
    // source would otherwise be copied with its tags as they are.
    SetStreamCopy(p.get(), 0);
    const std::string error = convertFile(src, out, "mp4", p.get());
    EXPECT_EQ(error, "") << name;
    return out;
}

} // namespace

// HLG and PQ sources made into 8-bit H.264: tone-mapped like ffmpeg's
// reference, tagged BT.709; the preview shows the same picture. A 10-bit
// HEVC output keeps the HDR picture and its tags instead.
TEST(Colour, HdrSources)
{
    for (const char *transfer : {"arib-std-b67", "smpte2084"}) {
        SCOPED_TRACE(transfer);
        const std::string src = makeHdrClip(std::string("hdr_") + transfer + ".mp4", transfer);
        ASSERT_EQ(tagsOf(src), std::string("yuv420p10le,tv,bt2020nc,") + transfer + ",bt2020");
        const std::vector<uint8_t> reference = cells(src, kToneMapReference);

        const std::string sdr = convert(src, std::string("sdr_") + transfer + ".mp4");
        EXPECT_EQ(tagsOf(sdr), "yuv420p,tv,bt709,bt709,bt709");
        const std::vector<uint8_t> converted = cells(sdr);
        // The engine maps each 2x2 block's chroma where ffmpeg resamples it:
        // a few cells on sharp colour edges differ by more than the rest.
        EXPECT_LE(meanDifference(converted, reference), 1.5);
        EXPECT_LE(worstDifference(converted, reference), 12);
        // Not tone-mapped, the picture would be far off (the fault users see).
        EXPECT_GT(worstDifference(cells(src), reference), 30);

        const std::string bmp = outPath(std::string("preview_") + transfer + ".bmp");
        ASSERT_EQ(spawn({ZXTOOL_PATH, "preview", src, "0", bmp}), 0);
        EXPECT_LE(meanDifference(cells(bmp), reference), 1.5);
        EXPECT_LE(worstDifference(cells(bmp), reference), 12);

        const std::string hdr = convert(src, std::string("main10_") + transfer + ".mp4", 1211250229, 0, 0, 2);
        EXPECT_EQ(tagsOf(hdr), std::string("yuv420p10le,tv,bt2020nc,") + transfer + ",bt2020");
        EXPECT_LE(worstDifference(cells(hdr), cells(src)), 6);
    }
}

// A tagged HD picture keeps its tags and pixels (also in Motion JPEG); an
// untagged one is tagged by its size; an SD picture made HD keeps its hues
// as a player shows them.
TEST(Colour, SdrSources)
{
    const std::string bars = "smptehdbars=size=1280x720:rate=25:d=1";
    const std::string tagged = makeClip("hd_709.mp4", bars,
                                        {"-color_primaries", "bt709", "-color_trc", "bt709", "-colorspace", "bt709"});
    const std::string untagged = makeClip("hd_untagged.mp4", bars);
    ASSERT_EQ(tagsOf(untagged), "yuv420p,unknown,unknown,unknown,unknown");
    const std::string fromTagged = convert(tagged, "hd_709_out.mp4");
    const std::string fromUntagged = convert(untagged, "hd_untagged_out.mp4");
    EXPECT_EQ(tagsOf(fromTagged), "yuv420p,tv,bt709,bt709,bt709");
    EXPECT_EQ(tagsOf(fromUntagged), "yuv420p,tv,bt709,bt709,bt709");
    EXPECT_LE(worstDifference(cells(fromTagged), cells(fromUntagged)), 3);
    EXPECT_LE(worstDifference(cells(fromTagged), cells(tagged)), 4);
    // Motion JPEG is read as BT.601 full range whatever it is tagged.
    EXPECT_LE(worstDifference(cells(convert(tagged, "hd_709_mjpeg.mp4", 8)), cells(tagged)), 4);

    const std::string sd = makeClip("sd.mp4", "smptebars=size=640x480:rate=25:d=1");
    const std::string sdOut = convert(sd, "sd_out.mp4");
    EXPECT_EQ(tagsOf(sdOut), "yuv420p,tv,smpte170m,smpte170m,smpte170m");
    const std::string hdOut = convert(sd, "sd_to_720p.mp4", 28, 1280, 720);
    EXPECT_EQ(tagsOf(hdOut), "yuv420p,tv,bt709,bt709,bt709");
    // Read with its own matrix each (BT.601 for the untagged SD source), the
    // colour bars look the same; read with BT.601, the HD one would not.
    const std::vector<uint8_t> sdCells = cells(sd), hdCells = cells(hdOut);
    EXPECT_LE(worstDifference(hdCells, sdCells), 6);
    EXPECT_GT(worstDifference(cells(hdOut, "setparams=colorspace=smpte170m"), sdCells), 12);
}

namespace {

// What an HDR10 source says of its mastering display and light levels, as
// ffprobe reads it from the first picture (or from the stream, where the
// container keeps it): each value by ffprobe's name, as a number.
std::map<std::string, double> hdrFacts(const std::string &file, bool stream)
{
    static const std::set<std::string> names = {
        "red_x", "red_y", "green_x", "green_y", "blue_x", "blue_y", "white_point_x", "white_point_y",
        "min_luminance", "max_luminance", "max_content", "max_average"};
    const std::string show = stream ? "-show_streams" : "-show_frames -read_intervals %+#1";
    std::istringstream lines(run("ffprobe -v error -select_streams v:0 " + show + " " + shellQuote(file)
                                 + " 2>/dev/null"));
    std::map<std::string, double> facts;
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || !names.count(line.substr(0, eq)))
            continue;
        double num = 0, den = 1;
        if (std::sscanf(line.c_str() + eq + 1, "%lf/%lf", &num, &den) >= 1 && den != 0)
            facts[line.substr(0, eq)] = num / den;
    }
    return facts;
}

void expectSameFacts(const std::map<std::string, double> &got, const std::map<std::string, double> &want,
                     const std::string &where)
{
    for (const auto &[name, value] : want) {
        const auto it = got.find(name);
        ASSERT_NE(it, got.end()) << where << ": no " << name;
        EXPECT_NEAR(it->second, value, 1e-4 * std::max(1.0, value)) << where << ": " << name;
    }
}

} // namespace

// An HDR10 clip made 10-bit HEVC keeps its mastering display and light
// levels, in the pictures and in the MP4 and Matroska headers; made SDR it
// says none. An SDR clip in 10-bit HEVC stays tagged SDR.
TEST(Colour, HdrMetadata)
{
    const std::string src = outPath("hdr10_source.mp4");
    spawn({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:d=1", "-pix_fmt",
           "yuv420p10le", "-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
           "log-level=error:hdr10=1:master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)"
           "L(10000000,50):max-cll=1000,400",
           "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc", src});
    // A P3 display of 1000 cd/m² down to 0.005, content up to 1000 (frames up to 400 on average).
    const std::map<std::string, double> want = {
        {"red_x", 0.68},         {"red_y", 0.32},         {"green_x", 0.265},      {"green_y", 0.69},
        {"blue_x", 0.15},        {"blue_y", 0.06},        {"white_point_x", 0.3127}, {"white_point_y", 0.329},
        {"max_luminance", 1000}, {"min_luminance", 0.005}, {"max_content", 1000},  {"max_average", 400}};
    expectSameFacts(hdrFacts(src, false), want, "source");

    for (const char *container : {"mp4", "matroska"}) {
        SCOPED_TRACE(container);
        const std::string out = outPath(std::string("hdr10_main10.") + (std::strcmp(container, "mp4") ? "mkv" : "mp4"));
        ParamsPtr p = makeParams(1211250229, 0);
        SetVideoProfile(p.get(), 2);
        SetStreamCopy(p.get(), 0);
        ASSERT_EQ(convertFile(src, out, container, p.get()), "");
        // (ffprobe ends the line with a field for the stream's side data.)
        EXPECT_EQ(tagsOf(out).rfind("yuv420p10le,tv,bt2020nc,smpte2084,bt2020", 0), 0u) << tagsOf(out);
        expectSameFacts(hdrFacts(out, false), want, std::string(container) + " pictures");
        expectSameFacts(hdrFacts(out, true), want, std::string(container) + " header");
    }

    const std::string sdr = convert(src, "hdr10_sdr.mp4");
    EXPECT_EQ(tagsOf(sdr), "yuv420p,tv,bt709,bt709,bt709");
    EXPECT_TRUE(hdrFacts(sdr, false).empty());
    EXPECT_TRUE(hdrFacts(sdr, true).empty());

    const std::string hd = makeClip("sdr_709.mp4", "testsrc2=size=640x360:rate=25:d=1",
                                    {"-color_primaries", "bt709", "-color_trc", "bt709", "-colorspace", "bt709"});
    const std::string hdOut = convert(hd, "sdr_main10.mp4", 1211250229, 0, 0, 2);
    EXPECT_EQ(tagsOf(hdOut), "yuv420p10le,tv,bt709,bt709,bt709");
    EXPECT_TRUE(hdrFacts(hdOut, false).empty());
}

// The tone-mapping stage on its own, both ways it makes its tables (exact
// curves, and the grid kept for sources those do not reproduce): a picture
// of smooth colours comes out as ffmpeg's chain makes it; odd sizes (the
// last block is cut) and codes above the bit depth (a damaged stream) must
// not read outside its tables, and a grey stays grey at the chain's level.
TEST(Colour, ToneMapperTakesOddPicturesAndDamagedCodes)
{
    const zx::ColourTags sdr{AVCOL_PRI_BT709, AVCOL_TRC_BT709, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG};
    auto hdrFrame = [](int w, int h) {
        zx::FramePtr in = zx::makeFrame();
        in->format = AV_PIX_FMT_YUV420P10LE;
        in->width = w;
        in->height = h;
        EXPECT_GE(av_frame_get_buffer(in.get(), 0), 0);
        in->color_primaries = AVCOL_PRI_BT2020;
        in->color_trc = AVCOL_TRC_ARIB_STD_B67;
        in->colorspace = AVCOL_SPC_BT2020_NCL;
        in->color_range = AVCOL_RANGE_MPEG;
        return in;
    };
    // ffmpeg's own chain on a grey picture (its zscale takes even sizes only).
    const std::string grey = outPath("hlg_grey.mkv");
    ASSERT_EQ(spawn({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=0x808080:s=64x64:d=0.04", "-vf",
                     "format=yuv420p10le,lutyuv=y=600:u=512:v=512", "-c:v", "ffv1", "-color_primaries", "bt2020",
                     "-color_trc", "arib-std-b67", "-colorspace", "bt2020nc", "-color_range", "tv", grey}),
              0);
    const std::vector<uint8_t> greyRef = decodedFrame(grey, kToneMapReference, "yuv420p");
    ASSERT_FALSE(greyRef.empty());
    const std::string clip = makeHdrClip("stage_hlg.mp4", "arib-std-b67");
    const std::vector<uint8_t> coded = decodedFrame(clip, "", "yuv420p10le");
    const std::vector<uint8_t> clipRef = decodedFrame(clip, kToneMapReference, "yuv420p");
    ASSERT_EQ(coded.size(), size_t(640 * 360 * 3));
    ASSERT_EQ(clipRef.size(), size_t(640 * 360 * 3 / 2));
    for (bool gridOnly : {false, true}) {
        SCOPED_TRACE(gridOnly ? "grid" : "exact curves");
        zx::toneMapGridOnly(gridOnly);
        zx::ToneMapper mapper;
        std::string err;

        zx::FramePtr in = hdrFrame(640, 360), out = zx::makeFrame();
        const uint8_t *at = coded.data();
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < (p ? 180 : 360); ++y, at += (p ? 320 : 640) * 2)
                std::memcpy(in->data[p] + y * in->linesize[p], at, (p ? 320 : 640) * 2);
        ASSERT_TRUE(mapper.map(in.get(), sdr, out.get(), err)) << err;
        // Per plane, the mean over 16 x 16 pixel areas of how far the two
        // differ, then the mean of that over the picture, in levels: the
        // chain resamples chroma (sited left) where the stage maps each 2x2
        // block, which moves single pixels but hardly an area's colour
        // (0.3 to 0.6 levels here; a chroma matrix 1.6 % off gives 0.8).
        const uint8_t *ref = clipRef.data();
        for (int p = 0; p < 3; ++p) {
            const int pw = p ? 320 : 640, ph = p ? 180 : 360, a = p ? 8 : 16;
            std::vector<double> areas(size_t(pw / a * (ph / a + 1)));
            for (int y = 0; y < ph; ++y, ref += pw)
                for (int x = 0; x < pw; ++x)
                    areas[size_t(y / a * (pw / a) + x / a)] += int(out->data[p][y * out->linesize[p] + x]) - int(ref[x]);
            double sum = 0;
            for (double d : areas)
                sum += std::abs(d) / (a * a);
            EXPECT_LE(sum / double(pw / a * (ph / a)), p ? 0.55 : 0.75) << "plane " << p;
        }

        for (const auto &[w, h] : std::vector<std::pair<int, int>>{{33, 17}, {1, 1}, {640, 2}}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            in = hdrFrame(w, h);
            auto fill = [&](int plane, int pw, int ph, auto value) {
                for (int y = 0; y < ph; ++y)
                    for (int x = 0; x < pw; ++x)
                        reinterpret_cast<uint16_t *>(in->data[plane] + y * in->linesize[plane])[x]
                            = uint16_t(value(x, y));
            };
            const int cw = (w + 1) / 2, ch = (h + 1) / 2;
            fill(0, w, h, [](int x, int y) { return (x + y) % 3 ? 0xffff : 0; });
            fill(1, cw, ch, [](int x, int) { return x % 2 ? 0xffff : 0; });
            fill(2, cw, ch, [](int, int) { return 0xffff; });
            ASSERT_TRUE(mapper.map(in.get(), sdr, out.get(), err)) << err;
            EXPECT_EQ(out->format, AV_PIX_FMT_YUV420P);
            EXPECT_EQ(out->width, w);
            EXPECT_EQ(out->color_trc, AVCOL_TRC_BT709);

            fill(0, w, h, [](int, int) { return 600; });
            fill(1, cw, ch, [](int, int) { return 512; });
            fill(2, cw, ch, [](int, int) { return 512; });
            ASSERT_TRUE(mapper.map(in.get(), sdr, out.get(), err)) << err;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    EXPECT_NEAR(out->data[0][y * out->linesize[0] + x], greyRef[0], 1);
            for (int p = 1; p < 3; ++p)
                for (int x = 0; x < cw; ++x)
                    EXPECT_NEAR(out->data[p][x], 128, 1);
        }
    }
    zx::toneMapGridOnly(false);
}
