// The Adjust, Effect and Watermark pages in the edit dialog on generated
// clips: the crop frame on the source picture and its effect on the output
// preview, an effect in the paused preview, dragging and sizing a text
// watermark, and rows whose accepted edits convert into files the ffmpeg
// tool checks.

#include "EditTestSupport.h"

#include "edit/AdjustGeometry.h"
#include "edit/QAdjustOperateDlg.h"
#include "edit/QEffectOperateDlg.h"
#include "edit/QImageBorderWgt.h"
#include "edit/QWatermarkOperateDlg.h"
#include "player/VideoImageWindow.h"
#include "queue/ItemProbe.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace TestTools;

namespace {

// The edited picture now shown, as the engine hands it out, in grey.
QImage grab(QVideoEditDlg &d) { return EditTest::grab(d).convertToFormat(QImage::Format_Grayscale8); }

// One grey picture of a file at `seconds`, decoded by the ffmpeg tool.
QImage decoded(const QString &path, double seconds)
{
    return decodedFrame(path, seconds).convertToFormat(QImage::Format_Grayscale8);
}

// The box of the pixels brighter than `level`.
QRect boxOf(const QImage &g, int level)
{
    QRect box;
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x)
            if (g.constScanLine(y)[x] > level)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Nothing but black in the part r of g (a border around a picture that does not fill its frame).
bool blackBand(const QImage &g, QRect r) { return !g.isNull() && boxOf(g.copy(r), 30).isNull(); }

double mean(const QImage &g)
{
    double sum = 0;
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x)
            sum += g.constScanLine(y)[x];
    return g.isNull() ? 0 : sum / (g.width() * g.height());
}

void drag(QWidget *w, QPoint from, QPoint to) { dragMouse(w, from, to); }

FractionRect textBox(QVideoEditDlg &d)
{
    FractionRect r{0, 0, 0, 0};
    PlayerWatermarkTextBox(d.player(), &r.x, &r.y, &r.width, &r.height);
    return r;
}

QImageBorderWgt *cropFrame(QVideoEditDlg &d) { return d.findChild<QImageBorderWgt *>("m_cropFrame"); }
QImageBorderWgt *waterFrame(QVideoEditDlg &d) { return d.findChild<QImageBorderWgt *>("m_waterFrame"); }

// A paused dialog on path with the given output frame, records as a new item's.
bool openPaused(QVideoEditDlg &d, const QString &path, int w, int h)
{
    if (!d.openVideo(path, w, h))
        return false;
    d.setCropSettings(CropSettings());
    d.setWatermarkText(WatermarkTextSettings());
    d.setWatermarkImage(WatermarkImageSettings());
    d.setEffectSettings(EffectSettings());
    d.show();
    if (!QTest::qWaitFor([&d] { return d.outputPane()->hasPicture(); }, 10000))
        return false;
    d.OnBtnPause();
    return true;
}

} // namespace

class TestAdjustDialog : public QObject
{
    Q_OBJECT

    // Runs the row's edit dialog, lets `edit` work on it, accepts, converts
    // the row alone and returns the converted file ("" on failure).
    QString editAndConvert(VideoConvertBar &row, std::function<void(QVideoEditDlg &)> edit)
    {
        bool edited = false;
        EditTest::whenModalOf<QVideoEditDlg>([&](QVideoEditDlg *d) {
            if (!QTest::qWaitFor([d] { return d->outputPane()->hasPicture(); }, 10000))
                qWarning() << "the output preview shows no picture";
            d->OnBtnPause();
            edit(*d);
            edited = true;
            d->accept();
        }, 20000);
        row.OnEditVideo();
        return edited && EditTest::convertRow(row) ? row.outputPath() : QString();
    }

    std::unique_ptr<VideoConvertBar> row(const QString &path)
    {
        auto bar = std::make_unique<VideoConvertBar>();
        bar->setItemInfo(probeSource(path, 0, false).release(), false);
        bar->setTrimRange(0, 1000000);
        return bar;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(media("clip_h264_aac.mp4")), "the media fixture is missing");
        OutputFormat::instance() = QueueTest::fastMp4(); // 160x120
        QueueTest::freshOutputFolder("adjust");
    }

    void cropFrameOnTheSourcePicture()
    {
        QVideoEditDlg d;
        QVERIFY(openPaused(d, media("clip_h264_aac.mp4"), 320, 240));
        d.OnCropBtn();
        QImageBorderWgt *frame = cropFrame(d);
        QVERIFY(frame && frame->isVisible());
        const QSize pane = d.originalPane()->size();
        QCOMPARE(frame->borderRect(), QRect(QPoint(0, 0), pane));
        const QImage before = grab(d);
        QVERIFY(!blackBand(before, QRect(0, 0, 30, 240)));

        // The left edge dragged to the middle crops the left half; the output
        // pane shows the right half in the 4:3 frame, between black bands.
        drag(frame, QPoint(0, pane.height() / 2), QPoint(pane.width() / 2, pane.height() / 2));
        CropSettings c = d.cropSettings();
        QVERIFY2(qAbs(c.cropRect.x - 0.5) < 0.01 && qAbs(c.cropRect.width - 0.5) < 0.01,
                 qPrintable(QString("crop x %1 w %2").arg(c.cropRect.x).arg(c.cropRect.width)));
        QVERIFY(qAbs(frame->borderRect().left() - pane.width() / 2) <= 1);
        const QImage cropped = grab(d);
        QVERIFY2(blackBand(cropped, QRect(0, 0, 30, 240)), "no black band left of the cropped picture");

        // "Original Resolution" takes the crop's even pixel size.
        d.adjustPage()->radio(1)->click();
        QCOMPARE(d.cropSettings().ratioType, 1);
        QCOMPARE(d.cropSettings().ratioWidth, 160);
        QCOMPARE(d.cropSettings().ratioHeight, 240);

        // "Pan Scan": the part of the crop with the frame's shape fills the
        // frame, and the frame shows that part.
        d.adjustPage()->radio(3)->click();
        c = d.cropSettings();
        QVERIFY(AdjustGeometry::isPanScan(c));
        QVERIFY2(qAbs(c.panScanRect.y - 0.25) < 0.01 && qAbs(c.panScanRect.height - 0.5) < 0.01,
                 qPrintable(QString("pan y %1 h %2").arg(c.panScanRect.y).arg(c.panScanRect.height)));
        QTRY_COMPARE_WITH_TIMEOUT(frame->borderRect(), AdjustGeometry::toPixels(c.panScanRect, pane), 2000);
        QVERIFY(!blackBand(grab(d), QRect(0, 0, 30, 240)));

        // Dragging a pan-scan corner keeps the frame's shape.
        const QRect b = frame->borderRect();
        drag(frame, b.bottomRight() + QPoint(1, 1), b.bottomRight() + QPoint(-40, 0));
        c = d.cropSettings();
        QVERIFY2(qAbs(c.cropRect.width * 320 / (c.cropRect.height * 240) - 4.0 / 3) < 0.02,
                 qPrintable(QString("%1 x %2").arg(c.cropRect.width).arg(c.cropRect.height)));

        // "Apply to all" hands on the crop record.
        QSignalSpy applied(&d, &QVideoEditDlg::seedApplyEditSetting);
        d.adjustPage()->findChild<QPushButton *>("m_btnApply")->click();
        QCOMPARE(applied.count(), 1);
        QCOMPARE(applied.first().first().value<CropSettings>().fillMode, 1);

        // A crop narrower than 0.0001 ignores the mouse.
        CropSettings tiny;
        tiny.cropRect = FractionRect{0.5, 0.0, 0.00005, 1.0};
        d.setCropSettings(tiny);
        drag(frame, QPoint(pane.width() / 2, 10), QPoint(10, 10));
        QCOMPARE(d.cropSettings().cropRect.width, 0.00005);
    }

    void effectShowsInThePausedPreview()
    {
        QVideoEditDlg d;
        QVERIFY(openPaused(d, media("clip_h264_aac.mp4"), 0, 0));
        d.OnEffectBtn();
        const double before = mean(grab(d));
        d.effectPage()->BrightValueChange(1.0);
        QCOMPARE(d.effectSettings().brightness, 235);
        const double after = mean(grab(d));
        QVERIFY2(after > before + 60, qPrintable(QString("mean %1 -> %2").arg(before).arg(after)));
        // A loaded record shows on the page.
        EffectSettings e;
        e.brightness = 47;
        d.setEffectSettings(e);
        QCOMPARE(d.effectPage()->shownValue(AdjustGeometry::Brightness), 20);
    }

    void watermarkDraggedAndSized()
    {
        QVideoEditDlg d;
        QVERIFY(openPaused(d, media("clip_h264_aac.mp4"), 320, 240));
        d.OnWatermarkBtn();
        d.watermarkPage()->findChild<QLineEdit *>("m_editText")->setText("Velmora");
        const QSize pane = d.outputPane()->size();
        const FractionRect box0 = textBox(d);
        QVERIFY(box0.width > 0.05 && box0.height > 0.02);
        QImageBorderWgt *frame = waterFrame(d);
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->borderRect(), AdjustGeometry::toPixels(box0, pane));

        // The right edge dragged until the box is twice as wide.
        const int right = int((box0.x + box0.width) * pane.width());
        const int midY = int((box0.y + box0.height / 2) * pane.height());
        const int grow = int(box0.width * pane.width() + 0.5);
        drag(d.outputPane(), QPoint(right - 1, midY), QPoint(right - 1 + grow, midY));
        QVERIFY2(qAbs(d.watermarkText().scaleX - 200) <= 1, qPrintable(QString::number(d.watermarkText().scaleX)));
        QCOMPARE(d.watermarkText().scaleY, 100);
        const FractionRect box1 = textBox(d);
        QVERIFY2(qAbs(box1.width / box0.width - 2) < 0.1, qPrintable(QString::number(box1.width / box0.width)));
        QCOMPARE(frame->borderRect(), AdjustGeometry::toPixels(box1, pane));

        // Moved by its middle: the corner is stored in thousandths.
        const QPoint mid = AdjustGeometry::toPixels(box1, pane).center();
        drag(d.outputPane(), mid, mid + QPoint(pane.width() / 4, pane.height() / 2));
        QVERIFY2(qAbs(d.watermarkText().posX - 250) <= 5 && qAbs(d.watermarkText().posY - 500) <= 5,
                 qPrintable(QString("%1,%2").arg(d.watermarkText().posX).arg(d.watermarkText().posY)));

        // Cancelled font and colour dialogs change nothing.
        const WatermarkTextSettings kept = d.watermarkText();
        ModalHelper::whenModal([](QWidget *w) { w->close(); });
        d.watermarkPage()->OnFontBtn();
        ModalHelper::whenModal([](QWidget *w) { w->close(); });
        d.watermarkPage()->OnTextColorBtn();
        QCOMPARE(d.watermarkText().fontFamily, kept.fontFamily);
        QCOMPARE(d.watermarkText().pointSize, kept.pointSize);
        QCOMPARE(d.watermarkText().color, kept.color);

        // An image goes in beside the text.
        d.watermarkPage()->OnClickImageRd();
        const QString png = TestEnv::root() + "/mark [1].png";
        QImage mark(40, 20, QImage::Format_ARGB32);
        mark.fill(Qt::red);
        QVERIFY(mark.save(png));
        QVERIFY(d.watermarkPage()->setImagePath(png));
        QTRY_VERIFY_WITH_TIMEOUT(frame->isVisible(), 2000);

        // Clearing the text removes the text watermark; the image stays.
        d.watermarkPage()->OnClickTextRd();
        d.watermarkPage()->findChild<QLineEdit *>("m_editText")->clear();
        QVERIFY(textBox(d).width == 0);
        QVERIFY(!frame->isVisible());
        double x, y, w = 0, h = 0;
        PlayerWatermarkImageBox(d.player(), &x, &y, &w, &h);
        QVERIFY(w > 0 && h > 0);
    }

    void acceptedCropAndTurnConvert()
    {
        auto bar = row(media("clip_h264_aac.mp4"));
        const QString out = editAndConvert(*bar, [](QVideoEditDlg &d) {
            d.OnCropBtn();
            const QSize pane = d.originalPane()->size();
            drag(cropFrame(d), QPoint(0, pane.height() / 2), QPoint(pane.width() / 2, pane.height() / 2));
            d.adjustPage()->OnRightRotate();
        });
        QVERIFY2(!out.isEmpty(), qPrintable(bar->failureReason()));
        QCOMPARE(bar->cropSettings().rotation, 90);
        const Streams s = ffprobe(out);
        QCOMPARE(s.width(), 120);
        QCOMPARE(s.height(), 160);
        // The right half of a 4:3 picture, turned: 3:2 across the 120 wide frame.
        const QImage g = decoded(out, 0.5);
        QVERIFY(!g.isNull());
        const QRect pic = boxOf(g, 24);
        QVERIFY2(qAbs(pic.width() - 120) <= 4 && qAbs(pic.height() - 80) <= 4,
                 qPrintable(QString("picture %1x%2").arg(pic.width()).arg(pic.height())));
    }

    void acceptedTurnTextAndBrightnessConvert()
    {
        // A black clip: the brightened background and the white text are
        // all there is to see.
        const QString black = TestEnv::root() + "/black 'clip'.mp4";
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "color=black:size=320x240:rate=25:duration=2", "-f", "lavfi", "-i",
                        "sine=duration=2", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a",
                        "aac", "-shortest", black}));
        auto bar = row(black);
        QImage preview;
        const QString out = editAndConvert(*bar, [&](QVideoEditDlg &d) {
            d.adjustPage()->OnRightRotate();
            d.effectPage()->BrightValueChange(0.75); // +50
            d.OnWatermarkBtn();
            d.watermarkPage()->findChild<QLineEdit *>("m_editText")->setText("VM");
            const QSize pane = d.outputPane()->size();
            const QPoint mid = AdjustGeometry::toPixels(textBox(d), pane).center();
            drag(d.outputPane(), mid, mid + QPoint(pane.width() / 3, pane.height() / 2));
            preview = grab(d);
        });
        QVERIFY2(!out.isEmpty(), qPrintable(bar->failureReason()));
        QCOMPARE(bar->textWatermark().text, std::string("VM"));
        QVERIFY(bar->textWatermark().posY > 400);
        const Streams s = ffprobe(out);
        QCOMPARE(s.width(), 120);
        QCOMPARE(s.height(), 160);
        const QImage g = decoded(out, 0.5);
        QVERIFY(!g.isNull());
        QCOMPARE(preview.size(), g.size());
        // Brighter: the black source decodes near 0.
        const double top = mean(g.copy(0, 0, 120, 40));
        QVERIFY2(top > 80, qPrintable(QString::number(top)));
        // The text sits where the preview showed it.
        const QRect textOut = boxOf(g, 200);
        const QRect textPreview = boxOf(preview, 200);
        QVERIFY2(!textPreview.isEmpty() && textPreview.top() > 60, "no text in the lower part of the preview");
        QVERIFY2(qAbs(textOut.left() - textPreview.left()) <= 3 && qAbs(textOut.top() - textPreview.top()) <= 3
                     && qAbs(textOut.right() - textPreview.right()) <= 3
                     && qAbs(textOut.bottom() - textPreview.bottom()) <= 3,
                 qPrintable(QString("file %1,%2 %3x%4, preview %5,%6 %7x%8")
                                .arg(textOut.x()).arg(textOut.y()).arg(textOut.width()).arg(textOut.height())
                                .arg(textPreview.x()).arg(textPreview.y()).arg(textPreview.width())
                                .arg(textPreview.height())));
    }
};

VELMORA_TEST_MAIN(TestAdjustDialog)
#include "tst_adjust_dialog.moc"
