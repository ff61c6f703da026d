// Drives the edit dialog's Subtitle page on a real display (Xvfb) for a look
// at it: the main window's queue gets FILE, the row's Edit opens the dialog,
// the Subtitle page chooses the second audio track and the subtitle file SRT
// (added as "Open Subtitle File" would), the preview pauses where the text
// shows, a snapshot is taken, the snapshot menu opens the folder, the
// snapshot settings dialog is shown, the dialog is confirmed and the queue
// converts. Prints "STAGE <name>" lines (subtitle, snapshot, menu, capture,
// converting, done) for a script that takes screenshots, and
// "SNAPSHOTS <folder>" and "OUTPUT <folder>".
//
//   edit_subtitle_demo FILE SRT
#include "edit/QCaptureSettingDlg.h"
#include "edit/QSubtitleOperateDlg.h"
#include "edit/QVideoEditDlg.h"
#include "base/AppGlobals.h"
#include "queue/QMainDlg.h"
#include "queue/VideoConvertBar.h"
#include "shell/MainWindow.h"
#include "widgets/QCustomComboBox.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

void stage(const char *name)
{
    std::printf("STAGE %s\n", name);
    std::fflush(stdout);
}

// Calls act with the modal widget of type T once it shows.
template <class T>
void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget()); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

void after(int ms, std::function<void()> f) { QTimer::singleShot(ms, qApp, std::move(f)); }

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: edit_subtitle_demo FILE SRT\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString srt = QString::fromLocal8Bit(argv[2]);
    MainWindow window;
    window.show();
    QMainDlg *queue = window.queueList();
    queue->addNewItemBar(file);
    if (queue->rows().isEmpty()) {
        std::fprintf(stderr, "edit_subtitle_demo: %s was not added\n", argv[1]);
        return 1;
    }

    whenModal<QVideoEditDlg>([srt](QVideoEditDlg *dlg) {
        dlg->OnSubtitleBtn();
        dlg->findChild<QCustomComboBox *>("m_cmbAudio")->setCurrentIndex(1);
        dlg->subtitlePage()->addSubtitlePath(srt);
        dlg->OnBtnPause();
        dlg->PlayProValueChange(0.3);
        after(2000, [dlg] {
            stage("subtitle");
            after(3000, [dlg] {
                dlg->OnScreenshots();
                std::printf("SNAPSHOTS %s\n", qPrintable(dlg->snapshotFolder()));
                stage("snapshot");
                after(3000, [dlg] {
                    // The snapshot menu, then its "Open Folder".
                    QCursor::setPos(dlg->mapToGlobal(QPoint(dlg->width() - 40, 330)));
                    dlg->OnShowMenu();
                    after(1000, [dlg] {
                        stage("menu");
                        after(2000, [dlg] {
                            if (auto *menu = dlg->findChild<QMenu *>("m_snapshotMenu")) {
                                menu->actions().first()->trigger();
                                menu->close();
                            }
                        });
                    });
                });
                after(7000, [dlg] {
                    whenModal<QCaptureSettingDlg>([](QCaptureSettingDlg *settings) {
                        after(1000, [settings] {
                            stage("capture");
                            after(3000, [settings] { settings->reject(); });
                        });
                    });
                    dlg->ShowPathSettingDlg();
                    dlg->accept();
                });
            });
        });
    });
    after(2000, [queue, &window] {
        // The dialog runs modally inside the click; converting follows its end.
        queue->rows().first()->findChild<QPushButton *>("m_btnEdit")->click();
        QMetaObject::invokeMethod(&window, "OnConvert");
        stage("converting");
    });
    QObject::connect(queue, &QMainDlg::emitIsStartConverter, &window, [&app](bool running) {
        if (running)
            return;
        std::printf("OUTPUT %s\n", qPrintable(AppGlobals::outputFolder()));
        stage("done");
        after(3000, [&app] { app.quit(); });
    });
    return app.exec();
}
