// Process entry: one converter per desktop, then the main window.

#include "shell/MainWindow.h"
#include "shell/SingleInstance.h"
#include "widgets/Theme.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

// SIGTERM and SIGINT reach the event loop through a pipe: the handler only
// writes a byte, the loop stops the run and quits as Exit does, so no file
// is left half-written under its name.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

bool installTerminationHandlers()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &sa, nullptr) == 0 && ::sigaction(SIGINT, &sa, nullptr) == 0;
}

// Automation hooks for tests and screenshots: close the refusal box after the
// given milliseconds, or quit the program after the given milliseconds.
int envMilliseconds(const char *name)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue(name, &ok);
    return ok && ms > 0 ? ms : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Narrow literals and sources of tr() are UTF-8 in Qt 6; nothing to set.

    SingleInstance guard;
    if (!guard.acquire()) {
        // The running copy shows its window first, so one hidden where
        // nothing brings it back is found again.
        if (guard.askRunningToShow())
            std::fprintf(stderr, "velmora: asked the running instance to show its window\n");
        const QString text = QObject::tr("An instance has already been running.");
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        QMessageBox box(QMessageBox::Information, QString(), text, QMessageBox::Ok);
        box.setPalette(Theme::darkPalette());
        if (const int ms = envMilliseconds("VELMORA_DISMISS_DIALOGS_MS"))
            QTimer::singleShot(ms, &box, &QMessageBox::accept);
        box.exec();
        return 0;
    }

    // The loop ends when the main window closes (its close event quits) or
    // through the tray's "Quit": hidden to the tray, the last dialog closing
    // must not end the program.
    app.setQuitOnLastWindowClosed(false);
    auto window = std::make_unique<MainWindow>();
    if (!guard.listen())
        std::fprintf(stderr, "velmora: second starts cannot reach this instance\n");
    QObject::connect(&guard, &SingleInstance::showRequested, window.get(), [&window] {
        std::fprintf(stderr, "velmora: shown for a second start\n");
        window->bringToFront();
    });
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (installTerminationHandlers()) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, window.get(), [&window] {
            char buf[16];
            while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
            }
            std::fprintf(stderr, "velmora: termination signal, stopping\n");
            window->stopAndQuit();
        });
    } else {
        std::fprintf(stderr, "velmora: cannot watch termination signals\n");
    }
    window->show();
    if (const int ms = envMilliseconds("VELMORA_QUIT_AFTER_MS"))
        QTimer::singleShot(ms, &app, &QApplication::quit);
    std::fprintf(stderr, "velmora: main window shown\n");
    const int code = app.exec();
    window.reset();
    return code;
}
