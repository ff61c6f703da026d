// Pure parts of the engine: geometry, codec choice, parameter checks, BMP.
#include "bmp.h"
#include "codec_map.h"
#include "geometry.h"
#include "picture_blend.h"
#include "zentrix.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>
#include <string>

namespace {

// --- geometry --------------------------------------------------------------

struct GeometryCase {
    const char *name;
    int srcW, srcH, sarN, sarD, autoRot;
    int frameW, frameH;           // requested video size (0 = source)
    int rotation, keepShape, shapeN, shapeD;
    ZxCrop crop;
    // expected
    int outW, outH, picW, picH;
};

class GeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTest, PictureLandsInFrame)
{
    const GeometryCase &c = GetParam();
    ZxParams p;
    p.width = c.frameW;
    p.height = c.frameH;
    p.rotation = c.rotation;
    p.keepShape = c.keepShape;
    p.shapeNum = c.shapeN;
    p.shapeDen = c.shapeD;
    p.crop = c.crop;
    zx::SourcePicture src{c.srcW, c.srcH, c.sarN, c.sarD, c.autoRot};
    const zx::Geometry g = zx::computeGeometry(p, src, true, true);
    EXPECT_EQ(g.frameW, c.outW);
    EXPECT_EQ(g.frameH, c.outH);
    EXPECT_EQ(g.pictureW, c.picW);
    EXPECT_EQ(g.pictureH, c.picH);
    // The picture is centred and inside the frame, on even coordinates.
    EXPECT_LE(g.padX + g.pictureW, g.frameW);
    EXPECT_LE(g.padY + g.pictureH, g.frameH);
    EXPECT_LE(std::abs((g.frameW - g.pictureW) - 2 * g.padX), 2);
    EXPECT_LE(std::abs((g.frameH - g.pictureH) - 2 * g.padY), 2);
    EXPECT_TRUE(g.padX % 2 == 0 && g.padY % 2 == 0 && g.frameW % 2 == 0 && g.frameH % 2 == 0)
        << "odd: pad " << g.padX << "," << g.padY << " frame " << g.frameW << "x" << g.frameH;
}

const ZxCrop kFull{0, 0, 1, 1};

INSTANTIATE_TEST_SUITE_P(
    Cases, GeometryTest,
    ::testing::Values(
        GeometryCase{"same_size", 320, 240, 1, 1, 0, 0, 0, 0, 1, 0, 0, kFull, 320, 240, 320, 240},
        GeometryCase{"pillarbox_4_3_in_16_9", 320, 240, 1, 1, 0, 640, 360, 0, 1, 0, 0, kFull, 640, 360, 480, 360},
        GeometryCase{"letterbox_16_9_in_4_3", 640, 360, 1, 1, 0, 320, 240, 0, 1, 0, 0, kFull, 320, 240, 320, 180},
        GeometryCase{"stretch_full_screen", 320, 240, 1, 1, 0, 640, 360, 0, 0, 0, 0, kFull, 640, 360, 640, 360},
        GeometryCase{"rotation_swaps_frame", 320, 240, 1, 1, 0, 640, 360, 90, 1, 0, 0, kFull, 360, 640, 360, 480},
        GeometryCase{"half_turn_keeps_frame", 320, 240, 1, 1, 0, 640, 360, 180, 1, 0, 0, kFull, 640, 360, 480, 360},
        GeometryCase{"metadata_rotation_upright", 320, 240, 1, 1, 90, 0, 0, 0, 1, 0, 0, kFull, 240, 320, 240, 320},
        GeometryCase{"odd_source_made_even", 641, 361, 1, 1, 0, 0, 0, 0, 1, 0, 0, kFull, 640, 360, 640, 360},
        GeometryCase{"odd_request_made_even", 320, 240, 1, 1, 0, 641, 361, 0, 0, 0, 0, kFull, 640, 360, 640, 360},
        GeometryCase{"anamorphic_source_widened", 720, 576, 16, 15, 0, 0, 0, 0, 1, 0, 0, kFull, 768, 576, 768, 576},
        GeometryCase{"imposed_16_9_shape", 320, 240, 1, 1, 0, 640, 480, 0, 1, 16, 9, kFull, 640, 480, 640, 360},
        GeometryCase{"crop_left_half", 320, 240, 1, 1, 0, 0, 0, 0, 1, 0, 0, ZxCrop{0, 0, 0.5, 1}, 160, 240, 160, 240},
        GeometryCase{"crop_then_letterbox", 320, 240, 1, 1, 0, 320, 240, 0, 1, 0, 0, ZxCrop{0.25, 0, 0.5, 1}, 320, 240,
                     160, 240}),
    [](const ::testing::TestParamInfo<GeometryCase> &info) { return std::string(info.param.name); });

TEST(GeometryFilters, HalfTurnWithMirrorIsVerticalMirror)
{
    ZxParams p;
    p.rotation = 180;
    p.flip = 1;
    const zx::Geometry g = zx::computeGeometry(p, zx::SourcePicture{320, 240, 1, 1, 0}, true, true);
    const std::string chain = zx::geometryFilters(g, 0);
    EXPECT_NE(chain.find("vflip"), std::string::npos);
    EXPECT_EQ(chain.find("hflip"), std::string::npos) << chain;
}

TEST(DisplayMatrix, QuarterTurnsOnly)
{
    int32_t m[9];
    // As ffmpeg's autorotation reads them: a matrix set to 90 is shown turned clockwise.
    struct Row { double ccw; int clockwise; } rows[] = {{0, 0}, {90, 90}, {-90, 270}, {180, 180}, {-180, 180}, {45, 0}};
    for (const Row &r : rows) {
        av_display_rotation_set(m, r.ccw);
        EXPECT_EQ(zx::rotationFromDisplayMatrix(m), r.clockwise) << r.ccw;
    }
    EXPECT_EQ(zx::rotationFromDisplayMatrix(nullptr), 0);
}

// --- codec numbers ------------------------------------------------------------

struct CodecCase {
    int legacy;
    const char *container;   // nullptr = no container check
    const char *encoder;     // nullptr = none
};

class CodecMapTest : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecMapTest, LegacyNumberPicksEncoderByCodec)
{
    const CodecCase &c = GetParam();
    const char *got = ZxEncoderName(c.legacy, c.container);
    if (!c.encoder)
        EXPECT_EQ(got, nullptr) << c.legacy;
    else
        EXPECT_STREQ(got ? got : "(none)", c.encoder) << c.legacy << " in " << (c.container ? c.container : "-");
}

INSTANTIATE_TEST_SUITE_P(
    Table, CodecMapTest,
    // The aliases and refusals; the pairs that convert are measured by ffprobe
    // in the conversion tests.
    ::testing::Values(CodecCase{175, nullptr, "libx265"}, CodecCase{73728, "amr", nullptr},
                      CodecCase{0, nullptr, nullptr}, CodecCase{27, nullptr, nullptr},
                      CodecCase{169, "wav", nullptr}, CodecCase{28, "nosuchcontainer", nullptr}));

TEST(CodecMap, AviTagsOnlyInAvi)
{
    zx::EncoderChoice c;
    std::string err;
    ASSERT_TRUE(zx::chooseEncoder(1145656920, zx::findMuxer("avi"), c, err));
    EXPECT_EQ(c.codecTag, uint32_t('X') | uint32_t('V') << 8 | uint32_t('I') << 16 | uint32_t('D') << 24);
    ASSERT_TRUE(zx::chooseEncoder(808802372, zx::findMuxer("mp4"), c, err));
    EXPECT_EQ(c.codecTag, 0u);
}

TEST(CodecMap, FallbackIsExplained)
{
    // The refusals' texts are checked through the job (conversion tests).
    zx::EncoderChoice c;
    std::string err;
    ASSERT_TRUE(zx::chooseEncoder(71, zx::findMuxer("asf"), c, err, AVMEDIA_TYPE_VIDEO));
    EXPECT_NE(c.note.find("wmv2"), std::string::npos) << c.note;
}

// --- parameter set ---------------------------------------------------------

TEST(Params, SettersRejectOutOfRangeAndKeepOldValue)
{
    ZxParams *p = ParamsCreate();
    ASSERT_NE(p, nullptr);
    struct Row { const char *what; int result, expected; } rows[] = {
        {"rotation 90", SetRotation(p, 90), 1},      {"rotation 45", SetRotation(p, 45), 0},
        {"channels 0", SetChannels(p, 0), 0},        {"channels 9", SetChannels(p, 9), 0},
        {"rate 500", SetSampleRate(p, 500), 0},      {"quality 101", SetVideoQuality(p, 101), 0},
        {"crop beyond", SetCropRect(p, 0.6, 0, 0.5, 1), 0}, {"crop empty", SetCropRect(p, 0, 0, 0, 1), 0},
        {"fps den 0", SetFrameRate(p, 25, 0), 0},    {"negative size", SetVideoSize(p, -2, 10), 0},
        {"volume 200", SetVolume(p, 200), 1},        {"volume 201", SetVolume(p, 201), 0},
        {"volume -1", SetVolume(p, -1), 0},          {"brightness -235", SetBrightness(p, -235), 1},
        {"brightness 236", SetBrightness(p, 236), 0}, {"saturation 0", SetSaturation(p, 0), 1},
        {"saturation 201", SetSaturation(p, 201), 0}, {"contrast -1", SetContrast(p, -1), 0},
        {"hue 180", SetHue(p, 180), 1},              {"hue -181", SetHue(p, -181), 0},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.result, r.expected) << r.what;
    EXPECT_EQ(p->rotation, 90);
    EXPECT_EQ(p->channels, 2);
    EXPECT_EQ(p->sampleRate, 44100);
    EXPECT_EQ(p->volume, 200);
    EXPECT_TRUE(p->crop == (ZxCrop{0, 0, 1, 1}));
    EXPECT_EQ(SetRotation(p, -90), 1);
    EXPECT_EQ(p->rotation, 270);
    ParamsRelease(p);
}

TEST(Params, NullHandlesAreHarmless)
{
    EXPECT_EQ(SetVideoCodec(nullptr, 28), 0);
    EXPECT_EQ(SetWatermarkText(nullptr, "x"), 0);
    EXPECT_EQ(SetSubtitleFile(nullptr, nullptr), 0);
    ParamsRelease(nullptr);
    EXPECT_EQ(JobIsFinished(nullptr), 0);
    EXPECT_EQ(JobRequestStop(nullptr), 0);
    EXPECT_EQ(SourceDuration(nullptr), 0);
    EXPECT_STREQ(SourceBrand(nullptr), "");
    EXPECT_EQ(SourceThumbnail(nullptr, 0, 1, 10, 10, 0), nullptr);
    EXPECT_EQ(MergerAddFile(nullptr, "x", 0, 0, nullptr), 0);
    EXPECT_EQ(TrackCreate(3), nullptr);
}

// --- BMP -------------------------------------------------------------------

TEST(Bmp, HeaderAndBottomUpRows)
{
    // 3x2 picture: top row blue-ish, bottom row red-ish (BGR order).
    const uint8_t bgr[] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255};
    const std::vector<unsigned char> bmp = zx::encodeBmp24(bgr, 9, 3, 2);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    const uint32_t size = bmp[2] | bmp[3] << 8 | bmp[4] << 16 | uint32_t(bmp[5]) << 24;
    EXPECT_EQ(size, bmp.size());
    EXPECT_EQ(bmp.size(), 54u + 2 * 12u); // rows padded to 4 bytes
    const uint32_t offset = bmp[10] | bmp[11] << 8;
    // The first stored row is the bottom one (red).
    EXPECT_EQ(bmp[offset + 2], 255);
    EXPECT_EQ(bmp[offset + 0], 0);
    EXPECT_EQ(bmp[offset + 12], 255);
}

} // namespace

// --- blending subtitles into frames ---------------------------------------

namespace {

AVFrame *blankFrame(AVPixelFormat fmt, int w, int h, int fill)
{
    AVFrame *f = av_frame_alloc();
    f->format = fmt;
    f->width = w;
    f->height = h;
    av_frame_get_buffer(f, 0);
    for (int p = 0; p < 4 && f->data[p]; ++p)
        std::memset(f->data[p], fill, size_t(f->linesize[p]) * h);
    return f;
}

} // namespace

TEST(PictureBlend, FormatsBoxAndMixing)
{
    // A transparent canvas with one opaque white pixel at (5, 3) and a
    // half-transparent red one at (6, 3).
    AVFrame *canvas = blankFrame(AV_PIX_FMT_RGBA, 16, 8, 0);
    uint8_t *row = canvas->data[0] + 3 * canvas->linesize[0];
    std::memcpy(row + 4 * 5, "\xff\xff\xff\xff", 4);
    std::memcpy(row + 4 * 6, "\xff\x00\x00\x80", 4);
    const zx::PixelBox box = zx::drawnBox(canvas);
    EXPECT_EQ(box.x0, 5);
    EXPECT_EQ(box.x1, 7);
    EXPECT_EQ(box.y0, 3);
    EXPECT_EQ(box.y1, 4);

    // Limited-range YUV 4:2:0, black: white becomes 235, the rest is untouched.
    AVFrame *yuv = blankFrame(AV_PIX_FMT_YUV420P, 16, 8, 16);
    std::memset(yuv->data[1], 128, size_t(yuv->linesize[1]) * 4);
    std::memset(yuv->data[2], 128, size_t(yuv->linesize[2]) * 4);
    zx::blendInto(yuv, canvas, box);
    EXPECT_EQ(yuv->data[0][3 * yuv->linesize[0] + 5], 235);
    EXPECT_EQ(yuv->data[0][3 * yuv->linesize[0] + 4], 16);
    EXPECT_EQ(yuv->data[0][2 * yuv->linesize[0] + 5], 16);
    // Half red over black: Y rises by half of red's luma (81 - 16).
    EXPECT_NEAR(yuv->data[0][3 * yuv->linesize[0] + 6], 16 + (81 - 16) * 128 / 255, 1);
    // Chroma sample (3, 1) covers (6..7, 2..3): a quarter covered at half
    // strength by red (V 240), so V moves an eighth of the way.
    EXPECT_NEAR(yuv->data[2][1 * yuv->linesize[2] + 3], 128 + (240 - 128) / 8, 1);
    EXPECT_EQ(yuv->data[2][1 * yuv->linesize[2] + 1], 128);

    // Full-range and packed RGB destinations.
    AVFrame *full = blankFrame(AV_PIX_FMT_YUVJ420P, 16, 8, 0);
    zx::blendInto(full, canvas, box);
    EXPECT_EQ(full->data[0][3 * full->linesize[0] + 5], 255);
    AVFrame *bgra = blankFrame(AV_PIX_FMT_BGRA, 16, 8, 0);
    zx::blendInto(bgra, canvas, box);
    const uint8_t *px = bgra->data[0] + 3 * bgra->linesize[0] + 4 * 6;
    EXPECT_EQ(px[0], 0);                 // blue
    EXPECT_NEAR(px[2], 128, 1);          // red, half
    EXPECT_EQ(bgra->data[0][3 * bgra->linesize[0] + 4 * 7 + 2], 0);

    for (AVFrame *f : {canvas, yuv, full, bgra})
        av_frame_free(&f);
}
