// Drives the converted-files list on a real display (Xvfb) for a look at it:
// the history of WORKDIR (as bench_converted writes it) is opened, a row is
// pressed, the list is scrolled to its middle and to its end, a row there is
// pressed, and the program quits. Prints "STAGE <name>" lines, one stage every
// three seconds, so that a script can take screenshots.
//
//   converted_xvfb_demo WORKDIR
#include "history/ConvertedItem.h"
#include "history/QConvertedDlg.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

void stage(const char *name)
{
    std::printf("STAGE %s\n", name);
    std::fflush(stdout);
}

// Presses the row under a point of the list's viewport.
void pressRowAt(QScrollArea *area, const QPoint &at)
{
    for (QWidget *w = area->viewport()->childAt(at); w; w = w->parentWidget()) {
        if (auto *row = qobject_cast<ConvertedItem *>(w)) {
            QTest::mouseClick(row, Qt::LeftButton, {}, row->mapFrom(area->viewport(), at));
            return;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: converted_xvfb_demo WORKDIR\n");
        return 2;
    }
    const QString work = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    qputenv("HOME", (work + "/home").toUtf8());
    qputenv("XDG_DATA_HOME", (work + "/data").toUtf8());
    QApplication app(argc, argv);

    QConvertedDlg dlg;
    dlg.show();
    auto *area = dlg.findChild<QScrollArea *>("m_scrollArea");
    QScrollBar *bar = area->verticalScrollBar();
    QTimer::singleShot(2000, [] { stage("opened"); });
    QTimer::singleShot(3000, [=] { pressRowAt(area, {40, 100}); });
    QTimer::singleShot(5000, [] { stage("pressed"); });
    QTimer::singleShot(6000, [=] { bar->setValue(bar->maximum() / 2); });
    QTimer::singleShot(8000, [] { stage("middle"); });
    QTimer::singleShot(9000, [=] {
        bar->setValue(bar->maximum());
        pressRowAt(area, {40, area->viewport()->height() - 20});
    });
    QTimer::singleShot(11000, [] { stage("end"); });
    QTimer::singleShot(12000, &app, &QApplication::quit);
    return app.exec();
}
