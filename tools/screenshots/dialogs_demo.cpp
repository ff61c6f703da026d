// Drives the main window's keyboard and its standard dialogs on a real
// display (Xvfb) for a look at them: Tab through the bottom bar (focus
// rings), the output folder chooser, the close question. Prints
// "STAGE <name>" lines and waits PAUSE_MS at each, so that a script can take
// screenshots; quits at the end.
//
//   dialogs_xvfb_demo PAUSE_MS
#include "shell/MainWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

void stage(const char *name)
{
    std::printf("STAGE %s\n", name);
    std::fflush(stdout);
}

// Runs `then` once a modal dialog is up and PAUSE_MS have passed, with it.
void whenModal(int pauseMs, std::function<void(QWidget *)> then)
{
    auto *poll = new QTimer;
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [poll, pauseMs, then] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(pauseMs, modal, [modal, then] { then(modal); });
    });
    poll->start();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int pause = argc > 1 ? atoi(argv[1]) : 2000;

    MainWindow w;
    w.show();
    QTimer::singleShot(800, &w, [&] {
        w.activateWindow();
        QTest::qWaitForWindowActive(&w, 3000);
        // Tab from the first control to the format button.
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        std::printf("FOCUS %s (window active: %d)\n", focus ? qPrintable(focus->objectName()) : "none",
                    int(w.isActiveWindow()));
        stage("focus");
        QTimer::singleShot(pause, &w, [&] {
            whenModal(pause, [&](QWidget *dlg) {
                stage("folder-dialog-shown");
                QTimer::singleShot(pause, dlg, [dlg] { dlg->close(); });
            });
            QMetaObject::invokeMethod(&w, "OnSelFolder");
            whenModal(pause, [&](QWidget *dlg) {
                stage("close-dialog-shown");
                QTimer::singleShot(pause, dlg, [dlg] { dlg->close(); });
            });
            QMetaObject::invokeMethod(&w, "OnClose");
            stage("done");
            app.quit();
        });
    });
    return app.exec();
}
