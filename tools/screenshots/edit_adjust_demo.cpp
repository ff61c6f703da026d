// Shows the edit dialog's Adjust, Effect or Watermark page on a real display
// (Xvfb) for a look at it: the clip is opened, paused after a second, and
// the page gets an edit a user would make with the mouse (a crop dragged on
// the source picture with a quarter turn; brightness and hue; a text
// watermark dragged and widened on the output). Prints "STAGE <page>" when
// it is ready for a screenshot and quits after SECONDS.
//
//   edit_adjust_demo SECONDS adjust|effect|watermark FILE
#include "edit/AdjustGeometry.h"
#include "edit/QAdjustOperateDlg.h"
#include "edit/QEffectOperateDlg.h"
#include "edit/QImageBorderWgt.h"
#include "edit/QVideoEditDlg.h"
#include "edit/QWatermarkOperateDlg.h"
#include "player/VideoImageWindow.h"
#include "widgets/qSliderCtrl.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

void drag(QWidget *w, QPoint from, QPoint to)
{
    auto send = [w](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent ev(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &ev);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: edit_adjust_demo SECONDS adjust|effect|watermark FILE\n");
        return 2;
    }
    const int seconds = atoi(argv[1]);
    const QString page = QString::fromLocal8Bit(argv[2]);
    QVideoEditDlg dlg;
    if (!dlg.openVideo(QString::fromLocal8Bit(argv[3]), 640, 360)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(dlg.lastError()));
        return 1;
    }
    dlg.setCropSettings(CropSettings());
    dlg.setWatermarkText(WatermarkTextSettings());
    dlg.setWatermarkImage(WatermarkImageSettings());
    dlg.setEffectSettings(EffectSettings());
    dlg.show();
    QTimer::singleShot(1500, [&] {
        dlg.OnBtnPause();
        if (page == "adjust") {
            dlg.OnCropBtn();
            QWidget *frame = dlg.findChild<QImageBorderWgt *>("m_cropFrame");
            const QSize pane = dlg.originalPane()->size();
            drag(frame, QPoint(0, 0), QPoint(pane.width() / 5, pane.height() / 6));
            drag(frame, QPoint(pane.width() - 1, pane.height() - 1), QPoint(pane.width() * 3 / 4, pane.height() - 1));
            dlg.adjustPage()->OnRightRotate();
        } else if (page == "effect") {
            dlg.OnEffectBtn();
            // As a drag of the two sliders would.
            dlg.effectPage()->slider(AdjustGeometry::Brightness)->setValue(0.65);
            dlg.effectPage()->BrightValueChange(0.65);
            dlg.effectPage()->slider(AdjustGeometry::Hue)->setValue(0.8);
            dlg.effectPage()->HueValueChange(0.8);
        } else {
            dlg.OnWatermarkBtn();
            dlg.watermarkPage()->findChild<QLineEdit *>("m_editText")->setText("Velmora");
            double x, y, w, h;
            PlayerWatermarkTextBox(dlg.player(), &x, &y, &w, &h);
            const QSize pane = dlg.outputPane()->size();
            const QPoint mid(int((x + w / 2) * pane.width()), int((y + h / 2) * pane.height()));
            drag(dlg.outputPane(), mid, mid + QPoint(pane.width() / 3, pane.height() / 3));
            PlayerWatermarkTextBox(dlg.player(), &x, &y, &w, &h);
            const int right = int((x + w) * pane.width()) - 1;
            const int midY = int((y + h / 2) * pane.height());
            drag(dlg.outputPane(), QPoint(right, midY), QPoint(right + int(w * pane.width() / 2), midY));
        }
        QTimer::singleShot(800, [&] {
            std::printf("STAGE %s\n", qPrintable(page));
            std::fflush(stdout);
        });
    });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
