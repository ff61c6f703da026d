// Drives the main window on a real display (Xvfb) for a look at the queue:
// adds the files and folders given on the command line (as a drop would),
// presses Convert after a pause and quits a few seconds after the run. Prints
// "STAGE <name>" lines so that a script can take screenshots at the right
// moments.
//
//   queue_xvfb_demo [--merge] [--format CATEGORY:ID] FILE|FOLDER...
#include "queue/QMainDlg.h"
#include "queue/VideoConvertBar.h"
#include "settings/ParserXML.h"
#include "base/AppGlobals.h"
#include "shell/MainWindow.h"
#include "profiles/FormatWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>

#include <cstdio>

namespace {

void stage(const char *name)
{
    std::printf("STAGE %s\n", name);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    const bool merge = files.removeAll("--merge") > 0;
    // A format of the catalogue to pick first, as a click on its tile would.
    QString format;
    if (const int at = files.indexOf("--format"); at >= 0 && at + 1 < files.size()) {
        format = files.at(at + 1);
        files.remove(at, 2);
    }

    MainWindow w;
    w.show();
    QMainDlg *list = w.queueList();
    list->setShutdownCommand("true", {});

    QTimer::singleShot(500, &w, [&] {
        if (FormatWidget *chooser = FormatWidget::instance(); format.contains(':')) {
            chooser->ItemPress(format.section(':', 0, 0), format.section(':', 1));
            QMetaObject::invokeMethod(chooser, "OnBtnOk");
            chooser->applyOutputFormat();
        }
        list->addDropPaths(files);
        if (merge)
            w.findChild<QCheckBox *>("m_btnMerge")->click();
        stage("added");
    });
    QTimer::singleShot(4000, &w, [&] {
        QMetaObject::invokeMethod(&w, "OnConvert");
        stage("converting");
    });
    QObject::connect(list, &QMainDlg::emitIsStartConverter, &w, [&](bool running) {
        if (running)
            return;
        stage("done");
        std::printf("OUTPUT %s\nHISTORY %s\n", qPrintable(AppGlobals::outputFolder()),
                    qPrintable(ParserXML::convertedFilePath()));
        std::fflush(stdout);
        QTimer::singleShot(4000, &app, &QApplication::quit);
    });
    return app.exec();
}
