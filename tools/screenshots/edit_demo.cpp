// Drives the edit dialog on a real display (Xvfb) for a look at it: the main
// window's queue gets FILE, the row's "Edit" button is pressed, the dialog
// plays, the trim handles are dragged to START % and END % and "Trim" is
// pressed, the dialog is confirmed and the queue converts the trimmed item.
// Prints "STAGE <name>" lines so that a script can take screenshots:
// playing, marked (handles set, paused), trimmed (after "Trim", playing the
// new range), row (dialog confirmed), done (OUTPUT <converted file>).
// With --dvd-title N (Qt takes --title for itself), FILE is a DVD folder or image and its title N (0-based) is
// the row.
//
//   edit_xvfb_demo [--dvd-title N] FILE [START END]
#include "edit/QDualSlider.h"
#include "edit/QVideoEditDlg.h"
#include "queue/QMainDlg.h"
#include "queue/VideoConvertBar.h"
#include "shell/MainWindow.h"
#include "widgets/QImageButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

namespace {

void stage(const char *name)
{
    std::printf("STAGE %s\n", name);
    std::fflush(stdout);
}

void send(QWidget *w, QEvent::Type type, QPoint global)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Drags a handle of the slider so that its value becomes `percent`, in a
// few mouse moves, as a hand would.
void dragTo(QDualSlider *slider, QWidget *handle, double percent, bool endHandle)
{
    const QPoint grab(handle->width() / 2, handle->height() / 2);
    const QPoint from = handle->mapToGlobal(grab);
    const double offset = slider->usableLength() * percent / 100.0 + (endHandle ? slider->handleWidth() : 0);
    const QPoint to = slider->mapToGlobal(QPoint(int(offset + 0.5), 0) + grab);
    send(handle, QEvent::MouseButtonPress, from);
    for (int i = 1; i <= 10; ++i)
        send(handle, QEvent::MouseMove, from + (to - from) * i / 10);
    send(handle, QEvent::MouseButtonRelease, to);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int title = -1;
    if (const int at = int(args.indexOf("--dvd-title")); at >= 0 && at + 1 < args.size()) {
        title = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: edit_xvfb_demo [--dvd-title N] FILE [START END]\n");
        return 2;
    }
    const QString file = args.at(0);
    const double start = args.size() > 2 ? args.at(1).toDouble() : 20.0;
    const double end = args.size() > 2 ? args.at(2).toDouble() : 60.0;

    MainWindow w;
    w.show();
    QMainDlg *list = w.queueList();
    list->setShutdownCommand("true", {});
    list->addNewItemBar(file, title);
    if (list->rows().isEmpty()) {
        std::fprintf(stderr, "cannot add %s\n", qPrintable(file));
        return 1;
    }
    VideoConvertBar *row = list->rows().first();

    QTimer::singleShot(2000, &w, [&] {
        // Runs inside the dialog's modal loop once it shows.
        QTimer::singleShot(2500, [] { stage("playing"); });
        QTimer::singleShot(6000, [start, end] {
            auto *dlg = qobject_cast<QVideoEditDlg *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            QDualSlider *slider = dlg->trimSlider();
            dragTo(slider, slider->endButton(), end, true);
            dragTo(slider, slider->startButton(), start, false);
            dlg->OnBtnPause();
            stage("marked");
            QTimer::singleShot(2500, dlg, [dlg] {
                dlg->findChild<QAbstractButton *>("m_btnTrim")->click();
                dlg->OnBtnPlay();
                QTimer::singleShot(2500, dlg, [] { stage("trimmed"); });
                QTimer::singleShot(5000, dlg, [dlg] { dlg->findChild<QAbstractButton *>("m_btnOk")->click(); });
            });
        });
        row->OnEditVideo();
        stage("row");
        QTimer::singleShot(2500, &w, [&] { QMetaObject::invokeMethod(&w, "OnConvert"); });
    });
    QObject::connect(list, &QMainDlg::emitIsStartConverter, &w, [&](bool running) {
        if (running)
            return;
        stage("done");
        QTimer::singleShot(1500, &app, &QApplication::quit);
    });
    QObject::connect(row, &VideoConvertBar::emitConvertedVideo, &w, [](const QString &path) {
        std::printf("OUTPUT %s\n", qPrintable(path));
        std::fflush(stdout);
    });
    return app.exec();
}
