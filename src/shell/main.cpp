// Process entry: one converter per desktop, then the main window.

#include "shell/MainWindow.h"
#include "shell/SingleInstance.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

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
        const QString text = QObject::tr("An instance has already been running.");
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        QMessageBox box(QMessageBox::Information, QString(), text, QMessageBox::Ok);
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
    window->show();
    if (const int ms = envMilliseconds("VELMORA_QUIT_AFTER_MS"))
        QTimer::singleShot(ms, &app, &QApplication::quit);
    std::fprintf(stderr, "velmora: main window shown\n");
    const int code = app.exec();
    window.reset();
    return code;
}
