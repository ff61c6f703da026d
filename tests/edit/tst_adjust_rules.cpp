// The rules of the Adjust, Effect and Watermark pages without a player: the
// crop frame's handles and limits, holding a shape, pan-scan, even sizes,
// turning and mirroring, and the pages' stored values.

#include "TestEnv.h"

#include "edit/AdjustGeometry.h"
#include "edit/QAdjustOperateDlg.h"
#include "edit/QEffectOperateDlg.h"
#include "edit/QWatermarkOperateDlg.h"
#include "widgets/qSliderCtrl.h"

#include <QtTest>

#include <cstring>

using namespace AdjustGeometry;

namespace {

bool inside(const FractionRect &r)
{
    const double e = 1e-9;
    return r.x >= -e && r.y >= -e && r.x + r.width <= 1 + e && r.y + r.height <= 1 + e;
}

QString show(const FractionRect &r)
{
    return QString("%1,%2 %3x%4").arg(r.x).arg(r.y).arg(r.width).arg(r.height);
}

} // namespace

class TestAdjustRules : public QObject
{
    Q_OBJECT

private slots:
    void turnsAndMirrors()
    {
        QAdjustOperateDlg page(nullptr);
        for (int i = 0; i < 4; ++i)
            page.OnLeftRotate();
        QCOMPARE(page.record().rotation, 0);
        QCOMPARE(page.record().flip, 0);
        page.OnLeftRotate();
        QCOMPARE(page.record().rotation, 270);

        // A mirrored picture turns the other way: "Rotate Left" adds 90.
        CropSettings mirrored;
        mirrored.flip = 1;
        mirrored.rotation = 90;
        rotateLeft(mirrored);
        QCOMPARE(mirrored.rotation, 180);
        rotateRight(mirrored);
        QCOMPARE(mirrored.rotation, 90);

        // "Vertical" twice restores rotation and mirror.
        CropSettings c;
        c.rotation = 90;
        flipVertical(c);
        QCOMPARE(c.rotation, 270);
        QCOMPARE(c.flip, 1);
        flipVertical(c);
        QCOMPARE(c.rotation, 90);
        QCOMPARE(c.flip, 0);
    }

    void frameHitTestAndDragLimits()
    {
        const QSize pane(400, 300);
        const FractionRect r{0.25, 0.2, 0.5, 0.6}; // pixels 100..300 x 60..240
        QCOMPARE(hitTest(r, pane, QPoint(102, 62)), int(TopLeft));
        QCOMPARE(hitTest(r, pane, QPoint(97, 238)), int(BottomLeft));
        QCOMPARE(hitTest(r, pane, QPoint(298, 150)), int(Right));
        QCOMPARE(hitTest(r, pane, QPoint(200, 243)), int(Bottom));
        QCOMPARE(hitTest(r, pane, QPoint(200, 150)), int(Move));
        QCOMPARE(hitTest(r, pane, QPoint(95, 150)), int(NoHandle)); // 5 px off is outside
        QCOMPARE(hitTest(r, pane, QPoint(350, 20)), int(NoHandle));

        // The left edge dragged past the right one stops 0.02 short of it.
        FractionRect d = dragRect(Left, r, 0.9, 0, QSize(2000, 1500), kMinCropPixels);
        QVERIFY2(qAbs(d.x - 0.73) < 1e-9 && qAbs(d.x + d.width - 0.75) < 1e-9, qPrintable(show(d)));
        // ... and never below 20 pane pixels on a small pane.
        d = dragRect(Left, r, 0.9, 0, QSize(200, 100), kMinCropPixels);
        QVERIFY2(qAbs(d.width - 0.1) < 1e-9 && qAbs(d.x - 0.65) < 1e-9, qPrintable(show(d)));
        // Top and bottom edges likewise; the bottom edge stays inside the picture.
        d = dragRect(Top, r, 0, -1.0, pane, kMinCropPixels);
        QVERIFY2(d.y == 0 && qAbs(d.height - 0.8) < 1e-9, qPrintable(show(d)));
        d = dragRect(Bottom, r, 0, 2.0, pane, kMinCropPixels);
        QVERIFY2(inside(d) && qAbs(d.y + d.height - 1) < 1e-9, qPrintable(show(d)));
        d = dragRect(Right, r, -2.0, 0, pane, kMinCropPixels);
        QVERIFY2(d.width >= 0.05 - 1e-9 && d.x == r.x, qPrintable(show(d)));
        // Moving keeps the size and the picture.
        d = dragRect(Move, r, 0.5, -0.5, pane, kMinCropPixels);
        QVERIFY2(inside(d) && d.width == r.width && d.height == r.height && d.x == 0.5 && d.y == 0,
                 qPrintable(show(d)));
        QVERIFY(isTiny(FractionRect{0.1, 0.1, 0.00009, 0.5}));
        QVERIFY(!isTiny(r));
    }

    void shapeHolding_data()
    {
        QTest::addColumn<int>("handle");
        QTest::addColumn<double>("dx");
        QTest::addColumn<double>("dy");
        for (int h = TopLeft; h <= Bottom; ++h) {
            QTest::addRow("handle %d grows", h) << h << 0.3 << 0.3;
            QTest::addRow("handle %d shrinks", h) << h << -0.1 << -0.05;
            QTest::addRow("handle %d far out", h) << h << -2.0 << 2.0;
        }
    }

    void shapeHolding()
    {
        QFETCH(int, handle);
        QFETCH(double, dx);
        QFETCH(double, dy);
        const FractionRect r0{0.3, 0.3, 0.32, 0.18};
        const FractionRect dragged = dragRect(handle, r0, dx, dy, QSize(640, 360), kMinCropPixels);
        const FractionRect held = holdShape(handle, r0, dragged);
        QVERIFY2(qAbs(held.width * r0.height - held.height * r0.width) < 1e-9, qPrintable(show(held)));
        QVERIFY2(inside(held), qPrintable(show(held)));
        QVERIFY(held.width > 0 && held.height > 0);
    }

    void panScanEvenAndRatios()
    {
        // 4:3 source shown 4:3, uncropped, into a 16:9 frame: a centred band.
        CropSettings c;
        FractionRect p = panScanRect(c, 640, 480, 4, 3, 1280, 720);
        QVERIFY2(qAbs(p.x) < 1e-9 && qAbs(p.y - 0.125) < 1e-9 && qAbs(p.width - 1) < 1e-9
                     && qAbs(p.height - 0.75) < 1e-9,
                 qPrintable(show(p)));
        // Anamorphic PAL 16:9 (720x576 shown 1024x576) into a 4:3 frame: a centred column.
        p = panScanRect(c, 720, 576, 16, 9, 640, 480);
        QVERIFY2(qAbs(p.width - 0.75) < 1e-9 && qAbs(p.x - 0.125) < 1e-9 && p.height == 1, qPrintable(show(p)));
        // Turned a quarter, the frame's sides swap: 4:3 into 16:9 turned is a column again.
        c.rotation = 90;
        p = panScanRect(c, 640, 480, 4, 3, 1280, 720);
        QVERIFY2(p.height == 1 && qAbs(p.width - (480.0 * 9 / 16) / 640) < 1e-9, qPrintable(show(p)));
        // A cropped part is cut within the crop.
        c.rotation = 0;
        c.cropRect = FractionRect{0.5, 0.5, 0.5, 0.5};
        p = panScanRect(c, 640, 480, 0, 0, 1280, 720);
        QVERIFY2(p.x == 0.5 && qAbs(p.y - 0.5625) < 1e-9 && qAbs(p.height - 0.375) < 1e-9, qPrintable(show(p)));

        QCOMPARE(even(1921, 0.5), 960);
        QCOMPARE(even(1921, 1.0), 1921);
        QCOMPARE(even(720, 0.0), 0);
        QCOMPARE(even(99, 0.75), 74);
        QCOMPARE(ratioFor(1, FractionRect{0, 0, 0.5, 0.001}, 1921, 1080, 0, 0), QSize(960, 2));
        QCOMPARE(ratioFor(2, FractionRect{}, 320, 240, 1280, 720), QSize(1280, 720));
        QCOMPARE(ratioFor(0, FractionRect{}, 320, 240, 1280, 720), QSize(0, 0));
    }

    void effectValues()
    {
        for (Effect e : {Volume, Brightness, Contrast, Saturation, Hue}) {
            const int neutral = e == Volume ? 100 : 0;
            for (double f : {0.4901, 0.5, 0.5099})
                QCOMPARE(sliderValue(e, f), neutral);
        }
        QCOMPARE(storedValue(Brightness, sliderValue(Brightness, 0.0)), -235);
        QCOMPARE(storedValue(Hue, sliderValue(Hue, 1.0)), 180);
        QCOMPARE(storedValue(Saturation, sliderValue(Saturation, 0.0)), 0);
        QCOMPARE(sliderValue(Volume, 1.0), 200);

        // The page: a record with brightness 47 shows 20; a move changes one field only.
        QEffectOperateDlg page(nullptr);
        EffectSettings rec;
        rec.reserved = 7;
        rec.brightness = 47;
        rec.hue = 180;
        rec.contrast = 150;
        page.showRecord(rec);
        QCOMPARE(page.shownValue(Brightness), 20);
        QCOMPARE(page.shownValue(Hue), 100);
        QCOMPARE(page.shownValue(Contrast), 50);
        QCOMPARE(page.slider(Brightness)->value(), 0.6);
        page.SaturationValueChange(0.0);
        EffectSettings want = rec;
        want.saturation = 0;
        const EffectSettings after = page.record();
        QVERIFY(std::memcmp(&after, &want, sizeof want) == 0); // six plain integers
    }

    void watermarkPageModes()
    {
        QWatermarkOperateDlg page(nullptr);
        WatermarkTextSettings text;
        text.opacity = 51;
        text.text = "Velmora";
        WatermarkImageSettings image;
        image.opacity = 204;
        page.showRecords(text, image);
        QCOMPARE(page.transparencySlider()->value(), 0.2);
        page.OnClickImageRd();
        QCOMPARE(page.transparencySlider()->value(), 0.8);
        // Each mode keeps its own value.
        page.transparencyValueChange(0.4);
        QCOMPARE(page.imageRecord().opacity, 102);
        QCOMPARE(page.textRecord().opacity, 51);
        page.OnClickTextRd();
        QCOMPARE(page.transparencySlider()->value(), 0.2);
        QVERIFY(page.findChild<QWidget *>("m_editImage")->isHidden());
        QVERIFY(!page.findChild<QWidget *>("m_editText")->isHidden());

        // A file that is no picture is refused and changes nothing.
        const QString bad = TestEnv::root() + "/not an image.png";
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);
        f.close();
        QVERIFY(!page.setImagePath(bad));
        QVERIFY(!page.setImagePath(TestEnv::root() + "/missing.png"));
        QCOMPARE(page.imageRecord().imagePath, std::string());

        // Scales and positions of a dragged box.
        QCOMPARE(scaledPercent(100, 0.1, 0.2), 200);
        QCOMPARE(scaledPercent(150, 0.3, 0.1), 50);
        QCOMPARE(thousandths(0.4567), 457);
    }
};

VELMORA_TEST_MAIN(TestAdjustRules)
#include "tst_adjust_rules.moc"
