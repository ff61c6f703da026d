// The text watermark and the subtitle burner, tested on their own: pictures
// are checked pixel by pixel, without a conversion around them.
#include "subtitle_burner.h"
#include "test_support.h"
#include "text_render.h"
#include "zentrix.h"

using zx::Overlay;
using zx::SubtitleBurner;
using zx::TextRenderer;

namespace {

using zxtest::fileBytes;
using zxtest::media;
using zxtest::outDir;
using zxtest::writeFile;

// Pixels of an RGBA picture matching a predicate, and their bounding box.
struct Census {
    int count = 0;
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    int maxAlpha = 0;
};

template <typename Pred>
Census census(const AVFrame *f, Pred pred)
{
    Census c;
    for (int y = 0; f && y < f->height; ++y) {
        const uint8_t *p = f->data[0] + size_t(y) * f->linesize[0];
        for (int x = 0; x < f->width; ++x, p += 4) {
            if (!pred(p))
                continue;
            ++c.count;
            c.x0 = std::min(c.x0, x);
            c.y0 = std::min(c.y0, y);
            c.x1 = std::max(c.x1, x);
            c.y1 = std::max(c.y1, y);
            c.maxAlpha = std::max<int>(c.maxAlpha, p[3]);
        }
    }
    return c;
}

bool anyAlpha(const uint8_t *p) { return p[3] > 0; }
bool opaqueWhite(const uint8_t *p) { return p[0] > 235 && p[1] > 235 && p[2] > 235 && p[3] > 235; }
bool opaqueRed(const uint8_t *p) { return p[0] > 200 && p[1] < 60 && p[2] < 60 && p[3] > 200; }
bool opaqueGreen(const uint8_t *p) { return p[0] < 60 && p[1] > 200 && p[2] < 60 && p[3] > 200; }

Overlay watermark(const ZxParams &set, int w = 640, int h = 480)
{
    TextRenderer r;
    Overlay ov;
    std::string err;
    EXPECT_TRUE(r.renderWatermark(set, w, h, ov, err)) << err;
    return ov;
}

ZxParams textSet(const std::string &text)
{
    ZxParams set;
    set.watermarkText = text;
    return set;
}

constexpr int64_t kSec = 1000000;

} // namespace

TEST(TextWatermark, DrawsWhiteTextInATightBoxAtItsPosition)
{
    ZxParams set = textSet("Velmora 42");
    set.watermarkTextX = 0.25;
    set.watermarkTextY = 0.5;
    const Overlay ov = watermark(set);
    ASSERT_FALSE(ov.empty());
    EXPECT_EQ(ov.x, 160);
    EXPECT_EQ(ov.y, 240);
    const AVFrame *pic = ov.picture.get();
    EXPECT_GT(census(pic, opaqueWhite).count, 200);
    // Tight: drawn pixels touch all four sides of the picture.
    const Census all = census(pic, anyAlpha);
    EXPECT_TRUE(all.x0 == 0 && all.y0 == 0 && all.x1 == pic->width - 1 && all.y1 == pic->height - 1)
        << all.x0 << "," << all.y0 << " - " << all.x1 << "," << all.y1 << " in " << pic->width << "x" << pic->height;
    // The same share of the picture at another frame size.
    const Overlay big = watermark(set, 1280, 960);
    ASSERT_FALSE(big.empty());
    EXPECT_EQ(big.x, 320);
    EXPECT_NEAR(double(big.picture->width) / pic->width, 2.0, 0.1);

    EXPECT_TRUE(watermark(textSet("")).empty());
    ZxParams invisible = set;
    invisible.watermarkStyle.opacity = 0;
    EXPECT_TRUE(watermark(invisible).empty());
}

TEST(TextWatermark, StyleChangesTheBoxAndItsFractions)
{
    const ZxParams base = textSet("Watermark text");
    const Overlay plain = watermark(base);
    ASSERT_FALSE(plain.empty());
    const int w0 = plain.picture->width, h0 = plain.picture->height;

    struct Row { const char *what; void (*change)(ZxTextStyle &); double wMin, wMax, hMin, hMax; };
    const Row rows[] = {
        {"bold", [](ZxTextStyle &s) { s.bold = 1; }, 1.03, 1.4, 0.95, 1.15},
        {"double size", [](ZxTextStyle &s) { s.fontSize *= 2; }, 1.8, 2.2, 1.7, 2.3},
        {"wide", [](ZxTextStyle &s) { s.scaleX = 200; }, 1.8, 2.2, 0.95, 1.05},
        {"tall", [](ZxTextStyle &s) { s.scaleY = 200; }, 0.95, 1.1, 1.7, 2.3},
        {"missing family", [](ZxTextStyle &s) { s.font = "No Such Family Zq 123"; }, 1.0, 1.0, 1.0, 1.0},
    };
    for (const Row &row : rows) {
        ZxParams set = base;
        row.change(set.watermarkStyle);
        const Overlay ov = watermark(set);
        ASSERT_FALSE(ov.empty()) << row.what;
        const double sw = double(ov.picture->width) / w0, sh = double(ov.picture->height) / h0;
        EXPECT_TRUE(sw >= row.wMin && sw <= row.wMax && sh >= row.hMin && sh <= row.hMax)
            << row.what << ": " << sw << " x " << sh;
    }

    ZxParams half = base;
    half.watermarkStyle.opacity = 128;
    const Overlay dim = watermark(half);
    ASSERT_FALSE(dim.empty());
    EXPECT_EQ(census(plain.picture.get(), anyAlpha).maxAlpha, 255);
    EXPECT_NEAR(census(dim.picture.get(), anyAlpha).maxAlpha, 128, 2);
    EXPECT_NEAR(census(dim.picture.get(), anyAlpha).count, census(plain.picture.get(), anyAlpha).count,
                census(plain.picture.get(), anyAlpha).count / 100);

    // Typed braces and backslashes are text, not libass commands.
    const Overlay braces = watermark(textSet("{\\an5\\fs90}"));
    ASSERT_FALSE(braces.empty());
    EXPECT_LT(braces.picture->height, h0 * 2);

    // The box the views hit-test is the overlay's, in fractions of the frame.
    double w = -1, h = -1, w2, h2;
    ZxParams set = base;
    EXPECT_EQ(ParamsWatermarkTextBox(nullptr, 640, 480, &w, &h), 0);
    EXPECT_EQ(ParamsWatermarkTextBox(&set, 0, 480, &w, &h), 0);
    ASSERT_EQ(ParamsWatermarkTextBox(&set, 640, 480, &w, &h), 1);
    EXPECT_DOUBLE_EQ(w, w0 / 640.0);
    EXPECT_DOUBLE_EQ(h, h0 / 480.0);
    set.watermarkStyle.opacity = 0;    // hidden, yet still has its box
    set.watermarkStyle.fontSize *= 2;
    ASSERT_EQ(ParamsWatermarkTextBox(&set, 640, 480, &w2, &h2), 1);
    EXPECT_GT(w2, w * 1.7);
    EXPECT_GT(h2, h * 1.6); // the other style changes act on the box as on the overlay above
}

namespace {

const char kSrt[] = "1\n00:00:01,000 --> 00:00:02,500\nHello there\n\n"
                    "2\n00:00:04,000 --> 00:00:05,000\nWorld\n\n";

ZxParams fileSet(const std::string &path)
{
    ZxParams set;
    set.subtitleFile = path;
    return set;
}

bool openBurner(SubtitleBurner &b, const ZxParams &set, AVFormatContext *ic = nullptr, int w = 640, int h = 480)
{
    std::string err;
    const bool ok = b.open(set, ic, w, h, err);
    EXPECT_TRUE(ok) << err;
    return ok;
}

} // namespace

TEST(SubtitleFile, SrtFollowsItsTimesAndTheOffsetOnOneCanvas)
{
    const std::string srt = writeFile("timing.srt", kSrt);
    struct Row { int64_t offsetUs; int64_t tUs; bool shown; };
    const Row rows[] = {
        {0, kSec / 2, false}, {0, kSec * 6, false},   // the cues themselves: below, on one canvas
        // positive offset: later
        {2 * kSec, kSec * 3 / 2, false}, {2 * kSec, kSec * 7 / 2, true}, {2 * kSec, kSec * 13 / 2, true},
        {-kSec, kSec / 2, true}, {-kSec, kSec * 2, false},
    };
    for (const Row &row : rows) {
        ZxParams set = fileSet(srt);
        set.subtitleTimeValue = row.offsetUs;
        SubtitleBurner b;
        ASSERT_TRUE(openBurner(b, set));
        const AVFrame *c = b.canvasAt(row.tUs);
        EXPECT_EQ(c != nullptr, row.shown) << "offset " << row.offsetUs << " t " << row.tUs;
        if (c)
            EXPECT_GT(census(c, opaqueWhite).count, 50);
    }

    // The canvas is reused until the text changes.
    SubtitleBurner b;
    ASSERT_TRUE(openBurner(b, fileSet(srt)));
    const AVFrame *first = b.canvasAt(kSec * 11 / 10);
    ASSERT_NE(first, nullptr);
    const Census before = census(first, anyAlpha);
    EXPECT_EQ(b.canvasAt(kSec * 2), first);
    EXPECT_EQ(b.canvasAt(kSec * 3), nullptr);
    const AVFrame *second = b.canvasAt(kSec * 9 / 2);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    // The first cue is wider than the second: the old picture left nothing behind.
    const Census after = census(second, anyAlpha);
    EXPECT_GT(after.x0, before.x0);
    EXPECT_LT(after.x1, before.x1);
    // Default anchor: centred at the bottom.
    EXPECT_GT(after.y0, 480 * 3 / 4);
    EXPECT_NEAR((after.x0 + after.x1) / 2.0, 320, 12);
}

TEST(SubtitleFile, StyleOfPlainFormatsAndOwnStylesOfAss)
{
    const std::string ass = "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 480\n\n"
                            "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                            "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
                            "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
                            "Style: Red,DejaVu Sans,40,&H000000FF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,"
                            "0,0,1,0,0,8,10,10,10,1\n\n"
                            "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                            "Dialogue: 0,0:00:01.00,0:00:03.00,Red,,0,0,0,,Red at the top\n";
    // Every plain format the file dialog offers: MicroDVD counts frames.
    struct Row { const char *name; std::string content; bool (*colour)(const uint8_t *); };
    const Row rows[] = {
        {"own.ass", ass, opaqueRed},
        {"plain.vtt", "WEBVTT\n\n00:00:01.000 --> 00:00:03.000\nGreen at the top\n", opaqueGreen},
        {"plain.smi", "<SAMI><BODY><SYNC Start=1000><P>Green sami<SYNC Start=3000><P>&nbsp;</BODY></SAMI>\n",
         opaqueGreen},
        {"plain.lrc", "[00:01.00]Green lyric\n[00:03.00]Next lyric\n", opaqueGreen},
        {"plain.sub", "{1}{10}First\n{25}{75}Green microdvd\n{100}{120}Last\n", opaqueGreen},
    };
    for (const Row &row : rows) {
        ZxParams set = fileSet(writeFile(row.name, row.content));
        set.subtitleStyle.color = 0xFF00FF00u;
        set.subtitleStyle.anchorY = 0.0;
        SubtitleBurner b;
        ASSERT_TRUE(openBurner(b, set)) << row.name;
        const AVFrame *c = b.canvasAt(kSec * 2);
        ASSERT_NE(c, nullptr) << row.name;
        const Census hit = census(c, row.colour);
        EXPECT_GT(hit.count, 50) << row.name;
        EXPECT_EQ(census(c, opaqueWhite).count, 0) << row.name;
        EXPECT_LT(census(c, anyAlpha).y1, 480 / 3) << row.name;
    }
}

TEST(SubtitleFile, AwkwardNamesAndLegacyTextOpenAndBadFilesFail)
{
    const std::string good[] = {
        writeFile("it's [a] clip, no: 1 \xc3\xbc.srt", kSrt),
        writeFile("latin1.srt", "1\n00:00:01,000 --> 00:00:03,000\nCaf\xe9 cr\xe8me\n\n"),
    };
    for (const std::string &path : good) {
        SubtitleBurner b;
        ASSERT_TRUE(openBurner(b, fileSet(path))) << path;
        EXPECT_NE(b.canvasAt(kSec * 2), nullptr) << path;
    }
    std::string garbage(4096, '\0');
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 2654435761u) >> 13);
    const std::string bad[] = {
        outDir() + "/no such file.srt",
        writeFile("garbage.srt", garbage),
        writeFile("empty.srt", ""),
        media("audio_only.wav"),
    };
    for (const std::string &path : bad) {
        SubtitleBurner b;
        std::string err;
        EXPECT_FALSE(b.open(fileSet(path), nullptr, 640, 480, err)) << path;
        EXPECT_NE(err.find("cannot read the subtitle file"), std::string::npos) << err;
        EXPECT_FALSE(b.active());
        EXPECT_EQ(b.canvasAt(kSec), nullptr);
    }
}

namespace {

struct Input {
    AVFormatContext *ic = nullptr;
    explicit Input(const std::string &path)
    {
        if (avformat_open_input(&ic, path.c_str(), nullptr, nullptr) >= 0)
            avformat_find_stream_info(ic, nullptr);
    }
    ~Input() { avformat_close_input(&ic); }
    int firstSubtitle() const
    {
        for (unsigned i = 0; ic && i < ic->nb_streams; ++i)
            if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
                return int(i);
        return -1;
    }
    // Feeds every packet read (the burner keeps those of its stream), from
    // source time fromUs on.
    void feedAll(SubtitleBurner &b, int64_t fromUs = 0)
    {
        AVPacket *pkt = av_packet_alloc();
        const int64_t start = ic->start_time == AV_NOPTS_VALUE ? 0 : ic->start_time;
        while (av_read_frame(ic, pkt) >= 0) {
            const AVStream *st = ic->streams[pkt->stream_index];
            if (!fromUs || (pkt->pts != AV_NOPTS_VALUE
                            && av_rescale_q(pkt->pts, st->time_base, AV_TIME_BASE_Q) - start >= fromUs))
                b.feedPacket(pkt);
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
    }
};

} // namespace

TEST(SubtitleStream, InnerSubRipFedPacketByPacketOnTheSourceTimeline)
{
    Input in(media("clip_mkv_two_audio_sub.mkv"));
    ASSERT_NE(in.ic, nullptr);
    ZxParams set;
    set.subtitleStream = 0;
    {
        SubtitleBurner b;
        ASSERT_TRUE(openBurner(b, set, in.ic));
        EXPECT_EQ(b.streamIndex(), in.firstSubtitle());
        EXPECT_EQ(b.canvasAt(kSec), nullptr);   // nothing fed yet
        in.feedAll(b);
        // sample.srt: 0.5-1.8 s, 2.0-3.2 s, 3.4-3.9 s
        const std::pair<double, bool> rows[] = {{0.2, false}, {1.0, true}, {1.9, false}, {2.5, true},
                                                {3.3, false}, {3.6, true}, {4.0, false}};
        for (const auto &[sec, shown] : rows) {
            const AVFrame *c = b.canvasAt(int64_t(sec * kSec));
            EXPECT_EQ(c != nullptr, shown) << sec;
            if (c)
                EXPECT_GT(census(c, opaqueWhite).count, 20) << sec;
        }
    }
    {
        // A reader that starts at 2 s (a trim) still asks in source times.
        ASSERT_GE(av_seek_frame(in.ic, -1, 0, AVSEEK_FLAG_BACKWARD), 0);
        SubtitleBurner b;
        ASSERT_TRUE(openBurner(b, set, in.ic));
        in.feedAll(b, 2 * kSec);
        EXPECT_NE(b.canvasAt(kSec * 5 / 2), nullptr);
        EXPECT_EQ(b.canvasAt(kSec / 2), nullptr);
        EXPECT_EQ(b.canvasAt(kSec), nullptr);
    }
    // A stream that is not there is refused at the open (edit_tests, Refusals).
}

namespace {

// DVD subpictures on a 720 x 576 picture, made with FFmpeg's own encoder and
// muxed into Matroska or an MPEG program stream (a VobSub .sub): a white bar
// (160, 480) 400 x 40 from 1 s to 2 s, then a red box (100, 100) 100 x 50
// from 3 s to 4 s.
bool makeDvdSubtitles(const std::string &path, const char *muxer = "matroska")
{
    const AVCodec *enc = avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
    AVCodecContext *ec = enc ? avcodec_alloc_context3(enc) : nullptr;
    if (!ec)
        return false;
    ec->width = 720;
    ec->height = 576;
    ec->time_base = AVRational{1, 1000};
    AVFormatContext *oc = nullptr;
    bool ok = avcodec_open2(ec, enc, nullptr) >= 0
              && avformat_alloc_output_context2(&oc, nullptr, muxer, path.c_str()) >= 0;
    AVStream *st = ok ? avformat_new_stream(oc, nullptr) : nullptr;
    ok = st && avcodec_parameters_from_context(st->codecpar, ec) >= 0
         && avio_open(&oc->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE) >= 0;
    if (ok) {
        st->time_base = AVRational{1, 1000};
        ok = avformat_write_header(oc, nullptr) >= 0;
    }
    struct Spu { int64_t startMs; int x, y, w, h; uint32_t colour; };
    for (const Spu &spu : {Spu{1000, 160, 480, 400, 40, 0xFFFFFFFFu}, Spu{3000, 100, 100, 100, 50, 0xFFFF0000u}}) {
        if (!ok)
            break;
        std::vector<uint8_t> pixels(size_t(spu.w * spu.h), 1);
        uint32_t palette[4] = {0x00000000u, spu.colour, 0xFF000000u, 0xFF000000u};
        AVSubtitleRect rect{};
        rect.type = SUBTITLE_BITMAP;
        rect.x = spu.x;
        rect.y = spu.y;
        rect.w = spu.w;
        rect.h = spu.h;
        rect.nb_colors = 4;
        rect.data[0] = pixels.data();
        rect.linesize[0] = spu.w;
        rect.data[1] = reinterpret_cast<uint8_t *>(palette);
        AVSubtitleRect *rects[] = {&rect};
        AVSubtitle sub{};
        sub.pts = spu.startMs * 1000;
        sub.end_display_time = 1000;
        sub.num_rects = 1;
        sub.rects = rects;
        std::vector<uint8_t> buf(1 << 16);
        const int size = avcodec_encode_subtitle(ec, buf.data(), int(buf.size()), &sub);
        AVPacket *pkt = av_packet_alloc();
        ok = size > 0 && pkt && av_new_packet(pkt, size) >= 0;
        if (ok) {
            std::copy(buf.begin(), buf.begin() + size, pkt->data);
            pkt->pts = pkt->dts = spu.startMs;
            pkt->duration = 1000;
            av_packet_rescale_ts(pkt, AVRational{1, 1000}, st->time_base);
            ok = av_interleaved_write_frame(oc, pkt) >= 0;
        }
        av_packet_free(&pkt);
    }
    if (ok)
        ok = av_write_trailer(oc) >= 0;
    if (oc)
        avio_closep(&oc->pb);
    avformat_free_context(oc);
    if (ok && std::string(muxer) == "vob") {
        // The .idx: the encoder's header (size, palette) and, per subpicture,
        // the offset of the pack where its first PES packet (with a PTS) starts.
        const std::string ps = fileBytes(path);
        std::string idx = "# VobSub index file, v7 (do not modify this line!)\n";
        idx.append(reinterpret_cast<const char *>(ec->extradata), size_t(ec->extradata_size));
        idx += "\nid: en, index: 0\n";
        const char *stamps[] = {"00:00:01:000", "00:00:03:000"};
        size_t pack = 0, found = 0;
        for (size_t i = 0; i + 9 < ps.size() && found < 2; ++i) {
            if (ps.compare(i, 4, std::string("\0\0\1\xba", 4)) == 0)
                pack = i;
            else if (ps.compare(i, 4, std::string("\0\0\1\xbd", 4)) == 0 && (uint8_t(ps[i + 7]) & 0x80)) {
                char line[64];
                std::snprintf(line, sizeof line, "timestamp: %s, filepos: %09zx\n", stamps[found++], pack);
                idx += line;
            }
        }
        ok = found == 2;
        std::ofstream(path.substr(0, path.size() - 3) + "idx", std::ios::binary) << idx;
    }
    avcodec_free_context(&ec);
    return ok;
}

} // namespace

TEST(SubtitleStream, DvdSubpicturesAreScaledToTheFrame)
{
    const std::string mkv = outDir() + "/dvdsub.mkv", vobsub = outDir() + "/vob sub, 1.sub";
    ASSERT_TRUE(makeDvdSubtitles(mkv));
    ASSERT_TRUE(makeDvdSubtitles(vobsub, "vob"));
    struct Row { int w, h; std::string file; };
    for (const Row &row : {Row{640, 480, ""}, Row{1280, 720, ""}, Row{720, 576, mkv},
                           Row{1920, 1080, vobsub.substr(0, vobsub.size() - 3) + "idx"}}) {
        Input in(mkv);
        ASSERT_NE(in.ic, nullptr);
        ZxParams set;
        SubtitleBurner b;
        if (!row.file.empty()) {
            set.subtitleFile = row.file;
            ASSERT_TRUE(openBurner(b, set, nullptr, row.w, row.h));
        } else {
            set.subtitleStream = 0;
            ASSERT_TRUE(openBurner(b, set, in.ic, row.w, row.h));
            EXPECT_EQ(b.streamIndex(), in.firstSubtitle());
            in.feedAll(b);
        }
        EXPECT_EQ(b.canvasAt(kSec / 2), nullptr);
        EXPECT_EQ(b.canvasAt(kSec * 5 / 2), nullptr);
        EXPECT_EQ(b.canvasAt(kSec * 9 / 2), nullptr);
        const AVFrame *bar = b.canvasAt(kSec * 11 / 10);
        ASSERT_NE(bar, nullptr) << row.w;
        EXPECT_EQ(b.canvasAt(kSec * 19 / 10), bar);
        const Census white = census(bar, opaqueWhite);
        const double sx = row.w / 720.0, sy = row.h / 576.0;
        EXPECT_NEAR(white.x0, 160 * sx, 2) << row.w;
        EXPECT_NEAR(white.x1 + 1, 560 * sx, 2) << row.w;
        EXPECT_NEAR(white.y0, 480 * sy, 2) << row.w;
        EXPECT_NEAR(white.y1 + 1, 520 * sy, 2) << row.w;
        EXPECT_EQ(census(bar, anyAlpha).count, white.count) << row.w;

        const AVFrame *box = b.canvasAt(kSec * 7 / 2);
        ASSERT_NE(box, nullptr) << row.w;
        EXPECT_NE(box, bar);
        const Census red = census(box, opaqueRed);
        EXPECT_NEAR(red.x0, 100 * sx, 2) << row.w;
        EXPECT_NEAR(red.y1 + 1, 150 * sy, 2) << row.w;
        EXPECT_EQ(census(box, anyAlpha).count, red.count) << row.w;   // the bar is gone
    }
}

namespace {

uint8_t oddParity(uint8_t c)
{
    int ones = 0;
    for (int i = 0; i < 7; ++i)
        ones += (c >> i) & 1;
    return uint8_t((c & 0x7F) | ((ones % 2) ? 0 : 0x80));
}

// A video frame carrying one EIA-608 field-1 byte pair as A53 caption data.
zx::FramePtr captionFrame(uint8_t a, uint8_t b)
{
    zx::FramePtr f = zx::makeFrame();
    AVFrameSideData *sd = av_frame_new_side_data(f.get(), AV_FRAME_DATA_A53_CC, 3);
    sd->data[0] = 0xFC;   // marker bits, valid, field 1
    sd->data[1] = oddParity(a);
    sd->data[2] = oddParity(b);
    return f;
}

} // namespace

TEST(SubtitleCaptions, PopOnCaptionShowsFromEndOfCaptionUntilErased)
{
    int widthAt43 = 0;
    for (const int frameW : {640, 854}) {
        ZxParams set;
        set.closedCaptions = 1;
        SubtitleBurner b;
        ASSERT_TRUE(openBurner(b, set, nullptr, frameW, 480));
        EXPECT_EQ(b.streamIndex(), -1);
        const std::pair<uint8_t, uint8_t> pairs[] = {
            {0x14, 0x20},                                          // resume caption loading
            {'H', 'E'}, {'L', 'L'}, {'O', ' '}, {'C', 'C'},
            {0x14, 0x2F},                                          // end of caption: show it
        };
        int64_t t = kSec;
        for (const auto &[a, c] : pairs) {
            b.feedCaptions(captionFrame(a, c).get(), t);
            t += 40000;
        }
        const int64_t shownAt = t - 40000;
        b.feedCaptions(zx::makeFrame().get(), t);   // no side data: ignored
        for (int i = 0; i < 50; ++i, t += 40000)
            b.feedCaptions(captionFrame(0x80, 0x80).get(), t);   // padding
        b.feedCaptions(captionFrame(0x14, 0x2C).get(), t);        // erase displayed memory
        const int64_t erasedAt = t;

        EXPECT_EQ(b.canvasAt(kSec), nullptr);
        EXPECT_EQ(b.canvasAt(shownAt - 40000), nullptr);
        const AVFrame *c = b.canvasAt(shownAt + 40000);
        ASSERT_NE(c, nullptr);
        const Census text = census(c, opaqueWhite);
        EXPECT_GT(text.count, 30);
        // Captions keep their place on the caption grid, unstretched.
        EXPECT_LT(text.x0, frameW / 5);
        EXPECT_GT(text.y0, 240);
        if (frameW == 640)
            widthAt43 = text.x1 - text.x0;
        else
            EXPECT_NEAR(text.x1 - text.x0, widthAt43, 4);
        EXPECT_EQ(b.canvasAt(erasedAt - 40000), c);
        EXPECT_EQ(b.canvasAt(erasedAt + 40000), nullptr);
    }
}
