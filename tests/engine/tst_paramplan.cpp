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

using S = ParamSetter;

// The steps of a plan made by any of the given setters, in plan order.
ParamPlan stepsOf(const ParamPlan &plan, std::initializer_list<ParamSetter> setters)
{
    ParamPlan out;
    std::copy_if(plan.begin(), plan.end(), std::back_inserter(out), [setters](const ParamStep &p) {
        return std::find(setters.begin(), setters.end(), p.setter) != setters.end();
    });
    return out;
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

} // namespace

class TestParamPlan : public QObject {
    Q_OBJECT

private slots:
    void subtitleChoice_data()
    {
        QTest::addColumn<int>("streamCount");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("file");
        QTest::addColumn<ParamPlan>("expected");

        const ParamPlan none{{S::SubtitleStream, -1}}, captions{{S::ClosedCaptions, 1}};
        QTest::newRow("no streams, entry 0 = none") << 0 << 0 << "" << none;
        QTest::newRow("no streams, entry 1 = closed captions") << 0 << 1 << "" << captions;
        QTest::newRow("two streams, entry 2 = stream 1") << 2 << 2 << "" << ParamPlan{{S::SubtitleStream, 1}};
        QTest::newRow("two streams, entry 1 = stream 0") << 2 << 1 << "/x/a.srt" << ParamPlan{{S::SubtitleStream, 0}};
        QTest::newRow("two streams, entry 3 = closed captions") << 2 << 3 << "" << captions;
        QTest::newRow("two streams, entry 4 = external file")
            << 2 << 4 << "/x/a b.srt" << ParamPlan{{S::SubtitleFile, 0, 0, 0, 0, 0, 0, "/x/a b.srt"}};
        QTest::newRow("external entry without a file = none") << 0 << 2 << "" << none;
        QTest::newRow("no selection (-1) = none") << 1 << -1 << "" << none;
    }

    void subtitleChoice()
    {
        QFETCH(int, streamCount);
        QFETCH(int, index);
        QFETCH(QString, file);
        QFETCH(ParamPlan, expected);
        ConvertParams p;
        p.subtitleStreamCount = streamCount;
        p.subtitleIndex = index;
        p.subtitleFile = file.toStdString();
        const ParamPlan choice = stepsOf(buildParamPlan(p), {S::SubtitleStream, S::ClosedCaptions, S::SubtitleFile});
        QVERIFY2(choice == expected, qPrintable(describe(choice)));
    }

    void geometry_data()
    {
        QTest::addColumn<int>("ratioType");
        QTest::addColumn<int>("fillMode");
        QTest::addColumn<int>("aspectLocked");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<ParamPlan>("expected");

        // Output 640x360, ratio 16:9, fill colour 7, crop (0.1, 0.2, 0.5, 0.6), pan scan (0.2, 0.3, 0.4, 0.5).
        const ParamStep crop{S::CropRect, 0, 0, 0.1, 0.2, 0.5, 0.6}, pan{S::CropRect, 0, 0, 0.2, 0.3, 0.4, 0.5};
        const ParamStep ratio{S::OutputSize, 16, 9}, fill{S::Fill, 1, 7}, stretch{S::Fill, 0, 7};
        QTest::newRow("16:9 keeps its shape without the lock") << 3 << 0 << 0 << 0 << ParamPlan{ratio, fill, crop};
        QTest::newRow("16:9 locked keeps shape") << 3 << 0 << 1 << 90 << ParamPlan{ratio, fill, crop};
        QTest::newRow("full screen turned: ratio swapped, never keeps shape")
            << 2 << 0 << 1 << 90 << ParamPlan{{S::OutputSize, 9, 16}, stretch, crop};
        QTest::newRow("full screen upside down: not swapped") << 2 << 0 << 0 << 180 << ParamPlan{ratio, stretch, crop};
        QTest::newRow("pan scan: output size, no fill, pan-scan rectangle")
            << 3 << 1 << 1 << 0 << ParamPlan{ratio, {S::OutputSize, 640, 360}, stretch, pan};
        QTest::newRow("pan scan turned: output size swapped")
            << 4 << 1 << 1 << 270 << ParamPlan{ratio, {S::OutputSize, 360, 640}, stretch, pan};
        QTest::newRow("pan scan needs the lock") << 3 << 1 << 0 << 0 << ParamPlan{ratio, fill, crop};
        QTest::newRow("pan scan is ignored for full screen") << 2 << 1 << 1 << 0 << ParamPlan{ratio, stretch, crop};
    }

    void geometry()
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
        const ParamPlan geometry = stepsOf(plan, {S::OutputSize, S::Fill, S::CropRect});
        QVERIFY2(geometry == expected, qPrintable(describe(geometry)));
        QCOMPARE(stepsOf(plan, {S::Rotation}).front().a, int64_t(rotation));
    }

    // Thousandths become fractions, seconds microseconds; the vertical font
    // marker goes; watermark setters only for a watermark that is there.
    void scaledValuesFontsAndWatermarks()
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
        ParamPlan plan = buildParamPlan(p);
        const ParamPlan expected{{S::SubtitleTimeValue, 3000}, {S::SubtitleAnchorX, 0, 0, 0.25},
                                 {S::SubtitleAnchorY, 0, 0, 1.0}, {S::SubtitleFont, 0, 0, 0, 0, 0, 0, "SimSun"},
                                 {S::WatermarkFont}, {S::WatermarkAnchorX, 0, 0, 0.125},
                                 {S::WatermarkAnchorY, 0, 0, 0.5}, {S::WatermarkTextPos, 0, 0, 0.333, 0.999},
                                 {S::WatermarkImagePos, 0, 0, 0.001, 1.0}};
        for (const ParamStep &want : expected) {
            const ParamPlan got = stepsOf(plan, {want.setter}), wanted{want};
            QVERIFY2(got == wanted, qPrintable(describe(got)));
        }
        QVERIFY(stepsOf(plan, {S::WatermarkText, S::WatermarkImage}).empty());

        // Only one leading at-sign is the vertical marker; the rest is the name.
        QCOMPARE(engineFontFamily("@@Odd"), std::string("@Odd"));
        QCOMPARE(engineFontFamily("Sans @ Serif"), std::string("Sans @ Serif"));

        p.textWatermark.text = "Velmora";
        p.imageWatermark.imagePath = "/pics/logo.png";
        plan = buildParamPlan(p);
        QCOMPARE(int(stepsOf(plan, {S::WatermarkText}).size()), 1);
        const ParamPlan image = stepsOf(plan, {S::WatermarkImage}), logo{{S::WatermarkImage, 0, 0, 0, 0, 0, 0, "/pics/logo.png"}};
        QVERIFY2(image == logo, qPrintable(describe(image)));
    }

    void engineAcceptsPlans_data()
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

    void engineAcceptsPlans()
    {
        QFETCH(ConvertParams, params);
        QFETCH(QString, refusedExpected);
        std::string refused;
        zxh::ParamsPtr set = createParamSet(buildParamPlan(params), &refused);
        QVERIFY(set);
        QCOMPARE(QString::fromStdString(refused), refusedExpected);
    }
};

VELMORA_TEST_MAIN(TestParamPlan)
#include "tst_paramplan.moc"
