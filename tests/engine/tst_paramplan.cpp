// The mapping of a job's parameters onto the engine's setters: which setters
// run with which values where the choice depends on the job, and that the
// engine accepts the plans.
#include "engine/ConvertParams.h"
#include "engine/ZxParamSet.h"
#include "TestEnv.h"

#include <QApplication>
#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(ParamPlan)
Q_DECLARE_METATYPE(ConvertParams)

namespace {

std::vector<ParamStep> stepsOf(const ParamPlan &plan, ParamSetter s)
{
    std::vector<ParamStep> out;
    std::copy_if(plan.begin(), plan.end(), std::back_inserter(out), [s](const ParamStep &p) { return p.setter == s; });
    return out;
}

ParamStep step(ParamSetter s, int64_t a = 0, int64_t b = 0)
{
    ParamStep p;
    p.setter = s;
    p.a = a;
    p.b = b;
    return p;
}

ParamStep rectStep(ParamSetter s, double x, double y, double w, double h)
{
    ParamStep p;
    p.setter = s;
    p.x = x;
    p.y = y;
    p.w = w;
    p.h = h;
    return p;
}

ParamStep textStep(ParamSetter s, const std::string &t)
{
    ParamStep p;
    p.setter = s;
    p.text = t;
    return p;
}

QString describe(const ParamPlan &plan)
{
    QStringList parts;
    for (const ParamStep &p : plan)
        parts << QString("%1(%2,%3,%4,%5,%6,%7,'%8')")
                     .arg(paramSetterName(p.setter)).arg(p.a).arg(p.b)
                     .arg(p.x).arg(p.y).arg(p.w).arg(p.h).arg(QString::fromStdString(p.text));
    return parts.join(' ');
}

// The geometry setters of a plan, in order.
ParamPlan geometryOf(const ParamPlan &plan)
{
    ParamPlan out;
    for (const ParamStep &p : plan) {
        if (p.setter == ParamSetter::OutputSize || p.setter == ParamSetter::Fill || p.setter == ParamSetter::CropRect)
            out.push_back(p);
    }
    return out;
}

} // namespace

class TestParamPlan : public QObject {
    Q_OBJECT

private slots:
    void subtitleChoice_data();
    void subtitleChoice();
    void geometry_data();
    void geometry();
    void scaledValuesAndFonts();
    void watermarkSetters_data();
    void watermarkSetters();
    void engineAcceptsPlans_data();
    void engineAcceptsPlans();
};

void TestParamPlan::subtitleChoice_data()
{
    QTest::addColumn<int>("streamCount");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("file");
    QTest::addColumn<ParamPlan>("expected");

    const ParamPlan none{step(ParamSetter::SubtitleStream, -1)};
    QTest::newRow("no streams, entry 0 = none") << 0 << 0 << "" << none;
    QTest::newRow("no streams, entry 1 = closed captions") << 0 << 1 << "" << ParamPlan{step(ParamSetter::ClosedCaptions, 1)};
    QTest::newRow("two streams, entry 2 = stream 1") << 2 << 2 << "" << ParamPlan{step(ParamSetter::SubtitleStream, 1)};
    QTest::newRow("two streams, entry 1 = stream 0") << 2 << 1 << "/x/a.srt" << ParamPlan{step(ParamSetter::SubtitleStream, 0)};
    QTest::newRow("two streams, entry 3 = closed captions") << 2 << 3 << "" << ParamPlan{step(ParamSetter::ClosedCaptions, 1)};
    QTest::newRow("two streams, entry 4 = external file") << 2 << 4 << "/x/a b.srt"
                                                          << ParamPlan{textStep(ParamSetter::SubtitleFile, "/x/a b.srt")};
    QTest::newRow("external entry without a file = none") << 0 << 2 << "" << none;
    QTest::newRow("no selection (-1) = none") << 1 << -1 << "" << none;
}

void TestParamPlan::subtitleChoice()
{
    QFETCH(int, streamCount);
    QFETCH(int, index);
    QFETCH(QString, file);
    QFETCH(ParamPlan, expected);

    ConvertParams p;
    p.subtitleStreamCount = streamCount;
    p.subtitleIndex = index;
    p.subtitleFile = file.toStdString();
    const ParamPlan plan = buildParamPlan(p);

    ParamPlan choice;
    for (ParamSetter s : {ParamSetter::SubtitleStream, ParamSetter::ClosedCaptions, ParamSetter::SubtitleFile}) {
        const auto found = stepsOf(plan, s);
        choice.insert(choice.end(), found.begin(), found.end());
    }
    QVERIFY2(choice == expected, qPrintable(describe(choice)));
}

void TestParamPlan::geometry_data()
{
    QTest::addColumn<int>("ratioType");
    QTest::addColumn<int>("fillMode");
    QTest::addColumn<int>("aspectLocked");
    QTest::addColumn<int>("rotation");
    QTest::addColumn<ParamPlan>("expected");

    // Output 640x360, ratio 16:9, fill colour 7, crop (0.1, 0.2, 0.5, 0.6), pan scan (0.2, 0.3, 0.4, 0.5).
    const ParamStep crop = rectStep(ParamSetter::CropRect, 0.1, 0.2, 0.5, 0.6);
    const ParamStep pan = rectStep(ParamSetter::CropRect, 0.2, 0.3, 0.4, 0.5);
    QTest::newRow("16:9 keeps its shape without the lock") << 3 << 0 << 0 << 0
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::Fill, 1, 7), crop};
    QTest::newRow("16:9 locked keeps shape") << 3 << 0 << 1 << 90
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::Fill, 1, 7), crop};
    QTest::newRow("full screen turned: ratio swapped, never keeps shape") << 2 << 0 << 1 << 90
        << ParamPlan{step(ParamSetter::OutputSize, 9, 16), step(ParamSetter::Fill, 0, 7), crop};
    QTest::newRow("full screen upside down: not swapped") << 2 << 0 << 0 << 180
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::Fill, 0, 7), crop};
    QTest::newRow("pan scan: output size, no fill, pan-scan rectangle") << 3 << 1 << 1 << 0
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::OutputSize, 640, 360),
                     step(ParamSetter::Fill, 0, 7), pan};
    QTest::newRow("pan scan turned: output size swapped") << 4 << 1 << 1 << 270
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::OutputSize, 360, 640),
                     step(ParamSetter::Fill, 0, 7), pan};
    QTest::newRow("pan scan needs the lock") << 3 << 1 << 0 << 0
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::Fill, 1, 7), crop};
    QTest::newRow("pan scan is ignored for full screen") << 2 << 1 << 1 << 0
        << ParamPlan{step(ParamSetter::OutputSize, 16, 9), step(ParamSetter::Fill, 0, 7), crop};
}

void TestParamPlan::geometry()
{
    QFETCH(int, ratioType);
    QFETCH(int, fillMode);
    QFETCH(int, aspectLocked);
    QFETCH(int, rotation);
    QFETCH(ParamPlan, expected);

    ConvertParams p;
    p.width = 640;
    p.height = 360;
    p.crop.ratioType = ratioType;
    p.crop.fillMode = fillMode;
    p.crop.aspectLocked = aspectLocked;
    p.crop.rotation = rotation;
    p.crop.ratioWidth = 16;
    p.crop.ratioHeight = 9;
    p.crop.fillValue = 7;
    p.crop.cropRect = {0.1, 0.2, 0.5, 0.6};
    p.crop.panScanRect = {0.2, 0.3, 0.4, 0.5};
    const ParamPlan plan = buildParamPlan(p);
    const ParamPlan geometry = geometryOf(plan);
    QVERIFY2(geometry == expected, qPrintable(describe(geometry)));
    QCOMPARE(stepsOf(plan, ParamSetter::Rotation).front().a, int64_t(rotation));
}

void TestParamPlan::scaledValuesAndFonts()
{
    ConvertParams p;
    p.subtitleStyle.timeValue = 3;
    p.subtitleStyle.anchorX = 250;
    p.subtitleStyle.anchorY = 1000;
    p.subtitleStyle.fontFamily = "@SimSun";
    p.textWatermark.fontFamily = "";
    p.textWatermark.anchorX = 125;
    p.textWatermark.anchorY = 500;
    p.textWatermark.posX = 333;
    p.textWatermark.posY = 999;
    p.imageWatermark.posX = 1;
    p.imageWatermark.posY = 1000;
    const ParamPlan plan = buildParamPlan(p);

    QCOMPARE(stepsOf(plan, ParamSetter::SubtitleTimeValue).front().a, int64_t(3000));
    QCOMPARE(stepsOf(plan, ParamSetter::SubtitleAnchorX).front().x, 0.25);
    QCOMPARE(stepsOf(plan, ParamSetter::SubtitleAnchorY).front().x, 1.0);
    QCOMPARE(stepsOf(plan, ParamSetter::SubtitleFont).front().text, std::string("SimSun"));
    QCOMPARE(stepsOf(plan, ParamSetter::WatermarkFont).front().text, std::string(""));
    QCOMPARE(stepsOf(plan, ParamSetter::WatermarkAnchorX).front().x, 0.125);
    QCOMPARE(stepsOf(plan, ParamSetter::WatermarkAnchorY).front().x, 0.5);
    const ParamStep textPos = stepsOf(plan, ParamSetter::WatermarkTextPos).front();
    QCOMPARE(textPos.x, 0.333);
    QCOMPARE(textPos.y, 0.999);
    const ParamStep imagePos = stepsOf(plan, ParamSetter::WatermarkImagePos).front();
    QCOMPARE(imagePos.x, 0.001);
    QCOMPARE(imagePos.y, 1.0);

    // Only one leading at-sign is the vertical marker; the rest is the name.
    QCOMPARE(engineFontFamily("@@Odd"), std::string("@Odd"));
    QCOMPARE(engineFontFamily("Sans @ Serif"), std::string("Sans @ Serif"));
}

void TestParamPlan::watermarkSetters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("image");
    QTest::newRow("both") << "Velmora" << "/pics/logo.png";
    QTest::newRow("neither") << "" << "";
}

void TestParamPlan::watermarkSetters()
{
    QFETCH(QString, text);
    QFETCH(QString, image);
    ConvertParams p;
    p.textWatermark.text = text.toStdString();
    p.imageWatermark.imagePath = image.toStdString();
    p.imageWatermark.mode = 3;
    const ParamPlan plan = buildParamPlan(p);

    const auto texts = stepsOf(plan, ParamSetter::WatermarkText);
    const auto images = stepsOf(plan, ParamSetter::WatermarkImage);
    QCOMPARE(int(texts.size()), text.isEmpty() ? 0 : 1);
    QCOMPARE(int(images.size()), image.isEmpty() ? 0 : 1);
    if (!images.empty())
        QCOMPARE(images.front().text, image.toStdString());
    QCOMPARE(stepsOf(plan, ParamSetter::WatermarkImageMode).front().a, int64_t(3));
}

void TestParamPlan::engineAcceptsPlans_data()
{
    QTest::addColumn<ConvertParams>("params");
    QTest::addColumn<QString>("refusedExpected");

    ConvertParams defaults;
    defaults.videoCodecId = 28;
    defaults.audioCodecId = 86018;
    QTest::newRow("defaults of a new item") << defaults << "";

    ConvertParams edited = defaults;
    edited.width = 640;
    edited.height = 360;
    edited.frameRateNum = 25;
    edited.frameRateDen = 1;
    edited.crop.ratioType = 3;
    edited.crop.ratioWidth = 16;
    edited.crop.ratioHeight = 9;
    edited.crop.aspectLocked = 1;
    edited.crop.fillMode = 1;
    edited.crop.rotation = 270;
    edited.crop.panScanRect = {0.1, 0.1, 0.8, 0.8};
    edited.effects = {150, 0, -235, 200, 0, 180};
    edited.subtitleStreamCount = 1;
    edited.subtitleIndex = 3;
    edited.subtitleFile = "/tmp/x.srt";
    edited.textWatermark.text = "Velmora";
    edited.textWatermark.fontFamily = "@Sans";
    edited.imageWatermark.imagePath = "/tmp/logo.png";
    QTest::newRow("every edit used") << edited << "";

    ConvertParams bad = defaults;
    bad.crop.rotation = 45;
    bad.videoQuality = 101;
    QTest::newRow("out of range values are reported") << bad << "VideoQuality, Rotation";
}

void TestParamPlan::engineAcceptsPlans()
{
    QFETCH(ConvertParams, params);
    QFETCH(QString, refusedExpected);
    std::string refused;
    zxh::ParamsPtr set = createParamSet(buildParamPlan(params), &refused);
    QVERIFY(set);
    QCOMPARE(QString::fromStdString(refused), refusedExpected);
}

VELMORA_TEST_MAIN(TestParamPlan)
#include "tst_paramplan.moc"
